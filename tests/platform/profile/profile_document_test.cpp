// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/profile/profile_document.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using profile::ProfileDocument;

std::string Read(const std::string& bytes, const char* section, const char* key) {
    return ProfileDocument::Parse(bytes).Find(section, key).value_or("<missing>");
}

TEST(ProfileRead, NamesIgnoreCaseAndBlanksAndOneQuotePairAreRemoved) {
    const std::string file =
        "[preferences]\n"
        "  match_PATTERN   =   *.avi  \n"
        "Quoted=\"  padded  \"\n"
        "Single=' x '\n"
        "Mixed=\"abc'\n"
        "Twice=\"\"inner\"\"\n"
        "Lone=\"\n"
        "Empty=\n"
        "\tTabbed\t=\tv\t\n";
    EXPECT_EQ(Read(file, "Preferences", "Match_Pattern"), "*.avi");
    EXPECT_EQ(Read(file, "PREFERENCES", "match_pattern"), "*.avi");
    EXPECT_EQ(Read(file, "Preferences", "Quoted"), "  padded  ");
    EXPECT_EQ(Read(file, "Preferences", "Single"), " x ");
    EXPECT_EQ(Read(file, "Preferences", "Mixed"), "\"abc'");
    EXPECT_EQ(Read(file, "Preferences", "Twice"), "\"inner\"");
    EXPECT_EQ(Read(file, "Preferences", "Lone"), "\"");
    EXPECT_EQ(Read(file, "Preferences", "Empty"), "");
    EXPECT_EQ(Read(file, "Preferences", "Tabbed"), "v");
    EXPECT_EQ(Read(file, "Preferences", "Missing"), "<missing>");
    EXPECT_EQ(Read(file, "Main", "Empty"), "<missing>");
}

TEST(ProfileRead, FirstSectionAndFirstKeyWinCommentsAndStrayLinesDoNotCount) {
    const std::string file =
        "Orphan=before any section\n"
        "[Main]\n"
        "; WindowState=commented out\n"
        "WindowState=1,2\n"
        "windowstate=3,4\n"
        "no equals sign here\n"
        "[Half\n"
        "Later=still in Main\n"
        "[MAIN]\n"
        "WindowState=5,6\n"
        "Extra=in the second Main\n"
        "  [ Preview ]  \n"
        "WindowState=7,8\n";
    EXPECT_EQ(Read(file, "Main", "WindowState"), "1,2");
    EXPECT_EQ(Read(file, "Main", "Later"), "still in Main");
    EXPECT_EQ(Read(file, "Main", "Extra"), "<missing>");
    EXPECT_EQ(Read(file, "Main", "; WindowState"), "<missing>");
    EXPECT_EQ(Read(file, "Preview", "WindowState"), "7,8");
    EXPECT_EQ(Read(file, "Main", "Orphan"), "<missing>");
}

TEST(ProfileRead, CrLfAndByteOrderMarkAreAccepted) {
    const std::string file = "\xEF\xBB\xBF[Main]\r\nWindowState=1485,2970\r\nLast=no newline";
    EXPECT_EQ(Read(file, "Main", "WindowState"), "1485,2970");
    EXPECT_EQ(Read(file, "Main", "Last"), "no newline");
}

TEST(ProfileWrite, HandEditedFileChangesOnlyInTheOneLine) {
    const std::string before =
        "; Trelvane settings, edited by hand\n"
        "\n"
        "[Preferences]   ; trailing note\n"
        "   Match_Pattern  =  *.avi\n"
        "Remember_Read=1\n"
        "\n"
        "# not a comment here, just a stray line\n"
        "[Main]\n"
        "WindowState = 1485,2970\n";
    ProfileDocument document = ProfileDocument::Parse(before);
    ASSERT_TRUE(document.Set("preferences", "MATCH_PATTERN", "*.mpg;*.avi"));
    std::string expected = before;
    expected.replace(expected.find("*.avi"), 5, "*.mpg;*.avi");
    EXPECT_EQ(document.Serialize(), expected);

    ASSERT_TRUE(document.Set("Main", "WindowState", "-60,1200"));
    expected.replace(expected.find("1485,2970"), 9, "-60,1200");
    EXPECT_EQ(document.Serialize(), expected);
}

TEST(ProfileWrite, NewKeysJoinTheirSectionAndNewSectionsGoAtTheEnd) {
    ProfileDocument document = ProfileDocument::Parse(
        "[Preferences]\nClear_Job=1\n\n; about the main window\n[Main]\nWindowState=1,2");
    ASSERT_TRUE(document.Set("Preferences", "Prompt_Delete", "0"));
    ASSERT_TRUE(document.Set("Main", "Other", "x"));
    ASSERT_TRUE(document.Set("Preview", "WindowState", "3,4"));
    EXPECT_EQ(document.Serialize(),
              "[Preferences]\nClear_Job=1\nPrompt_Delete=0\n\n; about the main window\n"
              "[Main]\nWindowState=1,2\nOther=x\n\n[Preview]\nWindowState=3,4\n");

    ProfileDocument empty = ProfileDocument::Parse("");
    ASSERT_TRUE(empty.Set("Main", "WindowState", "1,2"));
    EXPECT_EQ(empty.Serialize(), "[Main]\nWindowState=1,2\n");
}

TEST(ProfileWrite, KeepsCrLfAndTheByteOrderMark) {
    ProfileDocument document = ProfileDocument::Parse("\xEF\xBB\xBF[Main]\r\nWindowState=1,2\r\n");
    ASSERT_TRUE(document.Set("Main", "WindowState", "3,4"));
    ASSERT_TRUE(document.Set("Main", "New", "5"));
    ASSERT_TRUE(document.Set("Preview", "WindowState", "6,7"));
    EXPECT_EQ(document.Serialize(),
              "\xEF\xBB\xBF[Main]\r\nWindowState=3,4\r\nNew=5\r\n\r\n[Preview]\r\n"
              "WindowState=6,7\r\n");
}

TEST(ProfileWrite, EveryWritableValueReadsBackAsWritten) {
    const std::vector<std::string> values = {"",
                                             " ",
                                             "  lead",
                                             "trail\t",
                                             "\"quoted\"",
                                             "'single'",
                                             "\"",
                                             "'",
                                             "\"\"",
                                             "\"a\" \"b\"",
                                             "a=b=c",
                                             "; not a comment",
                                             "[not a section]",
                                             "x\"",
                                             "\xC3\xA9t\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC"};
    for (const std::string& value : values) {
        ProfileDocument document = ProfileDocument::Parse("[S]\nk=old\n");
        ASSERT_TRUE(document.Set("S", "k", value)) << value;
        EXPECT_EQ(document.Find("S", "k"), value);
        EXPECT_EQ(ProfileDocument::Parse(document.Serialize()).Find("s", "K"), value) << value;
    }
}

TEST(ProfileWrite, LineBreaksAndNamesThatCannotBeFoundAgainAreRefused) {
    const std::string before = "[Preferences]\nSave_Directory=/home/a\n";
    ProfileDocument document = ProfileDocument::Parse(before);
    // A folder name with a line break must not smuggle a line into the file.
    EXPECT_FALSE(document.Set("Preferences", "Save_Directory", "/tmp/x\nDebug_Trace=ON"));
    EXPECT_FALSE(document.Set("Preferences", "Save_Directory", "/tmp/x\rDebug_Trace=ON"));
    EXPECT_FALSE(document.Set("Preferences", "Save_Directory", std::string("a\0b", 3)));
    EXPECT_FALSE(document.Set("", "Key", "v"));
    EXPECT_FALSE(document.Set(" Main", "Key", "v"));
    EXPECT_FALSE(document.Set("Main", "", "v"));
    EXPECT_FALSE(document.Set("Main", "a=b", "v"));
    EXPECT_FALSE(document.Set("Main", "[x", "v"));
    EXPECT_FALSE(document.Set("Main", ";x", "v"));
    EXPECT_FALSE(document.Set("Main", "Key ", "v"));
    EXPECT_FALSE(document.Set("Ma\nin", "Key", "v"));
    EXPECT_EQ(document.Serialize(), before);
}

}  // namespace
