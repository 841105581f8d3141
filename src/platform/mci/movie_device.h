// SPDX-License-Identifier: GPL-3.0-or-later
// What the command interpreter needs of a movie: an open clip that can be positioned, played and
// asked about, and a factory that opens one. The Qt + FFmpeg player implements these; tests and
// the fuzz target use small fakes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace mci {

enum class Mode { NotReady, Stopped, Playing, Seeking, Paused };

// The word "status ... mode" answers.
const char* ModeWord(Mode mode);

struct WindowRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t width = 0;
    int32_t height = 0;
};

// Frame numbers are 0-based from the video stream's first frame. length() is the number of
// frames; the position may be length() (one past the last frame, showing the last picture).
// Every call returns at once: seeks and playback run in the background.
class Movie {
  public:
    virtual ~Movie() = default;
    virtual int64_t length() const = 0;
    virtual int64_t position() const = 0;
    virtual Mode mode() const = 0;
    // The key frame at or before frame, or -1 when there is none.
    virtual int64_t keyFrameAtOrBefore(int64_t frame) const = 0;
    // Places the picture inside its parent window; returns 0 or a result code.
    virtual int32_t putWindow(const WindowRect& rect) = 0;
    // exact: decode from the key frame before the target and show the target itself; otherwise
    // land on that key frame. A seek ends "stopped", a cue ends "paused".
    virtual void seek(int64_t frame, bool exact) = 0;
    virtual void cue(int64_t frame, bool exact) = 0;
    // Plays from..to inclusive in real time and ends "stopped" at to.
    virtual void play(int64_t from, int64_t to, bool exact) = 0;
    virtual void stop() = 0;
    virtual void pause() = 0;
    virtual void resume() = 0;
    // Blocks until the movie is neither seeking nor (when includePlay) playing, or the time is
    // up. Returns true when it settled.
    virtual bool waitSettled(bool includePlay, int timeoutMs) = 0;
};

struct OpenRequest {
    std::string path;
    bool hasParent = false;
    int64_t parent = 0;  // id of a registered window
    bool childStyle = false;
};

class MovieFactory {
  public:
    virtual ~MovieFactory() = default;
    // Returns 0 and the movie, or a result code (275 missing file, 296 not a playable AVI, 347
    // no such parent window ...) with a short text in *failure.
    virtual int32_t open(const OpenRequest& request, std::unique_ptr<Movie>* out,
                         std::string* failure) = 0;
};

}  // namespace mci
