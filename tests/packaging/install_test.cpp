// SPDX-License-Identifier: GPL-3.0-or-later
// What users get: the tree `cmake --install` makes, and the Debian package `make package` makes,
// unpacked into a temporary root. The programs in them must run from there.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "support/clip_builder.h"
#include "support/test_support.h"
#include "trelvane_version.h"

namespace {

namespace fs = std::filesystem;
using testing_support::RunCommand;
using testing_support::ShellQuote;
using testing_support::TempDir;

const std::string kAppId = "org.trelvane.Trelvane";

std::vector<std::string> InstalledPrograms() {
    std::vector<std::string> programs;
    std::stringstream list(TRELVANE_INSTALLED_PROGRAMS);
    for (std::string name; std::getline(list, name, ',');) {
        programs.push_back(name);
    }
    return programs;
}

// Width and height from a PNG's header; 0 x 0 when the file is not a PNG.
std::pair<uint32_t, uint32_t> PngSize(const fs::path& file) {
    const auto bytes = testing_support::ReadFileBytes(file.string());
    const unsigned char signature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    if (bytes.size() < 24 ||
        !std::equal(std::begin(signature), std::end(signature), bytes.begin())) {
        return {0, 0};
    }
    const auto be32 = [&](size_t at) {
        return uint32_t(bytes[at]) << 24 | uint32_t(bytes[at + 1]) << 16 |
               uint32_t(bytes[at + 2]) << 8 | uint32_t(bytes[at + 3]);
    };
    return {be32(16), be32(20)};
}

// What every installed tree must hold and do, whether installed with cmake or unpacked from the
// package: the programs run from there (the tool inspects a clip), and the desktop files validate.
void CheckInstalledTree(const fs::path& prefix, const std::string& clip) {
    // Every program answers --version with the one version, without needing a display.
    for (const std::string& program : InstalledPrograms()) {
        const auto version =
            RunCommand("QT_QPA_PLATFORM=offscreen " +
                       ShellQuote((prefix / "bin" / program).string()) + " --version");
        EXPECT_EQ(version.exitCode, 0) << program << ": " << version.output;
        EXPECT_NE(version.output.find(kTrelvaneVersion), std::string::npos)
            << program << ": " << version.output;
    }
    const std::string cli = ShellQuote((prefix / "bin" / "trelvane-cli").string());
    const auto info = RunCommand(cli + " info " + ShellQuote(clip));
    EXPECT_EQ(info.exitCode, 0) << info.output;
    EXPECT_NE(info.output.find("320"), std::string::npos) << info.output;

    const fs::path share = prefix / "share";
    if (fs::exists(fs::path(TRELVANE_SOURCE_DIR) / "resources/help/Trelvane.hlp")) {
        EXPECT_TRUE(fs::exists(share / "trelvane/Trelvane.hlp"));
    }
    // Every program has its manual page; the licence and the changelog come with the docs.
    for (const std::string& program : InstalledPrograms()) {
        EXPECT_TRUE(fs::exists(share / "man/man1" / (program + ".1.gz"))) << program;
    }
    EXPECT_TRUE(fs::exists(share / "doc/trelvane/copyright"));
    EXPECT_TRUE(fs::exists(share / "doc/trelvane/changelog.Debian.gz"));
    if (!TRELVANE_WITH_DESKTOP_FILES) {
        return;
    }
    // The silence encoder trelvane-cli loads when a join needs compressed silence.
    EXPECT_TRUE(fs::exists(prefix / TRELVANE_MODULE_DIR / "trelvane-silence.so"));
    const fs::path desktop = share / "applications" / (kAppId + ".desktop");
    const auto desktopCheck = RunCommand("desktop-file-validate " + ShellQuote(desktop.string()));
    EXPECT_EQ(desktopCheck.exitCode, 0) << desktopCheck.output;
    EXPECT_EQ(desktopCheck.output, "") << "warnings from desktop-file-validate";
    const fs::path metainfo = share / "metainfo" / (kAppId + ".metainfo.xml");
    const auto metainfoCheck =
        RunCommand("appstreamcli validate --pedantic --no-net " + ShellQuote(metainfo.string()));
    EXPECT_EQ(metainfoCheck.exitCode, 0) << metainfoCheck.output;
    // The one pedantic remark left is about the capital in the id, which is also the desktop
    // entry's name that docks and task bars match windows by; it stays.
    std::vector<std::string> remarks;
    for (const std::string& line : testing_support::Lines(metainfoCheck.output)) {
        if (line.size() > 2 && line[1] == ':' &&
            line.find("cid-contains-uppercase-letter") == std::string::npos) {
            remarks.push_back(line);
        }
    }
    EXPECT_TRUE(remarks.empty()) << metainfoCheck.output;
    EXPECT_NE(metainfoCheck.output.find("Validation was successful"), std::string::npos)
        << metainfoCheck.output;

    const fs::path icons = share / "icons/hicolor";
    EXPECT_TRUE(fs::exists(icons / "scalable/apps" / (kAppId + ".svg")));
    for (uint32_t size : {48u, 256u}) {
        const std::string folder = std::to_string(size) + "x" + std::to_string(size);
        EXPECT_EQ(PngSize(icons / folder / "apps" / (kAppId + ".png")), std::make_pair(size, size))
            << folder;
    }
}

class Installing : public ::testing::Test {
  protected:
    void SetUp() override {
        m_clip = m_dir.file("clip.avi");
        ASSERT_TRUE(clips::Write(m_clip, clips::CinepakClip()));
    }
    TempDir m_dir;
    std::string m_clip;
};

TEST_F(Installing, CmakeInstallMakesARunnableTree) {
    const fs::path prefix = m_dir.path() / "prefix with blank";
    const auto install = RunCommand(std::string(TRELVANE_CMAKE) + " --install " +
                                    ShellQuote(testing_support::BinaryDir().string()) +
                                    " --prefix " + ShellQuote(prefix.string()));
    ASSERT_EQ(install.exitCode, 0) << install.output;
    CheckInstalledTree(prefix, m_clip);
}

TEST_F(Installing, DebianPackageUnpacksIntoARunnableTree) {
    const fs::path out = m_dir.path() / "packages";
    const auto pack =
        RunCommand(std::string(TRELVANE_CPACK) + " -G DEB --config " +
                   ShellQuote((testing_support::BinaryDir() / "CPackConfig.cmake").string()) +
                   " -B " + ShellQuote(out.string()));
    ASSERT_EQ(pack.exitCode, 0) << pack.output;
    fs::path deb;
    for (const auto& entry : fs::directory_iterator(out)) {
        if (entry.path().extension() == ".deb") {
            deb = entry.path();
        }
    }
    ASSERT_FALSE(deb.empty()) << pack.output;

    const auto fields = RunCommand("dpkg-deb --info " + ShellQuote(deb.string()));
    ASSERT_EQ(fields.exitCode, 0) << fields.output;
    EXPECT_NE(fields.output.find("Package: trelvane\n"), std::string::npos) << fields.output;
    EXPECT_NE(fields.output.find(std::string("Version: ") + kTrelvaneVersion + "-1\n"),
              std::string::npos)
        << fields.output;
    EXPECT_NE(fields.output.find("Maintainer: Trelvane developers <developers@trelvane.org>\n"),
              std::string::npos)
        << fields.output;
    // Dependencies found from the linked shared libraries, each package named once.
    const auto depends = RunCommand("dpkg-deb -f " + ShellQuote(deb.string()) + " Depends");
    EXPECT_NE(depends.output.find("libc6 (>="), std::string::npos) << depends.output;
    std::vector<std::string> packages;
    std::stringstream list(depends.output);
    for (std::string item; std::getline(list, item, ',');) {
        item.erase(0, item.find_first_not_of(" \n"));
        packages.push_back(item.substr(0, item.find_first_of(" \n")));
    }
    std::sort(packages.begin(), packages.end());
    EXPECT_EQ(std::adjacent_find(packages.begin(), packages.end()), packages.end())
        << depends.output;
    if (TRELVANE_WITH_DESKTOP_FILES) {
        EXPECT_TRUE(std::binary_search(packages.begin(), packages.end(), "libqt6svg6"))
            << "the toolbar pictures need Qt's SVG plugins: " << depends.output;
    }

    const fs::path root = m_dir.path() / "root";
    const auto unpack =
        RunCommand("dpkg -x " + ShellQuote(deb.string()) + " " + ShellQuote(root.string()));
    ASSERT_EQ(unpack.exitCode, 0) << unpack.output;
    CheckInstalledTree(root / "usr", m_clip);
}

}  // namespace
