// SPDX-License-Identifier: GPL-3.0-or-later
#include "job/job.h"

#include <algorithm>
#include <utility>

#include "media/clip_compare.h"
#include "media/clip_inspection.h"

namespace job {

Job::Job(platform::ListBox& listJoin, platform::Dialogs& dialogs)
    : m_listJoin(listJoin), m_dialogs(dialogs), m_inspect(LoadClipInfo) {}

void Job::setInspector(ClipInspector inspector) {
    m_inspect = inspector ? std::move(inspector) : ClipInspector(LoadClipInfo);
}

void Job::setRefreshStats(std::function<void()> refreshStats) {
    m_refreshStats = std::move(refreshStats);
}

void Job::refreshStats() {
    if (m_refreshStats) {
        m_refreshStats();
    }
}

void Job::ClearJob() {
    m_clips.clear();
    m_ownAudio.clear();
    m_listJoin.clear();
    refreshStats();
}

void Job::RemoveSelectedClips() {
    const std::vector<int> selected = platform::SelectedLines(m_listJoin);
    if (selected.empty()) {
        return;
    }
    // Downwards, so the lines still to be visited keep their entries.
    for (auto line = selected.rbegin(); line != selected.rend(); ++line) {
        if (*line < clipCount()) {
            m_clips.erase(m_clips.begin() + *line);
            m_ownAudio.erase(m_ownAudio.begin() + *line);
        }
    }
    reconsiderDroppedAudio();
    rewriteLines({});
    refreshStats();
}

void Job::rewriteLines(const std::vector<int>& selected) {
    m_listJoin.clear();
    for (const auto& clip : m_clips) {
        m_listJoin.addLine(JoinListLine(clip));
    }
    for (int line : selected) {
        m_listJoin.setSelected(line, true);
    }
}

void Job::MoveClips(const std::vector<int>& lines, int before) {
    std::vector<int> moving;
    for (int line : lines) {
        if (line >= 0 && line < clipCount() &&
            std::find(moving.begin(), moving.end(), line) == moving.end()) {
            moving.push_back(line);
        }
    }
    std::sort(moving.begin(), moving.end());
    before = std::clamp(before, 0, clipCount());
    if (moving.empty()) {
        return;
    }
    std::vector<ClipInfo> clips;
    std::vector<int16_t> ownAudio;
    std::vector<int> selected;
    const auto take = [&](int line) {
        clips.push_back(m_clips[static_cast<size_t>(line)]);
        ownAudio.push_back(m_ownAudio[static_cast<size_t>(line)]);
    };
    for (int line = 0; line <= clipCount(); ++line) {
        if (line == before) {
            for (int moved : moving) {
                selected.push_back(static_cast<int>(clips.size()));
                take(moved);
            }
        }
        if (line < clipCount() && std::find(moving.begin(), moving.end(), line) == moving.end()) {
            take(line);
        }
    }
    m_clips = std::move(clips);
    m_ownAudio = std::move(ownAudio);
    restoreAudioBelowTheBase();
    rewriteLines(selected);
    refreshStats();
}

void Job::MoveSelectedClip(int direction) {
    if (direction != 1 && direction != -1) {
        return;
    }
    const std::vector<int> selected = platform::SelectedLines(m_listJoin);
    if (selected.size() != 1) {
        return;
    }
    const int line = selected.front();
    const int target = line + direction;
    if (line >= clipCount() || target < 0 || target >= clipCount()) {
        return;
    }
    std::swap(m_clips[static_cast<size_t>(line)], m_clips[static_cast<size_t>(target)]);
    std::swap(m_ownAudio[static_cast<size_t>(line)], m_ownAudio[static_cast<size_t>(target)]);
    restoreAudioBelowTheBase();
    m_listJoin.setText(target, JoinListLine(m_clips[static_cast<size_t>(target)]));
    m_listJoin.setText(line, JoinListLine(m_clips[static_cast<size_t>(line)]));
    m_listJoin.setSelected(line, false);
    m_listJoin.setSelected(target, true);
}

void Job::PreviewSelectedSegment(const PreviewClipsFunction& previewClips) {
    const std::vector<int> selected = platform::SelectedLines(m_listJoin);
    if (selected.size() != 1 || selected.front() >= clipCount()) {
        return;
    }
    handOverToPreview(selected.front(), previewClips);
}

void Job::PreviewJoinedClip(const PreviewClipsFunction& previewClips) {
    if (clipCount() > 0) {
        handOverToPreview(-1, previewClips);
    }
}

void Job::handOverToPreview(int index, const PreviewClipsFunction& previewClips) {
    if (!previewClips) {
        return;
    }
    std::vector<ClipInfo> copies = m_clips;
    previewClips(clipCount(), index, 1, copies);
    // Every entry comes back whole, changed or not; a list of another length cannot be matched
    // to the job and is not taken.
    if (copies.size() == m_clips.size()) {
        m_clips = std::move(copies);
        // The marks show in the lines; the selection stays as it was.
        for (int line = 0; line < clipCount(); ++line) {
            m_listJoin.setText(line, JoinListLine(m_clips[static_cast<size_t>(line)]));
        }
    }
    refreshStats();
}

void Job::restoreAudioBelowTheBase() {
    for (size_t i = 1; i < m_clips.size(); ++i) {
        m_clips[i].audioPresent = m_ownAudio[i];
    }
}

void Job::reconsiderDroppedAudio() {
    if (!m_audioDropped || m_clips.empty() || m_clips.front().audioPresent > 0 ||
        m_ownAudio.front() <= 0) {
        return;
    }
    ClipInfo base = m_clips.front();
    base.audioPresent = m_ownAudio.front();
    for (size_t i = 1; i < m_clips.size(); ++i) {
        // An entry without audio is for the question before the join.
        if (m_clips[i].audioPresent > 0 &&
            CompareClipWithBase(base, m_clips[i], false).kind != ClipCheckKind::Pass) {
            return;
        }
    }
    m_clips.front().audioPresent = base.audioPresent;
    m_audioDropped = false;
}

bool Job::isJoinable() const {
    return totals().joinedFrames > 0;
}

namespace {

// The question for an entry without audio in a job that keeps its audio: PCM is filled with
// silence of the entry's length; other audio cannot be, so everything after it plays early.
std::string MissingAudioQuestion(const ClipInfo& base) {
    const bool pcm = base.audioPcm && base.audioInfo.dwSampleSize != 0;
    return std::string(" has no audio track, but the base clip does.  If you proceed, ") +
           (pcm ? "silence will be joined in its place."
                : "it is joined without audio and the audio of every clip after it will be "
                  "out of sync.");
}

}  // namespace

bool Job::confirmJoinAudio() {
    bool askedAboutMissingAudio = false;
    for (int i = 1; i < clipCount(); ++i) {
        const ClipInfo pair[2] = {m_clips.front(), m_clips[static_cast<size_t>(i)]};
        int index = -1;
        const ClipCheck check = CheckJobAudio(pair, 2, &index);
        if (check.kind == ClipCheckKind::Pass) {
            continue;
        }
        const std::string& path = pair[1].fileName;
        if (pair[1].audioPresent <= 0) {
            // Joined without its audio; the job keeps the base's audio for the others.
            if (!askedAboutMissingAudio && !askToProceed(path, MissingAudioQuestion(pair[0]))) {
                return false;
            }
            askedAboutMissingAudio = true;
            continue;
        }
        if (!askToProceed(path, check.message)) {
            return false;
        }
        m_clips.front().audioPresent = 0;
        m_audioDropped = true;
        refreshStats();
        return true;
    }
    return true;
}

JobTotals Job::totals() const {
    return ComputeTotals(m_clips, platform::SelectedLines(m_listJoin));
}

StatsCaptions Job::refreshStatsCaptions() const {
    return BuildStatsCaptions(m_clips, platform::SelectedLines(m_listJoin));
}

}  // namespace job
