// SPDX-License-Identifier: GPL-3.0-or-later
#include "preview/splice_points.h"

#include <algorithm>
#include <limits>

#include "join/splice_check.h"

namespace preview {

namespace {

int32_t Frame(int64_t frame) {
    return static_cast<int32_t>(
        std::clamp<int64_t>(frame, -1, std::numeric_limits<int32_t>::max()));
}

}  // namespace

LibrarySplicePoints::LibrarySplicePoints() = default;
LibrarySplicePoints::~LibrarySplicePoints() = default;

join::ClipSplices* LibrarySplicePoints::splices(const ClipInfo& clip) {
    if (!m_splices || clip.fileName != m_fileName) {
        m_fileName = clip.fileName;
        m_splices = std::make_unique<join::ClipSplices>(clip);
    }
    return m_splices->ok() ? m_splices.get() : nullptr;
}

bool LibrarySplicePoints::isEnd(const ClipInfo& clip, int32_t frame) {
    join::ClipSplices* s = splices(clip);
    return s == nullptr || s->map().isEnd(frame);
}

bool LibrarySplicePoints::endsDiffer(const ClipInfo& clip, int32_t frame) {
    join::ClipSplices* s = splices(clip);
    return s != nullptr && !s->map().everyFrameEnds(frame);
}

int32_t LibrarySplicePoints::endBefore(const ClipInfo& clip, int32_t frame) {
    join::ClipSplices* s = splices(clip);
    return s == nullptr ? frame - 1 : Frame(s->map().endBefore(frame));
}

int32_t LibrarySplicePoints::endAfter(const ClipInfo& clip, int32_t frame) {
    join::ClipSplices* s = splices(clip);
    return s == nullptr ? frame + 1 : Frame(s->map().endAfter(frame));
}

}  // namespace preview
