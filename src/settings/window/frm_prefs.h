// SPDX-License-Identifier: GPL-3.0-or-later
// The preferences dialog: the nine edited keys of "Preferences", read when it opens and written,
// the changed ones only, when the user confirms.
#pragma once

#include <QDialog>
#include <string>

#include "platform/dialogs.h"
#include "settings/window/prefs_form.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QWidget;

namespace settings {

class frmPrefs : public QDialog {
    Q_OBJECT

  public:
    // Reads the settings at once (Form_Load) and places itself over mainWindow, or centres itself
    // on the screen without one. currentFolder is the main window's folder list's folder.
    frmPrefs(platform::Dialogs& dialogs, const std::string& currentFolder,
             const std::string& saveDirectory, QWidget* mainWindow = nullptr);

  private:
    void buildControls();
    void Form_Load();
    void cmdOK_Click();
    void cmdCancel_Click();
    void cmdBroReadDir_Click();
    void cmdBroWriteDir_Click();
    // Copies between the widgets and the form's controls.
    void showControls();
    void takeControls();

    QWidget* m_mainWindow;
    PrefsForm m_form;

    // The controls, named as their Qt object names, in tab order (labels and the option buttons'
    // frame take no focus).
    QPushButton* cmdBroReadDir = nullptr;
    QLineEdit* txtReadDir = nullptr;
    QLabel* Label1 = nullptr;
    QCheckBox* chkReadSave = nullptr;
    QLabel* Label2 = nullptr;
    QCheckBox* chkWriteSave = nullptr;
    QLineEdit* txtWriteDir = nullptr;
    QPushButton* cmdBroWriteDir = nullptr;
    QCheckBox* chkPromptDelete = nullptr;
    QCheckBox* chkAskSure = nullptr;
    QLabel* Label3 = nullptr;
    QLineEdit* txtMatchPattern = nullptr;
    QCheckBox* chkClearJob = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;
    QLabel* Label4 = nullptr;
    QWidget* Picture1 = nullptr;
    QRadioButton* optErrorStop = nullptr;
    QRadioButton* optErrorWarn = nullptr;
};

// The main window's "&Preferences" command: shows the dialog modally and returns when it closes.
void ShowPreferences(QWidget* mainWindow, platform::Dialogs& dialogs,
                     const std::string& currentFolder, const std::string& saveDirectory);

}  // namespace settings
