// SPDX-License-Identifier: GPL-3.0-or-later
// What the left side of the main window lists, and what dropped or named paths stand for.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/test_support.h"
#include "ui/main/file_box.h"

namespace {

void Touch(const std::filesystem::path& path) {
    std::ofstream(path) << "x";
}

TEST(FileBox, ListsMatchingFilesIgnoringCaseSortedByName) {
    testing_support::TempDir dir;
    for (const char* name : {"b.avi", "A.AVI", "c.Avi", "notes.txt", ".hidden.avi", "noext",
                             "clip.avi.part", "d.divx"}) {
        Touch(dir.path() / name);
    }
    std::filesystem::create_directory(dir.path() / "folder.avi");  // folders are not files
    std::filesystem::create_symlink(dir.path() / "gone", dir.path() / "broken.avi");
    std::filesystem::create_symlink(dir.path() / "b.avi", dir.path() / "e.avi");
    const std::string folder = dir.path().string();

    using List = std::vector<std::string>;
    EXPECT_EQ(ui::ListMatchingFiles(folder, "*.avi"), (List{"A.AVI", "b.avi", "c.Avi", "e.avi"}));
    EXPECT_EQ(ui::ListMatchingFiles(folder, " *.divx ; *.AVI;"),
              (List{"A.AVI", "b.avi", "c.Avi", "d.divx", "e.avi"}));
    EXPECT_EQ(ui::ListMatchingFiles(folder, "*.*"),
              (List{"A.AVI", "b.avi", "c.Avi", "clip.avi.part", "d.divx", "e.avi", "noext",
                    "notes.txt"}));
    EXPECT_EQ(ui::ListMatchingFiles(folder, "b"), List{});
    EXPECT_EQ(ui::ListMatchingFiles(folder, ""), List{});
    EXPECT_EQ(ui::ListMatchingFiles(folder + "/missing", "*.avi"), List{});
}

TEST(FileBox, FolderListShowsTheWayDownAndTheSubfolders) {
    testing_support::TempDir dir;
    std::filesystem::create_directories(dir.path() / "v" / "Zeta");
    std::filesystem::create_directories(dir.path() / "v" / "alpha");
    std::filesystem::create_directories(dir.path() / "v" / ".cache");
    Touch(dir.path() / "v" / "file.avi");
    const std::string v = (dir.path() / "v").string();

    const std::vector<ui::FolderLine> lines = ui::FolderListLines(v + "/");
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines.front().name, "/");
    EXPECT_EQ(lines.front().path, "/");
    const size_t current = lines.size() - 3;
    EXPECT_EQ(lines[current].path, v);
    EXPECT_TRUE(lines[current].open);
    EXPECT_EQ(lines[current + 1].name, "alpha");
    EXPECT_EQ(lines[current + 1].path, v + "/alpha");
    EXPECT_EQ(lines[current + 1].depth, lines[current].depth + 1);
    EXPECT_FALSE(lines[current + 1].open);
    EXPECT_EQ(lines[current + 2].name, "Zeta");

    const std::vector<ui::FolderLine> root = ui::FolderListLines("/");
    EXPECT_EQ(root.front().path, "/");
    ASSERT_GE(root.size(), 2u);
    EXPECT_EQ(root[1].depth, 1);
    EXPECT_EQ(root[1].path, "/" + root[1].name);
}

TEST(FileBox, VolumeIsTheLongestRootOnAFolderBoundary) {
    const std::vector<std::string> roots{"/", "/media/usb", "/media/usb2", "/home"};
    EXPECT_EQ(ui::VolumeHolding("/media/usb/clips", roots), "/media/usb");
    EXPECT_EQ(ui::VolumeHolding("/media/usb2", roots), "/media/usb2");
    EXPECT_EQ(ui::VolumeHolding("/media/usbx", roots), "/");
    EXPECT_EQ(ui::VolumeHolding("/home", roots), "/home");
    EXPECT_EQ(ui::VolumeHolding("relative", {"/"}), "");
    EXPECT_EQ(ui::FolderFilePath("/", "a.avi"), "/a.avi");
    EXPECT_EQ(ui::FolderFilePath("/v", "a.avi"), "/v/a.avi");
}

TEST(FileBox, DroppedFoldersStandForTheirAviFilesInNameOrder) {
    testing_support::TempDir dir;
    std::filesystem::create_directory(dir.path() / "f");
    for (const char* name : {"B.avi", "a.AVI", "skip.txt"}) {
        Touch(dir.path() / "f" / name);
    }
    Touch(dir.path() / "z.avi");
    const std::string f = (dir.path() / "f").string();
    const std::vector<std::string> clips =
        ui::ClipPathsFrom({dir.file("z.avi"), f, "", (dir.path() / "f" / ".." / "z.avi").string()});
    EXPECT_EQ(clips, (std::vector<std::string>{dir.file("z.avi"), f + "/a.AVI", f + "/B.avi",
                                               dir.file("z.avi")}));
    // A relative name becomes a full path.
    const auto relative = ui::ClipPathsFrom({"x.avi"});
    ASSERT_EQ(relative.size(), 1u);
    EXPECT_EQ(relative[0], (std::filesystem::current_path() / "x.avi").string());
}

}  // namespace
