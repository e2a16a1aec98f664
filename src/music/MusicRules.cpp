#include "music/MusicRules.h"

#include "formats/GameError.h"

void MusicRules::start()
{
    if (!playIfThere(Piece::Menu))
        playIfThere(Piece::Lordly);
}

bool MusicRules::playIfThere(Piece piece)
{
    if (!hasPiece(piece))
        return false;
    startPiece(piece);
    return true;
}

void MusicRules::playLooping(Piece piece)
{
    if (playIfThere(piece))
        m_looping = piece;
}

void MusicRules::playSingle(Piece piece)
{
    if (!hasPiece(piece))
        return;
    m_repeat = Repeat::SinglePiece;
    stopPlayer();
    startPiece(piece);
}

void MusicRules::playMenuPiece()
{
    playLooping(Piece::Menu);
}

void MusicRules::playExamPiece()
{
    playLooping(Piece::Exam);
}

void MusicRules::examLoadingStarted()
{
    m_looping = Piece::Exam;
}

void MusicRules::examPieceDue()
{
    if (!m_lordly && m_soundOn)
        playExamPiece();
}

void MusicRules::backFromScores()
{
    if (!m_lordly && m_soundOn)
        playMenuPiece();
}

void MusicRules::aboutOpened()
{
    playSingle(Piece::About);
}

void MusicRules::backFromAbout()
{
    m_looping = Piece::Menu;
    m_repeat = Repeat::Held;
}

void MusicRules::setLordlyPlayer(bool lordly)
{
    m_lordly = lordly;
    if (lordly)
        playSingle(Piece::Lordly);
}

MusicRules::SoundSwitch MusicRules::switchSound()
{
    SoundSwitch result;
    result.on = !m_soundOn;
    m_soundOn = result.on;
    // The switch follows the click even when the player cannot: the caller shows the failure.
    try {
        if (result.on)
            resumePlayer();
        else
            pausePlayer();
    } catch (const GameError &) {
        result.failed = true;
    }
    return result;
}

void MusicRules::pieceEnded()
{
    if (m_repeat != Repeat::Armed)
        return;
    playLooping(m_looping);
    m_repeat = Repeat::Held;
    startEchoGuard();
}

void MusicRules::echoGuardElapsed()
{
    if (m_soundOn)
        m_repeat = Repeat::Armed;
}
