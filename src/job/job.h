// SPDX-License-Identifier: GPL-3.0-or-later
// The job: the ordered clips the next join writes into one file, shown line for line in the join
// list. Clips enter through AddClip, which inspects each file, checks it against the base clip
// (entry 0) and asks or tells the user through the dialogs; the job changes only through the
// operations below.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "job/job_stats.h"
#include "media/clip_info.h"
#include "platform/dialogs.h"
#include "platform/list_box.h"

namespace job {

// Fills a record whose file name is set; returns LoadClipInfo's result codes.
using ClipInspector = std::function<int32_t(ClipInfo& clip)>;

// The preview window's entry point: shows the entries (index -1: the joined view, else that
// entry alone), may change the segments of its copies and writes them back into clips.
using PreviewClipsFunction =
    std::function<void(int count, int index, int markingAllowed, std::vector<ClipInfo>& clips)>;

class Job {
  public:
    // listJoin is the join list that shows the job; both outlive the job.
    Job(platform::ListBox& listJoin, platform::Dialogs& dialogs);

    // LoadClipInfo unless replaced.
    void setInspector(ClipInspector inspector);
    // Called whenever the statistics need to be rewritten (the main window's RefreshStats).
    void setRefreshStats(std::function<void()> refreshStats);

    const std::vector<ClipInfo>& clips() const { return m_clips; }
    int clipCount() const { return static_cast<int>(m_clips.size()); }
    bool audioDropped() const { return m_audioDropped; }

    void ClearJob();
    // Appends the clip or leaves the job unchanged; tells the user why through message boxes.
    void AddClip(const std::string& path);
    // AddClip for every selected line of the file box, first to last, as folder + "/" + line.
    void AddSelectedFiles(const platform::ListBox& listFiles, const std::string& folder);
    void RemoveSelectedClips();
    // direction 1 moves the single selected entry one place down, -1 one place up.
    void MoveSelectedClip(int direction);
    // Moves the entries of the given lines, in their order, to stand before the entry that is
    // now at line before (the end for clipCount()); they are the selection afterwards. What a
    // drag inside the join list does.
    void MoveClips(const std::vector<int>& lines, int before);

    // Hand-over to the preview: the selected entry alone (exactly one line selected), or the
    // joined view of all entries (job not empty). The entries come back with their segments.
    void PreviewSelectedSegment(const PreviewClipsFunction& previewClips);
    void PreviewJoinedClip(const PreviewClipsFunction& previewClips);

    // Hand-over to the join: a copy of every entry, so the job may change afterwards.
    std::vector<ClipInfo> joinEntries() const { return m_clips; }
    // A job is worth joining when it has at least one frame to write.
    bool isJoinable() const;
    // Before a join: when the base has audio, every entry's audio must match it (no audio counts
    // as a mismatch). On the first mismatch the user is warned as when adding; Yes joins without
    // audio (the base's audio flag cleared, audioDropped set), No means no join. True: go on.
    bool confirmJoinAudio();

    JobTotals totals() const;
    StatsCaptions refreshStatsCaptions() const;

  private:
    void handOverToPreview(int index, const PreviewClipsFunction& previewClips);
    void append(const ClipInfo& clip);
    void refreshStats();
    // Every line again from the entries; the given lines selected.
    void rewriteLines(const std::vector<int>& selected);
    bool askToProceed(const std::string& path, const std::string& msg);
    // After entries were removed: a job made silent gets the base's audio back once the audio of
    // every entry that has some matches it again.
    void reconsiderDroppedAudio();
    // Only the base's audio flag is cleared for a job without audio: an entry that was the base
    // gets its own flag back once another is first, and is compared by the audio it has.
    void restoreAudioBelowTheBase();

    platform::ListBox& m_listJoin;
    platform::Dialogs& m_dialogs;
    ClipInspector m_inspect;
    std::function<void()> m_refreshStats;
    std::vector<ClipInfo> m_clips;
    // Each entry's audio flag as its inspection left it: accepting a warning clears the base's
    // flag in m_clips, and this is what it was.
    std::vector<int16_t> m_ownAudio;
    bool m_audioDropped = false;
};

}  // namespace job
