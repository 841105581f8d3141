// SPDX-License-Identifier: GPL-3.0-or-later
// trelvane-cli join: inspects and compares the clips, runs the join engine, prints the report.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>

#include "cli.h"
#include "join/destination_file.h"
#include "join/join_engine.h"
#include "join/join_report.h"
#include "join/splice_check.h"
#include "media/clip_admission.h"
#include "media/clip_inspection.h"
#include "platform/silence_module.h"
#include "settings/settings_folder.h"

namespace cli {

namespace {

volatile sig_atomic_t g_interrupted = 0;

void OnInterrupt(int) {
    g_interrupted = 1;
}

struct ClipArg {
    std::string path;
    std::optional<int64_t> in;
    std::optional<int64_t> out;
};

struct JoinArgs {
    std::string output;
    bool stopOnSourceError = false;
    bool dropAudio = false;
    bool overwrite = false;
    bool allowSilence = false;
    bool quiet = false;
    std::vector<ClipArg> clips;
};

bool ParseFrame(const std::string& text, std::optional<int64_t>* value) {
    if (text.empty()) {
        return true;
    }
    if (text.size() > 10 || text.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    *value = std::stoll(text);
    return true;
}

// PATH, or PATH@IN-OUT / PATH@IN- / PATH@-OUT unless the whole argument names an existing file.
bool ParseClip(const std::string& arg, ClipArg* clip) {
    struct stat info {};
    clip->path = arg;
    const size_t at = arg.rfind('@');
    if (::stat(arg.c_str(), &info) == 0 || at == std::string::npos) {
        return true;
    }
    const std::string range = arg.substr(at + 1);
    const size_t dash = range.find('-');
    if (dash == std::string::npos || range.size() < 2) {
        return true;  // not a range: a plain (missing) path, reported by inspection
    }
    ClipArg parsed;
    parsed.path = arg.substr(0, at);
    if (!ParseFrame(range.substr(0, dash), &parsed.in) ||
        !ParseFrame(range.substr(dash + 1), &parsed.out)) {
        // Not frame numbers ("zz@1-2.avi"): a file name of its own, which inspection reports
        // missing when it is; a range on a file that exists is a typing error.
        struct stat base {};
        return ::stat(parsed.path.c_str(), &base) != 0;
    }
    *clip = parsed;
    return true;
}

bool ParseJoinArgs(const std::vector<std::string>& args, JoinArgs* out) {
    bool options = true;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (options && a == "--") {
            options = false;
        } else if (options && (a == "-o" || a == "--output")) {
            if (i + 1 >= args.size()) {
                PrintError("-o needs a file name");
                return false;
            }
            out->output = args[++i];
        } else if (options && a == "--stop-on-source-error") {
            out->stopOnSourceError = true;
        } else if (options && a == "--drop-audio") {
            out->dropAudio = true;
        } else if (options && a == "--overwrite") {
            out->overwrite = true;
        } else if (options && a == "--allow-silence") {
            out->allowSilence = true;
        } else if (options && a == "--quiet") {
            out->quiet = true;
        } else if (options && a.size() > 1 && a[0] == '-') {
            PrintError("unknown option '" + a + "'");
            return false;
        } else {
            ClipArg clip;
            if (!ParseClip(a, &clip)) {
                PrintError("'" + a + "': a segment is written @IN-OUT, @IN- or @-OUT");
                return false;
            }
            out->clips.push_back(clip);
        }
    }
    if (out->output.empty() || out->clips.empty()) {
        PrintError("join needs -o OUT and at least one CLIP");
        return false;
    }
    return true;
}

// The destination must be a file name in a folder that can be written to, naming nothing or a
// regular file that is none of the clips, however it is named; an existing one is replaced only
// when asked to.
bool CheckOutput(const JoinArgs& args, const platform::Files& files) {
    const size_t slash = args.output.rfind('/');
    const std::string folder =
        slash == std::string::npos ? "." : (slash == 0 ? "/" : args.output.substr(0, slash));
    if (files.kind(folder) != platform::FileKind::Folder) {
        PrintError("the folder " + folder + " for " + args.output + " does not exist");
        return false;
    }
    if (::access(folder.c_str(), W_OK) != 0) {
        PrintError("the folder " + folder + " cannot be written to: " + std::strerror(errno));
        return false;
    }
    const std::string problem = join::DestinationProblem(files, args.output);
    if (!problem.empty()) {
        PrintError(args.output + " cannot be the joined file " + problem);
        return false;
    }
    if (files.kind(args.output) == platform::FileKind::Missing) {
        return true;
    }
    for (const ClipArg& clip : args.clips) {
        if (files.sameFile(clip.path, args.output)) {
            PrintError("the joined file cannot replace one of the clips being joined: " +
                       args.output);
            return false;
        }
    }
    if (!args.overwrite) {
        PrintError(args.output + " exists; use --overwrite to replace it");
        return false;
    }
    return true;
}

int Refuse(const std::string& path, const std::string& message);

// Lead-in and lead-out from the clip's IN and OUT. The segment must start on a key frame and end
// where its frames show exactly the clip's pictures up to there.
int ApplySegment(const ClipArg& arg, ClipInfo& clip) {
    const int64_t frames = clip.segmentFrames;
    const int64_t in = arg.in.value_or(0);
    const int64_t out = arg.out.value_or(frames - 1);
    if (in > out || out >= frames) {
        PrintError("frames " + std::to_string(in) + "-" + std::to_string(out) + " are outside " +
                   clip.fileName + " (" + std::to_string(frames) + " frames)");
        return kExitUsage;
    }
    clip.leadIn = static_cast<int32_t>(in);
    clip.leadOut = static_cast<int32_t>(out);
    clip.segmentFrames = clip.leadOut - clip.leadIn + 1;
    const join::SegmentCheck check = join::CheckSegment(clip);
    if (check.problem == join::SegmentCheck::Problem::kStart) {
        PrintError("frame " + std::to_string(check.frame) + " of " + clip.fileName + " " +
                   check.reason);
        return kExitUsage;
    }
    if (check.problem == join::SegmentCheck::Problem::kEnd) {
        return Refuse(clip.fileName, "frame " + std::to_string(check.frame) + " " + check.reason);
    }
    return 0;
}

int Refuse(const std::string& path, const std::string& message) {
    std::fprintf(stderr, "%s\n", RefusalText(path, message).c_str());
    return kExitRefused;
}

int WarnAudio(const std::string& path, const std::string& message) {
    std::fprintf(stderr, "Clip %s%s  Use --drop-audio to join the clips without audio.\n",
                 path.c_str(), message.c_str());
    return kExitRefused;
}

// Inspects every clip once and admits it as the program does; what the program would ask about
// needs --drop-audio here, unless it concerns audio the joined file does not have anyway.
int BuildJob(const JoinArgs& args, std::vector<ClipInfo>* clips) {
    for (size_t i = 0; i < args.clips.size(); ++i) {
        ClipInfo clip;
        clip.fileName = args.clips[i].path;
        const int32_t status = LoadClipInfo(clip);
        const int32_t libraryError = status != 0 ? vbvfw_error() : 0;
        const int32_t systemError = status != 0 ? vbvfw_errno() : 0;
        const ClipInfo* base = i > 0 ? &(*clips)[0] : nullptr;
        const ClipAdmission verdict =
            AdmitClip(base, clip, status, libraryError, systemError, args.dropAudio);
        if (verdict.kind == ClipCheckKind::Refuse) {
            return Refuse(clip.fileName,
                          status == -1
                              ? verdict.message + ": " + PlainOpenReason(libraryError, systemError)
                              : verdict.message);
        }
        if (!verdict.extraStreams.empty()) {
            std::fprintf(stderr, "Note: clip %s%s\n", clip.fileName.c_str(),
                         verdict.extraStreams.c_str());
        }
        const bool audioMatters = base == nullptr || base->audioPresent > 0 || status == 0;
        if (verdict.kind == ClipCheckKind::Warn && !args.dropAudio && audioMatters) {
            return WarnAudio(clip.fileName, verdict.message);
        }
        const int segment = ApplySegment(args.clips[i], clip);
        if (segment != 0) {
            return segment;
        }
        clips->push_back(clip);
    }
    if (args.dropAudio) {
        (*clips)[0].audioPresent = 0;
    }
    return 0;
}

class TerminalProgress : public join::JoinProgress {
  public:
    TerminalProgress(const std::vector<ClipInfo>& clips, bool draw)
        : m_clips(clips), m_draw(draw) {}

    int32_t show_progress(int16_t clipIndex, int16_t segmentPercent,
                          int16_t totalPercent) override {
        if (m_draw) {
            const int width = 30;
            const int filled = totalPercent * width / 100;
            const std::string title =
                clipIndex >= 0 && static_cast<size_t>(clipIndex) < m_clips.size()
                    ? FileTitle(m_clips[static_cast<size_t>(clipIndex)].fileName)
                    : std::string();
            std::fprintf(stderr, "\r\033[K[%s%s] %3d%%  clip %d/%zu %s %3d%%",
                         std::string(static_cast<size_t>(filled), '#').c_str(),
                         std::string(static_cast<size_t>(width - filled), '.').c_str(),
                         totalPercent, clipIndex + 1, m_clips.size(), title.c_str(),
                         segmentPercent);
            std::fflush(stderr);
            m_drawn = true;
        }
        return g_interrupted != 0 ? join::kJoinCancelled : 0;
    }

    void finish() {
        if (m_drawn) {
            std::fputs("\r\033[K", stderr);
        }
    }

  private:
    const std::vector<ClipInfo>& m_clips;
    const bool m_draw;
    bool m_drawn = false;
};

std::string PartialText(const join::JoinState& state) {
    return state.partialFileName.empty()
               ? std::string()
               : " The part written so far is kept as " + state.partialFileName + ".";
}

}  // namespace

int RunJoinCommand(const std::vector<std::string>& argList) {
    platform::PosixFiles files;
    JoinArgs args;
    if (!ParseJoinArgs(argList, &args) || !CheckOutput(args, files)) {
        return kExitUsage;
    }
    std::vector<ClipInfo> clips;
    const int built = BuildJob(args, &clips);
    if (built != 0) {
        return built;
    }
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    // Ctrl-C, a terminal that goes away and a polite kill all cancel the join the same way.
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGHUP, &action, nullptr);
    // Beyond a file-size limit a write must fail with EFBIG and be reported, not kill us.
    ::signal(SIGXFSZ, SIG_IGN);

    join::JoinState state;
    state.clipCount = static_cast<int>(clips.size());
    state.clips = clips;
    state.destFileName = args.output;
    state.files = &files;
    state.allowLongSilence = args.allowSilence;
    bool longSilence = false;
    state.askLongSilence = [&longSilence](const std::string& text) {
        std::fprintf(stderr, "%s  Use --allow-silence to join it anyway.\n",
                     UnixLines(text).c_str());
        longSilence = true;
        return false;
    };
    // Silence in a clip's own compressed format keeps later clips' sound in step.
    const std::string folder = settings::ExecutableFolder();
    const platform::ModuleSilenceEncoder silenceEncoder(
        {folder + "/trelvane-silence.so",
         folder + "/" TRELVANE_MODULE_FOLDER "/trelvane-silence.so"});
    state.silenceEncoder = &silenceEncoder;
    TerminalProgress progress(clips, !args.quiet && ::isatty(STDERR_FILENO) != 0);
    join::AttachProgressWindow(state, &progress);
    const int32_t result = join::RunJoin(state, args.stopOnSourceError);
    progress.finish();

    if (longSilence) {
        return kExitRefused;
    }
    if (result == join::kJoinCancelled) {
        std::fprintf(stderr, "Join cancelled; %s was not changed.%s\n", args.output.c_str(),
                     PartialText(state).c_str());
        return kExitCancelled;
    }
    const join::JoinReport report = join::MakeJoinReport(result, state);
    if (result != join::kJoinDone) {
        std::fprintf(stderr, "%s\n", UnixLines(report.text).c_str());
        return kExitJoinFailed;
    }
    std::printf("%s\n", UnixLines(report.text).c_str());
    return report.clean ? kExitJoined : kExitJoinedWithWarnings;
}

}  // namespace cli
