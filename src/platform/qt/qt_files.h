// SPDX-License-Identifier: GPL-3.0-or-later
// The program's Files: the system calls, and the desktop's trash through Qt (the freedesktop.org
// trash in $XDG_DATA_HOME/Trash, or the volume's own trash folder).
#pragma once

#include "platform/files.h"

namespace platform {

class QtFiles : public PosixFiles {
  public:
    // A file that is not there gives its error number; a trash that cannot take the file
    // (none on its volume, none that can be made) gives kTrashUnavailable.
    int32_t moveToTrash(const std::string& path, std::string* errorText = nullptr) override;
};

}  // namespace platform
