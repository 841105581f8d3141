// SPDX-License-Identifier: GPL-3.0-or-later
// The movie device's movies on Qt: the player, its picture widget inside the registered parent
// window, and (when an audio output exists) its sound.
#pragma once

#include <QPointer>
#include <memory>
#include <string>
#include <utility>

#include "platform/mci/movie_device.h"
#include "platform/mci/movie_player.h"
#include "platform/mci/movie_widget.h"
#include "platform/mci/window_registry.h"

namespace mci {

class AudioOutput;

class QtMovie : public Movie {
  public:
    QtMovie(std::shared_ptr<MoviePlayer> player, QWidget* parent);
    ~QtMovie() override;

    int64_t length() const override;
    int64_t position() const override;
    Mode mode() const override;
    int64_t keyFrameAtOrBefore(int64_t frame) const override;
    int32_t putWindow(const WindowRect& rect) override;
    void seek(int64_t frame, bool exact) override;
    void cue(int64_t frame, bool exact) override;
    void play(int64_t from, int64_t to, bool exact) override;
    void stop() override;
    void pause() override;
    void resume() override;
    bool waitSettled(bool includePlay, int timeoutMs) override;

    MoviePlayer& player() { return *m_player; }
    QWidget* pictureWidget() const { return m_widget.data(); }
    // True when the movie plays sound (an audio stream and an output device exist).
    bool hasSound() const { return m_audio != nullptr; }
    // True when the file has an audio stream at all.
    bool hasAudioStream() const;
    // The video's display aspect as the file gives it (width, height); 0, 0 when it gives none.
    std::pair<int, int> displayAspect() const;
    // Saves the decoded picture shown, at the movie's own size, as a PNG file.
    bool saveSnapshot(const std::string& path) const;

  private:
    std::shared_ptr<MoviePlayer> m_player;
    QObject m_notifier;  // receives the player's "new picture" on the GUI thread
    QPointer<MovieWidget> m_widget;
    std::unique_ptr<AudioOutput> m_audio;
};

class QtMovieFactory : public MovieFactory {
  public:
    explicit QtMovieFactory(WindowRegistry& windows) : m_windows(windows) {}
    int32_t open(const OpenRequest& request, std::unique_ptr<Movie>* out,
                 std::string* failure) override;

  private:
    WindowRegistry& m_windows;
};

}  // namespace mci
