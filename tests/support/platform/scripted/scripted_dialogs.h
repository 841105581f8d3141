// SPDX-License-Identifier: GPL-3.0-or-later
// Dialogs answered from a script, for tests. Each expected box is checked for its exact title,
// text and buttons and gets the scripted answer, in order. Anything else (an unexpected box, a
// mismatch, an expected box never shown) becomes a recorded failure, also passed to the failure
// handler at once, so a test can fail on it without this library knowing the test framework.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/dialogs.h"

namespace platform {

class ScriptedDialogs : public Dialogs {
  public:
    using FailureHandler = std::function<void(const std::string& failure)>;

    explicit ScriptedDialogs(FailureHandler onFailure = {});
    // Reports expectations still waiting (as verify() does) unless verify() already ran.
    ~ScriptedDialogs() override;
    ScriptedDialogs(const ScriptedDialogs&) = delete;
    ScriptedDialogs& operator=(const ScriptedDialogs&) = delete;

    void expectMessage(const std::string& title, const std::string& text, MessageButtons buttons,
                       MessageAnswer answer);
    void expectSaveDialog(const SaveDialogRequest& request, const SaveDialogResult& answer);
    void expectOpenDialog(const OpenDialogRequest& request, const std::vector<std::string>& answer);
    void expectFolderBrowser(const std::string& prompt, const std::string& startFolder,
                             const std::string& answer);
    void expectHelp(const std::string& helpFile);

    MessageAnswer messageBox(const std::string& title, const std::string& text,
                             MessageButtons buttons) override;
    SaveDialogResult saveFile(const SaveDialogRequest& request) override;
    std::vector<std::string> openFiles(const OpenDialogRequest& request) override;
    std::string browseForFolder(const std::string& prompt, const std::string& startFolder) override;
    void showHelp(const std::string& helpFile) override;

    // Records every expectation not yet met as a failure and forgets it; true when no failure
    // was recorded at all.
    bool verify();
    int pending() const { return static_cast<int>(m_expected.size()); }
    const std::vector<std::string>& failures() const { return m_failures; }
    // One line per box shown, in order: "[title] text (buttons) -> answer".
    const std::vector<std::string>& transcript() const { return m_transcript; }

  private:
    enum class Kind { Message, Save, Open, Folder, Help };
    struct Expected {
        Kind kind = Kind::Message;
        std::string title;  // message title, folder prompt, help file
        std::string text;   // message text, folder start
        MessageButtons buttons = MessageButtons::Ok;
        MessageAnswer answer = MessageAnswer::Ok;
        SaveDialogRequest saveRequest;
        SaveDialogResult saveAnswer;
        OpenDialogRequest openRequest;
        std::vector<std::string> openAnswer;
        std::string folderAnswer;
    };

    void fail(const std::string& failure);
    // The next expectation when it is of the given kind; records a failure and returns false
    // otherwise (an unexpected box of that kind).
    bool takeNext(Kind kind, const std::string& shown, Expected& next);
    static std::string describe(const Expected& expected);

    FailureHandler m_onFailure;
    std::deque<Expected> m_expected;
    std::vector<std::string> m_failures;
    std::vector<std::string> m_transcript;
    bool m_verified = false;
};

}  // namespace platform
