#pragma once

#include <QString>

#include <functional>

// What the music player needs of a sound library: one piece loaded at a time, played once from its
// beginning, paused and resumed, and a word when a piece ends by itself. The player keeps all the
// request bookkeeping; a back-end only plays.
class MusicBackend {
public:
    virtual ~MusicBackend() = default;

    // Loads `path`, unloading any piece loaded before. False when it cannot, with the text the
    // player sees in *error (left empty when there is none). A back-end may accept a piece before
    // its sound output is ready; play(), pause() and resume() then take effect when it is.
    virtual bool open(const QString &path, QString *error) = 0;
    // Stops and unloads the piece, if any.
    virtual void close() = 0;
    // Starts the loaded piece from its beginning, to play once. False when it cannot start.
    virtual bool play() = 0;
    virtual void pause() = 0;
    virtual void resume() = 0;

    // Called when a piece that play() started has ended, from any thread (a sound library calls
    // it on its own audio thread); it may also be called from inside close(). The handler must
    // only record the fact or post it on. Set it before the first open().
    virtual void setFinishedHandler(std::function<void()> handler) = 0;

    // Called on the UI thread when a piece that open() accepted before the sound output was ready
    // turns out not to be playable once it is; the piece is closed by then. A back-end that answers
    // every open at once never calls it.
    // The handler is a sink, taken by value as the overrides keep it; this default drops it.
    // NOLINTNEXTLINE(performance-unnecessary-value-param)
    virtual void setFailureHandler(std::function<void(const QString &error)> /*handler*/) {}
};
