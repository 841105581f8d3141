// SPDX-License-Identifier: GPL-3.0-or-later
// What the join progress window decides, without the window: the status number and its
// transitions, running the join exactly once, the report, when viewing and deleting are offered,
// the cancel question and the deletion of the source files.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "join/join_engine.h"
#include "join/join_report.h"
#include "media/clip_info.h"
#include "platform/dialogs.h"
#include "platform/files.h"

namespace join {

// The window's status number: 0 while the join has not finished, -9 after a confirmed cancel,
// 1 joined (the report may carry warnings), -1 / -2 the engine's failure, 2 joined and the
// sources deleted.
inline constexpr int32_t kStatusRunning = 0;
inline constexpr int32_t kStatusJoined = 1;
inline constexpr int32_t kStatusSourcesDeleted = 2;
inline constexpr int32_t kStatusCancelled = -9;

// "Error deleting NAME (2-No such file or directory)".
std::string DeleteErrorText(const std::string& path, int errorNumber);

// The source files "Delete Source Files" deletes: the paths of the first clipCount entries, each
// file once, in job order (spellings of one path, "a/./b.avi", "a/b.avi", relative and absolute,
// and links to one file count as one), leaving out any that is the joined file itself under
// another name, which must survive whatever the job held.
std::vector<std::string> SourcesToDelete(const JoinState& state, const platform::Files& files);

// "Elapsed 0:05" while less than kEstimatePercent of the join is done, then
// "Elapsed 0:05, about 1:20 left". Hours show as "1:02:03".
inline constexpr int kEstimatePercent = 3;
std::string ProgressTimeText(int64_t elapsedMs, int totalPercent);
std::string FormatDuration(int64_t seconds);

class JoinWindowLogic {
  public:
    // files moves the sources to the trash or deletes them.
    JoinWindowLogic(JoinState& state, platform::Dialogs& dialogs, platform::Files& files);

    // Hands the job to the engine: entries 0 .. count - 1, the destination and the progress
    // window. A count beyond the entries given is held at their number.
    void prepare(const std::string& destination, int16_t clipCount,
                 const std::vector<ClipInfo>& clips, JoinProgress* window);

    // Runs the join when it has not run yet and nobody cancelled; true when it ran. Reads
    // "Source_Error_Stop" first. Afterwards status() and report() tell the outcome.
    bool runJoinOnce();

    int32_t status() const { return m_status; }
    bool joinStarted() const { return m_joinStarted; }
    bool joinRunning() const { return m_joinRunning; }
    const JoinReport& report() const { return m_report; }
    // The report said "Completed Clip:" without a warning, and every frame of a non-empty job
    // was written.
    bool clean() const { return m_status >= kStatusJoined && m_report.clean; }

    // What the window offers once the report is shown.
    bool offersView() const { return m_status == kStatusJoined; }
    // Only after a report of a complete join (audio that ends early is no loss), and only when
    // "Prompt_Delete" is "1" (read now).
    bool offersDelete() const;

    // show_progress: the new "Now Joining: NAME" caption when the clip index changed.
    std::optional<std::string> segmentCaption(int16_t clipIndex);
    // show_progress's result: -9 once a cancel was confirmed, else 0.
    int32_t progressResult() const { return m_status == kStatusCancelled ? kJoinCancelled : 0; }

    // The Cancel/Done button and the close box. While the join has not finished this asks
    // whether to cancel; a Yes makes the status -9. True when the window should hide now: after
    // the join, or on a Yes while no join is running (a running join hides the window itself at
    // its next progress report).
    bool requestClose();

    // The program is asked to end: a join not finished is cancelled without a question and
    // without the box that tells of it (the part written so far is still kept). True when the
    // window should hide now, as for requestClose().
    bool cancelForExit();

    // "Delete Source Files": asks first, naming the files, when "Delete_Ask_Sure" is "1"; moves
    // each source once to the trash, telling about each failure. Sources the trash cannot take
    // are named in a question, and deleted for good only on Yes. The status becomes 2 once
    // anything was moved or deleted, or tried. True when the window should hide (false: the user
    // did not confirm, declined every deletion, or deleting is not offered).
    bool deleteSources();

  private:
    void tellCancelled();
    void tellDeleteFailed(const std::string& path, int32_t errorNumber);
    // Deletes for good, after a Yes, the sources the trash could not take; how many were tried.
    int deleteWithoutTrash(const std::vector<std::string>& paths);

    bool m_quietCancel = false;

    JoinState& m_state;
    platform::Dialogs& m_dialogs;
    platform::Files& m_files;
    int32_t m_status = kStatusRunning;
    bool m_joinStarted = false;
    bool m_joinRunning = false;
    int m_lastShownClip = -1;
    JoinReport m_report;
};

}  // namespace join
