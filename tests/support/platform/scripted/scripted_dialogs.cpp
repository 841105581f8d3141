// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/scripted/scripted_dialogs.h"

#include <utility>

namespace platform {

namespace {

MessageAnswer SafeAnswer(MessageButtons buttons) {
    switch (buttons) {
        case MessageButtons::OkCancel:
            return MessageAnswer::Cancel;
        case MessageButtons::YesNo:
            return MessageAnswer::No;
        case MessageButtons::Ok:
            break;
    }
    return MessageAnswer::Ok;
}

bool AnswerFits(MessageButtons buttons, MessageAnswer answer) {
    switch (buttons) {
        case MessageButtons::Ok:
            return answer == MessageAnswer::Ok;
        case MessageButtons::OkCancel:
            return answer == MessageAnswer::Ok || answer == MessageAnswer::Cancel;
        case MessageButtons::YesNo:
            return answer == MessageAnswer::Yes || answer == MessageAnswer::No;
    }
    return false;
}

std::string Quote(const std::string& text) {
    return "\"" + text + "\"";
}

std::string DescribeMessage(const std::string& title, const std::string& text,
                            MessageButtons buttons) {
    return "message box " + Quote(title) + " " + Quote(text) + " (" + MessageButtonsName(buttons) +
           ")";
}

std::string DescribeSave(const SaveDialogRequest& request) {
    return "save dialog " + Quote(request.title) + " filter " + Quote(request.filter) + " index " +
           std::to_string(request.filterIndex) + " extension " + Quote(request.defaultExtension) +
           " name " + Quote(request.fileName) + " folder " + Quote(request.initialFolder) +
           " flags " + std::to_string(request.flags);
}

bool SameRequest(const SaveDialogRequest& a, const SaveDialogRequest& b) {
    return a.title == b.title && a.filter == b.filter && a.filterIndex == b.filterIndex &&
           a.defaultExtension == b.defaultExtension && a.fileName == b.fileName &&
           a.initialFolder == b.initialFolder && a.flags == b.flags;
}

std::string DescribeOpen(const OpenDialogRequest& request) {
    return "open dialog " + Quote(request.title) + " filter " + Quote(request.filter) + " folder " +
           Quote(request.initialFolder);
}

}  // namespace

ScriptedDialogs::ScriptedDialogs(FailureHandler onFailure) : m_onFailure(std::move(onFailure)) {}

ScriptedDialogs::~ScriptedDialogs() {
    if (!m_verified) {
        verify();
    }
}

void ScriptedDialogs::expectMessage(const std::string& title, const std::string& text,
                                    MessageButtons buttons, MessageAnswer answer) {
    Expected expected;
    expected.kind = Kind::Message;
    expected.title = title;
    expected.text = text;
    expected.buttons = buttons;
    expected.answer = answer;
    if (!AnswerFits(buttons, answer)) {
        fail("scripted answer " + std::string(MessageAnswerName(answer)) + " is not a button of " +
             describe(expected));
    }
    m_expected.push_back(std::move(expected));
    m_verified = false;
}

void ScriptedDialogs::expectSaveDialog(const SaveDialogRequest& request,
                                       const SaveDialogResult& answer) {
    Expected expected;
    expected.kind = Kind::Save;
    expected.saveRequest = request;
    expected.saveAnswer = answer;
    m_expected.push_back(std::move(expected));
    m_verified = false;
}

void ScriptedDialogs::expectOpenDialog(const OpenDialogRequest& request,
                                       const std::vector<std::string>& answer) {
    Expected expected;
    expected.kind = Kind::Open;
    expected.openRequest = request;
    expected.openAnswer = answer;
    m_expected.push_back(std::move(expected));
    m_verified = false;
}

void ScriptedDialogs::expectFolderBrowser(const std::string& prompt, const std::string& startFolder,
                                          const std::string& answer) {
    Expected expected;
    expected.kind = Kind::Folder;
    expected.title = prompt;
    expected.text = startFolder;
    expected.folderAnswer = answer;
    m_expected.push_back(std::move(expected));
    m_verified = false;
}

void ScriptedDialogs::expectHelp(const std::string& helpFile) {
    Expected expected;
    expected.kind = Kind::Help;
    expected.title = helpFile;
    m_expected.push_back(std::move(expected));
    m_verified = false;
}

MessageAnswer ScriptedDialogs::messageBox(const std::string& title, const std::string& text,
                                          MessageButtons buttons) {
    const std::string shown = DescribeMessage(title, text, buttons);
    Expected next;
    MessageAnswer answer = SafeAnswer(buttons);
    if (takeNext(Kind::Message, shown, next)) {
        if (next.title == title && next.text == text && next.buttons == buttons) {
            answer = next.answer;
        } else {
            fail("expected " + describe(next) + "\n     got " + shown);
        }
    }
    m_transcript.push_back("[" + title + "] " + text + " (" + MessageButtonsName(buttons) +
                           ") -> " + MessageAnswerName(answer));
    return answer;
}

SaveDialogResult ScriptedDialogs::saveFile(const SaveDialogRequest& request) {
    const std::string shown = DescribeSave(request);
    Expected next;
    SaveDialogResult result;
    result.shown = true;
    if (takeNext(Kind::Save, shown, next)) {
        if (SameRequest(next.saveRequest, request)) {
            result = next.saveAnswer;
        } else {
            fail("expected " + describe(next) + "\n     got " + shown);
        }
    }
    m_transcript.push_back(shown + " -> " + Quote(result.fileName));
    return result;
}

std::vector<std::string> ScriptedDialogs::openFiles(const OpenDialogRequest& request) {
    const std::string shown = DescribeOpen(request);
    Expected next;
    std::vector<std::string> answer;
    if (takeNext(Kind::Open, shown, next)) {
        if (DescribeOpen(next.openRequest) == shown) {
            answer = next.openAnswer;
        } else {
            fail("expected " + describe(next) + "\n     got " + shown);
        }
    }
    m_transcript.push_back(shown + " -> " + std::to_string(answer.size()) + " files");
    return answer;
}

std::string ScriptedDialogs::browseForFolder(const std::string& prompt,
                                             const std::string& startFolder) {
    const std::string shown = "folder browser " + Quote(prompt) + " from " + Quote(startFolder);
    Expected next;
    std::string answer;
    if (takeNext(Kind::Folder, shown, next)) {
        if (next.title == prompt && next.text == startFolder) {
            answer = next.folderAnswer;
        } else {
            fail("expected " + describe(next) + "\n     got " + shown);
        }
    }
    m_transcript.push_back(shown + " -> " + Quote(answer));
    return answer;
}

void ScriptedDialogs::showHelp(const std::string& helpFile) {
    const std::string shown = "help " + Quote(helpFile);
    Expected next;
    if (takeNext(Kind::Help, shown, next) && next.title != helpFile) {
        fail("expected " + describe(next) + "\n     got " + shown);
    }
    m_transcript.push_back(shown);
}

bool ScriptedDialogs::verify() {
    while (!m_expected.empty()) {
        fail("expected but never shown: " + describe(m_expected.front()));
        m_expected.pop_front();
    }
    m_verified = true;
    return m_failures.empty();
}

void ScriptedDialogs::fail(const std::string& failure) {
    m_failures.push_back(failure);
    if (m_onFailure) {
        m_onFailure(failure);
    }
}

bool ScriptedDialogs::takeNext(Kind kind, const std::string& shown, Expected& next) {
    if (m_expected.empty()) {
        fail("unexpected " + shown);
        return false;
    }
    if (m_expected.front().kind != kind) {
        fail("expected " + describe(m_expected.front()) + "\n     got " + shown);
        m_expected.pop_front();
        return false;
    }
    next = std::move(m_expected.front());
    m_expected.pop_front();
    return true;
}

std::string ScriptedDialogs::describe(const Expected& expected) {
    switch (expected.kind) {
        case Kind::Message:
            return DescribeMessage(expected.title, expected.text, expected.buttons);
        case Kind::Save:
            return DescribeSave(expected.saveRequest);
        case Kind::Open:
            return DescribeOpen(expected.openRequest);
        case Kind::Folder:
            return "folder browser " + Quote(expected.title) + " from " + Quote(expected.text);
        case Kind::Help:
            return "help " + Quote(expected.title);
    }
    return "?";
}

}  // namespace platform
