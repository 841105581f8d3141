// The application title shown in window captions.
#pragma once

#include <string>

namespace settings {

// "Trelvane". The text store supplies it once it exists.
std::string ApplicationTitle();

}  // namespace settings
