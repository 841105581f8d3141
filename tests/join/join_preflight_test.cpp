// SPDX-License-Identifier: GPL-3.0-or-later
// What a join checks before it writes, and how it treats its destination: special files, the
// replaced file's mode, long names, parts of killed or running joins, the room on the disk,
// long silence, and clips that change on disk.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <filesystem>

#include "join/destination_file.h"
#include "join/join_engine.h"
#include "join/join_plan.h"
#include "join/join_report.h"
#include "media/clip_inspection.h"
#include "support/clip_builder.h"
#include "support/test_support.h"

namespace {

using clips::ClipShape;
using testing_support::FolderNames;

class SmallDisk : public platform::PosixFiles {
  public:
    int64_t roomFor(const std::string&) const override { return room; }
    int64_t room = 0;
};

// Runs a callback at the first progress report, while the first clip is being copied.
class HookedProgress : public join::JoinProgress {
  public:
    int32_t show_progress(int16_t, int16_t, int16_t) override {
        if (hook) {
            std::exchange(hook, nullptr)();
        }
        return 0;
    }
    std::function<void()> hook;
};

class JoinPreflightTest : public ::testing::Test {
  protected:
    std::string make(const std::string& name, const ClipShape& shape = ClipShape{}) {
        const std::string path = m_dir.file(name);
        clips::Write(path, shape);
        return path;
    }
    int32_t run(const std::vector<std::string>& paths, const std::string& dest) {
        m_state = join::JoinState{};
        for (const std::string& path : paths) {
            m_state.clips.push_back(clips::Inspected(path));
        }
        m_state.clipCount = static_cast<int>(m_state.clips.size());
        m_state.destFileName = dest;
        m_state.files = m_files;
        m_state.progressIntervalMs = 0;
        join::AttachProgressWindow(m_state, &m_progress);
        return join::RunJoin(m_state, false);
    }

    testing_support::TempDir m_dir;
    join::JoinState m_state;
    HookedProgress m_progress;
    platform::Files* m_files = nullptr;
};

// Only a regular file or a free name is written; anything else is refused before any byte.
TEST_F(JoinPreflightTest, FoldersDevicesAndPipesAreNeverReplaced) {
    const std::string a = make("a.avi");
    std::filesystem::create_directory(m_dir.file("sub"));
    std::vector<std::string> refused = {m_dir.file("sub"), m_dir.file("sub") + "/",
                                        m_dir.file("new") + "/"};
    if (::mkfifo(m_dir.file("fifo.avi").c_str(), 0644) == 0) {
        refused.push_back(m_dir.file("fifo.avi"));
    }
    if (::mknod(m_dir.file("null.avi").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0) {
        refused.push_back(m_dir.file("null.avi"));
    }
    const std::vector<std::string> before = FolderNames(m_dir.path());
    for (const std::string& dest : refused) {
        SCOPED_TRACE(dest);
        EXPECT_EQ(run({a}, dest), join::kJoinDestinationError);
        EXPECT_TRUE(m_state.lastErrorText.starts_with("opening destination file " + dest + " ("))
            << m_state.lastErrorText;
        EXPECT_EQ(FolderNames(m_dir.path()), before);
        EXPECT_TRUE(FolderNames(m_dir.path() / "sub").empty());
    }
    EXPECT_EQ(m_state.lastErrorText.find("it is a folder"), std::string::npos);
}

// The joined file takes the mode of the file it replaces; a name as long as the file system
// allows is joined like any other, its part and its partial name fitting too.
TEST_F(JoinPreflightTest, ReplacedFilesKeepTheirModeAndLongNamesFit) {
    const std::string a = make("a.avi");
    const std::string dest = m_dir.file("private.avi");
    std::filesystem::copy_file(a, dest);
    ASSERT_EQ(::chmod(dest.c_str(), 0600), 0);
    ASSERT_EQ(run({a}, dest), join::kJoinDone) << m_state.lastErrorText;
    struct stat info {};
    ASSERT_EQ(::stat(dest.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u);

    for (const size_t length : {240u, 251u, 255u}) {
        const std::string name = std::string(length - 6, 'n') + "\xc3\xa9.avi";
        const std::string longDest = m_dir.file(name);
        EXPECT_EQ(run({a}, longDest), join::kJoinDone) << length << m_state.lastErrorText;
        EXPECT_TRUE(std::filesystem::exists(longDest));
        for (const std::string& other :
             {join::TemporaryFileName(longDest), join::PartialFileName(longDest, 7)}) {
            const std::string otherName = std::filesystem::path(other).filename().string();
            EXPECT_LE(otherName.size(), join::kMaxFileNameBytes);
            EXPECT_TRUE(otherName.ends_with(".partial.avi"));
        }
    }
    EXPECT_EQ(FolderNames(m_dir.path()).size(), 5u);  // no part left behind
}

// A part nobody holds is a killed join's: removed. A part held by a join that runs: refused.
TEST_F(JoinPreflightTest, StalePartsGoAndARunningJoinIsNotJoinedTwice) {
    const std::string a = make("a.avi");
    const std::string dest = m_dir.file("out.avi");
    const std::string stale = join::TemporaryFileName(dest);
    std::filesystem::copy_file(a, stale);
    const std::string unrelated = m_dir.file("other.abcdef.partial.avi");
    std::filesystem::copy_file(a, unrelated);
    ASSERT_EQ(run({a}, dest), join::kJoinDone) << m_state.lastErrorText;
    EXPECT_EQ(FolderNames(m_dir.path()),
              (std::vector<std::string>{"a.avi", "other.abcdef.partial.avi", "out.avi"}));

    const std::string live = join::TemporaryFileName(dest);
    std::filesystem::copy_file(a, live);
    const int held = ::open(live.c_str(), O_RDONLY);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    const std::string before = testing_support::Md5Sum(dest);
    EXPECT_EQ(run({a}, dest), join::kJoinDestinationError);
    EXPECT_EQ(m_state.lastErrorText, "opening destination file " + dest +
                                         " (another join is writing it now; nothing was written)");
    EXPECT_EQ(testing_support::Md5Sum(dest), before);
    EXPECT_TRUE(std::filesystem::exists(live));
    ::close(held);
}

// A join that needs more room than the disk has is refused before it writes anything.
TEST_F(JoinPreflightTest, AJoinLargerThanTheRoomLeftIsRefusedUpFront) {
    ClipShape shape;
    shape.frameSize = [](int) { return 100000; };
    const std::string a = make("a.avi", shape);
    SmallDisk disk;
    disk.room = 3 << 20;
    m_files = &disk;
    ASSERT_EQ(run({a}, m_dir.file("out.avi")), join::kJoinDestinationError);
    EXPECT_EQ(m_state.lastErrorText, "writing the joined file " + m_dir.file("out.avi") +
                                         ": it needs about 6 MB and only 3 MB can be written "
                                         "there, so nothing was written.");
    EXPECT_EQ(m_state.lastErrorErrno, ENOSPC);
    EXPECT_EQ(FolderNames(m_dir.path()), std::vector<std::string>{"a.avi"});
    disk.room = 6 << 20;
    EXPECT_EQ(run({a}, m_dir.file("out.avi")), join::kJoinDone) << m_state.lastErrorText;
}

// 41 frames and a million empty chunks: the silence for them is asked about or refused, and a
// join that is not allowed to write it writes nothing at all.
TEST_F(JoinPreflightTest, AMillionEmptyChunksDoNotBecomeGigabytesOfSilence) {
    const clips::FileSpec layout = clips::EmptyChunksSpec(41, 1000000, clips::Pcm(1, 48000, 16));
    const std::string a = m_dir.file("hostile.avi");
    clips::WriteFile(a, clips::BuildAvi(layout));
    EXPECT_EQ(run({a}, m_dir.file("out.avi")), join::kJoinDestinationError);
    EXPECT_EQ(m_state.lastErrorText,
              "planning the joined file: The audio of " + a +
                  " ends 11:06:40 before its video (its own audio lasts 00:00:01): the joined "
                  "file would get that much silence in its place. " +
                  join::kSilenceBoundText);
    std::string asked;
    m_state.askLongSilence = [&asked](const std::string& text) {
        asked = text;
        return false;
    };
    EXPECT_EQ(join::RunJoin(m_state, false), join::kJoinCancelled);
    EXPECT_TRUE(asked.ends_with(join::kSilenceBoundText)) << asked;
    EXPECT_EQ(FolderNames(m_dir.path()), std::vector<std::string>{"hostile.avi"});
}

// A clip replaced on disk after it was added: inspected again, refused when it no longer fits
// (here during the join, while the first clip is copied), joined when it still does.
TEST_F(JoinPreflightTest, AClipReplacedOnDiskIsCheckedAgain) {
    const std::string a = make("a.avi");
    const std::string b = make("b.avi");
    ClipShape other;
    other.width = 320;
    other.height = 240;
    const std::string big = make("big.avi", other);
    m_progress.hook = [&] { std::filesystem::rename(big, b); };
    EXPECT_EQ(run({a, b}, m_dir.file("out.avi")), join::kJoinSourceError);
    EXPECT_EQ(m_state.lastErrorText,
              "checking source file " + b +
                  ": it was changed after it was added and no longer fits the base clip (Frame "
                  "size of 320x240 does not match base size of 64x48)");
    EXPECT_FALSE(std::filesystem::exists(m_dir.file("out.avi")));

    const ClipInfo before = clips::Inspected(a);
    ClipShape same;
    same.tag = "C";
    same.frames = 60;
    ASSERT_TRUE(clips::Write(m_dir.file("c.avi"), same));
    std::filesystem::rename(m_dir.file("c.avi"), a);  // fits still: another identity, same kind
    m_state.clips = {before, before};
    m_state.clipCount = 2;
    EXPECT_EQ(join::RunJoin(m_state, false), join::kJoinDone) << m_state.lastErrorText;
    EXPECT_EQ(m_state.framesWritten, 100);
    EXPECT_NE(m_state.clips[1].identity, before.identity);
    clips::ReadBack joined(m_dir.file("out.avi"));
    EXPECT_EQ(joined.read(joined.video(), 99, 1), clips::FrameBytes(same, 49));
}

}  // namespace
