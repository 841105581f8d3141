// SPDX-License-Identifier: GPL-3.0-or-later
// The silence encoder as a loadable module, for programs that load libavcodec only when a join
// needs silence (platform::ModuleSilenceEncoder).
#include "platform/silence_module.h"
#include "platform/mci/ffmpeg_silence.h"

extern "C" __attribute__((visibility("default"))) const platform::SilenceEncoder*
trelvane_silence_encoder() {
    static const mci::FfmpegSilenceEncoder encoder;
    return &encoder;
}
