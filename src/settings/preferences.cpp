// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/preferences.h"

#include "settings/ini_store.h"
#include "settings/settings_keys.h"

namespace settings {

bool IsCheckOn(std::string_view stored) {
    return stored == kCheckOn;
}
bool IsStopOn(std::string_view stored) {
    return stored == kStopOn;
}
bool IsTraceOn(std::string_view stored) {
    return stored == kTraceOn;
}

std::string MatchPatternOrDefault(std::string_view stored) {
    return stored.empty() ? std::string(kDefaultMatchPattern) : std::string(stored);
}

bool DebugTraceWanted() {
    return IsTraceOn(ReadIniValue(kSectionPreferences, kKeyDebugTrace));
}

void SaveOnMainWindowClose(const std::string& mainPosText, const SharedTexts& texts,
                           const std::string& fileBoxFolder) {
    WriteIniValue(kSectionMain, kKeyWindowState, mainPosText);
    if (!texts.previewPosText.empty()) {
        WriteIniValue(kSectionPreview, kKeyWindowState, texts.previewPosText);
    }
    if (IsCheckOn(ReadIniValue(kSectionPreferences, kKeyRememberRead))) {
        WriteIniValue(kSectionPreferences, kKeyReadDirectory, fileBoxFolder);
    }
    if (IsCheckOn(ReadIniValue(kSectionPreferences, kKeyRememberSave))) {
        WriteIniValue(kSectionPreferences, kKeySaveDirectory, texts.saveDirectory);
    }
}

}  // namespace settings
