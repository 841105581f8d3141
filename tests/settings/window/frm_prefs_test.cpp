// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/window/frm_prefs.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QIcon>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QtTest/QTest>
#include <fstream>
#include <string>

#include "platform/scripted/scripted_dialogs.h"
#include "settings/ini_store.h"
#include "settings/settings_keys.h"
#include "support/test_support.h"

namespace {

using namespace settings;
using testing_support::Slurp;
using testing_support::TempDir;

template <typename T>
T* Control(QWidget& dialog, const char* name) {
    T* control = dialog.findChild<T*>(name);
    EXPECT_NE(control, nullptr) << name;
    return control;
}

class PrefsWindow : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "frm_prefs_test";
        static char* argv[] = {name, nullptr};
        if (QApplication::instance() == nullptr) {
            new QApplication(argc, argv);
        }
    }
    void SetUp() override {
        setenv("TRELVANE_HOME", m_dir.path().c_str(), 1);
        setenv("HOME", m_home.c_str(), 1);  // where a browse from an empty box starts
        SetIniFileName(kIniFileName);
    }
    void TearDown() override {
        unsetenv("TRELVANE_HOME");
        EXPECT_TRUE(m_dialogs.verify());
    }
    void store(const std::string& text) { std::ofstream(IniFilePath()) << text; }

    TempDir m_dir;
    std::string m_home = m_dir.path().string();
    platform::ScriptedDialogs m_dialogs{
        [](const std::string& failure) { ADD_FAILURE() << failure; }};
};

TEST_F(PrefsWindow, OpensOnTheStoredValuesAndTabsInTheTablesOrder) {
    store(
        "[Preferences]\nRead_Directory=/old\nMatch_Pattern=*.AVI\nPrompt_Delete=1\n"
        "Source_Error_Stop=True\n");
    QWidget main;
    main.setGeometry(200, 150, 600, 400);
    frmPrefs dialog(m_dialogs, "/cur", "/save", &main);
    EXPECT_EQ(dialog.windowTitle(), "Preferences");
    EXPECT_EQ(dialog.windowIcon().availableSizes(), QList<QSize>{QSize(32, 32)});
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
    EXPECT_FALSE(dialog.windowFlags() &
                 (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(Control<QLineEdit>(dialog, "txtReadDir")->text(), "/old");
    EXPECT_EQ(Control<QLineEdit>(dialog, "txtWriteDir")->text(), "/save");
    EXPECT_EQ(Control<QLineEdit>(dialog, "txtMatchPattern")->text(), "*.AVI");
    EXPECT_TRUE(Control<QCheckBox>(dialog, "chkPromptDelete")->isChecked());
    EXPECT_FALSE(Control<QCheckBox>(dialog, "chkAskSure")->isChecked());
    EXPECT_TRUE(Control<QRadioButton>(dialog, "optErrorStop")->isChecked());
    EXPECT_FALSE(Control<QRadioButton>(dialog, "optErrorWarn")->isChecked());
    EXPECT_EQ(Control<QRadioButton>(dialog, "optErrorWarn")->text(), "Warn, but finish joining");

    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    // Centred over the main window.
    EXPECT_NEAR(dialog.frameGeometry().center().x(), main.frameGeometry().center().x(), 2);
    EXPECT_NEAR(dialog.frameGeometry().center().y(), main.frameGeometry().center().y(), 2);
    const char* order[] = {"cmdBroReadDir",   "txtReadDir",     "chkReadSave",     "chkWriteSave",
                           "txtWriteDir",     "cmdBroWriteDir", "chkPromptDelete", "chkAskSure",
                           "txtMatchPattern", "chkClearJob",    "cmdOK",           "cmdCancel",
                           "optErrorStop"};
    for (const char* name : order) {
        ASSERT_NE(QApplication::focusWidget(), nullptr);
        EXPECT_EQ(QApplication::focusWidget()->objectName().toStdString(), name);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    // From the option buttons the order wraps around to the first control.
    EXPECT_EQ(QApplication::focusWidget()->objectName().toStdString(), "cmdBroReadDir");
}

TEST_F(PrefsWindow, OkWritesWhatTheUserChangedAndCancelOrCloseNothing) {
    store("[Preferences]\nMatch_Pattern=*.avi\nClear_Job=yes\n");
    const std::string stored = Slurp(IniFilePath());
    for (const char* way : {"Cancel", "Escape", "close box"}) {
        frmPrefs dialog(m_dialogs, "/cur", "");
        dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
        QTest::mouseClick(Control<QCheckBox>(dialog, "chkAskSure"), Qt::LeftButton);
        Control<QLineEdit>(dialog, "txtMatchPattern")->clear();
        if (std::string(way) == "Cancel") {
            QTest::mouseClick(Control<QPushButton>(dialog, "cmdCancel"), Qt::LeftButton);
        } else if (std::string(way) == "Escape") {
            QTest::keyClick(&dialog, Qt::Key_Escape);
        } else {
            dialog.close();
        }
        EXPECT_EQ(dialog.result(), QDialog::Rejected) << way;
        EXPECT_EQ(Slurp(IniFilePath()), stored) << way;
    }

    frmPrefs dialog(m_dialogs, "/cur", "");
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    // The first control has the focus: Space browses; a chosen folder fills the box.
    m_dialogs.expectFolderBrowser("Default Read Directory:", m_home, "/media/clips");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    QTest::mouseClick(Control<QCheckBox>(dialog, "chkAskSure"), Qt::LeftButton);
    QTest::mouseClick(Control<QRadioButton>(dialog, "optErrorStop"), Qt::LeftButton);
    m_dialogs.expectFolderBrowser("Default Save Directory:", m_home, "");
    QTest::mouseClick(Control<QPushButton>(dialog, "cmdBroWriteDir"), Qt::LeftButton);
    QLineEdit* pattern = Control<QLineEdit>(dialog, "txtMatchPattern");
    pattern->setFocus();
    pattern->selectAll();
    QTest::keyClick(pattern, Qt::Key_Delete);
    // Enter in a text box presses the default button, OK.
    QTest::keyClick(pattern, Qt::Key_Return);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(ReadIniValue(kSectionPreferences, kKeyDeleteAskSure), "1");
    EXPECT_EQ(ReadIniValue(kSectionPreferences, kKeySourceErrorStop), "True");
    EXPECT_EQ(ReadIniValue(kSectionPreferences, kKeyClearJob), "yes");  // untouched
    EXPECT_EQ(ReadIniValue(kSectionPreferences, kKeyReadDirectory), "/media/clips");
    EXPECT_EQ(ReadIniValue(kSectionPreferences, kKeySaveDirectory), "");
    EXPECT_NE(Slurp(IniFilePath()).find("Match_Pattern=\n"), std::string::npos);
}

TEST_F(PrefsWindow, ShowPreferencesIsModalAndReturnsWhenClosed) {
    QWidget main;
    main.show();
    bool sawDialog = false;
    // Answers the modal dialog as soon as it is up; gives up (cancelling it) after 10 s.
    QTimer answer;
    QElapsedTimer waited;
    waited.start();
    QObject::connect(&answer, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr) {
            return;
        }
        if (!sawDialog && modal->objectName() == "frmPrefs" && modal->isActiveWindow()) {
            sawDialog = true;
            QWidget* pattern = modal->findChild<QWidget*>("txtMatchPattern");
            pattern->setFocus();
            QTest::keyClick(pattern, Qt::Key_Return);
        } else if (waited.elapsed() > 10000) {
            static_cast<QDialog*>(modal)->reject();
        }
    });
    answer.start(10);
    ShowPreferences(&main, m_dialogs, "/cur", "");
    EXPECT_TRUE(sawDialog);
    EXPECT_EQ(ReadIniValue(kSectionPreferences, kKeySourceErrorStop), "False");
}

}  // namespace
