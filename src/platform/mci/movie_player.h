// SPDX-License-Identifier: GPL-3.0-or-later
// The movie's engine: positions, plays and decodes one AVI video stream on a thread of its own,
// so that callers never wait on a decoder. Commands return at once; the mode and the position
// they lead to are visible at once ("seeking" until the target picture has been decoded).
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "platform/avi/avi_reader.h"
#include "platform/mci/frame_decoder.h"
#include "platform/mci/movie_device.h"
#include "platform/mci/picture_convert.h"

namespace mci {

// Told when playback starts, pauses or stops, to keep sound in step with the pictures.
class PlaybackListener {
  public:
    virtual ~PlaybackListener() = default;
    // Playback of frames from..to starts now (also after a pause).
    virtual void playbackStarted(int64_t from, int64_t to) = 0;
    virtual void playbackStopped() = 0;
};

class MoviePlayer {
  public:
    // stream: index of the video stream in reader. The first frame is shown at once.
    MoviePlayer(std::unique_ptr<avi::Reader> reader, int stream);
    ~MoviePlayer();
    // Stops the player's thread for good (also done by the destructor): afterwards no picture
    // sink or playback listener is called again.
    void shutdown();
    MoviePlayer(const MoviePlayer&) = delete;
    MoviePlayer& operator=(const MoviePlayer&) = delete;

    const avi::Reader& reader() const { return *m_reader; }
    int64_t length() const { return m_length; }
    double framesPerSecond() const { return m_framesPerSecond; }
    bool codecKnown() const { return m_codecKnown; }
    const std::string& codecText() const { return m_codecText; }
    int64_t keyFrameAtOrBefore(int64_t frame) const;

    Mode mode() const;
    int64_t position() const;
    void seek(int64_t frame, bool exact);
    void cue(int64_t frame, bool exact);
    void play(int64_t from, int64_t to);
    void stop();
    void pause();
    void resume();
    bool waitSettled(bool includePlay, int timeoutMs);

    // Size of the painted picture; 0 x 0 paints at the movie's own size.
    void setOutputSize(int width, int height);
    // Called on the player's thread whenever a new picture is ready to paint.
    void setPictureSink(std::function<void()> sink);
    void setPlaybackListener(PlaybackListener* listener);

    // The picture shown, scaled for painting; null when the frame could not be decoded.
    std::shared_ptr<const BgraPicture> paintedPicture() const;
    // The decoded picture shown, before scaling, and its frame number (-1 before the first).
    SharedFrame shownPicture(int64_t* frame = nullptr) const;

  private:
    enum class Job { Show, Seek, Cue, Play };
    struct Request {
        Job job = Job::Show;
        int64_t from = 0;
        int64_t to = 0;
        uint64_t serial = 0;
    };
    using Clock = std::chrono::steady_clock;

    void post(const Request& request);
    void run();
    void runSeek(const Request& request);
    void runPlay(const Request& request);
    bool waitUntil(Clock::time_point when, Clock::time_point* pausedSince);
    bool show(int64_t position, uint64_t serial);
    bool show(int64_t position, SharedFrame picture, int64_t frame, uint64_t serial);
    void rescale();
    void finish(const Request& request, Mode mode);

    std::unique_ptr<avi::Reader> m_reader;
    std::unique_ptr<FrameDecoder> m_decoder;
    int64_t m_length = 0;
    double m_framesPerSecond = 25.0;
    bool m_codecKnown = false;
    std::string m_codecText;
    PictureScaler m_scaler;  // player thread only

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;   // the player thread waits on it
    std::condition_variable m_state;  // waitSettled waits on it
    std::optional<Request> m_request;
    std::atomic<bool> m_cancel{false};
    uint64_t m_serial = 0;
    bool m_quit = false;
    bool m_paused = false;
    bool m_rescale = false;
    bool m_everShown = false;
    bool m_running = false;  // the player's thread is carrying out a request
    Mode m_mode = Mode::Stopped;
    int64_t m_position = 0;
    int64_t m_shownPosition = 0;
    int m_outputWidth = 0;
    int m_outputHeight = 0;
    SharedFrame m_shown;
    int64_t m_shownFrame = -1;
    std::shared_ptr<const BgraPicture> m_painted;
    std::function<void()> m_sink;
    PlaybackListener* m_listener = nullptr;
    std::thread m_thread;
};

}  // namespace mci
