// SPDX-License-Identifier: GPL-3.0-or-later
// The preview logic's side that knows where a segment can end exactly: Mark Out and its mark
// beside the frame number follow the join's rule, and the exact ends can be stepped to.
#include <algorithm>

#include "preview/preview_logic.h"  // the class whose exact ends these are

namespace preview {

bool PreviewLogic::testExactEnd(int32_t clipFrame, bool* shown) {
    *shown = false;
    if (joined() || m_markingOn == 0 || !validClip(m_currentClip)) {
        return true;
    }
    const ClipInfo& clip = m_clips[static_cast<size_t>(m_currentClip)];
    const bool end = m_splices == nullptr || m_splices->isEnd(clip, clipFrame);
    *shown = end && m_splices != nullptr && m_splices->endsDiffer(clip, clipFrame);
    if (end != m_view.buttonEnabled(Button::MarkOut)) {
        m_view.setButtonEnabled(Button::MarkOut, end);
    }
    return end;
}

void PreviewLogic::seekExactEnd(bool after) {
    if (joined() || m_markingOn == 0 || m_playing || !positionUsable()) {
        return;
    }
    const ClipInfo& clip = m_clips[static_cast<size_t>(m_currentClip)];
    int32_t target = after ? m_currentFrame + 1 : m_currentFrame - 1;
    if (m_splices != nullptr) {
        target = after ? m_splices->endAfter(clip, m_currentFrame)
                       : m_splices->endBefore(clip, m_currentFrame);
    }
    if (target >= 0 && target < clipFrames(m_currentClip)) {
        SeekClipFrame(target);
    }
}

void PreviewLogic::nextExactEnd() {
    seekExactEnd(true);
}

void PreviewLogic::previousExactEnd() {
    seekExactEnd(false);
}

}  // namespace preview
