// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/window/prefs_form.h"

#include <utility>

#include "settings/ini_store.h"
#include "settings/preferences.h"
#include "settings/settings_folder.h"
#include "settings/settings_keys.h"

namespace settings {

namespace {

bool IsOn(std::string_view text, ToggleKind kind) {
    return kind == ToggleKind::CheckBox ? IsCheckOn(text) : IsStopOn(text);
}

bool IsCanonical(std::string_view text, ToggleKind kind) {
    return kind == ToggleKind::CheckBox ? (text == kCheckOn || text == kCheckOff)
                                        : (text == kStopOn || text == kStopOff);
}

std::string CanonicalText(bool on, ToggleKind kind) {
    if (kind == ToggleKind::CheckBox) {
        return on ? kCheckOn : kCheckOff;
    }
    return on ? kStopOn : kStopOff;
}

}  // namespace

void ReadPref(std::string_view key, std::string& remembered, bool& control, ToggleKind kind) {
    std::string text = ReadIniValue(kSectionPreferences, key);
    if (text.empty()) {
        return;
    }
    control = IsOn(text, kind);
    remembered = std::move(text);
}

void ReadPref(std::string_view key, std::string& remembered, std::string& control) {
    std::string text = ReadIniValue(kSectionPreferences, key);
    if (text.empty()) {
        return;
    }
    control = text;
    remembered = std::move(text);
}

bool WritePref(std::string_view key, const std::string& remembered, const std::string& newValue) {
    if (newValue == remembered) {
        return false;
    }
    WriteIniValue(kSectionPreferences, key, newValue);
    return true;
}

std::string ToggleValueText(bool on, const std::string& remembered, ToggleKind kind) {
    if (!remembered.empty() && !IsCanonical(remembered, kind) && on == IsOn(remembered, kind)) {
        return remembered;
    }
    return CanonicalText(on, kind);
}

void LoadPrefs(PrefsControls& controls, PrefsRemembered& remembered,
               const std::string& currentFolder, const std::string& saveDirectory) {
    controls = PrefsControls{};
    remembered = PrefsRemembered{};
    ReadPref(kKeyRememberRead, remembered.rememberRead, controls.chkReadSave, ToggleKind::CheckBox);
    ReadPref(kKeyRememberSave, remembered.rememberSave, controls.chkWriteSave,
             ToggleKind::CheckBox);
    if (IsCheckOn(remembered.rememberRead)) {
        controls.txtReadDir = currentFolder;
        remembered.readDirectory = ReadIniValue(kSectionPreferences, kKeyReadDirectory);
    } else {
        ReadPref(kKeyReadDirectory, remembered.readDirectory, controls.txtReadDir);
    }
    // As for the read folder: the save folder in use where it is remembered, else the stored one.
    // (Showing the folder in use always would write it over a folder stored by this dialog
    // earlier in the session, which the main window reads only at its next start.)
    if (IsCheckOn(remembered.rememberSave)) {
        controls.txtWriteDir = saveDirectory;
        remembered.saveDirectory = ReadIniValue(kSectionPreferences, kKeySaveDirectory);
    } else {
        ReadPref(kKeySaveDirectory, remembered.saveDirectory, controls.txtWriteDir);
    }
    ReadPref(kKeyMatchPattern, remembered.matchPattern, controls.txtMatchPattern);
    ReadPref(kKeyClearJob, remembered.clearJob, controls.chkClearJob, ToggleKind::CheckBox);
    ReadPref(kKeyPromptDelete, remembered.promptDelete, controls.chkPromptDelete,
             ToggleKind::CheckBox);
    ReadPref(kKeyDeleteAskSure, remembered.deleteAskSure, controls.chkAskSure,
             ToggleKind::CheckBox);
    ReadPref(kKeySourceErrorStop, remembered.sourceErrorStop, controls.optErrorStop,
             ToggleKind::OptionButton);
    controls.optErrorWarn = !controls.optErrorStop;
}

int SavePrefs(const PrefsControls& controls, const PrefsRemembered& remembered) {
    const auto check = [](bool on, const std::string& was) {
        return ToggleValueText(on, was, ToggleKind::CheckBox);
    };
    int written = 0;
    written += WritePref(kKeyRememberRead, remembered.rememberRead,
                         check(controls.chkReadSave, remembered.rememberRead));
    written += WritePref(kKeyRememberSave, remembered.rememberSave,
                         check(controls.chkWriteSave, remembered.rememberSave));
    written += WritePref(kKeyReadDirectory, remembered.readDirectory, controls.txtReadDir);
    written += WritePref(kKeySaveDirectory, remembered.saveDirectory, controls.txtWriteDir);
    written += WritePref(kKeyMatchPattern, remembered.matchPattern, controls.txtMatchPattern);
    written += WritePref(kKeyClearJob, remembered.clearJob,
                         check(controls.chkClearJob, remembered.clearJob));
    written += WritePref(kKeyPromptDelete, remembered.promptDelete,
                         check(controls.chkPromptDelete, remembered.promptDelete));
    written += WritePref(kKeyDeleteAskSure, remembered.deleteAskSure,
                         check(controls.chkAskSure, remembered.deleteAskSure));
    written += WritePref(kKeySourceErrorStop, remembered.sourceErrorStop,
                         ToggleValueText(controls.optErrorStop, remembered.sourceErrorStop,
                                         ToggleKind::OptionButton));
    return written;
}

std::string BrowseForFolder(platform::Dialogs& dialogs, const std::string& prompt,
                            const std::string& startFolder) {
    const std::string start = startFolder.empty() ? CurrentSettingsEnvironment().home : startFolder;
    return dialogs.browseForFolder(prompt, start);
}

PrefsForm::PrefsForm(platform::Dialogs& dialogs, std::string currentFolder,
                     std::string saveDirectory)
    : m_dialogs(dialogs),
      m_currentFolder(std::move(currentFolder)),
      m_saveDirectory(std::move(saveDirectory)) {}

void PrefsForm::Form_Load() {
    LoadPrefs(m_controls, m_remembered, m_currentFolder, m_saveDirectory);
}

int PrefsForm::cmdOK_Click() {
    return SavePrefs(m_controls, m_remembered);
}

void PrefsForm::cmdBroReadDir_Click() {
    std::string folder = BrowseForFolder(m_dialogs, kBrowseReadPrompt, m_controls.txtReadDir);
    if (!folder.empty()) {
        m_controls.txtReadDir = std::move(folder);
    }
}

void PrefsForm::cmdBroWriteDir_Click() {
    std::string folder = BrowseForFolder(m_dialogs, kBrowseSavePrompt, m_controls.txtWriteDir);
    if (!folder.empty()) {
        m_controls.txtWriteDir = std::move(folder);
    }
}

}  // namespace settings
