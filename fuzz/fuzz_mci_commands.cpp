// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary command strings to the movie device's interpreter over a fake movie. Every
// input is split into lines, so one run exercises a sequence of commands against one state.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/mci/interpreter.h"

namespace {

class FuzzMovie : public mci::Movie {
  public:
    int64_t length() const override { return 50; }
    int64_t position() const override { return m_position; }
    mci::Mode mode() const override { return m_mode; }
    int64_t keyFrameAtOrBefore(int64_t frame) const override {
        return (frame < 0 || frame >= 50) ? -1 : frame / 12 * 12;
    }
    int32_t putWindow(const mci::WindowRect&) override { return 0; }
    void seek(int64_t frame, bool) override { check(frame, mci::Mode::Stopped); }
    void cue(int64_t frame, bool) override { check(frame, mci::Mode::Paused); }
    void play(int64_t from, int64_t to, bool) override {
        check(from, mci::Mode::Playing);
        check(to, mci::Mode::Playing);
        if (to < from) {
            __builtin_trap();
        }
    }
    void stop() override { m_mode = mci::Mode::Stopped; }
    void pause() override { m_mode = mci::Mode::Paused; }
    void resume() override {}
    bool waitSettled(bool, int) override { return true; }

  private:
    // The interpreter must never pass a frame outside 0..length.
    void check(int64_t frame, mci::Mode mode) {
        if (frame < 0 || frame > 50) {
            __builtin_trap();
        }
        m_position = frame;
        m_mode = mode;
    }
    int64_t m_position = 0;
    mci::Mode m_mode = mci::Mode::Stopped;
};

class FuzzFactory : public mci::MovieFactory {
  public:
    int32_t open(const mci::OpenRequest& request, std::unique_ptr<mci::Movie>* out,
                 std::string*) override {
        if (request.path.empty() || request.path[0] == 'x') {
            return 275;
        }
        *out = std::make_unique<FuzzMovie>();
        return 0;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzFactory factory;
    mci::Interpreter interpreter(factory);
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::string reply;
    size_t start = 0;
    while (start <= input.size()) {
        size_t end = input.find('\n', start);
        if (end == std::string::npos) {
            end = input.size();
        }
        const int32_t result = interpreter.send(input.substr(start, end - start), reply);
        if (result != 0 && reply.empty()) {
            __builtin_trap();  // a failure always says what went wrong
        }
        start = end + 1;
    }
    return 0;
}
