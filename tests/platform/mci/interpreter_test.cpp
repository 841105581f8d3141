// SPDX-License-Identifier: GPL-3.0-or-later
// The command interpreter against a recording fake movie: parsing rules, replies, result codes.
#include "platform/mci/interpreter.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "platform/mci/mci_errors.h"

namespace {

struct Calls {
    std::vector<std::string> log;
    mci::OpenRequest lastOpen;
    int movieCount = 0;
};

class FakeMovie : public mci::Movie {
  public:
    FakeMovie(Calls& calls, int64_t length) : m_calls(calls), m_length(length) {
        ++m_calls.movieCount;
    }
    ~FakeMovie() override { --m_calls.movieCount; }
    int64_t length() const override { return m_length; }
    int64_t position() const override { return m_position; }
    mci::Mode mode() const override { return m_mode; }
    int64_t keyFrameAtOrBefore(int64_t frame) const override { return frame / 10 * 10; }
    int32_t putWindow(const mci::WindowRect& r) override {
        record("put " + std::to_string(r.left) + " " + std::to_string(r.top) + " " +
               std::to_string(r.width) + " " + std::to_string(r.height));
        return 0;
    }
    void seek(int64_t frame, bool exact) override {
        record("seek " + std::to_string(frame) + (exact ? " exact" : ""));
        m_position = frame;
        m_mode = mci::Mode::Stopped;
    }
    void cue(int64_t frame, bool exact) override {
        record("cue " + std::to_string(frame) + (exact ? " exact" : ""));
        m_position = frame;
        m_mode = mci::Mode::Paused;
    }
    void play(int64_t from, int64_t to, bool) override {
        record("play " + std::to_string(from) + " " + std::to_string(to));
        m_mode = mci::Mode::Playing;
    }
    void stop() override {
        record("stop");
        m_mode = mci::Mode::Stopped;
    }
    void pause() override { record("pause"); }
    void resume() override { record("resume"); }
    bool waitSettled(bool includePlay, int) override {
        record(includePlay ? "wait play" : "wait");
        return true;
    }

  private:
    void record(const std::string& s) { m_calls.log.push_back(s); }
    Calls& m_calls;
    int64_t m_length;
    int64_t m_position = 0;
    mci::Mode m_mode = mci::Mode::Stopped;
};

// Knows two files: "/clips/a b.avi" (100 frames) and "/clips/q\"uote.avi" (5 frames).
class FakeFactory : public mci::MovieFactory {
  public:
    explicit FakeFactory(Calls& calls) : m_calls(calls) {}
    int32_t open(const mci::OpenRequest& request, std::unique_ptr<mci::Movie>* out,
                 std::string* failure) override {
        m_calls.lastOpen = request;
        static const std::map<std::string, int64_t> kFiles = {{"/clips/a b.avi", 100},
                                                              {"/clips/q\"uote.avi", 5}};
        auto it = kFiles.find(request.path);
        if (it == kFiles.end()) {
            *failure = "missing";
            return mci::kErrFileNotFound;
        }
        *out = std::make_unique<FakeMovie>(m_calls, it->second);
        return 0;
    }

  private:
    Calls& m_calls;
};

class InterpreterTest : public ::testing::Test {
  protected:
    int32_t send(const std::string& command) { return interpreter.send(command, reply); }
    int32_t openMovie() { return send("open \"/clips/a b.avi\" alias movie style child parent 7"); }

    Calls calls;
    FakeFactory factory{calls};
    mci::Interpreter interpreter{factory};
    std::string reply = "stale text from an earlier command";
};

TEST_F(InterpreterTest, OpenTakesQuotedPathWithBlanksAndParentAndRepliesDeviceId) {
    ASSERT_EQ(0, openMovie());
    EXPECT_EQ("1", reply);
    EXPECT_EQ("/clips/a b.avi", calls.lastOpen.path);
    EXPECT_TRUE(calls.lastOpen.hasParent);
    EXPECT_EQ(7, calls.lastOpen.parent);
    EXPECT_TRUE(calls.lastOpen.childStyle);
    ASSERT_EQ(0, send("open avivideo"));
    EXPECT_EQ("2", reply);
}

TEST_F(InterpreterTest, PathWithDoubleQuoteIsTakenUpToTheQuoteBeforeAlias) {
    ASSERT_EQ(0, send("open \"/clips/q\"uote.avi\" alias movie style child parent 1"));
    EXPECT_EQ("/clips/q\"uote.avi", calls.lastOpen.path);
    ASSERT_EQ(0, send("status movie length"));
    EXPECT_EQ("5", reply);
}

// A path is taken whole whatever open keyword follows it; a NUL, a huge command and more open
// devices than the limit fail with their numbers and leave the device as it was.
TEST_F(InterpreterTest, HostileCommandsTakeThePathWholeOrFailWithTheirNumbers) {
    ASSERT_EQ(0, send("open \"/clips/q\"uote.avi\" type avivideo alias m"));
    EXPECT_EQ("/clips/q\"uote.avi", calls.lastOpen.path);
    EXPECT_EQ(mci::kErrFileNotFound, send("open \"x\" alias evil.avi\" type avivideo alias e"));
    EXPECT_EQ("x\" alias evil.avi", calls.lastOpen.path);
    EXPECT_EQ(mci::kErrExtraCharacters,
              send(std::string("open \"/clips/a b.avi\0junk\" alias n", 34)));
    EXPECT_EQ("The command holds a NUL character.", reply);
    EXPECT_EQ(mci::kErrOutOfMemory, send("status m " + std::string(100000, 'x')));
    EXPECT_EQ("The command is longer than 65536 characters.", reply);
    int opened = 1;
    while (send("open \"/clips/a b.avi\" alias d" + std::to_string(opened)) == 0) {
        ++opened;
    }
    EXPECT_EQ(mci::kErrOutOfMemory, send("open avivideo"));
    EXPECT_EQ(opened, 32);
    EXPECT_EQ(calls.movieCount, 32);
    ASSERT_EQ(0, send("close m"));
    EXPECT_EQ(0, send("open avivideo"));
}

TEST_F(InterpreterTest, WordsIgnoreCaseAndExtraBlanks) {
    ASSERT_EQ(0, send("OPEN   \"/clips/a b.avi\"  Alias MoViE  style CHILD parent 7 "));
    ASSERT_EQ(0, send("Set MOVIE Seek Exactly ON"));
    ASSERT_EQ(0, send("  seek movie TO 42  "));
    EXPECT_EQ("seek 42 exact", calls.log.back());
    ASSERT_EQ(0, send("status movie mode "));
    EXPECT_EQ("stopped", reply);
    ASSERT_EQ(0, send("status movie mode"));
    EXPECT_EQ("stopped", reply);
    ASSERT_EQ(0, send("status movie position"));
    EXPECT_EQ("42", reply);
}

TEST_F(InterpreterTest, ErrorsCarryTheirNumbersAndReplaceTheReply) {
    EXPECT_EQ(mci::kErrInvalidDeviceName, send("seek movie to 1"));
    EXPECT_EQ(mci::kErrInvalidDeviceName, send("close movie"));
    EXPECT_EQ(mci::kErrFileNotFound, send("open \"/nope.avi\" alias movie"));
    EXPECT_EQ(mci::ErrorText(mci::kErrFileNotFound), reply);
    ASSERT_EQ(0, openMovie());
    // A duplicate alias is refused before the file is looked at.
    calls.lastOpen = {};
    EXPECT_EQ(mci::kErrDuplicateAlias, send("open \"/nope.avi\" alias MOVIE"));
    EXPECT_EQ("", calls.lastOpen.path);
    EXPECT_EQ(mci::kErrUnrecognizedCommand, send("jump movie to 3"));
    EXPECT_EQ(mci::kErrUnrecognizedKeyword, send("seek movie towards 3"));
    EXPECT_EQ(mci::kErrBadInteger, send("seek movie to 0xfa"));
    EXPECT_EQ(mci::kErrBadInteger, send("seek movie to 1.5"));
    EXPECT_EQ(mci::kErrBadInteger, send("seek movie to -"));
    EXPECT_EQ(mci::kErrBadInteger, send("seek movie to 99999999999"));
    EXPECT_EQ(mci::kErrMissingParameter, send("seek movie to"));
    EXPECT_EQ(mci::kErrMissingParameter, send("seek movie"));
    EXPECT_EQ(mci::kErrMissingDeviceName, send("seek"));
    EXPECT_EQ(mci::kErrMissingCommandString, send("   "));
    EXPECT_EQ(mci::kErrNoClosingQuote, send("open \"/clips/a b.avi alias other"));
    EXPECT_EQ(mci::kErrExtraCharacters, send("open \"/clips/a b.avi\"x alias other"));
    EXPECT_EQ(mci::kErrBadInteger, send("put movie window client at 0 0"));
    EXPECT_EQ(mci::kErrUnsupportedFunction, send("status movie"));
    EXPECT_EQ(mci::kErrUnrecognizedKeyword, send("status movie colour"));
    EXPECT_EQ(mci::ErrorText(mci::kErrUnrecognizedKeyword), reply);
    // Nothing reached the movie from any failing command.
    EXPECT_TRUE(calls.log.empty());
}

TEST_F(InterpreterTest, FrameRangesAllowOnePastTheEndAndNoFurther) {
    ASSERT_EQ(0, openMovie());
    EXPECT_EQ(0, send("seek movie to 100"));
    EXPECT_EQ(mci::kErrOutOfRange, send("seek movie to 101"));
    EXPECT_EQ(mci::kErrOutOfRange, send("seek movie to -1"));
    EXPECT_EQ(0, send("cue movie output to 100"));
    EXPECT_EQ(mci::kErrOutOfRange, send("cue movie output to 101"));
    EXPECT_EQ(0, send("play movie from 0 to 100"));
    EXPECT_EQ(mci::kErrOutOfRange, send("play movie from 0 to 101"));
    EXPECT_EQ(mci::kErrOutOfRange, send("play movie from 50 to 49"));
    EXPECT_EQ(0, send("play movie from 0 to 0"));
    EXPECT_EQ(0, send("status movie reference 99"));
    EXPECT_EQ("90", reply);
    EXPECT_EQ(mci::kErrOutOfRange, send("status movie reference 100"));
    EXPECT_EQ(mci::kErrOutOfRange, send("status movie reference -1"));
    EXPECT_EQ(mci::kErrMissingParameter, send("status movie reference"));
    EXPECT_EQ(mci::kErrBadInteger, send("status movie reference x"));
}

TEST_F(InterpreterTest, PlayWithoutFromStartsAtThePositionAndToBelowItIsRefused) {
    ASSERT_EQ(0, openMovie());
    ASSERT_EQ(0, send("seek movie to 30"));
    ASSERT_EQ(0, send("play movie to 80"));
    EXPECT_EQ("play 30 80", calls.log.back());
    EXPECT_EQ(0, send("status movie mode"));
    EXPECT_EQ("playing", reply);
    EXPECT_EQ(0, send("stop movie"));
    EXPECT_EQ("stop", calls.log.back());
    ASSERT_EQ(0, send("seek movie to 30"));
    EXPECT_EQ(mci::kErrOutOfRange, send("play movie to 29"));
    ASSERT_EQ(0, send("play movie from +5 to 10"));
    EXPECT_EQ("play 5 10", calls.log.back());
    ASSERT_EQ(0, send("play movie"));
    EXPECT_EQ("play 30 99", calls.log.back());
}

TEST_F(InterpreterTest, CueLeavesPausedAndSeekExactlyIsPassedOn) {
    ASSERT_EQ(0, openMovie());
    ASSERT_EQ(0, send("cue movie output to 12"));
    EXPECT_EQ("cue 12", calls.log.back());
    EXPECT_EQ(0, send("status movie mode"));
    EXPECT_EQ("paused", reply);
    ASSERT_EQ(0, send("set movie seek exactly on"));
    ASSERT_EQ(0, send("seek movie to end wait"));
    EXPECT_EQ("wait", calls.log.back());
    EXPECT_EQ("seek 100 exact", calls.log[calls.log.size() - 2]);
    ASSERT_EQ(0, send("set movie seek exactly off"));
    ASSERT_EQ(0, send("seek movie to start"));
    EXPECT_EQ("seek 0", calls.log.back());
    EXPECT_EQ(mci::kErrBadConstant, send("set movie seek exactly maybe"));
    EXPECT_EQ(mci::kErrMissingParameter, send("set movie seek exactly"));
}

TEST_F(InterpreterTest, PutPassesTheRectangleAsLeftTopWidthHeight) {
    ASSERT_EQ(0, openMovie());
    ASSERT_EQ(0, send("put movie window client at 4 30 320 240"));
    EXPECT_EQ("put 4 30 320 240", calls.log.back());
    EXPECT_EQ(mci::kErrOutOfRange, send("put movie window client at 0 0 -1 5"));
    EXPECT_NE(std::string::npos, reply.find("negative")) << reply;
    EXPECT_EQ(mci::kErrUnrecognizedKeyword, send("put movie window client at 0 0 1 5 6"));
}

TEST_F(InterpreterTest, StepMovesByFramesFromThePositionInEitherDirection) {
    ASSERT_EQ(0, openMovie());
    ASSERT_EQ(0, send("seek movie to 50"));
    ASSERT_EQ(0, send("step movie"));
    EXPECT_EQ("seek 51 exact", calls.log.back());
    ASSERT_EQ(0, send("step movie by 9"));
    EXPECT_EQ("seek 60 exact", calls.log.back());
    ASSERT_EQ(0, send("step movie reverse by 20"));
    EXPECT_EQ("seek 40 exact", calls.log.back());
    ASSERT_EQ(0, send("step movie by -40 wait"));
    EXPECT_EQ("seek 0 exact", calls.log[calls.log.size() - 2]);
    EXPECT_EQ(mci::kErrOutOfRange, send("step movie reverse"));
    EXPECT_EQ(mci::kErrOutOfRange, send("step movie by 101"));
    EXPECT_EQ(mci::kErrBadInteger, send("step movie by x"));
    EXPECT_EQ(mci::kErrUnrecognizedKeyword, send("step movie sideways"));
}

TEST_F(InterpreterTest, CloseReleasesTheMovieAndTheAliasCanBeUsedAgain) {
    ASSERT_EQ(0, send("open avivideo"));
    EXPECT_EQ(mci::kErrDeviceOpen, send("open avivideo"));
    EXPECT_EQ(0, send("status avivideo mode"));
    EXPECT_EQ("stopped", reply);
    EXPECT_EQ(mci::kErrUnsupportedFunction, send("seek avivideo to 0"));
    ASSERT_EQ(0, openMovie());
    EXPECT_EQ(1, calls.movieCount);
    ASSERT_EQ(0, send("close movie"));
    EXPECT_EQ("", reply);
    EXPECT_EQ(0, calls.movieCount);
    EXPECT_EQ(mci::kErrInvalidDeviceName, send("close movie"));
    ASSERT_EQ(0, openMovie());
    EXPECT_EQ("3", reply);
    ASSERT_EQ(0, send("close avivideo"));
    EXPECT_EQ(0, send("status movie position"));
}

TEST(CommandParserTest, IntegersAreDecimalWithAnOptionalSign) {
    int64_t v = 0;
    EXPECT_TRUE(mci::ParseInteger("-12", &v));
    EXPECT_EQ(-12, v);
    EXPECT_TRUE(mci::ParseInteger("+7", &v));
    EXPECT_EQ(7, v);
    EXPECT_TRUE(mci::ParseInteger("4294967295", &v));
    EXPECT_FALSE(mci::ParseInteger("4294967296", &v));
    for (const char* bad : {"", "+", "1 2", "250:0", "0x10", "١"}) {
        EXPECT_FALSE(mci::ParseInteger(bad, &v)) << bad;
    }
}

}  // namespace
