// SPDX-License-Identifier: GPL-3.0-or-later
// The movie device's command interpreter: takes a command string, answers in the reply and with
// a result code. Devices are addressed by alias (case-insensitive); "open avivideo" opens the
// device type itself, "open "FILE" alias NAME ..." a movie through the factory.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/mci/command_parser.h"
#include "platform/mci/movie_device.h"

namespace mci {

class Interpreter {
  public:
    explicit Interpreter(MovieFactory& factory);
    ~Interpreter();
    Interpreter(const Interpreter&) = delete;
    Interpreter& operator=(const Interpreter&) = delete;

    // The reply is replaced whatever it held: the answer, "" for commands without one, or a
    // short text of the failure when the result is not 0.
    int32_t send(const std::string& command, std::string& reply);

    // The movie open under an alias, or nullptr (for tools and tests).
    Movie* movie(const std::string& alias) const;

  private:
    struct Device {
        int32_t id = 0;
        std::unique_ptr<Movie> movie;  // null for the device type opened without a file
        bool seekExactly = false;
    };
    using Args = std::vector<Word>;

    int32_t execute(const Args& words, std::string* reply);
    int32_t doOpen(const Args& words, std::string* reply);
    int32_t doClose(const Args& words);
    int32_t doPut(Device& device, const Args& args);
    int32_t doSet(Device& device, const Args& args);
    int32_t doStatus(Device& device, const Args& args, std::string* reply);
    int32_t doSeek(Device& device, const Args& args, bool cue);
    int32_t doPlay(Device& device, const Args& args);
    int32_t doStep(Device& device, const Args& args);
    int32_t doStopPause(Device& device, const std::string& verb, const Args& args);

    MovieFactory& m_factory;
    std::map<std::string, Device> m_devices;  // by lower-case alias
    int32_t m_nextId = 1;
    std::string m_failureText;  // a text that fits the failure better than the code's own
};

}  // namespace mci
