// SPDX-License-Identifier: GPL-3.0-or-later
// The scripted dialogs must catch every box a test did not expect, every difference in title,
// text or buttons, and every expected box that never came.
#include "platform/scripted/scripted_dialogs.h"

#include <gtest/gtest.h>

#include "platform/scripted/memory_list_box.h"

namespace {

using platform::MessageAnswer;
using platform::MessageButtons;
using platform::ScriptedDialogs;

TEST(ScriptedDialogsTest, ExpectedBoxesGetTheirAnswersInOrder) {
    ScriptedDialogs dialogs;
    dialogs.expectMessage("T1", "first", MessageButtons::YesNo, MessageAnswer::Yes);
    dialogs.expectMessage("T2", "second", MessageButtons::OkCancel, MessageAnswer::Cancel);
    dialogs.expectFolderBrowser("Pick", "/start", "/chosen");
    dialogs.expectHelp("/help/Trelvane.hlp");
    EXPECT_EQ(dialogs.messageBox("T1", "first", MessageButtons::YesNo), MessageAnswer::Yes);
    EXPECT_EQ(dialogs.messageBox("T2", "second", MessageButtons::OkCancel), MessageAnswer::Cancel);
    EXPECT_EQ(dialogs.browseForFolder("Pick", "/start"), "/chosen");
    dialogs.showHelp("/help/Trelvane.hlp");
    EXPECT_TRUE(dialogs.verify());
    ASSERT_EQ(dialogs.transcript().size(), 4u);
    EXPECT_EQ(dialogs.transcript()[0], "[T1] first (Yes/No) -> Yes");
}

TEST(ScriptedDialogsTest, DifferencesAndSurprisesAreFailuresAndGetTheSafeAnswer) {
    std::vector<std::string> reported;
    ScriptedDialogs dialogs(
        [&reported](const std::string& failure) { reported.push_back(failure); });
    dialogs.expectMessage("Title", "text", MessageButtons::YesNo, MessageAnswer::Yes);
    // One blank more in the text: a failure, and No rather than the scripted Yes.
    EXPECT_EQ(dialogs.messageBox("Title", "text ", MessageButtons::YesNo), MessageAnswer::No);
    EXPECT_EQ(dialogs.messageBox("Other", "box", MessageButtons::OkCancel), MessageAnswer::Cancel);
    dialogs.expectMessage("Title", "text", MessageButtons::YesNo, MessageAnswer::Yes);
    EXPECT_EQ(dialogs.messageBox("Title", "text", MessageButtons::OkCancel), MessageAnswer::Cancel);
    EXPECT_EQ(dialogs.browseForFolder("Pick", "/"), "");
    EXPECT_FALSE(dialogs.verify());
    EXPECT_EQ(reported.size(), 4u);
    EXPECT_EQ(dialogs.failures(), reported);
    EXPECT_NE(reported[1].find("unexpected message box \"Other\""), std::string::npos);
}

TEST(ScriptedDialogsTest, AnExpectedBoxNeverShownIsReportedAtTheEnd) {
    std::vector<std::string> reported;
    {
        ScriptedDialogs dialogs([&reported](const std::string& f) { reported.push_back(f); });
        dialogs.expectMessage("Title", "never", MessageButtons::Ok, MessageAnswer::Ok);
        platform::SaveDialogRequest request;
        request.title = "Save Joined File As";
        dialogs.expectSaveDialog(request, {true, "/out.avi"});
        EXPECT_EQ(dialogs.pending(), 2);
    }
    ASSERT_EQ(reported.size(), 2u);
    EXPECT_NE(reported[0].find("never shown"), std::string::npos);
}

TEST(ScriptedDialogsTest, TheSaveDialogChecksTheWholeRequest) {
    std::vector<std::string> reported;
    ScriptedDialogs dialogs([&reported](const std::string& f) { reported.push_back(f); });
    platform::SaveDialogRequest request;
    request.title = "Save Joined File As";
    request.filter = "Avi File (*.avi)|*.avi";
    request.defaultExtension = ".avi";
    request.flags = 0x20880E;
    dialogs.expectSaveDialog(request, {true, "/out.avi"});
    EXPECT_EQ(dialogs.saveFile(request).fileName, "/out.avi");
    dialogs.expectSaveDialog(request, {true, "/out.avi"});
    request.flags = 0x2;
    EXPECT_EQ(dialogs.saveFile(request).fileName, "");
    EXPECT_EQ(reported.size(), 1u);
}

TEST(ScriptedDialogsTest, AnAnswerThatIsNoButtonOfTheBoxIsAScriptError) {
    std::vector<std::string> reported;
    ScriptedDialogs dialogs([&reported](const std::string& f) { reported.push_back(f); });
    dialogs.expectMessage("T", "t", MessageButtons::OkCancel, MessageAnswer::Yes);
    EXPECT_EQ(reported.size(), 1u);
    dialogs.messageBox("T", "t", MessageButtons::OkCancel);
    dialogs.verify();
}

TEST(MemoryListBoxTest, SelectionAndTextsOutsideTheLinesAreIgnored) {
    platform::MemoryListBox list({"a", "b", "c"});
    list.setSelected(5, true);
    list.setText(-1, "x");
    list.setSelected(2, true);
    list.setSelected(0, true);
    EXPECT_EQ(platform::SelectedLines(list), (std::vector<int>{0, 2}));
    EXPECT_EQ(platform::SelectedCount(list), 2);
    EXPECT_EQ(list.text(3), "");
    EXPECT_FALSE(list.isSelected(-1));
    list.setText(1, "B");
    EXPECT_EQ(list.lines(), (std::vector<std::string>{"a", "B", "c"}));
}

}  // namespace
