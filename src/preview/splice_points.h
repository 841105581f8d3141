// SPDX-License-Identifier: GPL-3.0-or-later
// Where a segment of a clip can end exactly, as the join accepts it: the preview offers Mark Out
// only there. The library's implementation applies the join's own splice rule to the clip.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "media/clip_info.h"

namespace join {
class ClipSplices;
}

namespace preview {

class SplicePoints {
  public:
    virtual ~SplicePoints() = default;
    // Whether a segment of the clip can end exactly at the clip frame.
    virtual bool isEnd(const ClipInfo& clip, int32_t frame) = 0;
    // Whether that is worth showing there: false where every frame of the group ends a segment.
    virtual bool endsDiffer(const ClipInfo& clip, int32_t frame) = 0;
    // The nearest exact end before and after the frame; -1 when there is none.
    virtual int32_t endBefore(const ClipInfo& clip, int32_t frame) = 0;
    virtual int32_t endAfter(const ClipInfo& clip, int32_t frame) = 0;
};

// Reads the clips through the video-file library; the clip last asked about stays open.
class LibrarySplicePoints : public SplicePoints {
  public:
    LibrarySplicePoints();
    ~LibrarySplicePoints() override;
    bool isEnd(const ClipInfo& clip, int32_t frame) override;
    bool endsDiffer(const ClipInfo& clip, int32_t frame) override;
    int32_t endBefore(const ClipInfo& clip, int32_t frame) override;
    int32_t endAfter(const ClipInfo& clip, int32_t frame) override;

  private:
    // The clip's splices, or null when its video cannot be read.
    join::ClipSplices* splices(const ClipInfo& clip);

    std::string m_fileName;
    std::unique_ptr<join::ClipSplices> m_splices;
};

}  // namespace preview
