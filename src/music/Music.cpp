#include "music/Music.h"

#include "formats/GameError.h"
#include "music/MusicBackend.h"
#include "music/MusicPlayer.h"
#include "toolkit/AssetPath.h"
#include "toolkit/Guard.h"
#include "toolkit/Timer.h"

namespace {

// The echo guard's interval: long enough for the echo of a restart to arrive first.
constexpr int kEchoGuardMs = 100;

QString pathOf(MusicRules::Piece piece)
{
    switch (piece) {
    case MusicRules::Piece::Menu:
        return QStringLiteral("base\\sound\\pms.mp3");
    case MusicRules::Piece::Exam:
        return QStringLiteral("base\\sound\\pms2.mp3");
    case MusicRules::Piece::Lordly:
        return QStringLiteral("base\\soundLite\\pms.mid");
    case MusicRules::Piece::About:
        return QStringLiteral("base\\soundLite\\pms1.mid");
    }
    return {};
}

} // namespace

std::function<std::unique_ptr<MusicBackend>()> Music::backendFactory;

Music::Music(QObject *parent) : QObject(parent), m_echoGuard(new Timer(kEchoGuardMs, false, this))
{
    connectGuarded(m_echoGuard, &Timer::timeout, this, &Music::onEchoGuardTick);
}

Music::~Music() = default;

void Music::onEchoGuardTick()
{
    m_echoGuard->setEnabled(false);
    echoGuardElapsed();
}

MusicPlayer *Music::makePlayer(QWidget *parent)
{
    m_player = new MusicPlayer(parent, backendFactory ? backendFactory() : nullptr);
    connectGuarded(m_player.data(), &MusicPlayer::notified, this, &Music::pieceEnded);
    return m_player;
}

MusicPlayer &Music::requirePlayer() const
{
    if (!m_player)
        throw GameError(QStringLiteral("No MCI device open"));
    return *m_player;
}

bool Music::hasPiece(Piece piece) const
{
    return AssetPath::exists(pathOf(piece));
}

void Music::startPiece(Piece piece)
{
    MusicPlayer &player = requirePlayer();
    player.setFileName(pathOf(piece));
    player.open();
    player.play();
}

void Music::stopPlayer()
{
    requirePlayer().stop();
}

void Music::resumePlayer()
{
    requirePlayer().play();
}

void Music::pausePlayer()
{
    requirePlayer().pause();
}

// Enabling a running guard keeps its phase.
void Music::startEchoGuard()
{
    m_echoGuard->setEnabled(true);
}
