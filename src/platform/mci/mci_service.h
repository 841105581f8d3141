// SPDX-License-Identifier: GPL-3.0-or-later
// The movie device as the program installs it: the command interpreter over Qt movies, behind
// vbvfw_mciSendString. The composition root makes one, after the application object, and keeps
// it for the program's lifetime; all commands come from the user-interface thread.
#pragma once

#include <cstdint>
#include <string>

#include "platform/mci/interpreter.h"
#include "platform/mci/qt_movie.h"
#include "platform/mci/window_registry.h"

namespace mci {

class MciService {
  public:
    explicit MciService(WindowRegistry& windows);
    ~MciService();  // removes the handler again when it was installed
    MciService(const MciService&) = delete;
    MciService& operator=(const MciService&) = delete;

    // Makes vbvfw_mciSendString send its commands here.
    void install();
    int32_t send(const std::string& command, std::string& reply);
    // The movie open under alias, or nullptr.
    QtMovie* movie(const std::string& alias) const;

  private:
    QtMovieFactory m_factory;
    Interpreter m_interpreter;
    bool m_installed = false;
};

}  // namespace mci
