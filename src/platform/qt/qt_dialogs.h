// SPDX-License-Identifier: GPL-3.0-or-later
// The common dialogs through Qt: message boxes with the exact title, text and buttons and no icon,
// the save dialog as the program asks for it, the folder browser and the help viewer. Every
// dialog is modal over the owner window.
#pragma once

#include <QPointer>
#include <QString>
#include <QStringList>

#include "platform/dialogs.h"

class QWidget;

namespace platform {

class QtDialogs : public Dialogs {
  public:
    explicit QtDialogs(QWidget* owner = nullptr);

    // The window the dialogs belong to; may change (the main window exists after start-up).
    void setOwner(QWidget* owner);
    QWidget* owner() const;

    MessageAnswer messageBox(const std::string& title, const std::string& text,
                             MessageButtons buttons) override;
    SaveDialogResult saveFile(const SaveDialogRequest& request) override;
    std::vector<std::string> openFiles(const OpenDialogRequest& request) override;
    std::string browseForFolder(const std::string& prompt, const std::string& startFolder) override;
    void showHelp(const std::string& helpFile) override;

  private:
    QPointer<QWidget> m_owner;
};

// The filter "Description|pattern|Description|pattern" as Qt's name filters: "Avi File (*.avi)"
// stays as it is when the description already names its patterns, else the patterns are added
// in brackets ("*.avi;*.divx" becomes "(*.avi *.divx)").
QStringList QtNameFilters(const std::string& filter);

}  // namespace platform
