// SPDX-License-Identifier: GPL-3.0-or-later
// The stream-copy loop that builds a joined file.
#include "join/join_engine.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>

#include "join/audio_span.h"
#include "join/destination_file.h"
#include "join/join_plan.h"
#include "join/packet_audio.h"
#include "join/packet_copy.h"
#include "join/palette_follower.h"
#include "join/splice_check.h"
#include "join/transfer_buffer.h"
#include "media/clip_inspection.h"
#include "media/numbers.h"
#include "media/vbvfw.h"

namespace join {

namespace {

constexpr int64_t kMaxFrameAudioBytes = 16 << 20;

// Outcome of one frame: go on with the entry, end the entry (a warning was recorded), or a
// result code (negative) that ends the join.
constexpr int32_t kFrameNext = 0;
constexpr int32_t kEntryEnd = 1;

// How the entry being copied places its audio.
struct EntryAudio {
    bool copy = false;
    bool vbr = false;  // one chunk per sample
    AudioClock clock;
    int64_t base = 0;          // first position of the stream
    int64_t end = 0;           // one past its last position
    int64_t silentFrames = 0;  // written frames that found no audio at all
    bool silence = false;      // an entry without audio in a PCM job: silence of its span
    int64_t padded = 0;        // samples of silence written for this entry
    std::unique_ptr<EntryPackets> packets;  // audio copied as whole codec packets, or null
};

int16_t ClampToInt16(int64_t value) {
    return static_cast<int16_t>(std::clamp<int64_t>(value, INT16_MIN, INT16_MAX));
}

int16_t Percent(int64_t done, int64_t total) {
    const double ratio =
        100.0 * static_cast<double>(done) / static_cast<double>(std::max<int64_t>(total, 1));
    return static_cast<int16_t>(std::clamp<int64_t>(media::RoundHalfEven(ratio), 0, 100));
}

class JoinRun {
  public:
    JoinRun(JoinState& state, bool stopOnSourceError) : m_state(state), m_stop(stopOnSourceError) {}

    int32_t execute();

  private:
    int32_t fatal(int32_t code, const std::string& text, int32_t result, int sysErrno = 0);
    platform::Files& files();
    int32_t preflight();
    int32_t planOutput();
    int32_t checkSilence(const JoinPlan& plan);
    int32_t checkClip(int index);
    int32_t openDestination();
    int32_t finishDestination(int32_t result);
    int32_t verifyDestination();
    void keepPartial(int32_t result);
    int32_t sourceProblem(int32_t code, const std::string& what, const ClipInfo& clip);
    int32_t checkSegments();
    int32_t copyEntry(int index);
    int32_t copyFormat(int16_t source, int16_t destination, const std::string& readText,
                       const std::string& writeText, int32_t* formatSize = nullptr);
    int32_t prepareAudio(int index, EntryAudio& audio);
    int32_t frameLoop(int index, EntryAudio& audio);
    int32_t copyFrame(const ClipInfo& clip, EntryAudio& audio, int64_t f, int64_t k, int64_t* n);
    int32_t copyFrameAudio(const ClipInfo& clip, EntryAudio& audio, int64_t f, int64_t n);
    void preparePackets(const ClipInfo& clip, const AVISTREAMINFO& live, EntryAudio& audio);
    int32_t copyFramePackets(const ClipInfo& clip, EntryAudio& audio, int64_t f, int64_t n);
    int32_t readAudioChunks(const ClipInfo& clip, EntryAudio& audio, int64_t from, int64_t count,
                            int64_t f, int64_t* got);
    int32_t readAudioBlocks(const ClipInfo& clip, EntryAudio& audio, int64_t from, int64_t count,
                            int64_t f, int64_t* got);
    int32_t writeAudio(const uint8_t* data, int32_t samples, int32_t bytes);
    int32_t padWithSilence(EntryAudio& audio, int64_t samples);
    void noteEntry(const ClipInfo& clip, const EntryAudio& audio);
    int32_t reportProgress(int index, int64_t k, int64_t leadOut);
    void releaseSource();
    int32_t cleanUp(int32_t result);

    JoinState& m_state;
    const bool m_stop;
    std::string m_tempName;  // what the joined file is written as until it replaces the destination
    DestinationClaim m_claim;
    platform::PosixFiles m_systemFiles;
    std::vector<SegmentPlan> m_plans;  // how each entry's segment starts
    SegmentPlan m_plan;                // the entry being copied
    TransferBuffer m_buffer;
    TransferBuffer m_silence;
    PaletteFollower m_palette;
    int16_t m_destFile = -1;
    int16_t m_destVideo = -1;
    int16_t m_destAudio = -1;
    int16_t m_srcFile = -1;
    int16_t m_srcVideo = -1;
    int16_t m_srcAudio = -1;
    int64_t m_destAudioPos = 0;
    int64_t m_totalFrames = 0;
    uint32_t m_frameRate = 0;  // entry 0's video clock
    uint32_t m_frameScale = 0;
    bool m_destPcm = false;
    bool m_destVbr = false;
    uint32_t m_destAudioRate = 0;  // entry 0's audio clock
    uint32_t m_destAudioScale = 0;
    uint16_t m_destBlockAlign = 0;
    uint8_t m_silenceByte = 0;
    PacketJob m_packets;
    int16_t m_lastSegment = 0;
    int16_t m_lastTotal = 0;
    std::chrono::steady_clock::time_point m_lastReport = std::chrono::steady_clock::now();
};

int32_t JoinRun::fatal(int32_t code, const std::string& text, int32_t result, int sysErrno) {
    SetJoinError(m_state, code, text);
    m_state.lastErrorErrno = sysErrno;
    return result;
}

// A source frame or its audio could not be read: fatal when stopping on source errors, else a
// warning line and the end of this entry.
int32_t JoinRun::sourceProblem(int32_t code, const std::string& what, const ClipInfo& clip) {
    if (m_stop) {
        return fatal(code, "reading " + what + " from source file " + clip.fileName,
                     kJoinSourceError);
    }
    m_state.warnings += "Error reading " + what + " from source file " + clip.fileName + "\r\n";
    return kEntryEnd;
}

platform::Files& JoinRun::files() {
    return m_state.files != nullptr ? *m_state.files : m_systemFiles;
}

int32_t JoinRun::execute() {
    m_state.framesWritten = 0;
    m_state.warnings.clear();
    m_state.notes.clear();
    m_state.audioShortfalls.clear();
    m_state.partialFileName.clear();
    m_state.partRemoved = false;
    m_totalFrames = TotalSegmentFrames(m_state);
    int32_t result = preflight();
    if (result == kJoinDone) {
        result = checkSegments();
    }
    if (result == kJoinDone) {
        result = planOutput();
    }
    if (result == kJoinDone) {
        result = openDestination();
    }
    if (result != kJoinDone) {
        return result;
    }
    const int count = std::min<int>(m_state.clipCount, static_cast<int>(m_state.clips.size()));
    for (int i = 0; i < count && result == kJoinDone; ++i) {
        result = checkClip(i);
        if (result == kJoinDone) {
            result = copyEntry(i);
        }
    }
    return finishDestination(cleanUp(result));
}

// Before anything is written: every segment must start and end where its frames show exactly the
// pictures of the clip there. A clip whose pictures are not read is copied from its lead-in.
int32_t JoinRun::checkSegments() {
    m_plans.clear();
    const int count = std::min<int>(m_state.clipCount, static_cast<int>(m_state.clips.size()));
    for (int i = 0; i < count; ++i) {
        const ClipInfo& clip = m_state.clips[static_cast<size_t>(i)];
        if (!ReadsPictures(clip)) {
            m_plans.push_back(FromLeadIn(clip));
            continue;
        }
        const SegmentCheck check = CheckSegment(clip);
        if (check.problem == SegmentCheck::Problem::kEnd ||
            (check.problem == SegmentCheck::Problem::kStart && check.probed)) {
            return fatal(AVIERR_BADPARAM,
                         "checking the segment of " + clip.fileName + ": frame " +
                             std::to_string(check.frame) + " " + check.reason,
                         kJoinSourceError);
        }
        m_plans.push_back(check.plan);
    }
    return kJoinDone;
}

// What can be told of the destination and the clips before a byte is written: what the
// destination is, and whether the clips are still the files inspected.
int32_t JoinRun::preflight() {
    const std::string& dest = m_state.destFileName;
    const std::string problem = DestinationProblem(files(), dest);
    if (!problem.empty()) {
        return fatal(AVIERR_FILEOPEN, "opening destination file " + dest + " " + problem,
                     kJoinDestinationError);
    }
    // Replacing the destination would remove a clip that is one with it.
    if (files().kind(dest) == platform::FileKind::Regular) {
        for (const ClipInfo& clip : m_state.clips) {
            if (files().sameFile(clip.fileName, dest)) {
                return fatal(
                    AVIERR_FILEOPEN,
                    "opening destination file " + dest + " (it is one of the clips being joined)",
                    kJoinDestinationError);
            }
        }
    }
    const int count = std::min<int>(m_state.clipCount, static_cast<int>(m_state.clips.size()));
    for (int i = 0; i < count; ++i) {
        const int32_t r = checkClip(i);
        if (r != kJoinDone) {
            return r;
        }
    }
    return kJoinDone;
}

// What the join would write, from the segments as they will be copied: silence beyond the bound
// is asked about, and a file larger than the room left is refused.
int32_t JoinRun::planOutput() {
    const std::string& dest = m_state.destFileName;
    const JoinPlan plan = PlanJoin(m_state, m_plans);
    const int32_t silence = checkSilence(plan);
    if (silence != kJoinDone) {
        return silence;
    }
    const int64_t room = files().roomFor(dest);
    if (room >= 0 && plan.bytes > room) {
        constexpr int64_t kMiB = 1 << 20;
        return fatal(AVIERR_FILEWRITE,
                     "writing the joined file " + dest + ": it needs about " +
                         std::to_string((plan.bytes + kMiB - 1) / kMiB) + " MB and only " +
                         std::to_string(room / kMiB) +
                         " MB can be written there, so nothing was written.",
                     kJoinDestinationError, ENOSPC);
    }
    return kJoinDone;
}

// Silence beyond the bound is written only when allowed, or when the user says so.
int32_t JoinRun::checkSilence(const JoinPlan& plan) {
    if (plan.longSilences.empty() || m_state.allowLongSilence) {
        return kJoinDone;
    }
    std::string text;
    for (const LongSilence& silence : plan.longSilences) {
        text += LongSilenceText(silence) + "\r\n";
    }
    if (!m_state.askLongSilence) {
        return fatal(AVIERR_BADPARAM,
                     "planning the joined file: " + text.substr(0, text.size() - 2) + " " +
                         kSilenceBoundText,
                     kJoinDestinationError);
    }
    return m_state.askLongSilence(text + kSilenceBoundText) ? kJoinDone : kJoinCancelled;
}

// A clip whose file changed since it was inspected is inspected again and must still fit.
int32_t JoinRun::checkClip(int index) {
    const ClipInfo base = m_state.clips.front();
    const std::string problem =
        CheckClipUnchanged(files(), base, m_state.clips[static_cast<size_t>(index)]);
    return problem.empty() ? kJoinDone : fatal(AVIERR_BADFORMAT, problem, kJoinSourceError);
}

// Creates the file the join writes: a new name beside the destination, so that the destination
// (or a link someone puts there meanwhile) is never written through, claimed for this join.
int32_t JoinRun::openDestination() {
    const std::string& dest = m_state.destFileName;
    const int taken = m_claim.take(dest, [this](const std::string& name) {
        m_destFile = vbvfw_AVIFileOpen(name, kOpenWrite | kOpenCreate | kOpenCreateNew);
        return m_destFile >= 0 ? 0 : (vbvfw_errno() != 0 ? vbvfw_errno() : EIO);
    });
    if (taken == EBUSY && m_destFile < 0) {
        return fatal(AVIERR_FILEOPEN,
                     "opening destination file " + dest +
                         " (another join is writing it now; nothing was written)",
                     kJoinDestinationError);
    }
    if (m_destFile < 0) {
        return fatal(m_destFile, "opening destination file " + dest, kJoinDestinationError, taken);
    }
    m_tempName = m_claim.part();
    return kJoinDone;
}

// After the destination's handles were released: a finished join that wrote frames and reads
// back whole replaces the destination; anything else keeps what was written as a partial file.
int32_t JoinRun::finishDestination(int32_t result) {
    if (m_tempName.empty()) {
        return result;
    }
    if (result == kJoinDone && m_state.framesWritten == 0) {
        result = fatal(AVIERR_NODATA,
                       "writing the joined file: no frame of the clips could be written, so no "
                       "file was made.",
                       kJoinDestinationError);
    }
    if (result == kJoinDone) {
        result = verifyDestination();
    }
    if (result == kJoinDone) {
        const int err = files().replaceFile(m_tempName, m_state.destFileName);
        if (err == 0) {
            m_claim.release();
            return result;
        }
        result = fatal(AVIERR_FILEWRITE,
                       "renaming the joined file " + m_tempName + " to " + m_state.destFileName,
                       kJoinDestinationError, err);
    }
    keepPartial(result);
    return result;
}

int32_t JoinRun::verifyDestination() {
    ClipInfo written;
    written.fileName = m_tempName;
    const int32_t status = LoadClipInfo(written);
    if ((status != 0 && status != 1) || written.segmentFrames != m_state.framesWritten) {
        return fatal(status != 0 ? status : AVIERR_BADFORMAT,
                     "verifying the joined file " + m_tempName + " (" +
                         std::to_string(written.segmentFrames) + " frames read back, " +
                         std::to_string(m_state.framesWritten) + " written)",
                     kJoinDestinationError);
    }
    return kJoinDone;
}

// Nothing written, or no room to write: nothing kept (a full disk must not stay full). Else
// "NAME.partial.avi", or "NAME.2.partial.avi" ... when that name is taken; failing all of those
// the part stays under its temporary name, which ends in ".partial.avi" too.
void JoinRun::keepPartial(int32_t result) {
    const int err = result == kJoinDestinationError ? m_state.lastErrorErrno : 0;
    const bool noRoom = err == ENOSPC || err == EDQUOT || err == EFBIG;
    if (m_state.framesWritten == 0 || noRoom) {
        (void)files().deleteFile(m_tempName);
        m_state.partRemoved = noRoom && m_state.framesWritten > 0;
        m_claim.release();
        return;
    }
    m_state.partialFileName = m_tempName;
    for (int n = 1; n < 100; ++n) {
        const std::string partial = PartialFileName(m_state.destFileName, n);
        const int renamed = RenameWithoutReplacing(m_tempName, partial);
        if (renamed == 0) {
            m_state.partialFileName = partial;
        }
        if (renamed != EEXIST) {
            break;
        }
    }
    m_claim.release();
}

int32_t JoinRun::copyEntry(int index) {
    const ClipInfo& clip = m_state.clips[static_cast<size_t>(index)];
    m_srcFile = vbvfw_AVIFileOpen(clip.fileName, kOpenRead);
    if (m_srcFile < 0) {
        return fatal(m_srcFile, "opening source file " + clip.fileName, kJoinSourceError,
                     vbvfw_error() == AVIERR_FILEOPEN ? vbvfw_errno() : 0);
    }
    m_srcVideo = vbvfw_AVIFileGetStream(m_srcFile, kStreamTypeVideo, 0);
    if (m_srcVideo < 0) {
        return fatal(m_srcVideo, "opening video stream in source file " + clip.fileName,
                     kJoinSourceError);
    }
    for (const uint32_t type : {kStreamTypeVideo, kStreamTypeAudio}) {
        const int16_t second = vbvfw_AVIFileGetStream(m_srcFile, type, 1);
        if (second >= 0) {
            (void)vbvfw_AVIStreamRelease(second);
            m_state.warnings += clip.fileName + " has more than one " +
                                (type == kStreamTypeVideo ? "video" : "audio") +
                                " stream; only the first was joined\r\n";
        }
    }
    if (index == 0) {
        m_frameRate = clip.videoInfo.dwRate;
        m_frameScale = clip.videoInfo.dwScale;
        m_destVideo = vbvfw_AVIFileCreateStream(m_destFile, &clip.videoInfo, 0);
        int32_t formatSize = 0;
        const int32_t r = copyFormat(m_srcVideo, m_destVideo,
                                     "error reading stream format in source file " + clip.fileName,
                                     "error writing video format to joined file.", &formatSize);
        if (r != 0) {
            return r;
        }
        m_palette.start(m_buffer.data(), formatSize);
    }
    // Room for the clip's largest frame (its index says how large) at once, rather than growing
    // through every size on the way there.
    (void)m_buffer.reserve(
        std::min<int64_t>(clip.videoInfo.dwSuggestedBufferSize, kMaxTransferSize));
    EntryAudio audio;
    int32_t result = prepareAudio(index, audio);
    if (result == kJoinDone && clip.segmentFrames > 0) {
        result = frameLoop(index, audio);
    }
    if (result == kJoinDone) {
        noteEntry(clip, audio);
    }
    if (result == kJoinDone) {
        releaseSource();
    }
    return result;
}

// Copies a stream's whole format, however long, from a source stream to a destination stream.
int32_t JoinRun::copyFormat(int16_t source, int16_t destination, const std::string& readText,
                            const std::string& writeText, int32_t* formatSize) {
    int32_t size = 0;
    int32_t status = vbvfw_AVIStreamReadFormat(source, 0, nullptr, &size);
    if (status == 0 && (size < 0 || !m_buffer.reserve(size))) {
        status = AVIERR_BADSIZE;
    }
    if (status == 0) {
        size = m_buffer.capacity();
        status = vbvfw_AVIStreamReadFormat(source, 0, m_buffer.data(), &size);
    }
    if (status != 0 && !IsBufferTooSmall(status)) {
        return fatal(status, readText, kJoinSourceError);
    }
    size = std::min(size, m_buffer.capacity());
    if (formatSize != nullptr) {
        *formatSize = size;
    }
    status = vbvfw_AVIStreamSetFormat(destination, 0, m_buffer.data(), size);
    if (status != 0) {
        return fatal(status, writeText, kJoinDestinationError);
    }
    return kJoinDone;
}

int32_t JoinRun::prepareAudio(int index, EntryAudio& audio) {
    const ClipInfo& clip = m_state.clips[static_cast<size_t>(index)];
    if (index != 0 && m_destAudio >= 0 && clip.audioPresent <= 0) {
        // Accepted without audio into a job with audio: PCM gets silence of the entry's span so
        // that the clips after it stay in sync, audio of whole packets silent packets where they
        // can be made; other audio cannot be made up.
        audio.clock = {m_destAudioRate, m_destAudioScale, m_frameRate, m_frameScale};
        if (m_packets.layout != PacketLayout::kBlocks) {
            audio.copy = true;
            audio.packets = std::make_unique<EntryPackets>(m_packets, nullptr);
            return kJoinDone;
        }
        audio.silence = m_destPcm && !m_destVbr && audio.clock.valid();
        if (!audio.silence && clip.segmentFrames > 0) {
            m_state.warnings +=
                clip.fileName + " has no audio; the audio of the clips after it plays early\r\n";
        }
        return kJoinDone;
    }
    if (clip.audioPresent <= 0 || (index != 0 && m_destAudio < 0)) {
        return kJoinDone;
    }
    m_srcAudio = vbvfw_AVIFileGetStream(m_srcFile, kStreamTypeAudio, 0);
    if (m_srcAudio < 0) {
        return fatal(m_srcAudio, "opening audio stream in source file " + clip.fileName,
                     kJoinSourceError);
    }
    if (index == 0) {
        m_destAudio = vbvfw_AVIFileCreateStream(m_destFile, &clip.audioInfo, 0);
        int32_t formatSize = 0;
        const int32_t r = copyFormat(m_srcAudio, m_destAudio,
                                     "error reading audio format in source file " + clip.fileName,
                                     "error writing audio format to joined file.", &formatSize);
        if (r != 0) {
            return r;
        }
        std::vector<uint8_t> format(m_buffer.data(), m_buffer.data() + formatSize);
        int32_t size = m_buffer.capacity();
        if (vbvfw_AVIStreamReadFormat(m_srcAudio, 0, m_buffer.data(), &size) == 0) {
            m_destPcm = IsPcmWaveFormat(m_buffer.data(), size);
        }
        m_destBlockAlign = clip.audioFormat.nBlockAlign;
        m_destVbr = clip.audioInfo.dwSampleSize == 0;
        m_destAudioRate = clip.audioInfo.dwRate;
        m_destAudioScale = clip.audioInfo.dwScale;
        m_silenceByte = clip.audioFormat.wBitsPerSample == 8 ? 0x80 : 0x00;
        m_packets.layout = PacketLayoutOf(clip.audioInfo, clip.audioFormat, m_destPcm);
        m_packets.clock = {m_destAudioRate, m_destAudioScale, m_frameRate, m_frameScale};
        m_packets.silence.start(m_state.silenceEncoder, std::move(format), m_packets.layout,
                                m_packets.clock);
    }
    AVISTREAMINFO live = clip.audioInfo;
    (void)vbvfw_AVIStreamInfo(m_srcAudio, &live, kAviStreamInfoSize);
    audio.clock = {clip.audioInfo.dwRate, clip.audioInfo.dwScale, m_frameRate, m_frameScale};
    audio.copy = audio.clock.valid();  // an undefined audio clock cannot be placed: no audio
    audio.vbr = live.dwSampleSize == 0;
    audio.base = live.dwStart;
    audio.end = static_cast<int64_t>(live.dwStart) + live.dwLength;
    preparePackets(clip, live, audio);
    return kJoinDone;
}

// An entry whose audio is laid out as the joined file's is copied as whole packets.
void JoinRun::preparePackets(const ClipInfo& clip, const AVISTREAMINFO& live, EntryAudio& audio) {
    const PacketLayout layout = PacketLayoutOf(live, clip.audioFormat, clip.audioPcm || m_destPcm);
    if (!audio.copy || m_packets.layout == PacketLayout::kBlocks || layout != m_packets.layout) {
        return;
    }
    const FrameSyntax syntax = layout == PacketLayout::kFrames
                                   ? FrameSyntaxOf(clip.audioFormat.wFormatTag)
                                   : FrameSyntax::kNone;
    auto reader = std::make_unique<PacketReader>(m_srcAudio, audio.base, audio.end, syntax);
    if (!m_packets.silence.modelled()) {
        // The silence is made like the stream's first packet, in case a segment lies beyond its
        // clip's audio before any packet was copied.
        PacketReader first(m_srcAudio, audio.base, audio.end, syntax);
        AudioPacket packet;
        if (first.moveNear(0) && first.next(&packet) == kPacketRead) {
            m_packets.silence.model(packet.data, static_cast<size_t>(packet.size));
        }
    }
    audio.packets = std::make_unique<EntryPackets>(m_packets, std::move(reader));
}

int32_t JoinRun::frameLoop(int index, EntryAudio& audio) {
    const ClipInfo& clip = m_state.clips[static_cast<size_t>(index)];
    m_plan = static_cast<size_t>(index) < m_plans.size() ? m_plans[static_cast<size_t>(index)]
                                                         : FromLeadIn(clip);
    // Only the frames that are written are read: each frame's audio span follows from its own
    // position, so nothing before the lead-in needs to be looked at.
    int64_t k = std::max<int64_t>(clip.leadIn, 0);
    int64_t f = clip.videoInfo.dwStart + k;
    while (k <= clip.leadOut) {
        int64_t n = 1;
        const int32_t r = copyFrame(clip, audio, f, k, &n);
        if (r != kFrameNext) {
            return r == kEntryEnd ? kJoinDone : r;
        }
        f += n;
        k += n;
        const int32_t p = reportProgress(index, k, clip.leadOut);
        if (p != kJoinDone) {
            return p;
        }
    }
    return kJoinDone;
}

// Frame f of the segment, and its audio. The lead-in frame is the chunk of the key frame its
// picture comes from (after the pictures of an open group that need the group before, which are
// not copied); every other frame is its own chunk. The audio of every frame is that of its place.
int32_t JoinRun::copyFrame(const ClipInfo& clip, EntryAudio& audio, int64_t f, int64_t k,
                           int64_t* n) {
    int32_t bytes = 0;
    int32_t samples = 0;
    const bool first = k == clip.leadIn;
    const int64_t chunk = first ? clip.videoInfo.dwStart + m_plan.firstChunk : f;
    const int32_t status = m_buffer.read(m_srcVideo, chunk, 1, &bytes, &samples);
    if (status != 0 || samples <= 0) {
        return sourceProblem(status, "frame " + std::to_string(chunk), clip);
    }
    if (first && m_plan.keepBytes >= 0) {
        bytes = static_cast<int32_t>(std::min<int64_t>(bytes, m_plan.keepBytes));
    }
    const int32_t p =
        m_palette.beforeFrame(m_srcVideo, m_destVideo, f, m_state.framesWritten, first);
    if (p != 0) {
        return fatal(p, "writing a palette change to joined file.", kJoinDestinationError,
                     vbvfw_write_errno());
    }
    const int32_t flags = IsKeyFrame(m_srcVideo, static_cast<int32_t>(chunk)) ? kAviIfKeyFrame : 0;
    int32_t written = 0;
    int32_t bytesWritten = 0;
    const int32_t w = vbvfw_AVIStreamWrite(m_destVideo, m_state.framesWritten, samples,
                                           m_buffer.data(), bytes, flags, &written, &bytesWritten);
    if (w != 0 || written != samples) {
        return fatal(w,
                     "writing data to joined file. (video frame " +
                         std::to_string(m_state.framesWritten) + ", written " +
                         std::to_string(written) + " samples, expected " + std::to_string(samples) +
                         " samples.",
                     kJoinDestinationError, vbvfw_write_errno());
    }
    m_state.framesWritten += samples;
    *n = samples;
    if (audio.silence) {
        const int64_t j = f - clip.videoInfo.dwStart;
        return padWithSilence(
            audio, AudioBoundary(audio.clock, j + samples) - AudioBoundary(audio.clock, j));
    }
    return audio.copy ? copyFrameAudio(clip, audio, f, samples) : kFrameNext;
}

// The audio of frames [f, f + n): its span comes from the boundary function, so consecutive
// frames take consecutive samples. Audio that ends before the video is no error: PCM is padded
// with silence, anything else is counted and reported once per entry.
int32_t JoinRun::copyFrameAudio(const ClipInfo& clip, EntryAudio& audio, int64_t f, int64_t n) {
    if (audio.packets != nullptr) {
        const int32_t r = copyFramePackets(clip, audio, f, n);
        if (r != kFrameNext || !audio.packets->abandoned()) {
            return r;
        }
        audio.packets.reset();  // the stream holds no frames of its format: cut by its clock
    }
    const int64_t j = f - clip.videoInfo.dwStart;
    const int64_t start = AudioBoundary(audio.clock, j);
    const int64_t count = AudioBoundary(audio.clock, j + n) - start;
    if (count <= 0) {
        return kFrameNext;  // no audio belongs to this frame
    }
    // More audio for one frame than any real stream has (8 channels of 32-bit 192 kHz audio come
    // to about 6 MB per second) means a broken audio clock: a bad read like any other, which
    // must never turn into gigabytes of silence.
    const int64_t block = std::max<int64_t>(clip.audioFormat.nBlockAlign, 1);
    if (!audio.vbr && count > kMaxFrameAudioBytes / block) {
        return sourceProblem(AVIERR_BUFFERTOOSMALL, "audio for frame " + std::to_string(f), clip);
    }
    const int64_t from = audio.base + start;
    int64_t got = 0;
    const int32_t r = audio.vbr ? readAudioChunks(clip, audio, from, count, f, &got)
                                : readAudioBlocks(clip, audio, from, count, f, &got);
    if (r != kFrameNext || got >= count) {
        return r;
    }
    if (m_destPcm && !audio.vbr) {
        return padWithSilence(audio, count - got);
    }
    if (got == 0) {
        ++audio.silentFrames;
    }
    return kFrameNext;
}

// The audio of frames [f, f + n) as whole packets (EntryPackets), the frames just written.
int32_t JoinRun::copyFramePackets(const ClipInfo& clip, EntryAudio& audio, int64_t f, int64_t n) {
    struct Output : PacketSink {
        Output(JoinRun& run, const ClipInfo& clip, int64_t f) : run(run), clip(clip), f(f) {}
        int32_t write(const uint8_t* data, int32_t samples, int32_t bytes) override {
            return run.writeAudio(data, samples, bytes);
        }
        int64_t position() const override { return run.m_destAudioPos; }
        int32_t problem(int32_t status) override {
            return run.sourceProblem(status, "audio for frame " + std::to_string(f), clip);
        }
        JoinRun& run;
        const ClipInfo& clip;
        const int64_t f;
    };
    Output output(*this, clip, f);
    return audio.packets->copy(output, f - clip.videoInfo.dwStart, n, m_state.framesWritten);
}

int32_t JoinRun::readAudioBlocks(const ClipInfo& clip, EntryAudio& audio, int64_t from,
                                 int64_t count, int64_t f, int64_t* got) {
    const int64_t available = std::clamp<int64_t>(audio.end - from, 0, count);
    if (available == 0) {
        return kFrameNext;
    }
    int32_t bytes = 0;
    int32_t samples = 0;
    const int32_t wanted = static_cast<int32_t>(std::min<int64_t>(available, INT32_MAX));
    const int32_t status = m_buffer.read(m_srcAudio, from, wanted, &bytes, &samples);
    if (status == AVIERR_NODATA) {
        return kFrameNext;  // the stream ends earlier than its header said
    }
    if (status != 0 || samples <= 0) {
        return sourceProblem(status, "audio for frame " + std::to_string(f), clip);
    }
    *got = samples;
    return writeAudio(m_buffer.data(), samples, bytes);
}

// Audio with a sample size of 0: each sample is one chunk, copied as one chunk.
int32_t JoinRun::readAudioChunks(const ClipInfo& clip, EntryAudio& audio, int64_t from,
                                 int64_t count, int64_t f, int64_t* got) {
    for (int64_t c = from; c < from + count && c < audio.end; ++c) {
        int32_t bytes = 0;
        int32_t samples = 0;
        const int32_t status = m_buffer.read(m_srcAudio, c, 1, &bytes, &samples);
        if (status == AVIERR_NODATA) {
            return kFrameNext;
        }
        if (status != 0 || samples <= 0) {
            return sourceProblem(status, "audio for frame " + std::to_string(f), clip);
        }
        *got += samples;
        const int32_t r = writeAudio(m_buffer.data(), samples, bytes);
        if (r != kFrameNext) {
            return r;
        }
    }
    return kFrameNext;
}

int32_t JoinRun::writeAudio(const uint8_t* data, int32_t samples, int32_t bytes) {
    int32_t written = 0;
    int32_t bytesWritten = 0;
    const int32_t w = vbvfw_AVIStreamWrite(m_destAudio, m_destAudioPos, samples, data, bytes, 0,
                                           &written, &bytesWritten);
    if (w != 0 || written != samples) {
        return fatal(w,
                     "writing data to joined file. (audio frame " +
                         std::to_string(m_state.framesWritten - 1) + ", written " +
                         std::to_string(written) + " samples, expected " + std::to_string(samples) +
                         " samples.",
                     kJoinDestinationError, vbvfw_write_errno());
    }
    m_destAudioPos += samples;
    return kFrameNext;
}

// What the report says about an entry: silence written for its audio (nothing lost), or audio
// that ends before the video and could not be padded (later clips out of sync).
void JoinRun::noteEntry(const ClipInfo& clip, const EntryAudio& audio) {
    if (audio.padded > 0) {
        const double seconds = static_cast<double>(audio.padded) * m_destAudioScale /
                               std::max<uint32_t>(m_destAudioRate, 1);
        char duration[32];
        std::snprintf(duration, sizeof duration, "%.2f", seconds);
        m_state.notes += (audio.silence ? clip.fileName + " has no audio: "
                                        : "Audio of " + clip.fileName + " ends early: ") +
                         std::to_string(audio.padded) + " samples (" + duration +
                         " seconds) of silence were written\r\n";
    }
    if (audio.silentFrames > 0) {
        // The report words it: whether later clips are out of sync depends on what follows.
        const auto entry = static_cast<int>(&clip - m_state.clips.data());
        m_state.audioShortfalls.push_back({entry, audio.silentFrames});
    }
    if (audio.packets != nullptr) {
        const size_t count =
            std::min(static_cast<size_t>(std::max(m_state.clipCount, 0)), m_state.clips.size());
        const bool later = &clip + 1 < m_state.clips.data() + count;
        const EntryPackets::Report report =
            audio.packets->report(clip.fileName, clip.audioPresent <= 0, later);
        m_state.notes += report.notes;
        m_state.warnings += report.warnings;
    }
}

int32_t JoinRun::padWithSilence(EntryAudio& audio, int64_t samples) {
    audio.padded += std::max<int64_t>(samples, 0);
    const int64_t block = std::max<int64_t>(m_destBlockAlign, 1);
    const int64_t perWrite = std::max<int64_t>(1, (1 << 20) / block);
    while (samples > 0) {
        const int64_t now = std::min(samples, perWrite);
        if (!m_silence.fill(now * block, m_silenceByte)) {
            return fatal(AVIERR_MEMORY, "writing data to joined file.", kJoinDestinationError);
        }
        const int32_t r = writeAudio(m_silence.data(), static_cast<int32_t>(now),
                                     static_cast<int32_t>(now * block));
        if (r != kFrameNext) {
            return r;
        }
        samples -= now;
    }
    return kFrameNext;
}

int32_t JoinRun::reportProgress(int index, int64_t k, int64_t leadOut) {
    if (!m_state.progressEnabled || m_state.progressWindow == nullptr) {
        return kJoinDone;
    }
    const int16_t total = Percent(m_state.framesWritten, m_totalFrames);
    const int16_t segment = Percent(k, leadOut + 1);
    const auto now = std::chrono::steady_clock::now();
    if (total == m_lastTotal && segment == m_lastSegment &&
        now - m_lastReport < std::chrono::milliseconds(m_state.progressIntervalMs)) {
        return kJoinDone;
    }
    m_lastTotal = total;
    m_lastSegment = segment;
    m_lastReport = now;
    if (m_state.progressWindow->show_progress(ClampToInt16(index), segment, total) ==
        kJoinCancelled) {
        return kJoinCancelled;
    }
    return kJoinDone;
}

void JoinRun::releaseSource() {
    if (m_srcVideo >= 0) {
        (void)vbvfw_AVIStreamRelease(m_srcVideo);
    }
    if (m_srcAudio >= 0) {
        (void)vbvfw_AVIStreamRelease(m_srcAudio);
    }
    if (m_srcFile >= 0) {
        (void)vbvfw_AVIFileRelease(m_srcFile);
    }
    m_srcVideo = m_srcAudio = m_srcFile = -1;
}

// Every path ends here: the destination's streams and file first, then the source's. A failure
// to finish the destination turns a finished join into a destination error.
int32_t JoinRun::cleanUp(int32_t result) {
    if (m_destFile >= 0) {
        int32_t status = 0;
        if (m_destVideo >= 0) {
            status = vbvfw_AVIStreamRelease(m_destVideo);
        }
        if (m_destAudio >= 0) {
            const int32_t s = vbvfw_AVIStreamRelease(m_destAudio);
            status = status != 0 ? status : s;
        }
        const int32_t s = vbvfw_AVIFileRelease(m_destFile);
        status = status != 0 ? status : s;
        m_destVideo = m_destAudio = m_destFile = -1;
        if (result == kJoinDone && status != 0) {
            result = fatal(status, "writing data to joined file.", kJoinDestinationError,
                           vbvfw_write_errno());
        }
    }
    if (m_srcFile >= 0) {
        releaseSource();
    }
    return result;
}

}  // namespace

JoinState& ModuleJoinState() {
    static JoinState state;
    return state;
}

void SetJoinError(JoinState& state, int32_t code, const std::string& text) {
    state.lastErrorCode = code;
    state.lastErrorText = text;
}

void AttachProgressWindow(JoinState& state, JoinProgress* window) {
    state.progressWindow = window;
    state.progressEnabled = true;
}

int32_t RunJoin(JoinState& state, bool stopOnSourceError) {
    JoinRun run(state, stopOnSourceError);
    return run.execute();
}

bool IsKeyFrame(int16_t stream, int32_t pos) {
    return vbvfw_AVIStreamFindSample(stream, pos, kFindPrev | kFindKey) == pos;
}

int64_t TotalSegmentFrames(const JoinState& state) {
    int64_t total = 0;
    const int count = std::min<int>(state.clipCount, static_cast<int>(state.clips.size()));
    for (int i = 0; i < count; ++i) {
        total += std::max<int32_t>(state.clips[static_cast<size_t>(i)].segmentFrames, 0);
    }
    return total;
}

}  // namespace join
