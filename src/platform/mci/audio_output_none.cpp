// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/mci/audio_output.h"

namespace mci {

std::unique_ptr<AudioOutput> AudioOutput::Create(const avi::Reader&, double) {
    return nullptr;
}

}  // namespace mci
