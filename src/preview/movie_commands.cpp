// SPDX-License-Identifier: GPL-3.0-or-later
#include "preview/movie_commands.h"

#include <charconv>

#include "media/vbvfw.h"

namespace preview {

int32_t LibraryCommandSender::send(const std::string& command, std::string& reply) {
    return vbvfw_mciSendString(command, reply);
}

std::string OpenMovieCommand(const std::string& path, int64_t windowId) {
    return "open \"" + path + "\" alias movie style child parent " + std::to_string(windowId);
}

std::string PutWindowCommand(int32_t left, int32_t top, int32_t width, int32_t height) {
    return "put movie window client at " + std::to_string(left) + " " + std::to_string(top) + " " +
           std::to_string(width) + " " + std::to_string(height);
}

std::string CommandErrorText(const std::string& command, int32_t code, const std::string& reply) {
    return "'" + command + "' returned an error. Error " + std::to_string(code) + " [" +
           std::to_string(code % 4096) + "]\r\n(" + reply + ")";
}

bool ParseReplyNumber(const std::string& reply, int32_t* value) {
    const char* first = reply.data();
    const char* last = first + reply.size();
    if (first != last && *first == '+') {
        ++first;
    }
    int32_t parsed = 0;
    const auto [end, error] = std::from_chars(first, last, parsed);
    if (error != std::errc() || end != last || first == last) {
        return false;
    }
    *value = parsed;
    return true;
}

bool ModeIs(const std::string& reply, const char* word) {
    return reply.compare(0, 7, word) == 0;
}

}  // namespace preview
