// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/window/prefs_form.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <fstream>
#include <string>

#include "platform/scripted/scripted_dialogs.h"
#include "settings/ini_store.h"
#include "settings/preferences.h"
#include "settings/settings_keys.h"
#include "support/test_support.h"

namespace {

using namespace settings;
using testing_support::Slurp;
using testing_support::TempDir;

std::string Pref(const char* key) {
    return ReadIniValue(kSectionPreferences, key);
}

// Each test gets its own settings folder; the dialog's form runs against it.
class PrefsFormTest : public ::testing::Test {
  protected:
    void SetUp() override {
        setenv("TRELVANE_HOME", m_dir.path().c_str(), 1);
        SetIniFileName(kIniFileName);
    }
    void TearDown() override {
        unsetenv("TRELVANE_HOME");
        EXPECT_TRUE(m_dialogs.verify());
    }
    void store(const std::string& text) { std::ofstream(IniFilePath()) << text; }
    // Opens the form as the main window would, with its current folder and save folder.
    PrefsForm& open(const std::string& currentFolder = "/cur",
                    const std::string& saveDirectory = "") {
        m_form.emplace(m_dialogs, currentFolder, saveDirectory);
        m_form->Form_Load();
        return *m_form;
    }

    TempDir m_dir;
    platform::ScriptedDialogs m_dialogs{
        [](const std::string& failure) { ADD_FAILURE() << failure; }};
    std::optional<PrefsForm> m_form;
};

TEST_F(PrefsFormTest, WithoutAFileOkWritesTheOffStatesOnlyAndASecondOkNothing) {
    PrefsForm& form = open("/cur", "");
    const PrefsControls& c = form.controls();
    EXPECT_EQ(c.txtReadDir, "");
    EXPECT_EQ(c.txtWriteDir, "");
    EXPECT_EQ(c.txtMatchPattern, "");
    EXPECT_FALSE(c.chkReadSave || c.chkWriteSave || c.chkClearJob || c.chkPromptDelete ||
                 c.chkAskSure || c.optErrorStop);
    EXPECT_TRUE(c.optErrorWarn);

    EXPECT_EQ(form.cmdOK_Click(), 6);
    EXPECT_EQ(Slurp(IniFilePath()),
              "[Preferences]\nRemember_Read=0\nRemember_Save=0\nClear_Job=0\nPrompt_Delete=0\n"
              "Delete_Ask_Sure=0\nSource_Error_Stop=False\n");

    // Opened and confirmed again without edits: the file is not even replaced.
    struct stat before {};
    ASSERT_EQ(stat(IniFilePath().c_str(), &before), 0);
    EXPECT_EQ(open("/cur", "").cmdOK_Click(), 0);
    struct stat after {};
    ASSERT_EQ(stat(IniFilePath().c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
}

TEST_F(PrefsFormTest, OnlyTheChangedKeysAreWritten) {
    store("[Preferences]\nMatch_Pattern=*.avi\nClear_Job=1\nDebug_Trace=ON\n");
    PrefsForm& form = open();
    EXPECT_TRUE(form.controls().chkClearJob);
    form.controls().chkClearJob = false;
    form.controls().chkAskSure = true;
    form.controls().txtMatchPattern = "";  // cleared: stored empty, the main window keeps *.avi
    form.cmdOK_Click();
    EXPECT_EQ(Pref(kKeyClearJob), "0");
    EXPECT_EQ(Pref(kKeyDeleteAskSure), "1");
    EXPECT_NE(Slurp(IniFilePath()).find("Match_Pattern=\n"), std::string::npos);
    EXPECT_EQ(MatchPatternOrDefault(Pref(kKeyMatchPattern)), "*.avi");
    EXPECT_EQ(Pref(kKeyDebugTrace), "ON");
}

TEST_F(PrefsFormTest, FolderBoxesFollowTheMainWindowWhereTheyAreRemembered) {
    // Remember_Read on: the box shows the main window's folder, and OK stores it.
    store(
        "[Preferences]\nRemember_Read=1\nRead_Directory=/old\nSave_Directory=/stored\n"
        "Remember_Save=0\nClear_Job=0\nPrompt_Delete=0\nDelete_Ask_Sure=0\n"
        "Source_Error_Stop=False\n");
    PrefsForm& form = open("/cur", "/save");
    EXPECT_EQ(form.controls().txtReadDir, "/cur");
    EXPECT_EQ(form.remembered().readDirectory, "/old");
    // The save box always shows the save folder in use, whatever is stored.
    EXPECT_EQ(form.controls().txtWriteDir, "/save");
    EXPECT_EQ(form.cmdOK_Click(), 2);
    EXPECT_EQ(Pref(kKeyReadDirectory), "/cur");
    EXPECT_EQ(Pref(kKeySaveDirectory), "/save");

    // Remember_Read off: the stored folder is shown and kept.
    store("[Preferences]\nRemember_Read=0\nRead_Directory=/old\n");
    EXPECT_EQ(open("/cur").controls().txtReadDir, "/old");
    m_form->cmdOK_Click();
    EXPECT_EQ(Pref(kKeyReadDirectory), "/old");
}

TEST_F(PrefsFormTest, StopIsSelectedOnlyByTrue) {
    const struct {
        const char* stored;  // nullptr: no such key
        bool stop;
    } cases[] = {{nullptr, false}, {"", false}, {"False", false}, {"True", true}, {"true", false}};
    for (const auto& c : cases) {
        store(c.stored ? std::string("[Preferences]\nSource_Error_Stop=") + c.stored + "\n"
                       : std::string("[Main]\n"));
        const PrefsControls& controls = open().controls();
        EXPECT_EQ(controls.optErrorStop, c.stop) << (c.stored ? c.stored : "(missing)");
        EXPECT_NE(controls.optErrorWarn, c.stop);
    }
}

TEST_F(PrefsFormTest, HandEditedValuesSurviveUntilTheirControlIsChanged) {
    store(
        "[Preferences]\nRemember_Read=yes\nRead_Directory=/old\nClear_Job=yes\n"
        "Prompt_Delete=0\nRemember_Save=1\nDelete_Ask_Sure=1\nSource_Error_Stop=maybe\n");
    PrefsForm& form = open();
    // "yes" is not "1": unchecked, and Read_Directory is not replaced by the current folder.
    EXPECT_FALSE(form.controls().chkReadSave);
    EXPECT_EQ(form.controls().txtReadDir, "/old");
    EXPECT_TRUE(form.controls().optErrorWarn);
    const std::string before = Slurp(IniFilePath());
    form.controls().txtWriteDir = "";  // as stored (none)
    EXPECT_EQ(form.cmdOK_Click(), 0);
    EXPECT_EQ(Slurp(IniFilePath()), before);

    open().controls().chkClearJob = true;
    m_form->controls().optErrorStop = true;
    m_form->controls().optErrorWarn = false;
    EXPECT_EQ(m_form->cmdOK_Click(), 2);
    EXPECT_EQ(Pref(kKeyClearJob), "1");
    EXPECT_EQ(Pref(kKeySourceErrorStop), "True");
    EXPECT_EQ(Pref(kKeyRememberRead), "yes");
}

TEST_F(PrefsFormTest, BrowsingReplacesTheBoxOnlyWhenAFolderIsChosen) {
    store("[Preferences]\nRead_Directory=/old\n");
    PrefsForm& form = open("/cur", "");
    m_dialogs.expectFolderBrowser(kBrowseReadPrompt, "/old", "");
    form.cmdBroReadDir_Click();
    EXPECT_EQ(form.controls().txtReadDir, "/old");
    m_dialogs.expectFolderBrowser(kBrowseReadPrompt, "/old", "/media/clips");
    form.cmdBroReadDir_Click();
    EXPECT_EQ(form.controls().txtReadDir, "/media/clips");
    // An empty box starts the browse at the home folder.
    setenv("HOME", m_dir.path().c_str(), 1);
    m_dialogs.expectFolderBrowser(kBrowseSavePrompt, m_dir.path().string(), "/out");
    form.cmdBroWriteDir_Click();
    EXPECT_EQ(form.controls().txtWriteDir, "/out");
}

}  // namespace
