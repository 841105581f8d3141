// SPDX-License-Identifier: GPL-3.0-or-later
// One running program per session: a second start hands its files to the first over the local
// socket, and a name left behind by a program that ended is taken over.
#include "platform/qt/single_instance.h"

#include <gtest/gtest.h>

#include <fstream>
#include <future>

#include "support/qt_test_app.h"
#include "support/test_support.h"

namespace {

using platform::SingleInstance;
using Files = std::vector<std::string>;

TEST(SingleInstance, ASecondStartHandsItsFilesToTheFirst) {
    testing_support::EnsureQtApplication();
    testing_support::TempDir dir;
    const QString name = QString::fromStdString(dir.file("session"));
    SingleInstance first(name);
    std::vector<Files> received;
    ASSERT_TRUE(first.listen([&](const Files& files) { received.push_back(files); }));
    SingleInstance again(name);
    EXPECT_FALSE(again.listen({}));  // one program listens already

    // The second program blocks while it hands over; the first takes the files in its loop.
    const Files files = {"/clips/a b.avi", "/clips/ü.avi"};
    auto second =
        std::async(std::launch::async, [&] { return SingleInstance(name).handOver(files); });
    ASSERT_TRUE(testing_support::WaitFor([&] { return received.size() == 1; }));
    EXPECT_TRUE(second.get());
    EXPECT_EQ(received[0], files);
    auto empty = std::async(std::launch::async, [&] { return SingleInstance(name).handOver({}); });
    ASSERT_TRUE(testing_support::WaitFor([&] { return received.size() == 2; }));
    EXPECT_TRUE(empty.get());
    EXPECT_EQ(received[1], Files{});
}

TEST(SingleInstance, WithoutARunningProgramNothingIsHandedOver) {
    testing_support::EnsureQtApplication();
    testing_support::TempDir dir;
    const QString name = QString::fromStdString(dir.file("session"));
    EXPECT_FALSE(SingleInstance(name).handOver({"/a.avi"}, 500));
    // A program that ended without removing its socket leaves the name behind.
    std::ofstream(dir.file("session")) << "";
    SingleInstance next(name);
    EXPECT_TRUE(next.listen({}));
}

TEST(SingleInstance, MessagesAreWholeBeforeTheyAreRead) {
    Files files;
    const QByteArray message = SingleInstance::Encode({"/a.avi", "/b.avi"});
    EXPECT_FALSE(SingleInstance::Decode(message.left(message.size() - 1), &files));
    EXPECT_TRUE(SingleInstance::Decode(message, &files));
    EXPECT_EQ(files, (Files{"/a.avi", "/b.avi"}));
}

}  // namespace
