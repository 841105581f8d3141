// SPDX-License-Identifier: GPL-3.0-or-later
// File length, deletion with the system's reason, and telling whether two paths are one file.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/files.h"
#include "support/test_support.h"

namespace {

TEST(Files, LengthAndDeletionReportWhatTheSystemSays) {
    testing_support::TempDir dir;
    const std::string file = dir.file("clip.avi");
    std::ofstream(file) << "12345";
    EXPECT_EQ(platform::FileLength(file), 5);
    EXPECT_EQ(platform::FileLength(dir.path().string()), -1);  // a folder has no length here
    EXPECT_EQ(platform::FileLength(dir.file("missing")), -1);

    EXPECT_EQ(platform::DeleteFileReporting(file), 0);
    EXPECT_FALSE(std::filesystem::exists(file));
    std::string reason;
    EXPECT_EQ(platform::DeleteFileReporting(file, &reason), ENOENT);
    EXPECT_EQ(reason, "No such file or directory");
}

TEST(Files, SameFileThroughLinksAndDotsButNotByNameAlone) {
    testing_support::TempDir dir;
    const std::string file = dir.file("a.avi");
    std::ofstream(file) << "x";
    std::ofstream(dir.file("b.avi")) << "x";
    std::filesystem::create_directory(dir.path() / "sub");
    std::filesystem::create_symlink(file, dir.file("sym.avi"));
    ASSERT_EQ(::link(file.c_str(), dir.file("hard.avi").c_str()), 0);

    EXPECT_TRUE(platform::IsSameFile(file, dir.file("sym.avi")));
    EXPECT_TRUE(platform::IsSameFile(file, dir.file("hard.avi")));
    EXPECT_TRUE(platform::IsSameFile(file, dir.file("sub/../a.avi")));
    EXPECT_TRUE(platform::IsSameFile(dir.file("sub/../new.avi"), dir.file("new.avi")));
    EXPECT_FALSE(platform::IsSameFile(file, dir.file("b.avi")));
    EXPECT_FALSE(platform::IsSameFile(dir.file("new.avi"), file));
    EXPECT_FALSE(platform::IsSameFile("", file));
}

TEST(Files, IdentityChangesWhenTheFileIsWrittenOrReplaced) {
    testing_support::TempDir dir;
    const std::string file = dir.file("clip.avi");
    std::ofstream(file) << "12345";
    platform::PosixFiles files;
    const std::optional<platform::FileIdentity> first = files.identify(file);
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(first->size, 5);
    EXPECT_EQ(files.identify(file), first);

    std::ofstream(dir.file("other.avi")) << "12345";
    std::filesystem::rename(dir.file("other.avi"), file);  // same size, another inode
    EXPECT_NE(files.identify(file), first);
    EXPECT_FALSE(files.identify(dir.file("missing")).has_value());

    std::string reason;
    EXPECT_EQ(files.moveToTrash(file, &reason), platform::kTrashUnavailable);
    EXPECT_TRUE(std::filesystem::exists(file));
}

// What a name is, and a replacement that fails changes nothing (the mode kept on success is shown
// by the join's tests).
TEST(Files, KindsAndAReplacementThatCannotHappen) {
    testing_support::TempDir dir;
    platform::PosixFiles files;
    const std::string file = dir.file("clip.avi");
    std::ofstream(file) << "12345";
    EXPECT_EQ(files.kind(file), platform::FileKind::Regular);
    EXPECT_EQ(files.kind(dir.path().string()), platform::FileKind::Folder);
    EXPECT_EQ(files.kind(dir.file("missing")), platform::FileKind::Missing);
    EXPECT_EQ(files.kind(file + "/below"), platform::FileKind::Special);  // ENOTDIR
    EXPECT_EQ(files.kind("/dev/null"), platform::FileKind::Special);
    EXPECT_GT(files.roomFor(dir.file("new.avi")), 0);

    std::string reason;
    EXPECT_EQ(files.replaceFile(dir.file("missing"), file, &reason), ENOENT);
    EXPECT_EQ(reason, "No such file or directory");
    EXPECT_EQ(files.length(file), 5);
    EXPECT_EQ(files.replaceFile(file, dir.file("new.avi")), 0);
    EXPECT_EQ(files.length(dir.file("new.avi")), 5);
}

}  // namespace
