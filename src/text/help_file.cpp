// SPDX-License-Identifier: GPL-3.0-or-later
#include "text/help_file.h"

#include <filesystem>
#include <system_error>

namespace text {

std::string FindHelpFile(const std::string& executableFolder) {
    namespace fs = std::filesystem;
    const fs::path folder(executableFolder);
    const fs::path beside = folder / kHelpFileName;
    std::error_code error;
    if (fs::is_regular_file(beside, error)) {
        return beside.string();
    }
    const fs::path installed =
        (folder / ".." / "share" / "trelvane" / kHelpFileName).lexically_normal();
    if (fs::is_regular_file(installed, error)) {
        return installed.string();
    }
    return beside.string();
}

}  // namespace text
