// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/window/frm_prefs.h"

#include <QCheckBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QWidget>
#include <algorithm>

#include "platform/qt/qt_text.h"
#include "platform/qt/qt_window.h"
#include "platform/qt/twips_layout.h"
#include "settings/window_placement.h"

namespace settings {

namespace {

// The dialog's client area in twips.
constexpr int kClientWidth = 5040;
constexpr int kClientHeight = 2835;

}  // namespace

frmPrefs::frmPrefs(platform::Dialogs& dialogs, const std::string& currentFolder,
                   const std::string& saveDirectory, QWidget* mainWindow)
    : QDialog(mainWindow), m_mainWindow(mainWindow), m_form(dialogs, currentFolder, saveDirectory) {
    setObjectName("frmPrefs");
    setWindowTitle(tr("Preferences"));
    setWindowIcon(QIcon(":/trelvane/preferences-32.png"));
    // A fixed border: no maximise or minimise buttons, no resizing.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    buildControls();
    Form_Load();
}

void frmPrefs::buildControls() {
    // The longest caption beside its box decides how much a larger font stretches the dialog.
    const double scale =
        platform::FontLayoutScale(font(), tr("Prompt to delete source files"), 140);
    const auto place = [&](QWidget* widget, const char* name, int left, int top, int width,
                           int height) {
        widget->setObjectName(name);
        widget->setGeometry(platform::TwipsRect(left, top, width, height, scale));
    };
    setFixedSize(platform::TwipsSize(kClientWidth, kClientHeight, scale));

    cmdBroReadDir = new QPushButton("...", this);
    place(cmdBroReadDir, "cmdBroReadDir", 4560, 240, 375, 255);
    txtReadDir = new QLineEdit(this);
    place(txtReadDir, "txtReadDir", 120, 240, 4335, 285);
    Label1 = new QLabel(tr("Default read directory:"), this);
    place(Label1, "Label1", 120, 0, 1815, 255);
    chkReadSave = new QCheckBox(tr("Remember last chosen"), this);
    place(chkReadSave, "chkReadSave", 2640, 0, 2055, 255);
    Label2 = new QLabel(tr("Default save directory:"), this);
    place(Label2, "Label2", 120, 600, 1815, 255);
    chkWriteSave = new QCheckBox(tr("Remember last chosen"), this);
    place(chkWriteSave, "chkWriteSave", 2640, 600, 2055, 255);
    txtWriteDir = new QLineEdit(this);
    place(txtWriteDir, "txtWriteDir", 120, 840, 4335, 285);
    cmdBroWriteDir = new QPushButton("...", this);
    place(cmdBroWriteDir, "cmdBroWriteDir", 4560, 840, 375, 255);
    chkPromptDelete = new QCheckBox(tr("Prompt to delete source files"), this);
    place(chkPromptDelete, "chkPromptDelete", 120, 2040, 2415, 255);
    chkAskSure = new QCheckBox(tr("Ask if sure before deleting"), this);
    place(chkAskSure, "chkAskSure", 2640, 2040, 2175, 255);
    Label3 = new QLabel(tr("Default match pattern:"), this);
    place(Label3, "Label3", 120, 1320, 1695, 255);
    txtMatchPattern = new QLineEdit(this);
    place(txtMatchPattern, "txtMatchPattern", 1920, 1320, 1575, 285);
    chkClearJob = new QCheckBox(tr("Clear job after successful join"), this);
    place(chkClearJob, "chkClearJob", 120, 2400, 2415, 255);
    cmdOK = new QPushButton(tr("&OK"), this);
    place(cmdOK, "cmdOK", 2640, 2400, 1095, 375);
    cmdCancel = new QPushButton(tr("&Cancel"), this);
    place(cmdCancel, "cmdCancel", 3840, 2400, 1095, 375);
    Label4 = new QLabel(tr("Missing source frames:"), this);
    place(Label4, "Label4", 120, 1680, 1695, 255);
    Picture1 = new QWidget(this);
    place(Picture1, "Picture1", 1920, 1680, 3015, 255);
    optErrorStop = new QRadioButton(tr("Stop"), Picture1);
    place(optErrorStop, "optErrorStop", 0, 0, 735, 255);
    optErrorWarn = new QRadioButton(tr("Warn, but finish joining"), Picture1);
    place(optErrorWarn, "optErrorWarn", 840, 0, 2175, 255);

    // The labels belong to the boxes they name (accessibility reads them together).
    Label1->setBuddy(txtReadDir);
    Label2->setBuddy(txtWriteDir);
    Label3->setBuddy(txtMatchPattern);
    Label4->setBuddy(Picture1);
    cmdBroReadDir->setToolTip(tr("Browse for the default read directory"));
    cmdBroWriteDir->setToolTip(tr("Browse for the default save directory"));

    // Enter presses OK, or the button that has the focus; Esc and the close box cancel.
    cmdOK->setDefault(true);

    QWidget* const order[] = {cmdBroReadDir,   txtReadDir,     chkReadSave,     chkWriteSave,
                              txtWriteDir,     cmdBroWriteDir, chkPromptDelete, chkAskSure,
                              txtMatchPattern, chkClearJob,    cmdOK,           cmdCancel,
                              optErrorStop,    optErrorWarn};
    for (size_t i = 1; i < std::size(order); ++i) {
        setTabOrder(order[i - 1], order[i]);
    }

    connect(cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
    connect(cmdCancel, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });
    connect(cmdBroReadDir, &QPushButton::clicked, this, [this] { cmdBroReadDir_Click(); });
    connect(cmdBroWriteDir, &QPushButton::clicked, this, [this] { cmdBroWriteDir_Click(); });
}

void frmPrefs::Form_Load() {
    platform::QtPlacedWindow dialog(*this);
    if (m_mainWindow != nullptr) {
        CenterOverMainWindow(dialog, platform::QtPlacedWindow(*m_mainWindow->window()));
    } else {
        CenterOnScreen(dialog, platform::ScreenAreaOf(nullptr));
    }
    m_form.Form_Load();
    showControls();
    cmdBroReadDir->setFocus();
}

void frmPrefs::cmdOK_Click() {
    takeControls();
    m_form.cmdOK_Click();
    accept();
}

void frmPrefs::cmdCancel_Click() {
    reject();
}

void frmPrefs::cmdBroReadDir_Click() {
    takeControls();
    m_form.cmdBroReadDir_Click();
    txtReadDir->setText(platform::ToQString(m_form.controls().txtReadDir));
}

void frmPrefs::cmdBroWriteDir_Click() {
    takeControls();
    m_form.cmdBroWriteDir_Click();
    txtWriteDir->setText(platform::ToQString(m_form.controls().txtWriteDir));
}

void frmPrefs::showControls() {
    const PrefsControls& c = m_form.controls();
    chkReadSave->setChecked(c.chkReadSave);
    chkWriteSave->setChecked(c.chkWriteSave);
    txtReadDir->setText(platform::ToQString(c.txtReadDir));
    txtWriteDir->setText(platform::ToQString(c.txtWriteDir));
    txtMatchPattern->setText(platform::ToQString(c.txtMatchPattern));
    chkClearJob->setChecked(c.chkClearJob);
    chkPromptDelete->setChecked(c.chkPromptDelete);
    chkAskSure->setChecked(c.chkAskSure);
    optErrorStop->setChecked(c.optErrorStop);
    optErrorWarn->setChecked(c.optErrorWarn);
}

void frmPrefs::takeControls() {
    PrefsControls& c = m_form.controls();
    c.chkReadSave = chkReadSave->isChecked();
    c.chkWriteSave = chkWriteSave->isChecked();
    c.txtReadDir = platform::ToUtf8(txtReadDir->text());
    c.txtWriteDir = platform::ToUtf8(txtWriteDir->text());
    c.txtMatchPattern = platform::ToUtf8(txtMatchPattern->text());
    c.chkClearJob = chkClearJob->isChecked();
    c.chkPromptDelete = chkPromptDelete->isChecked();
    c.chkAskSure = chkAskSure->isChecked();
    c.optErrorStop = optErrorStop->isChecked();
    c.optErrorWarn = optErrorWarn->isChecked();
}

void ShowPreferences(QWidget* mainWindow, platform::Dialogs& dialogs,
                     const std::string& currentFolder, const std::string& saveDirectory) {
    frmPrefs dialog(dialogs, currentFolder, saveDirectory, mainWindow);
    dialog.exec();
}

}  // namespace settings
