// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's About and Help/Contents commands.
#pragma once

#include <string>

class QWidget;

namespace ui {

// The startup window as the about box, modal over owner.
void ShowAbout(QWidget* owner);

// The help file at its contents page in the program's help window.
void ShowHelpContents(QWidget* owner);

// The help file the program shows: beside the executable, else the installed one.
std::string HelpFilePath();

}  // namespace ui
