// SPDX-License-Identifier: GPL-3.0-or-later
// Keeps the joined file's palette equal to the one each copied frame was made with: palette
// changes inside a segment are copied before the frames they precede, and a segment that starts
// under another palette than the joined file has gets that palette first.
#pragma once

#include <cstdint>
#include <vector>

namespace join {

class PaletteFollower {
  public:
    // The joined video stream's format as written. Only formats of 8 bits or fewer per pixel
    // carry a palette; for any other the follower does nothing.
    void start(const uint8_t* format, int32_t size);

    // Before source frame f of a segment is written at destination position destPos. Returns the
    // status of writing a palette change (0 when none was needed).
    int32_t beforeFrame(int16_t sourceVideo, int16_t destVideo, int64_t f, int64_t destPos,
                        bool segmentStart);

    // Palette changes written so far.
    int64_t changesWritten() const { return m_written; }

  private:
    std::vector<uint8_t> m_format;  // the joined stream's format in force
    uint32_t m_paletteStart = 0;
    bool m_active = false;
    int64_t m_nextChange = -1;  // next source frame a palette change comes before, -1 none
    int64_t m_written = 0;
};

}  // namespace join
