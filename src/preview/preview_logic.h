// SPDX-License-Identifier: GPL-3.0-or-later
// The preview's logic: the two views over the clip list and their frame numbering, opening,
// positioning and playing the movie through its command strings, marking segments, the captions,
// status texts, toolbar state and marker strip of the window. No Qt: the window implements
// PreviewView and forwards its events here.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "media/clip_info.h"
#include "platform/dialogs.h"
#include "preview/movie_commands.h"
#include "preview/preview_geometry.h"
#include "preview/preview_view.h"
#include "preview/splice_points.h"

namespace preview {

enum class OpenMode { Cue, NoCue, RangesOnly };

// ReadPosition's results besides 0 (done) and a failed position query's result code.
inline constexpr int32_t kStillSeeking = -1;
inline constexpr int32_t kUnreadableReply = -2;

class PreviewLogic {
  public:
    // splices tells where a segment can end exactly; without, every frame can end one.
    PreviewLogic(PreviewView& view, CommandSender& sender, platform::Dialogs& dialogs,
                 SplicePoints* splices = nullptr);

    // The clip list the preview works on, in job order.
    void setClips(std::vector<ClipInfo> clips);
    const std::vector<ClipInfo>& clips() const { return m_clips; }

    // Window load: opens the device type and forgets the position.
    void Form_Load();
    // Window unload: closes the device type.
    void Form_Unload();
    // Close box, "Exit" or the program closing the window: timer off, movie closed, playing off.
    void closeRequest();

    void InitPreview(int clipIndex, int16_t permission);
    void ResetView();
    void OpenMovie(OpenMode mode);
    int32_t ReadPosition();
    void TimerTick();
    void TogglePlay();
    void SeekClipFrame(int32_t clipFrame);
    void SeekViewFrame(int32_t viewFrame);
    void MarkSegmentEnd(int which);
    void previousKeyFrame();
    // In the single-clip view while marking: to the nearest frame after (before) the one shown
    // where the segment can end exactly.
    void nextExactEnd();
    void previousExactEnd();
    void nextSplice();
    void switchView();
    void SetScale(int16_t scale);
    void RefreshView();
    void ShowPlayState();

    // The window's events.
    void buttonClick(Button button);
    void scaleCommand(int16_t scale);
    // The user moved the thumb (dragging, or a click or key on the slider) to a value.
    void sliderMoved(int32_t value);
    // The user let go of the thumb at a value.
    void sliderReleased(int32_t value);
    // The movie area became width x height other than by LayoutWindow (the user or the window
    // system resized the window): the picture fits the area from now on ("Fit to Window").
    void areaResized(int32_t width, int32_t height);

    // The one reporting sender: a failure is shown once, and again only after the same command
    // has succeeded in between; the poll timer is held while the box is open.
    int32_t SendMovieCommand(const std::string& command, std::string& reply);

    // View state, for the window and for tests.
    int openedClip() const { return m_openedClip; }
    int viewClip() const { return m_viewClip; }
    int16_t markingAllowed() const { return m_markingAllowed; }
    int16_t markingOn() const { return m_markingOn; }
    int currentClip() const { return m_currentClip; }
    int32_t viewFrames() const { return m_viewFrames; }
    int32_t rangeStart() const { return m_rangeStart; }
    int32_t rangeEnd() const { return m_rangeEnd; }
    int32_t currentFrame() const { return m_currentFrame; }
    bool playing() const { return m_playing; }
    bool settled() const { return m_settled; }
    int16_t displayScale() const { return m_layout.scale; }
    const WindowLayout& layout() const { return m_layout; }
    float frameRate() const { return m_frameRate; }

  private:
    bool joined() const { return m_viewClip < 0; }
    bool validClip(int index) const;
    int32_t segmentFrames(int index) const;  // never below 0
    int32_t clipFrames(int index) const;     // dwLength - dwStart, never below 0
    int32_t segmentStart(int index) const;   // joined view frame where the entry begins
    int32_t leadIn() const;
    int32_t leadOut() const;
    // The next entry after the current one that takes view frames, or -1.
    int nextPlayableClip() const;
    void computeRange();
    void LayoutWindow(int16_t scale);
    void putMovieWindow();
    void setTimer(bool enabled);
    void moveToClipAndPlay(int clip);
    void showFrame(int32_t viewFrame, bool keyFrame, bool exactEnd);
    // Whether the segment can end exactly at the clip frame shown (Mark Out follows it), and
    // whether to say so beside the frame number.
    bool testExactEnd(int32_t clipFrame, bool* shown);
    void seekExactEnd(bool after);
    void showClipName();
    void drawStrip();
    // The key frame at or before a clip frame, through the reference query; nullopt on failure.
    std::optional<int32_t> referenceFrame(int32_t clipFrame);
    bool positionUsable() const;
    void adjustPollForPlayback(int32_t clipFrame);
    void tell(const std::string& title, const std::string& text);

    PreviewView& m_view;
    CommandSender& m_sender;
    platform::Dialogs& m_dialogs;
    SplicePoints* m_splices;

    std::vector<ClipInfo> m_clips;
    int m_openedClip = -1;
    int m_viewClip = -1;
    int16_t m_markingAllowed = 0;
    int16_t m_markingOn = 0;
    int m_currentClip = 0;
    float m_frameRate = 0.0f;
    int32_t m_viewFrames = 0;
    int32_t m_rangeStart = 0;
    int32_t m_rangeEnd = -1;
    int32_t m_currentFrame = -1;
    bool m_playing = false;
    WindowLayout m_layout;
    std::optional<WindowLayout> m_putLayout;  // the rectangle the movie was last given

    // A position read returned 0 since the last open or seek.
    bool m_settled = false;
    // The frame shown has not been tested for being a key frame since the last open, seek or
    // stop.
    bool m_keyTestPending = true;
    bool m_inTick = false;
    bool m_boxOpen = false;
    bool m_timerWanted = false;
    std::set<std::string> m_reportedFailures;
    // Scrubbing: a seek is still being decoded, and the newest target that waits for it.
    bool m_seekInFlight = false;
    std::optional<int32_t> m_scrubTarget;
    int32_t m_lastSeekTarget = -1;  // view frame of the last seek sent
};

}  // namespace preview
