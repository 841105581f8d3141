// The help viewer: shows an HTML help file from its top in a window of its own.
#pragma once

#include <string>

class QWidget;

namespace platform {

// Opens (or raises) the help window on the file; owner is the window the help was asked from.
void ShowHelpFile(QWidget* owner, const std::string& path);

}  // namespace platform
