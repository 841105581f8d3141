// SPDX-License-Identifier: GPL-3.0-or-later
// The movie device's command strings as the preview assembles them, and the sender they go
// through: vbvfw_mciSendString in the program, a script in tests.
#pragma once

#include <cstdint>
#include <string>

namespace preview {

class CommandSender {
  public:
    virtual ~CommandSender() = default;
    // Sends a command; the reply is replaced by the device's answer. 0 = success.
    virtual int32_t send(const std::string& command, std::string& reply) = 0;
};

// Sends through vbvfw_mciSendString, to whatever movie device the program installed.
class LibraryCommandSender : public CommandSender {
  public:
    int32_t send(const std::string& command, std::string& reply) override;
};

// open "FILE" alias movie style child parent WINDOW: the path unchanged between the quotes.
std::string OpenMovieCommand(const std::string& path, int64_t windowId);
std::string PutWindowCommand(int32_t left, int32_t top, int32_t width, int32_t height);
// The text of the error report for a failed command.
std::string CommandErrorText(const std::string& command, int32_t code, const std::string& reply);
// A reply that is a whole decimal number with an optional sign, in the 32-bit range.
bool ParseReplyNumber(const std::string& reply, int32_t* value);
// Whether a mode reply's first seven characters are the given seven-letter word.
bool ModeIs(const std::string& reply, const char* word);

}  // namespace preview
