// SPDX-License-Identifier: GPL-3.0-or-later
#include "preview/preview_logic.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "media/clip_inspection.h"

namespace preview {

namespace {

constexpr const char* kErrorTitle = "MCI command error";
constexpr int kPollMs = 100;
constexpr int kShortestPollMs = 10;

int32_t ToInt32(int64_t value) {
    return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

// Failures are reported once per kind of command: the command without a trailing number.
std::string FailureKey(const std::string& command) {
    const size_t blank = command.find_last_of(' ');
    if (blank == std::string::npos) {
        return command;
    }
    int32_t number = 0;
    return ParseReplyNumber(command.substr(blank + 1), &number) ? command.substr(0, blank)
                                                                : command;
}

}  // namespace

PreviewLogic::PreviewLogic(PreviewView& view, CommandSender& sender, platform::Dialogs& dialogs,
                           SplicePoints* splices)
    : m_view(view), m_sender(sender), m_dialogs(dialogs), m_splices(splices) {}

void PreviewLogic::setClips(std::vector<ClipInfo> clips) {
    m_clips = std::move(clips);
}

// ---- numbering -------------------------------------------------------------------------------

bool PreviewLogic::validClip(int index) const {
    return index >= 0 && index < static_cast<int>(m_clips.size());
}

int32_t PreviewLogic::segmentFrames(int index) const {
    return validClip(index) ? std::max(m_clips[static_cast<size_t>(index)].segmentFrames, 0) : 0;
}

int32_t PreviewLogic::clipFrames(int index) const {
    if (!validClip(index)) {
        return 0;
    }
    const AVISTREAMINFO& info = m_clips[static_cast<size_t>(index)].videoInfo;
    return ToInt32(std::max<int64_t>(int64_t{info.dwLength} - int64_t{info.dwStart}, 0));
}

int32_t PreviewLogic::segmentStart(int index) const {
    int64_t sum = 0;
    for (int k = 0; k < index && validClip(k); ++k) {
        sum += segmentFrames(k);
    }
    return ToInt32(sum);
}

int32_t PreviewLogic::leadIn() const {
    return validClip(m_currentClip) ? m_clips[static_cast<size_t>(m_currentClip)].leadIn : 0;
}

int32_t PreviewLogic::leadOut() const {
    return validClip(m_currentClip) ? m_clips[static_cast<size_t>(m_currentClip)].leadOut : 0;
}

int PreviewLogic::nextPlayableClip() const {
    for (int k = m_currentClip + 1; validClip(k); ++k) {
        if (segmentFrames(k) > 0) {
            return k;
        }
    }
    return -1;
}

void PreviewLogic::computeRange() {
    if (joined()) {
        m_rangeStart = segmentStart(m_currentClip);
        m_rangeEnd = m_rangeStart + segmentFrames(m_currentClip) - 1;
    } else {
        m_rangeStart = 0;
        m_rangeEnd = clipFrames(m_currentClip) - 1;
    }
}

// ---- load, show, close -----------------------------------------------------------------------

void PreviewLogic::Form_Load() {
    std::string reply;
    const int32_t result = m_sender.send("open avivideo", reply);
    if (result != 0) {
        m_dialogs.messageBox("", "open returned " + std::to_string(result) + "(" + reply + ")",
                             platform::MessageButtons::Ok);
    }
    m_currentFrame = -1;
}

void PreviewLogic::Form_Unload() {
    std::string reply;
    SendMovieCommand("close avivideo", reply);
}

void PreviewLogic::closeRequest() {
    setTimer(false);
    std::string reply;
    m_sender.send("close movie", reply);
    const bool wasPlaying = m_playing;
    m_playing = false;
    m_view.setTimerInterval(kPollMs);
    m_scrubTarget.reset();
    m_seekInFlight = false;
    m_putLayout.reset();
    if (wasPlaying) {
        ShowPlayState();
    }
}

void PreviewLogic::InitPreview(int clipIndex, int16_t permission) {
    if (!validClip(clipIndex)) {
        clipIndex = -1;
    }
    m_openedClip = clipIndex;
    m_viewClip = clipIndex;
    m_markingAllowed = permission;
    m_markingOn = clipIndex < 0 ? 0 : permission;
    // The joined view starts at the first entry that takes view frames.
    m_currentClip = 0;
    if (clipIndex < 0 && segmentFrames(0) <= 0) {
        const int next = nextPlayableClip();
        m_currentClip = next < 0 ? 0 : next;
    }
    ResetView();
}

void PreviewLogic::ResetView() {
    m_frameRate = m_clips.empty() ? 0.0f : GetVideoSummary(m_clips.front()).frameRate;
    LayoutWindow(kScaleOriginal);
    if (joined()) {
        m_viewFrames = segmentStart(static_cast<int>(m_clips.size()));
    } else {
        m_currentClip = m_viewClip;
        m_viewFrames = clipFrames(m_viewClip);
    }
    RefreshView();
}

void PreviewLogic::LayoutWindow(int16_t scale) {
    FrameSize size;
    if (!m_clips.empty()) {
        size = GetFrameSize(m_clips.front());
    }
    // Fit to Window keeps the window's area; the other scales size the window to the picture.
    m_layout =
        scale == kScaleFit
            ? ComputeFitLayout(size.width, size.height, m_view.displayAspect(), m_layout.areaWidth,
                               m_layout.areaHeight, m_view.sliderBottom())
            : ComputeLayout(size.width, size.height, scale, m_view.sliderBottom());
    m_view.applyLayout(m_layout);
}

void PreviewLogic::areaResized(int32_t width, int32_t height) {
    if (width == m_layout.areaWidth && height == m_layout.areaHeight) {
        return;
    }
    m_layout.areaWidth = width;
    m_layout.areaHeight = height;
    LayoutWindow(kScaleFit);
    if (m_putLayout) {  // a movie is open
        putMovieWindow();
    }
    RefreshView();
}

void PreviewLogic::putMovieWindow() {
    std::string reply;
    SendMovieCommand(PutWindowCommand(m_layout.movieLeft, m_layout.movieTop, m_layout.movieWidth,
                                      m_layout.movieHeight),
                     reply);
    m_putLayout = m_layout;
}

void PreviewLogic::OpenMovie(OpenMode mode) {
    if (!validClip(m_currentClip)) {
        return;
    }
    computeRange();
    if (mode != OpenMode::RangesOnly) {
        std::string reply;
        m_sender.send("close movie", reply);
        m_putLayout.reset();
        const ClipInfo& clip = m_clips[static_cast<size_t>(m_currentClip)];
        if (SendMovieCommand(OpenMovieCommand(clip.fileName, m_view.windowId()), reply) == 0) {
            putMovieWindow();
            SendMovieCommand("set movie seek exactly on", reply);
            if (mode == OpenMode::Cue) {
                SendMovieCommand("cue movie output to " + std::to_string(clip.leadIn), reply);
            }
        }
        m_settled = false;
        m_keyTestPending = true;
        m_seekInFlight = false;
        m_view.setButtonEnabled(Button::MarkIn, false);
        m_view.setButtonEnabled(Button::MarkOut, false);
    } else if (m_putLayout && (m_putLayout->movieLeft != m_layout.movieLeft ||
                               m_putLayout->movieTop != m_layout.movieTop ||
                               m_putLayout->movieWidth != m_layout.movieWidth ||
                               m_putLayout->movieHeight != m_layout.movieHeight)) {
        // The view switch put the window back to its original size: the picture follows.
        putMovieWindow();
    }
    showClipName();
    RefreshView();
    setTimer(true);
}

void PreviewLogic::showClipName() {
    if (!validClip(m_currentClip)) {
        return;
    }
    std::string text = FileTitle(m_clips[static_cast<size_t>(m_currentClip)].fileName);
    if (joined()) {
        text +=
            " (" + std::to_string(m_currentClip + 1) + "/" + std::to_string(m_clips.size()) + ")";
    }
    m_view.setStatusText(1, text);
}

// ---- position --------------------------------------------------------------------------------

int32_t PreviewLogic::ReadPosition() {
    std::string reply;
    const int32_t result = SendMovieCommand("status movie position", reply);
    if (result != 0) {
        return result;
    }
    int32_t clipFrame = 0;
    if (!ParseReplyNumber(reply, &clipFrame)) {
        return kUnreadableReply;
    }
    int64_t view = int64_t{clipFrame} + m_rangeStart;
    if (joined()) {
        view -= leadIn();
        // Before the play command takes effect a clip opened without cue may still be at its
        // first frame: the joined view never shows a frame outside the current entry.
        if (m_rangeEnd >= m_rangeStart) {
            view = std::clamp<int64_t>(view, m_rangeStart, m_rangeEnd);
        }
    }
    int32_t v = ToInt32(view);
    if (m_playing) {
        adjustPollForPlayback(clipFrame);
    }
    if (v == m_currentFrame && (m_playing || !m_keyTestPending)) {
        m_settled = true;
        m_seekInFlight = false;
        return 0;
    }
    bool keyFrame = false;
    bool exactEnd = false;
    if (!m_playing) {
        if (SendMovieCommand("status movie mode ", reply) == 0 && ModeIs(reply, "seeking")) {
            m_view.setFrameLabel("seeking");
            return kStillSeeking;
        }
        const std::optional<int32_t> reference = referenceFrame(clipFrame);
        keyFrame = reference && *reference == clipFrame;
        if (keyFrame) {
            m_view.setButtonEnabled(Button::MarkIn, true);
        } else if (m_view.buttonEnabled(Button::MarkIn)) {
            m_view.setButtonEnabled(Button::MarkIn, false);
        }
        testExactEnd(clipFrame, &exactEnd);
        m_keyTestPending = false;
    }
    if (v >= m_viewFrames) {
        v = m_viewFrames - 1;
    }
    v = std::max(v, 0);
    showFrame(v, keyFrame, exactEnd);
    m_currentFrame = v;
    m_settled = true;
    m_seekInFlight = false;
    return 0;
}

void PreviewLogic::showFrame(int32_t viewFrame, bool keyFrame, bool exactEnd) {
    m_view.setSliderValue(viewFrame);
    const std::string marks = std::string(keyFrame ? "k" : "") + (exactEnd ? "e" : "");
    m_view.setFrameLabel((marks.empty() ? "  " : marks) + " " + std::to_string(viewFrame));
    const float seconds = m_frameRate > 0.0f && std::isfinite(m_frameRate)
                              ? static_cast<float>(viewFrame) / m_frameRate
                              : 0.0f;
    m_view.setStatusText(3, FormatTime(std::isfinite(seconds) ? seconds : 0.0f, 1) + " ");
}

std::optional<int32_t> PreviewLogic::referenceFrame(int32_t clipFrame) {
    std::string reply;
    int32_t reference = 0;
    if (SendMovieCommand("status movie reference " + std::to_string(clipFrame), reply) != 0 ||
        !ParseReplyNumber(reply, &reference)) {
        return std::nullopt;
    }
    return reference;
}

// While a joined playback nears the end of a segment the next tick comes when the segment ends,
// so the next one starts without waiting out a whole poll interval.
void PreviewLogic::adjustPollForPlayback(int32_t clipFrame) {
    int interval = kPollMs;
    if (joined() && nextPlayableClip() >= 0 && m_frameRate > 0.0f) {
        const double remainingMs = (leadOut() - clipFrame + 1) * 1000.0 / m_frameRate;
        if (remainingMs < kPollMs) {
            interval = std::max(kShortestPollMs, static_cast<int>(remainingMs));
        }
    }
    m_view.setTimerInterval(interval);
}

void PreviewLogic::TimerTick() {
    if (m_inTick || m_boxOpen) {
        return;
    }
    m_inTick = true;
    if (m_playing) {
        std::string reply;
        if (m_sender.send("status movie mode", reply) == 0 && ModeIs(reply, "stopped")) {
            const int next = joined() ? nextPlayableClip() : -1;
            if (next >= 0) {
                moveToClipAndPlay(next);
            } else {
                m_playing = false;
                m_view.setTimerInterval(kPollMs);
                m_keyTestPending = true;
                ShowPlayState();
                ReadPosition();
            }
        } else {
            ReadPosition();
        }
    } else if (ReadPosition() == 0) {
        if (m_scrubTarget) {
            const int32_t target = *m_scrubTarget;
            m_scrubTarget.reset();
            SeekViewFrame(target);
        } else {
            setTimer(false);
        }
    }
    m_inTick = false;
}

void PreviewLogic::moveToClipAndPlay(int clip) {
    m_currentClip = clip;
    OpenMovie(OpenMode::NoCue);
    std::string reply;
    m_sender.send(
        "play movie from " + std::to_string(leadIn()) + " to " + std::to_string(leadOut()), reply);
    m_playing = true;
    setTimer(true);
}

// ---- play, seek ------------------------------------------------------------------------------

void PreviewLogic::TogglePlay() {
    std::string reply;
    if (m_playing) {
        SendMovieCommand("stop movie", reply);
        m_playing = false;
        m_keyTestPending = true;
        m_view.setTimerInterval(kPollMs);
        setTimer(true);
    } else if (validClip(m_currentClip)) {
        m_scrubTarget.reset();
        const int32_t d = m_currentFrame - m_rangeStart;
        const int32_t li = leadIn();
        const int32_t lo = leadOut();
        const int next = joined() ? nextPlayableClip() : -1;
        if (joined() && segmentFrames(m_currentClip) <= 0) {
            // An entry without frames plays nothing of its own.
            if (next >= 0) {
                moveToClipAndPlay(next);
            }
        } else if (d < lo) {
            std::string command = "play movie ";
            if (!joined() && d < li) {
                command += "from " + std::to_string(li) + " ";
            }
            SendMovieCommand(command + "to " + std::to_string(lo), reply);
            m_playing = true;
            setTimer(true);
        } else if (next >= 0) {
            moveToClipAndPlay(next);
        }
    }
    ShowPlayState();
}

void PreviewLogic::SeekClipFrame(int32_t clipFrame) {
    std::string reply;
    SendMovieCommand("seek movie to " + std::to_string(clipFrame), reply);
    m_settled = false;
    m_keyTestPending = true;
    m_seekInFlight = true;
    m_lastSeekTarget = ToInt32(int64_t{clipFrame} + m_rangeStart - (joined() ? leadIn() : 0));
    setTimer(true);
}

void PreviewLogic::SeekViewFrame(int32_t viewFrame) {
    if (viewFrame < 0 || viewFrame >= m_viewFrames) {
        return;
    }
    if (viewFrame < m_rangeStart || viewFrame > m_rangeEnd) {
        if (!joined()) {
            return;
        }
        int64_t sum = 0;
        int k = 0;
        for (; validClip(k); ++k) {
            sum += segmentFrames(k);
            if (sum > viewFrame) {
                break;
            }
        }
        if (!validClip(k)) {
            return;
        }
        m_currentClip = k;
        OpenMovie(OpenMode::NoCue);
    }
    SeekClipFrame(viewFrame - m_rangeStart + (joined() ? leadIn() : 0));
}

bool PreviewLogic::positionUsable() const {
    return m_settled && m_currentFrame >= 0 && m_currentFrame < clipFrames(m_currentClip);
}

void PreviewLogic::MarkSegmentEnd(int which) {
    if (joined() || m_markingOn == 0 || m_playing || !positionUsable()) {
        return;
    }
    ClipInfo& clip = m_clips[static_cast<size_t>(m_currentClip)];
    if (which == 0) {
        if (m_currentFrame > clip.leadOut) {
            tell("Mark In", "The segment cannot start at frame " + std::to_string(m_currentFrame) +
                                ", after its end at frame " + std::to_string(clip.leadOut) +
                                ".  Mark In at or before the end, or move the end first.");
            return;
        }
        // A segment must begin on a key frame: ask again now, whatever the button shows.
        const std::optional<int32_t> reference = referenceFrame(m_currentFrame);
        if (!reference || *reference != m_currentFrame) {
            m_view.setButtonEnabled(Button::MarkIn, false);
            return;
        }
        clip.leadIn = m_currentFrame;
    } else {
        if (m_currentFrame < clip.leadIn) {
            tell("Mark Out", "The segment cannot end at frame " + std::to_string(m_currentFrame) +
                                 ", before its start at frame " + std::to_string(clip.leadIn) +
                                 ".  Mark Out at or after the start, or move the start first.");
            return;
        }
        // A segment can end only where it ends exactly.
        bool shown = false;
        if (!testExactEnd(m_currentFrame, &shown)) {
            return;
        }
        clip.leadOut = m_currentFrame;
    }
    clip.segmentFrames = clip.leadOut - clip.leadIn + 1;
    RefreshView();
}

void PreviewLogic::previousKeyFrame() {
    if (joined() || !m_settled || m_currentFrame <= 0) {
        return;
    }
    if (const std::optional<int32_t> reference = referenceFrame(m_currentFrame - 1)) {
        SeekClipFrame(*reference);
    }
}

void PreviewLogic::nextSplice() {
    if (!joined()) {
        return;
    }
    if (m_currentFrame < m_rangeEnd) {
        SeekViewFrame(m_rangeEnd);
    } else if (m_currentFrame < m_viewFrames - 1) {
        SeekViewFrame(m_currentFrame + 1);
    }
}

void PreviewLogic::switchView() {
    if (m_openedClip >= 0 || !validClip(m_currentClip)) {
        return;
    }
    const int32_t li = leadIn();
    const int32_t lastOffset = std::max(segmentFrames(m_currentClip) - 1, 0);
    if (joined()) {
        // Stay on the frame shown: its offset in the segment, counted from the lead-in.
        const int32_t d = std::clamp(m_currentFrame - m_rangeStart, 0, lastOffset);
        m_viewClip = m_currentClip;
        m_markingOn = m_markingAllowed;
        ResetView();
        OpenMovie(OpenMode::RangesOnly);
        SeekClipFrame(li + d);
    } else {
        // A frame outside the segment is not in the joined view: take the nearest one that is.
        const int32_t d = std::clamp(m_currentFrame - li, 0, lastOffset);
        m_viewClip = -1;
        m_markingOn = 0;
        ResetView();
        OpenMovie(OpenMode::RangesOnly);
        SeekViewFrame(m_rangeStart + d);
    }
}

// ---- commands --------------------------------------------------------------------------------

void PreviewLogic::setTimer(bool enabled) {
    m_timerWanted = enabled;
    if (!m_boxOpen) {
        m_view.setTimerEnabled(enabled);
    }
}

int32_t PreviewLogic::SendMovieCommand(const std::string& command, std::string& reply) {
    const int32_t result = m_sender.send(command, reply);
    const std::string key = FailureKey(command);
    if (result == 0) {
        m_reportedFailures.erase(key);
        return 0;
    }
    if (m_boxOpen || !m_reportedFailures.insert(key).second) {
        return result;
    }
    tell(kErrorTitle, CommandErrorText(command, result, reply));
    return result;
}

// A box holds the poll timer while it is open, and no other box opens from a tick meanwhile.
void PreviewLogic::tell(const std::string& title, const std::string& text) {
    m_boxOpen = true;
    m_view.setTimerEnabled(false);
    m_dialogs.messageBox(title, text, platform::MessageButtons::Ok);
    m_boxOpen = false;
    m_view.setTimerEnabled(m_timerWanted);
}

}  // namespace preview
