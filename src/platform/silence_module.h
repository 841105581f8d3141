// SPDX-License-Identifier: GPL-3.0-or-later
// A silence encoder kept in a loadable module, loaded when a join first asks for silence: a
// program that links no codec library (trelvane-cli) starts as fast as ever and still makes
// silence in a clip's own format when it needs to.
#pragma once

#include <string>

#include "platform/silence_encoder.h"

namespace platform {

// The function a silence module exports, under this name, returning its encoder.
inline constexpr const char* kSilenceModuleEntry = "trelvane_silence_encoder";
extern "C" {
using SilenceModuleEntry = const SilenceEncoder* (*)();
}

class ModuleSilenceEncoder : public SilenceEncoder {
  public:
    // module: a file name the dynamic loader finds (the program's run path names the folders).
    explicit ModuleSilenceEncoder(std::string module) : m_module(std::move(module)) {}

    // Null, as for a format no encoder makes, when the module cannot be loaded. Once loaded,
    // the module stays until the program ends.
    std::unique_ptr<SilentPackets> open(const SilenceFormat& format) const override;

  private:
    std::string m_module;
    mutable bool m_tried = false;
    mutable const SilenceEncoder* m_encoder = nullptr;
};

}  // namespace platform
