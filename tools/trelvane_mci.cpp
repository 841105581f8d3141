// SPDX-License-Identifier: GPL-3.0-or-later
// trelvane-mci: sends command strings read from standard input, one per line, to the movie
// device through vbvfw_mciSendString and prints "<code>\t<reply>" for each. "$WINDOW" in a line
// stands for the id of a hidden window of the tool's own. Two extra lines:
//   snapshot PATH   saves the movie's decoded picture (before scaling) as a PNG file, once a
//                   pending seek has been decoded
//   wait-mode WORD  waits up to 10 s until "status movie mode" answers WORD
// --help and --version print what the tool accepts and its version.
#include <QApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QWidget>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

#include "media/vbvfw.h"
#include "platform/mci/mci_service.h"
#include "platform/mci/window_registry.h"
#include "trelvane_version.h"

namespace {

constexpr const char kUsage[] =
    "Usage: trelvane-mci [--help | --version] < COMMANDS\n"
    "\n"
    "Sends movie-device command strings, one per line of standard input, and prints\n"
    "\"<result code>\\t<reply>\" for each. In a line, $WINDOW stands for the id of the\n"
    "tool's own hidden window (for \"open ... parent $WINDOW\"). Two more lines are understood:\n"
    "  snapshot PATH    saves the movie's decoded picture, at its own size, as a PNG file\n"
    "                   (after a seek: the picture sought)\n"
    "  wait-mode WORD   waits up to 10 s until \"status movie mode\" answers WORD\n"
    "Without a display it runs on Qt's offscreen platform.\n";

// How long snapshot waits for a seek to be decoded, as wait-mode waits for a mode.
constexpr int kSettleLimitMs = 10000;

void Print(int32_t code, const std::string& reply) {
    std::printf("%d\t%s\n", code, reply.c_str());
    std::fflush(stdout);
}

void ReplaceAll(std::string* text, const std::string& from, const std::string& to) {
    for (size_t pos = text->find(from); pos != std::string::npos;
         pos = text->find(from, pos + to.size())) {
        text->replace(pos, from.size(), to);
    }
}

void WaitMode(const std::string& word) {
    QElapsedTimer timer;
    timer.start();
    std::string reply;
    int32_t code = 0;
    while (true) {
        code = vbvfw_mciSendString("status movie mode", reply);
        if (code == 0 && reply == word) {
            Print(0, reply);
            return;
        }
        if (timer.elapsed() > kSettleLimitMs) {
            break;
        }
        QCoreApplication::processEvents();
        QThread::msleep(5);
    }
    Print(code != 0 ? code : -1, "timed out waiting for mode " + word + ", last: " + reply);
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("trelvane-mci %s\n", kTrelvaneVersion);
            return 0;
        }
        if (std::strncmp(argv[i], "--", 2) == 0) {
            std::fprintf(stderr, "trelvane-mci: unknown option '%s'\n%s", argv[i], kUsage);
            return 2;
        }
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    QWidget window;
    window.resize(640, 480);
    mci::WindowRegistry windows;
    const std::string windowId = std::to_string(windows.add(&window));
    mci::MciService service(windows);
    service.install();

    std::string line;
    while (std::getline(std::cin, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.rfind("snapshot ", 0) == 0) {
            mci::QtMovie* movie = service.movie("movie");
            const std::string path = line.substr(9);
            // The picture of a seek still being decoded is the one the seek asked for.
            const bool saved = movie != nullptr && movie->waitSettled(false, kSettleLimitMs) &&
                               movie->saveSnapshot(path);
            Print(saved ? 0 : -1, saved ? path : "no picture to save");
        } else if (line.rfind("wait-mode ", 0) == 0) {
            WaitMode(line.substr(10));
        } else {
            ReplaceAll(&line, "$WINDOW", windowId);
            std::string reply;
            const int32_t code = vbvfw_mciSendString(line, reply);
            Print(code, reply);
        }
        QCoreApplication::processEvents();
    }
    return 0;
}
