// SPDX-License-Identifier: GPL-3.0-or-later
// Silence in compressed audio formats, encoded by libavcodec (MP2, MP3 through LAME, AC-3, AAC)
// and decoded again with the stream's parameters before it is handed out. Needs only libavcodec
// and libavutil, so that trelvane-cli can use it without Qt.
#pragma once

#include "platform/silence_encoder.h"

namespace mci {

class FfmpegSilenceEncoder : public platform::SilenceEncoder {
  public:
    std::unique_ptr<platform::SilentPackets> open(
        const platform::SilenceFormat& format) const override;
};

}  // namespace mci
