// SPDX-License-Identifier: GPL-3.0-or-later
// The application title shown in window captions.
#pragma once

#include <string>

namespace settings {

// "Trelvane", from the text store.
std::string ApplicationTitle();

}  // namespace settings
