#include <cstdio>
#include <string>
#include <vector>

#include "cli.h"
#include "media/vbvfw.h"
#include "trelvane_version.h"

namespace {

const char* const kUsage =
    "usage: trelvane-cli info [--json] FILE...\n"
    "       trelvane-cli join -o OUT [--stop-on-source-error] [--drop-audio] [--overwrite]\n"
    "                         [--quiet] CLIP[@IN-OUT]...\n"
    "       trelvane-cli --help | --version\n"
    "\n"
    "info   inspects each AVI file and prints its video and audio summary.\n"
    "join   joins the clips, in order, into OUT without re-encoding. IN and OUT are zero-based\n"
    "       frame numbers, both inclusive; @IN- runs to the end, @-OUT from the start. The\n"
    "       first frame of a segment must be a key frame.\n"
    "       --stop-on-source-error  fail on a source frame that cannot be read (default: skip\n"
    "                               the rest of that clip and report it)\n"
    "       --drop-audio            make the joined file without audio\n"
    "       --overwrite             replace an existing OUT\n"
    "       --quiet                 no progress bar\n"
    "exit:  0 joined, 1 joined with warnings, 2 usage, 3 clip refused, 4 join failed,\n"
    "       130 cancelled; info: 0 when every file could be inspected, else 1.\n";

}  // namespace

namespace cli {

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
