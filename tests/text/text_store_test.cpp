// SPDX-License-Identifier: GPL-3.0-or-later
#include "text/text_store.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "support/test_support.h"
#include "text/help_file.h"
#include "trelvane_version.h"
#include "ui/startup/startup_sequence.h"

namespace {

const std::string_view kAllKeys[] = {
    text::kApplicationTitle, text::kProductText, text::kVersionText, text::kInfoText,
    text::kDisclaimerText,   text::kAuthorText,  text::kHelpEntry1,  text::kHelpEntry2,
    text::kHelpEntry3,       text::kHelpEntry4,  text::kHelpEntry5,  text::kHelpEntry6};

TEST(TextStore, EveryEntryIsPlainTextAndTheVersionIsTheBuilds) {
    for (std::string_view key : kAllKeys) {
        const std::string plain = text::GetStoredText(key, 0);
        EXPECT_FALSE(plain.empty()) << key;
        EXPECT_EQ(plain.find("{{"), std::string::npos) << key;
        EXPECT_TRUE(std::all_of(plain.begin(), plain.end(), [](char c) {
            return c == '\r' || c == '\n' || c >= ' ';
        })) << key;
    }
    EXPECT_EQ(text::GetStoredText(text::kApplicationTitle), "Trelvane");
    EXPECT_EQ(text::GetStoredText(text::kVersionText), std::string("Version ") + kTrelvaneVersion);
}

// A combined request gives the separate entries joined by the characters around the keys; text
// brought in by an entry, and anything that is no key, stays as it is.
TEST(TextStore, ACombinedRequestReplacesEachKeyOnceAndKeepsTheRest) {
    const std::string product = text::GetStoredText(text::kProductText);
    const std::string version = text::GetStoredText(text::kVersionText);
    const std::string request = "[" + std::string(text::kProductText) + "]\r\n{{unknown}} {" +
                                std::string(text::kVersionText) + std::string(text::kProductText);
    EXPECT_EQ(text::GetStoredText(request),
              "[" + product + "]\r\n{{unknown}} {" + version + product);
    EXPECT_EQ(text::GetStoredText(""), "");
    EXPECT_EQ(text::TextStore().entry("productText"), "");
}

TEST(TextStore, TheHelpMessageIsTheThreeBlocksApart) {
    const std::string message = ui::ComposeHelpMessage();
    const std::string crlf = "\r\n";
    const std::string expected = text::GetStoredText(text::kHelpEntry2) + crlf + crlf +
                                 text::GetStoredText(text::kHelpEntry3) + crlf +
                                 text::GetStoredText(text::kHelpEntry1) +
                                 text::GetStoredText(text::kHelpEntry4) + crlf + crlf +
                                 text::GetStoredText(text::kHelpEntry5) + crlf + crlf +
                                 text::GetStoredText(text::kHelpEntry6);
    EXPECT_EQ(message, expected);
}

// The texts are kept encoded: the running program's file does not hold them readable.
TEST(TextStore, TheExecutableDoesNotHoldTheTextsReadable) {
    const std::vector<unsigned char> image = testing_support::ReadFileBytes("/proc/self/exe");
    ASSERT_FALSE(image.empty());
    for (std::string_view key : {text::kDisclaimerText, text::kInfoText, text::kHelpEntry5}) {
        const std::string plain = text::GetStoredText(key);
        EXPECT_EQ(std::search(image.begin(), image.end(), plain.begin(), plain.end()), image.end())
            << key;
    }
}

TEST(HelpFile, BesideTheExecutableFirstThenTheInstalledOne) {
    testing_support::TempDir dir;
    const std::filesystem::path bin = dir.path() / "bin";
    const std::filesystem::path share = dir.path() / "share" / "trelvane";
    std::filesystem::create_directories(bin);
    std::filesystem::create_directories(share);
    EXPECT_EQ(text::FindHelpFile(bin.string()), (bin / "Trelvane.hlp").string());
    std::ofstream(share / "Trelvane.hlp") << "<html></html>";
    EXPECT_EQ(text::FindHelpFile(bin.string()), (share / "Trelvane.hlp").string());
    std::ofstream(bin / "Trelvane.hlp") << "<html></html>";
    EXPECT_EQ(text::FindHelpFile(bin.string()), (bin / "Trelvane.hlp").string());
}

}  // namespace
