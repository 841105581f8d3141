// SPDX-License-Identifier: GPL-3.0-or-later
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli.h"
#include "media/vbvfw.h"
#include "trelvane_version.h"

namespace {

const char* const kInfoUsage =
    "usage: trelvane-cli info [--json] FILE...\n"
    "\n"
    "Inspects each AVI file and prints its video and audio summary, and how many video and\n"
    "audio streams it holds when there is more than one of a kind (a join copies the first of\n"
    "each). --json prints one record per file; a name that is not UTF-8 also comes as\n"
    "\"fileBytes\" in hexadecimal.\n"
    "exit:  0 when every file could be inspected, else 1; 2 usage.\n";

const char* const kJoinUsage =
    "usage: trelvane-cli join -o OUT [--stop-on-source-error] [--drop-audio] [--overwrite]\n"
    "                         [--allow-silence] [--quiet] CLIP[@IN-OUT]...\n"
    "       trelvane-cli --help | --version\n"
    "\n"
    "Joins the clips, in order, into OUT without re-encoding. IN and OUT are zero-based frame\n"
    "numbers, both inclusive; @IN- runs to the end, @-OUT from the start. The first frame of a\n"
    "segment must be a key frame, its last one a frame where it ends exactly (with B pictures,\n"
    "a reference picture's). OUT is written under a new name in its folder and replaces an\n"
    "existing OUT only when the join succeeded; after a failure or a cancel (Ctrl-C, SIGTERM,\n"
    "SIGHUP) OUT is unchanged and the part written so far is kept as NAME.partial.avi.\n"
    "  --stop-on-source-error  fail on a source frame that cannot be read (default: skip the\n"
    "                          rest of that clip and report it)\n"
    "  --drop-audio            make the joined file without audio\n"
    "  --overwrite             replace an existing OUT (a regular file) once the join succeeded\n"
    "  --allow-silence         write more than 10 minutes of silence for a clip whose audio is\n"
    "                          missing or ends early, when that is more than its own audio\n"
    "  --quiet                 no progress bar\n"
    "exit:  0 joined, 1 joined with warnings, 2 usage, 3 clip refused, 4 join failed,\n"
    "       130 cancelled.\n";

const char* const kUsage =
    "usage: trelvane-cli info [--json] FILE...\n"
    "       trelvane-cli join -o OUT [options] CLIP[@IN-OUT]...\n"
    "       trelvane-cli COMMAND --help | --version\n"
    "\n"
    "info   inspects AVI files.\n"
    "join   joins AVI clips into one file without re-encoding.\n";

bool AsksForHelp(const std::vector<std::string>& args) {
    for (const std::string& arg : args) {
        if (arg == "--") {
            return false;
        }
        if (arg == "--help" || arg == "-h") {
            return true;
        }
    }
    return false;
}

}  // namespace

namespace cli {

std::string PlainOpenReason(int32_t libraryError, int32_t systemError) {
    if (systemError != 0) {
        return std::strerror(systemError);
    }
    if (libraryError == AVIERR_BADFORMAT || libraryError == AVIERR_FILEREAD) {
        return "not an AVI file";
    }
    return "the file could not be read";
}

void PrintError(const std::string& text) {
    std::fprintf(stderr, "trelvane-cli: %s\n", text.c_str());
}

std::string UnixLines(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            continue;
        }
        out += text[i];
    }
    return out;
}

}  // namespace cli

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty() || args[0] == "--help" || args[0] == "-h") {
        std::fputs(kUsage, args.empty() ? stderr : stdout);
        return args.empty() ? cli::kExitUsage : 0;
    }
    if (args[0] == "--version") {
        std::printf("trelvane-cli %s\n", kTrelvaneVersion);
        return 0;
    }
    const std::string command = args[0];
    args.erase(args.begin());
    if ((command == "info" || command == "join") && AsksForHelp(args)) {
        std::fputs(command == "info" ? kInfoUsage : kJoinUsage, stdout);
        return 0;
    }
    vbvfw_AVIFileInit();
    int code = cli::kExitUsage;
    if (command == "info") {
        code = cli::RunInfo(args);
    } else if (command == "join") {
        code = cli::RunJoinCommand(args);
    } else {
        cli::PrintError("unknown command '" + command + "'");
        std::fputs(kUsage, stderr);
    }
    vbvfw_AVIFileExit();
    return code;
}
