// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/startup/startup_sequence.h"

#include "media/vbvfw.h"
#include "settings/ini_store.h"
#include "settings/preferences.h"
#include "settings/settings_keys.h"
#include "text/text_store.h"

namespace ui {

int16_t startupDone = 0;

bool RunStartupSequence(const std::function<settings::PlacedWindow*()>& createMainWindow,
                        const settings::ScreenArea& screen) {
    if (startupDone != 0) {
        return false;
    }
    if (settings::DebugTraceWanted()) {
        (void)vbvfw_log_open(settings::LogFilePath());
    }
    vbvfw_AVIFileInit();
    settings::PlacedWindow* mainWindow = createMainWindow ? createMainWindow() : nullptr;
    if (mainWindow != nullptr) {
        const std::string position =
            settings::ReadIniValue(settings::kSectionMain, settings::kKeyWindowState);
        if (position.empty()) {
            settings::CenterOnScreen(*mainWindow, screen, 1);
        } else {
            settings::ApplyWindowPosText(*mainWindow, position, screen, 1);
        }
    }
    startupDone = 1;
    return true;
}

StartupCaptions GetStartupCaptions() {
    StartupCaptions captions;
    captions.labProduct = text::GetStoredText(text::kProductText, 0);
    captions.labVersion = text::GetStoredText(text::kVersionText, 0);
    captions.labInfo = text::GetStoredText(text::kInfoText, 0);
    captions.labDisclaimer = text::GetStoredText(text::kDisclaimerText, 0);
    captions.labAuthor = text::GetStoredText(text::kAuthorText, 0);
    return captions;
}

std::string ComposeHelpMessage() {
    const std::string crlf = "\r\n";
    const std::string entry1 = text::GetStoredText(text::kHelpEntry1, 0);
    const std::string request = std::string(text::kHelpEntry2) + crlf + crlf +
                                std::string(text::kHelpEntry3) + crlf + entry1 +
                                std::string(text::kHelpEntry4);
    const std::string blockA = text::GetStoredText(request, 0);
    const std::string blockB = text::GetStoredText(text::kHelpEntry5, 0);
    const std::string blockC = text::GetStoredText(text::kHelpEntry6, 0);
    return blockA + crlf + crlf + blockB + crlf + crlf + blockC;
}

}  // namespace ui
