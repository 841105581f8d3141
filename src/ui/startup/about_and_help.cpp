// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/startup/about_and_help.h"

#include "platform/qt/help_viewer.h"
#include "platform/qt/qt_window.h"
#include "settings/settings_folder.h"
#include "settings/window_placement.h"
#include "text/help_file.h"
#include "ui/startup/frm_startup.h"

namespace ui {

void ShowAbout(QWidget* owner) {
    frmStartup about(nullptr, owner);
    about.exec();
}

std::string HelpFilePath() {
    return text::FindHelpFile(settings::ExecutableFolder());
}

void ShowHelpContents(QWidget* owner) {
    platform::ShowHelpFile(owner, HelpFilePath(), [owner](QWidget& viewer) {
        platform::QtPlacedWindow placed(viewer);
        if (owner != nullptr) {
            settings::CenterOverMainWindow(placed, platform::QtPlacedWindow(*owner->window()));
        } else {
            settings::CenterOnScreen(placed, platform::ScreenAreaOf(&viewer));
        }
    });
}

}  // namespace ui
