// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/mci/interpreter.h"

#include <algorithm>
#include <climits>
#include <string_view>
#include <utility>

#include "platform/avi/avi_common.h"
#include "platform/mci/mci_errors.h"

namespace mci {
namespace {

constexpr int kWaitLimitMs = INT_MAX;

const avi::Limits& DeviceLimits() {
    static const avi::Limits limits;
    return limits;
}

// Words that any command may carry: "wait" blocks until the command is done, "notify" and
// "test" are accepted and have no effect here.
void TakeFlags(std::vector<Word>* args, bool* wait) {
    auto keep = std::remove_if(args->begin(), args->end(), [&](const Word& w) {
        if (w.quoted) {
            return false;
        }
        if (SameWord(w.text, "wait")) {
            *wait = true;
            return true;
        }
        return SameWord(w.text, "notify") || SameWord(w.text, "test");
    });
    args->erase(keep, args->end());
}

// Reads the integer after a keyword at args[i]; advances i past it.
int32_t TakeInteger(const std::vector<Word>& args, size_t* i, int64_t* value) {
    if (*i + 1 >= args.size()) {
        return kErrMissingParameter;
    }
    if (!ParseInteger(args[*i + 1].text, value)) {
        return kErrBadInteger;
    }
    *i += 2;
    return kOk;
}

bool IsVerb(const std::string& verb) {
    static constexpr std::string_view kVerbs[] = {"open", "close",  "put",    "set",
                                                  "cue",  "status", "play",   "stop",
                                                  "seek", "pause",  "resume", "step"};
    for (std::string_view v : kVerbs) {
        if (verb == v) {
            return true;
        }
    }
    return false;
}

}  // namespace

const char* ModeWord(Mode mode) {
    switch (mode) {
        case Mode::NotReady:
            return "not ready";
        case Mode::Stopped:
            return "stopped";
        case Mode::Playing:
            return "playing";
        case Mode::Seeking:
            return "seeking";
        case Mode::Paused:
            return "paused";
    }
    return "not ready";
}

Interpreter::Interpreter(MovieFactory& factory) : m_factory(factory) {}

Interpreter::~Interpreter() = default;

Movie* Interpreter::movie(const std::string& alias) const {
    auto it = m_devices.find(LowerWord(alias));
    return it == m_devices.end() ? nullptr : it->second.movie.get();
}

int32_t Interpreter::send(const std::string& command, std::string& reply) {
    std::vector<Word> words;
    std::string answer;
    m_failureText.clear();
    int32_t result = kOk;
    if (command.size() > DeviceLimits().maxCommandLength) {
        // Refused before it is split: a huge command must not cost many times its size.
        m_failureText = "The command is longer than " +
                        std::to_string(DeviceLimits().maxCommandLength) + " characters.";
        result = kErrOutOfMemory;
    } else if (command.find('\0') != std::string::npos) {
        // A C string would end there; what follows must not be dropped without a word.
        m_failureText = "The command holds a NUL character.";
        result = kErrExtraCharacters;
    } else {
        result = SplitCommand(command, &words);
    }
    if (result == kOk) {
        result = execute(words, &answer);
    }
    if (result == kOk) {
        reply = std::move(answer);
    } else {
        reply = m_failureText.empty() ? std::string(ErrorText(result)) : m_failureText;
    }
    return result;
}

int32_t Interpreter::execute(const Args& words, std::string* reply) {
    if (words.empty()) {
        return kErrMissingCommandString;
    }
    const std::string verb = LowerWord(words[0].text);
    if (words[0].quoted || !IsVerb(verb)) {
        return kErrUnrecognizedCommand;
    }
    if (verb == "open") {
        return doOpen(words, reply);
    }
    if (verb == "close") {
        return doClose(words);
    }
    if (words.size() < 2) {
        return kErrMissingDeviceName;
    }
    auto it = m_devices.find(LowerWord(words[1].text));
    if (it == m_devices.end()) {
        return kErrInvalidDeviceName;
    }
    Device& device = it->second;
    Args args(words.begin() + 2, words.end());
    bool wait = false;
    TakeFlags(&args, &wait);
    if (!device.movie) {
        // The device type opened without a file only answers what its mode is.
        if (verb == "status" && args.size() == 1 && SameWord(args[0].text, "mode")) {
            *reply = ModeWord(Mode::Stopped);
            return kOk;
        }
        return kErrUnsupportedFunction;
    }
    int32_t result = kErrUnrecognizedCommand;
    if (verb == "put") {
        result = doPut(device, args);
    } else if (verb == "set") {
        result = doSet(device, args);
    } else if (verb == "status") {
        result = doStatus(device, args, reply);
    } else if (verb == "seek" || verb == "cue") {
        result = doSeek(device, args, verb == "cue");
    } else if (verb == "play") {
        result = doPlay(device, args);
    } else if (verb == "step") {
        result = doStep(device, args);
    } else {
        result = doStopPause(device, verb, args);
    }
    if (result == kOk && wait) {
        device.movie->waitSettled(verb == "play" || verb == "resume", kWaitLimitMs);
    }
    return result;
}

int32_t Interpreter::doOpen(const Args& words, std::string* reply) {
    if (words.size() < 2) {
        return kErrMissingDeviceName;
    }
    const Word& element = words[1];
    OpenRequest request;
    std::string alias;
    bool hasAlias = false;
    for (size_t i = 2; i < words.size();) {
        const std::string key = LowerWord(words[i].text);
        if (words[i].quoted) {
            return kErrUnrecognizedKeyword;
        }
        if (key == "alias" || key == "type" || key == "style") {
            if (i + 1 >= words.size()) {
                return kErrMissingParameter;
            }
            if (key == "alias") {
                alias = words[i + 1].text;
                hasAlias = true;
            } else if (key == "style") {
                int64_t ignored = 0;
                const std::string style = LowerWord(words[i + 1].text);
                request.childStyle = style == "child";
                if (!request.childStyle && style != "popup" && style != "overlapped" &&
                    !ParseInteger(style, &ignored)) {
                    return kErrBadConstant;
                }
            }
            i += 2;
        } else if (key == "parent") {
            const int32_t result = TakeInteger(words, &i, &request.parent);
            if (result != kOk) {
                return result;
            }
            request.hasParent = true;
        } else if (key == "shareable" || key == "wait" || key == "notify") {
            ++i;
        } else {
            return kErrUnrecognizedKeyword;
        }
    }
    const bool deviceType = !element.quoted && SameWord(element.text, "avivideo");
    const std::string name = LowerWord(hasAlias ? alias : element.text);
    if (name.empty()) {
        return kErrMissingDeviceName;
    }
    if (m_devices.count(name) != 0) {
        return hasAlias ? kErrDuplicateAlias : kErrDeviceOpen;
    }
    const int32_t openLimit = DeviceLimits().maxOpenMovies;
    if (static_cast<int64_t>(m_devices.size()) >= openLimit) {
        m_failureText = "No more than " + std::to_string(openLimit) +
                        " devices can be open at once; close one first.";
        return kErrOutOfMemory;
    }
    Device device;
    if (!deviceType) {
        request.path = element.text;
        std::string failure;
        const int32_t result = m_factory.open(request, &device.movie, &failure);
        if (result != kOk || !device.movie) {
            return result != kOk ? result : kErrInvalidFile;
        }
    }
    device.id = m_nextId++;
    *reply = std::to_string(device.id);
    m_devices.emplace(name, std::move(device));
    return kOk;
}

int32_t Interpreter::doClose(const Args& words) {
    if (words.size() < 2) {
        return kErrMissingDeviceName;
    }
    Args args(words.begin() + 2, words.end());
    bool wait = false;
    TakeFlags(&args, &wait);
    if (!args.empty()) {
        return kErrUnrecognizedKeyword;
    }
    if (!words[1].quoted && SameWord(words[1].text, "all")) {
        m_devices.clear();
        return kOk;
    }
    return m_devices.erase(LowerWord(words[1].text)) == 0 ? kErrInvalidDeviceName : kOk;
}

int32_t Interpreter::doPut(Device& device, const Args& args) {
    if (args.empty()) {
        return kErrMissingParameter;
    }
    if (!SameWord(args[0].text, "window") && !SameWord(args[0].text, "destination")) {
        return kErrUnrecognizedKeyword;
    }
    size_t i = 1;
    if (i < args.size() && SameWord(args[i].text, "client")) {
        ++i;
    }
    if (i == args.size()) {
        return kOk;
    }
    if (!SameWord(args[i].text, "at")) {
        return kErrUnrecognizedKeyword;
    }
    int64_t v[4] = {};
    for (int k = 0; k < 4; ++k) {
        if (i + 1 + k >= args.size() || !ParseInteger(args[i + 1 + k].text, &v[k])) {
            return kErrBadInteger;
        }
    }
    if (i + 5 != args.size()) {
        return kErrUnrecognizedKeyword;
    }
    for (int64_t value : v) {
        if (value < INT32_MIN || value > INT32_MAX) {
            return kErrOutOfRange;
        }
    }
    if (v[2] < 0 || v[3] < 0) {
        m_failureText = "The width and height of a window cannot be negative.";
        return kErrOutOfRange;
    }
    // A window larger than any screen is placed at the largest size a window may have.
    const int64_t largest = DeviceLimits().maxWindowSize;
    v[2] = std::min(v[2], largest);
    v[3] = std::min(v[3], largest);
    const WindowRect rect{static_cast<int32_t>(v[0]), static_cast<int32_t>(v[1]),
                          static_cast<int32_t>(v[2]), static_cast<int32_t>(v[3])};
    return device.movie->putWindow(rect);
}

int32_t Interpreter::doSet(Device& device, const Args& args) {
    if (args.empty()) {
        return kErrMissingParameter;
    }
    if (args.size() >= 2 && SameWord(args[0].text, "seek") && SameWord(args[1].text, "exactly")) {
        if (args.size() == 2) {
            return kErrMissingParameter;
        }
        if (args.size() > 3) {
            return kErrUnrecognizedKeyword;
        }
        if (!SameWord(args[2].text, "on") && !SameWord(args[2].text, "off")) {
            return kErrBadConstant;
        }
        device.seekExactly = SameWord(args[2].text, "on");
        return kOk;
    }
    if (args.size() >= 2 && SameWord(args[0].text, "time") && SameWord(args[1].text, "format")) {
        if (args.size() == 2) {
            return kErrMissingParameter;
        }
        // Frames are the only unit this device counts in.
        return args.size() == 3 && SameWord(args[2].text, "frames") ? kOk : kErrBadConstant;
    }
    return kErrUnrecognizedKeyword;
}

int32_t Interpreter::doStatus(Device& device, const Args& args, std::string* reply) {
    if (args.empty()) {
        return kErrUnsupportedFunction;
    }
    const Movie& movie = *device.movie;
    const std::string item = LowerWord(args[0].text);
    if (item == "reference") {
        int64_t frame = 0;
        size_t i = 0;
        const int32_t result = TakeInteger(args, &i, &frame);
        if (result != kOk) {
            return result;
        }
        if (i != args.size()) {
            return kErrUnrecognizedKeyword;
        }
        if (frame < 0 || frame >= movie.length()) {
            return kErrOutOfRange;
        }
        *reply = std::to_string(movie.keyFrameAtOrBefore(frame));
        return kOk;
    }
    if (item == "start" && args.size() == 2 && SameWord(args[1].text, "position")) {
        *reply = "0";
        return kOk;
    }
    if (args.size() == 2 && item == "time" && SameWord(args[1].text, "format")) {
        *reply = "frames";
        return kOk;
    }
    if (args.size() != 1) {
        return kErrUnrecognizedKeyword;
    }
    if (item == "position") {
        *reply = std::to_string(movie.position());
    } else if (item == "mode") {
        *reply = ModeWord(movie.mode());
    } else if (item == "length") {
        *reply = std::to_string(movie.length());
    } else if (item == "ready") {
        *reply = movie.mode() == Mode::NotReady ? "false" : "true";
    } else {
        return kErrUnrecognizedKeyword;
    }
    return kOk;
}

int32_t Interpreter::doSeek(Device& device, const Args& args, bool cue) {
    Movie& movie = *device.movie;
    size_t i = 0;
    if (cue && i < args.size() &&
        (SameWord(args[i].text, "output") || SameWord(args[i].text, "input"))) {
        ++i;
    }
    int64_t target = movie.position();
    if (i < args.size() && SameWord(args[i].text, "to")) {
        if (i + 1 < args.size() && SameWord(args[i + 1].text, "start")) {
            target = 0;
            i += 2;
        } else if (i + 1 < args.size() && SameWord(args[i + 1].text, "end")) {
            target = movie.length();
            i += 2;
        } else {
            const int32_t result = TakeInteger(args, &i, &target);
            if (result != kOk) {
                return result;
            }
        }
    } else if (!cue) {
        return i < args.size() ? kErrUnrecognizedKeyword : kErrMissingParameter;
    }
    if (i != args.size()) {
        return kErrUnrecognizedKeyword;
    }
    if (target < 0 || target > movie.length()) {
        return kErrOutOfRange;
    }
    if (cue) {
        movie.cue(target, device.seekExactly);
    } else {
        movie.seek(target, device.seekExactly);
    }
    return kOk;
}

// "step movie [reverse] [by N]": N frames on (back with reverse or a negative N) from the
// position, exactly; by 1 when no number is given. The target must lie in the movie.
int32_t Interpreter::doStep(Device& device, const Args& args) {
    Movie& movie = *device.movie;
    int64_t by = 1;
    bool reverse = false;
    for (size_t i = 0; i < args.size();) {
        if (SameWord(args[i].text, "reverse")) {
            reverse = true;
            ++i;
        } else if (SameWord(args[i].text, "by")) {
            const int32_t result = TakeInteger(args, &i, &by);
            if (result != kOk) {
                return result;
            }
        } else {
            return kErrUnrecognizedKeyword;
        }
    }
    const int64_t target = movie.position() + (reverse ? -by : by);
    if (target < 0 || target > movie.length()) {
        return kErrOutOfRange;
    }
    movie.seek(target, true);
    return kOk;
}

int32_t Interpreter::doPlay(Device& device, const Args& args) {
    Movie& movie = *device.movie;
    int64_t from = movie.position();
    int64_t to = -1;
    bool hasTo = false;
    for (size_t i = 0; i < args.size();) {
        const bool isFrom = SameWord(args[i].text, "from");
        if (!isFrom && !SameWord(args[i].text, "to")) {
            return kErrUnrecognizedKeyword;
        }
        const int32_t result = TakeInteger(args, &i, isFrom ? &from : &to);
        if (result != kOk) {
            return result;
        }
        hasTo = hasTo || !isFrom;
    }
    const int64_t length = movie.length();
    if (!hasTo) {
        to = std::max(from, length - 1);
    }
    if (from < 0 || from > length || to < 0 || to > length || to < from) {
        return kErrOutOfRange;
    }
    movie.play(from, to, device.seekExactly);
    return kOk;
}

int32_t Interpreter::doStopPause(Device& device, const std::string& verb, const Args& args) {
    if (!args.empty()) {
        return kErrUnrecognizedKeyword;
    }
    if (verb == "stop") {
        device.movie->stop();
    } else if (verb == "pause") {
        device.movie->pause();
    } else {
        device.movie->resume();
    }
    return kOk;
}

}  // namespace mci
