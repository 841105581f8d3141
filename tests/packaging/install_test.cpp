// SPDX-License-Identifier: GPL-3.0-or-later
// What users get: the tree `cmake --install` makes, and the Debian package `make package` makes,
// unpacked into a temporary root. The programs in them must run from there.
#include <gtest/gtest.h>

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
    if (fs::exists(fs::path(TRELVANE_SOURCE_DIR) / "cli/trelvane-cli.1")) {
        EXPECT_TRUE(fs::exists(share / "man/man1/trelvane-cli.1.gz"));
    }
    if (!TRELVANE_WITH_DESKTOP_FILES) {
        return;
    }
    const fs::path desktop = share / "applications" / (kAppId + ".desktop");
    const auto desktopCheck = RunCommand("desktop-file-validate " + ShellQuote(desktop.string()));
    EXPECT_EQ(desktopCheck.exitCode, 0) << desktopCheck.output;
    EXPECT_EQ(desktopCheck.output, "") << "warnings from desktop-file-validate";
    const fs::path metainfo = share / "metainfo" / (kAppId + ".metainfo.xml");
    const auto metainfoCheck =
        RunCommand("appstreamcli validate --no-net " + ShellQuote(metainfo.string()));
    EXPECT_EQ(metainfoCheck.exitCode, 0) << metainfoCheck.output;
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
    EXPECT_NE(fields.output.find(std::string("Version: ") + kTrelvaneVersion + "\n"),
              std::string::npos)
        << fields.output;
    // Dependencies found from the linked shared libraries.
    EXPECT_NE(fields.output.find("libc6 (>="), std::string::npos) << fields.output;

    const fs::path root = m_dir.path() / "root";
    const auto unpack =
        RunCommand("dpkg -x " + ShellQuote(deb.string()) + " " + ShellQuote(root.string()));
    ASSERT_EQ(unpack.exitCode, 0) << unpack.output;
    CheckInstalledTree(root / "usr", m_clip);
}

}  // namespace
