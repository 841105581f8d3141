// SPDX-License-Identifier: GPL-3.0-or-later
// What the logic needs of the common dialogs: modal message boxes, the save dialog, the folder
// browser and the help viewer. The Qt implementation comes with the windows; tests answer them
// with the scripted implementation in scripted/.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

enum class MessageButtons {
    Ok,
    OkCancel,
    YesNo,
};

enum class MessageAnswer {
    Ok,
    Cancel,
    Yes,
    No,
};

// What the program asks of the save dialog. The filter uses the "Description|pattern" form,
// several pairs joined by "|"; the flags keep the common dialog's meanings (ask before
// overwriting 0x2, hide the read-only box 0x4, the folder must exist 0x800, ...).
struct SaveDialogRequest {
    std::string title;
    std::string filter;
    int filterIndex = 1;
    std::string defaultExtension;  // with or without the leading "."
    std::string fileName;          // initial file name, usually empty
    std::string initialFolder;
    uint32_t flags = 0;
};

// What the program asks of the open dialog: existing files, several at once.
struct OpenDialogRequest {
    std::string title;
    std::string filter;  // as the save dialog's
    std::string initialFolder;
};

struct SaveDialogResult {
    bool shown = false;    // false when the dialog could not be shown at all
    std::string fileName;  // the chosen full path; empty when the user cancelled
};

class Dialogs {
  public:
    virtual ~Dialogs() = default;

    // A modal box with a title, a text (lines separated by CR LF or LF) and no icon. Closing the
    // box without pressing a button answers Cancel for OK/Cancel, No for Yes/No and Ok for OK.
    virtual MessageAnswer messageBox(const std::string& title, const std::string& text,
                                     MessageButtons buttons) = 0;

    virtual SaveDialogResult saveFile(const SaveDialogRequest& request) = 0;

    // The files the user chose, in the dialog's order; none when they cancelled (and where no
    // open dialog can be shown).
    virtual std::vector<std::string> openFiles(const OpenDialogRequest& /*request*/) { return {}; }

    // Lets the user pick a folder; the prompt is shown as the caption. Empty on cancel.
    virtual std::string browseForFolder(const std::string& prompt,
                                        const std::string& startFolder) = 0;

    // Shows the help file from its top.
    virtual void showHelp(const std::string& helpFile) = 0;
};

const char* MessageButtonsName(MessageButtons buttons);
const char* MessageAnswerName(MessageAnswer answer);

}  // namespace platform
