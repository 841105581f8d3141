// SPDX-License-Identifier: GPL-3.0-or-later
// What the preferences dialog does, without the widgets: which keys it reads when it opens, what
// it remembers of them, and which of them it writes when the user confirms. The Qt dialog
// (frm_prefs.h) copies its controls to and from PrefsControls and calls these.
#pragma once

#include <string>
#include <string_view>

#include "platform/dialogs.h"

namespace settings {

// The values of the dialog's controls, named after them.
struct PrefsControls {
    bool chkReadSave = false;
    bool chkWriteSave = false;
    std::string txtReadDir;
    std::string txtWriteDir;
    std::string txtMatchPattern;
    bool chkClearJob = false;
    bool chkPromptDelete = false;
    bool chkAskSure = false;
    bool optErrorStop = false;
    bool optErrorWarn = false;
};

// The text each edited key held when the dialog opened (empty for an empty or missing key);
// SavePrefs compares the controls against these.
struct PrefsRemembered {
    std::string rememberRead;
    std::string rememberSave;
    std::string readDirectory;
    std::string saveDirectory;
    std::string matchPattern;
    std::string clearJob;
    std::string promptDelete;
    std::string deleteAskSure;
    std::string sourceErrorStop;
};

// How a two-state control stores its state: a check box "1"/"0", the stop option "True"/"False".
enum class ToggleKind { CheckBox, OptionButton };

// The browse prompts (capitalised, unlike the labels).
inline constexpr const char* kBrowseReadPrompt = "Default Read Directory:";
inline constexpr const char* kBrowseSavePrompt = "Default Save Directory:";

// Reads the key from "Preferences". A non-empty text sets the control (a check box is checked only
// by "1", the stop option selected only by "True", a text box takes the text) and becomes the
// remembered value; an empty one changes neither. Any stored text is accepted.
void ReadPref(std::string_view key, std::string& remembered, bool& control, ToggleKind kind);
void ReadPref(std::string_view key, std::string& remembered, std::string& control);

// Writes the new value to "Preferences" when it differs (exactly, case and all) from the
// remembered one; true when it did. A failed write is ignored, as every settings write is.
bool WritePref(std::string_view key, const std::string& remembered, const std::string& newValue);

// The text a two-state control writes: "1"/"0" or "True"/"False". A hand-edited value that is
// neither ("yes") stays as it is while the control still shows what was read from it, so
// confirming the dialog does not rewrite a key the user did not touch.
std::string ToggleValueText(bool on, const std::string& remembered, ToggleKind kind);

// Fills every control from the settings file, given the main window's current folder and its
// save folder; the controls start cleared.
void LoadPrefs(PrefsControls& controls, PrefsRemembered& remembered,
               const std::string& currentFolder, const std::string& saveDirectory);

// Writes every value that changed, in the dialog's order; returns how many keys were written.
int SavePrefs(const PrefsControls& controls, const PrefsRemembered& remembered);

// Lets the user pick a folder through the dialogs: the empty text when they cancel. The browse
// starts at startFolder, or at the home folder when that is empty.
std::string BrowseForFolder(platform::Dialogs& dialogs, const std::string& prompt,
                            const std::string& startFolder);

// The dialog's handlers as plain operations on its controls.
class PrefsForm {
  public:
    PrefsForm(platform::Dialogs& dialogs, std::string currentFolder, std::string saveDirectory);

    // Form_Load's reading part (the window places itself).
    void Form_Load();
    // Writes what changed; the window then closes. Cancel and the close box write nothing.
    int cmdOK_Click();
    // A chosen folder replaces the box's text; a cancelled browse leaves it.
    void cmdBroReadDir_Click();
    void cmdBroWriteDir_Click();

    PrefsControls& controls() { return m_controls; }
    const PrefsControls& controls() const { return m_controls; }
    const PrefsRemembered& remembered() const { return m_remembered; }

  private:
    platform::Dialogs& m_dialogs;
    std::string m_currentFolder;
    std::string m_saveDirectory;
    PrefsControls m_controls;
    PrefsRemembered m_remembered;
};

}  // namespace settings
