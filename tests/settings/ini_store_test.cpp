// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/ini_store.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "settings/preferences.h"
#include "settings/settings_keys.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
using namespace settings;
using testing_support::Slurp;
using testing_support::TempDir;

// Each test gets its own settings folder through $TRELVANE_HOME.
class IniStore : public ::testing::Test {
  protected:
    void SetUp() override {
        m_folder = (m_dir.path() / "config" / "Trelvane").string();
        setenv("TRELVANE_HOME", m_folder.c_str(), 1);
        SetIniFileName("Trelvane.ini");
    }
    void TearDown() override { unsetenv("TRELVANE_HOME"); }
    std::string iniPath() const { return m_folder + "/Trelvane.ini"; }

    TempDir m_dir;
    std::string m_folder;
};

TEST_F(IniStore, PathsFollowTheSettingsFolder) {
    EXPECT_EQ(IniFilePath(), iniPath());
    EXPECT_EQ(LogFilePath(), m_folder + "/trvdebug.log");
    SetIniFileName("");
    EXPECT_EQ(IniFilePath(), iniPath());
    SetIniFileName("Other.ini");
    EXPECT_EQ(IniFilePath(), m_folder + "/Other.ini");
}

TEST_F(IniStore, WithoutAFileEveryReadIsEmptyAndEveryOptionOff) {
    const char* keys[] = {kKeyReadDirectory, kKeySaveDirectory, kKeyRememberRead,
                          kKeyRememberSave,  kKeyMatchPattern,  kKeyClearJob,
                          kKeyPromptDelete,  kKeyDeleteAskSure, kKeySourceErrorStop,
                          kKeyDebugTrace};
    for (const char* key : keys) {
        EXPECT_EQ(ReadIniValue(kSectionPreferences, key), "") << key;
        EXPECT_FALSE(IsCheckOn(ReadIniValue(kSectionPreferences, key)));
    }
    EXPECT_EQ(ReadIniValue(kSectionMain, kKeyWindowState), "");
    EXPECT_EQ(ReadIniValue(kSectionPreview, kKeyWindowState), "");
    EXPECT_FALSE(IsStopOn(ReadIniValue(kSectionPreferences, kKeySourceErrorStop)));
    EXPECT_FALSE(DebugTraceWanted());
    EXPECT_EQ(MatchPatternOrDefault(ReadIniValue(kSectionPreferences, kKeyMatchPattern)), "*.avi");
    EXPECT_FALSE(fs::exists(m_folder));  // reading creates nothing
}

TEST_F(IniStore, FirstWriteCreatesTheFolderAndTheFile) {
    EXPECT_NE(WriteIniValue(kSectionPreferences, kKeyClearJob, kCheckOn), 0);
    EXPECT_EQ(Slurp(iniPath()), "[Preferences]\nClear_Job=1\n");
    EXPECT_EQ(ReadIniValue("preferences", "clear_job"), "1");
}

TEST_F(IniStore, OnlyTheExactTextsSwitchFeaturesOn) {
    WriteIniValue(kSectionPreferences, kKeyDebugTrace, "1");
    EXPECT_FALSE(DebugTraceWanted());
    WriteIniValue(kSectionPreferences, kKeyDebugTrace, "on");
    EXPECT_FALSE(DebugTraceWanted());
    WriteIniValue(kSectionPreferences, kKeyDebugTrace, "ON");
    EXPECT_TRUE(DebugTraceWanted());

    EXPECT_TRUE(IsStopOn("True"));
    EXPECT_FALSE(IsStopOn("true"));
    EXPECT_FALSE(IsStopOn("1"));
    EXPECT_TRUE(IsCheckOn("1"));
    EXPECT_FALSE(IsCheckOn("-1"));
    EXPECT_FALSE(IsCheckOn("True"));
}

TEST_F(IniStore, EmptyPatternIsAPresentEmptyKeyAndTheDefaultPatternApplies) {
    WriteIniValue(kSectionPreferences, kKeyMatchPattern, "*.avi;*.divx");
    EXPECT_NE(WriteIniValue(kSectionPreferences, kKeyMatchPattern, ""), 0);
    EXPECT_EQ(Slurp(iniPath()), "[Preferences]\nMatch_Pattern=\n");
    EXPECT_EQ(ReadIniValue(kSectionPreferences, kKeyMatchPattern), "");
    EXPECT_EQ(MatchPatternOrDefault(ReadIniValue(kSectionPreferences, kKeyMatchPattern)), "*.avi");
}

TEST_F(IniStore, FolderNameWithALineBreakIsNotStored) {
    WriteIniValue(kSectionPreferences, kKeySaveDirectory, "/videos");
    EXPECT_EQ(WriteIniValue(kSectionPreferences, kKeySaveDirectory, "/tmp/x\nDebug_Trace=ON"), 0);
    EXPECT_EQ(ReadIniValue(kSectionPreferences, kKeySaveDirectory), "/videos");
    EXPECT_FALSE(DebugTraceWanted());
}

TEST_F(IniStore, ClosingStoresPositionsAndRemembersFoldersByTheFlagsInTheFile) {
    std::string longFolder = "/media/\xE6\x98\xA0\xE5\x83\x8F";  // multi-byte characters
    while (longFolder.size() < 300) {
        longFolder += "/\xE6\x98\xA0\xE5\x83\x8F clips";
    }
    SharedTexts texts;
    texts.saveDirectory = longFolder;

    SaveOnMainWindowClose("1485,2970", texts, "/read/here");
    EXPECT_EQ(ReadIniValue(kSectionMain, kKeyWindowState), "1485,2970");
    EXPECT_EQ(ReadIniValue(kSectionPreview, kKeyWindowState), "");  // no preview position yet
    EXPECT_EQ(ReadIniValue(kSectionPreferences, kKeyReadDirectory), "");
    EXPECT_EQ(ReadIniValue(kSectionPreferences, kKeySaveDirectory), "");

    // Flags written a moment ago (as the preferences dialog does) apply at once.
    WriteIniValue(kSectionPreferences, kKeyRememberRead, kCheckOn);
    WriteIniValue(kSectionPreferences, kKeyRememberSave, kCheckOn);
    texts.previewPosText = "-60,1200";
    SaveOnMainWindowClose("10,20", texts, "/read/here");
    EXPECT_EQ(ReadIniValue(kSectionMain, kKeyWindowState), "10,20");
    EXPECT_EQ(ReadIniValue(kSectionPreview, kKeyWindowState), "-60,1200");
    EXPECT_EQ(ReadIniValue(kSectionPreferences, kKeyReadDirectory), "/read/here");

    // The long save folder comes back whole, and a second close writes it back unchanged.
    texts.saveDirectory = ReadIniValue(kSectionPreferences, kKeySaveDirectory);
    EXPECT_EQ(texts.saveDirectory, longFolder);
    SaveOnMainWindowClose("10,20", texts, "/read/here");
    EXPECT_EQ(ReadIniValue(kSectionPreferences, kKeySaveDirectory), longFolder);
}

}  // namespace
