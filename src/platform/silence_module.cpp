// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/silence_module.h"

#include <dlfcn.h>

namespace platform {

std::unique_ptr<SilentPackets> ModuleSilenceEncoder::open(const SilenceFormat& format) const {
    if (!m_tried) {
        m_tried = true;
        for (const std::string& path : m_paths) {
            void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
            void* entry = handle != nullptr ? ::dlsym(handle, kSilenceModuleEntry) : nullptr;
            if (entry != nullptr) {
                m_encoder = reinterpret_cast<SilenceModuleEntry>(entry)();
                break;
            }
        }
    }
    return m_encoder != nullptr ? m_encoder->open(format) : nullptr;
}

}  // namespace platform
