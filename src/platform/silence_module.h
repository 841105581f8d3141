// SPDX-License-Identifier: GPL-3.0-or-later
// A silence encoder kept in a loadable module, loaded when a join first asks for silence: a
// program that links no codec library (trelvane-cli) starts as fast as ever and still makes
// silence in a clip's own format when it needs to.
#pragma once

#include <string>
#include <vector>

#include "platform/silence_encoder.h"

namespace platform {

// The function a silence module exports, under this name, returning its encoder.
inline constexpr const char* kSilenceModuleEntry = "trelvane_silence_encoder";
extern "C" {
using SilenceModuleEntry = const SilenceEncoder* (*)();
}

class ModuleSilenceEncoder : public SilenceEncoder {
  public:
    // The module's file, tried at each path in turn.
    explicit ModuleSilenceEncoder(std::vector<std::string> paths) : m_paths(std::move(paths)) {}

    // Null, as for a format no encoder makes, when the module cannot be loaded. Once loaded,
    // the module stays until the program ends.
    std::unique_ptr<SilentPackets> open(const SilenceFormat& format) const override;

  private:
    std::vector<std::string> m_paths;
    mutable bool m_tried = false;
    mutable const SilenceEncoder* m_encoder = nullptr;
};

}  // namespace platform
