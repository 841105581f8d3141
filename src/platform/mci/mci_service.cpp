// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/mci/mci_service.h"

#include "media/vbvfw.h"

namespace mci {

MciService::MciService(WindowRegistry& windows) : m_factory(windows), m_interpreter(m_factory) {}

MciService::~MciService() {
    if (m_installed) {
        vbvfw_set_mci_handler(nullptr);
    }
}

void MciService::install() {
    vbvfw_set_mci_handler([this](const std::string& command, std::string& reply) {
        return m_interpreter.send(command, reply);
    });
    m_installed = true;
}

int32_t MciService::send(const std::string& command, std::string& reply) {
    return m_interpreter.send(command, reply);
}

QtMovie* MciService::movie(const std::string& alias) const {
    return dynamic_cast<QtMovie*>(m_interpreter.movie(alias));
}

}  // namespace mci
