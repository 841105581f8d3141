// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/mci/movie_player.h"

#include <algorithm>
#include <cmath>

namespace mci {

MoviePlayer::MoviePlayer(std::unique_ptr<avi::Reader> reader, int stream)
    : m_reader(std::move(reader)) {
    m_decoder = FrameDecoder::Create(*m_reader, stream);
    m_length = std::max<int64_t>(m_decoder->frameCount(), 0);
    m_codecKnown = m_decoder->codecKnown();
    m_codecText = m_decoder->codecText();
    const AVISTREAMINFO info = m_reader->streamInfo(stream);
    if (info.dwRate != 0 && info.dwScale != 0) {
        m_framesPerSecond = static_cast<double>(info.dwRate) / info.dwScale;
    } else if (m_reader->mainHeader().dwMicroSecPerFrame != 0) {
        m_framesPerSecond = 1e6 / m_reader->mainHeader().dwMicroSecPerFrame;
    }
    m_framesPerSecond = std::clamp(m_framesPerSecond, 0.01, 1000.0);
    m_thread = std::thread([this] { run(); });
    post({Job::Show, 0, 0, 0});
}

MoviePlayer::~MoviePlayer() {
    shutdown();
}

void MoviePlayer::shutdown() {
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
        m_cancel = true;
        m_sink = nullptr;
        m_listener = nullptr;
        ++m_serial;
        if (m_mode != Mode::Stopped) {
            m_mode = Mode::Stopped;
            m_position = m_shownPosition;
        }
    }
    m_wake.notify_all();
    m_state.notify_all();
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

int64_t MoviePlayer::keyFrameAtOrBefore(int64_t frame) const {
    return m_decoder->keyFrameAtOrBefore(frame);
}

Mode MoviePlayer::mode() const {
    std::lock_guard lock(m_mutex);
    return m_mode;
}

int64_t MoviePlayer::position() const {
    std::lock_guard lock(m_mutex);
    return m_position;
}

void MoviePlayer::seek(int64_t frame, bool exact) {
    if (!exact && frame < m_length) {
        frame = std::max<int64_t>(keyFrameAtOrBefore(frame), 0);
    }
    post({Job::Seek, frame, frame, 0});
}

void MoviePlayer::cue(int64_t frame, bool exact) {
    if (!exact && frame < m_length) {
        frame = std::max<int64_t>(keyFrameAtOrBefore(frame), 0);
    }
    post({Job::Cue, frame, frame, 0});
}

void MoviePlayer::play(int64_t from, int64_t to) {
    post({Job::Play, from, to, 0});
}

void MoviePlayer::post(const Request& request) {
    {
        std::lock_guard lock(m_mutex);
        if (m_quit) {
            return;
        }
        m_request = request;
        m_request->serial = ++m_serial;
        m_cancel = true;
        m_paused = false;
        if (request.job == Job::Seek || request.job == Job::Cue) {
            m_mode = Mode::Seeking;
            m_position = request.to;
        } else if (request.job == Job::Play) {
            m_mode = Mode::Playing;
            m_position = request.from;
        }
    }
    m_wake.notify_all();
    m_state.notify_all();
}

void MoviePlayer::stop() {
    {
        std::lock_guard lock(m_mutex);
        ++m_serial;  // whatever runs now ends without changing the mode again
        m_request.reset();
        m_cancel = true;
        m_paused = false;
        m_mode = Mode::Stopped;
        m_position = m_shownPosition;
        if (!m_everShown && !m_quit) {
            // Stopped before the first picture came: show the one at the position.
            m_request = Request{Job::Show, m_position, m_position, m_serial};
        }
    }
    m_wake.notify_all();
    m_state.notify_all();
}

void MoviePlayer::pause() {
    {
        std::lock_guard lock(m_mutex);
        if (m_mode == Mode::Playing) {
            m_paused = true;
        }
        if (m_mode == Mode::Playing || m_mode == Mode::Stopped) {
            m_mode = Mode::Paused;
        }
    }
    m_wake.notify_all();
    m_state.notify_all();
}

void MoviePlayer::resume() {
    {
        std::lock_guard lock(m_mutex);
        if (!m_paused) {
            return;
        }
        m_paused = false;
        m_mode = Mode::Playing;
    }
    m_wake.notify_all();
    m_state.notify_all();
}

bool MoviePlayer::waitSettled(bool includePlay, int timeoutMs) {
    std::unique_lock lock(m_mutex);
    return m_state.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
        return !m_request && !m_running && m_mode != Mode::Seeking &&
               (!includePlay || (m_mode != Mode::Playing && m_mode != Mode::Paused));
    });
}

void MoviePlayer::setOutputSize(int width, int height) {
    {
        std::lock_guard lock(m_mutex);
        m_outputWidth = std::max(width, 0);
        m_outputHeight = std::max(height, 0);
        m_rescale = true;
    }
    m_wake.notify_all();
}

void MoviePlayer::setPictureSink(std::function<void()> sink) {
    std::lock_guard lock(m_mutex);
    m_sink = std::move(sink);
}

void MoviePlayer::setPlaybackListener(PlaybackListener* listener) {
    std::lock_guard lock(m_mutex);
    m_listener = listener;
}

std::shared_ptr<const BgraPicture> MoviePlayer::paintedPicture() const {
    std::lock_guard lock(m_mutex);
    return m_painted;
}

SharedFrame MoviePlayer::shownPicture(int64_t* frame) const {
    std::lock_guard lock(m_mutex);
    if (frame != nullptr) {
        *frame = m_shownFrame;
    }
    return m_shown;
}

void MoviePlayer::run() {
    for (;;) {
        Request request;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [&] { return m_quit || m_request || m_rescale; });
            if (m_quit) {
                return;
            }
            if (!m_request) {
                lock.unlock();
                rescale();
                continue;
            }
            request = *m_request;
            m_request.reset();
            m_cancel = false;
            m_running = true;
        }
        if (request.job == Job::Play) {
            runPlay(request);
        } else {
            runSeek(request);
        }
        {
            std::lock_guard lock(m_mutex);
            m_running = false;
        }
        m_state.notify_all();
    }
}

void MoviePlayer::runSeek(const Request& request) {
    if (m_length > 0) {
        const int64_t frame = std::clamp<int64_t>(request.to, 0, m_length - 1);
        if (!m_decoder->decodeTo(frame, &m_cancel)) {
            return;
        }
        show(request.to, request.serial);
    }
    if (request.job == Job::Seek) {
        finish(request, Mode::Stopped);
    } else if (request.job == Job::Cue) {
        finish(request, Mode::Paused);
    }
}

// Plays in real time against the clock: a frame that is due is shown; when decoding falls
// behind, frames are skipped (the decoder restarts at a key frame when that is quicker).
void MoviePlayer::runPlay(const Request& request) {
    const int64_t last = std::min(request.to, m_length - 1);
    const auto frameTime = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(1.0 / m_framesPerSecond));
    PlaybackListener* listener = nullptr;
    {
        std::lock_guard lock(m_mutex);
        listener = m_listener;
    }
    Clock::time_point start = Clock::now();
    if (listener != nullptr && request.from <= last) {
        listener->playbackStarted(request.from, request.to);
    }
    for (int64_t frame = request.from; frame <= last;) {
        if (!m_decoder->decodeTo(frame, &m_cancel)) {
            break;
        }
        const Clock::time_point due = start + frameTime * (frame - request.from);
        const Clock::time_point now = Clock::now();
        if (frame < last && now > due + frameTime) {
            const auto behind = (now - start) / frameTime;
            frame = std::clamp<int64_t>(request.from + behind, frame + 1, last);
            continue;
        }
        Clock::time_point pausedSince;
        if (!waitUntil(due, &pausedSince)) {
            break;
        }
        if (pausedSince != Clock::time_point()) {
            start += Clock::now() - pausedSince;
            if (listener != nullptr) {
                listener->playbackStarted(frame, request.to);
            }
        }
        if (!show(frame, request.serial)) {
            break;
        }
        ++frame;
    }
    if (listener != nullptr) {
        listener->playbackStopped();
    }
    if (!m_cancel) {
        if (request.to >= m_length) {
            std::lock_guard lock(m_mutex);
            if (request.serial == m_serial) {
                m_position = m_shownPosition = request.to;
            }
        }
        finish(request, Mode::Stopped);
    }
}

// Waits for the time a frame is due; a pause holds the clock. False when cancelled.
bool MoviePlayer::waitUntil(Clock::time_point when, Clock::time_point* pausedSince) {
    std::unique_lock lock(m_mutex);
    *pausedSince = Clock::time_point();
    for (;;) {
        if (m_cancel) {
            return false;
        }
        if (m_paused) {
            if (*pausedSince == Clock::time_point()) {
                *pausedSince = Clock::now();
                PlaybackListener* listener = m_listener;
                if (listener != nullptr) {
                    lock.unlock();
                    listener->playbackStopped();
                    lock.lock();
                }
                continue;
            }
            m_wake.wait(lock);
            continue;
        }
        if (*pausedSince != Clock::time_point()) {
            return true;  // resumed: the caller moves its clock on by the time paused
        }
        if (Clock::now() >= when) {
            return true;
        }
        m_wake.wait_until(lock, when);
    }
}

bool MoviePlayer::show(int64_t position, uint64_t serial) {
    return show(position, m_decoder->sharedPicture(), m_decoder->currentFrame(), serial);
}

// Scales the picture and makes it, with its frame, the one on screen; a picture of a request
// that has since been replaced or stopped is dropped, so that the position never answers a frame
// other than the one painted. False when dropped.
bool MoviePlayer::show(int64_t position, SharedFrame picture, int64_t frame, uint64_t serial) {
    int width = 0;
    int height = 0;
    {
        std::lock_guard lock(m_mutex);
        width = m_outputWidth;
        height = m_outputHeight;
        m_rescale = false;
    }
    std::shared_ptr<BgraPicture> painted;
    if (picture) {
        painted = std::make_shared<BgraPicture>();
        if (!m_scaler.toBgra(picture.get(), width, height, painted.get())) {
            painted.reset();
        } else {
            painted->frame = position;
        }
    }
    std::function<void()> sink;
    {
        std::lock_guard lock(m_mutex);
        if (serial != m_serial) {
            return false;
        }
        m_shown = std::move(picture);
        m_shownFrame = frame;
        m_painted = std::move(painted);
        m_shownPosition = position;
        m_everShown = true;
        if (m_mode == Mode::Playing || m_mode == Mode::Paused) {
            m_position = position;
        }
        sink = m_sink;
    }
    if (sink) {
        sink();
    }
    return true;
}

void MoviePlayer::rescale() {
    int64_t position = 0;
    int64_t frame = -1;
    SharedFrame picture;
    uint64_t serial = 0;
    {
        std::lock_guard lock(m_mutex);
        position = m_shownPosition;
        frame = m_shownFrame;
        picture = m_shown;
        serial = m_serial;
    }
    show(position, picture, frame, serial);
}

void MoviePlayer::finish(const Request& request, Mode mode) {
    {
        std::lock_guard lock(m_mutex);
        if (request.serial == m_serial && !m_request) {
            m_mode = mode;
        }
    }
    m_state.notify_all();
}

}  // namespace mci
