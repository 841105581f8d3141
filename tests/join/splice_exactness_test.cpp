// SPDX-License-Identifier: GPL-3.0-or-later
// Segments of clips with B pictures joined: a join that runs shows exactly the pictures the
// sources show at its segments' frames, none missing, none added (ffmpeg decoding the output and
// the sources is the judge); a segment that cannot be exact is refused before anything is written,
// naming the nearest lead-ins or lead-outs that can be, and those join exactly.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>

#include "join/join_engine.h"
#include "join/join_plan.h"
#include "join/splice_check.h"
#include "media/clip_inspection.h"
#include "support/clip_builder.h"
#include "support/ffmpeg_judge.h"

namespace {

using testing_support::ShellQuote;

struct Codec {
    const char* name;
    const char* options;
    const char* encoder;
    bool packed = false;
};

struct Segment {
    std::string path;
    int64_t in = 0;
    int64_t out = 0;
};

class SpliceJudge {
  protected:
    void judge(const std::string& path) { m_shown[path] = testing_support::PicturesByFrame(path); }

    int32_t join(const std::vector<Segment>& segments) {
        m_state = join::JoinState{};
        for (const Segment& s : segments) {
            m_state.clips.push_back(
                clips::Inspected(s.path, static_cast<int32_t>(s.in), static_cast<int32_t>(s.out)));
        }
        m_state.clipCount = static_cast<int>(segments.size());
        m_state.destFileName = out();
        std::filesystem::remove(out());
        return join::RunJoin(m_state, true);
    }

    // Joins the segments and judges the result. A refusal names the segment's frame and the
    // nearest frames that would do: each of those is joined instead (after a first refusal only
    // the first one, so that a segment refused more than once costs few joins).
    void joinExactly(std::vector<Segment> segments, int depth = 0) {
        std::string trace;
        for (const Segment& s : segments) {
            trace += " " + std::filesystem::path(s.path).filename().string() + "@" +
                     std::to_string(s.in) + "-" + std::to_string(s.out);
        }
        SCOPED_TRACE(trace);
        const int32_t result = join(segments);
        if (result == join::kJoinSourceError) {
            ASSERT_LT(depth, 4) << m_state.lastErrorText;
            EXPECT_FALSE(std::filesystem::exists(out()));
            const bool start = m_state.lastErrorText.find("not a key frame") != std::string::npos;
            for (const auto& [index, frame] : alternatives(segments)) {
                std::vector<Segment> other = segments;
                (start ? other[index].in : other[index].out) = frame;
                if (other[index].in <= other[index].out) {
                    joinExactly(other, depth + 1);
                    if (depth > 0) {
                        break;
                    }
                }
            }
            return;
        }
        ASSERT_EQ(result, join::kJoinDone) << m_state.lastErrorText;
        std::vector<std::string> expected;
        int64_t frames = 0;
        for (const Segment& s : segments) {
            testing_support::Append(expected,
                                    testing_support::PicturesShown(m_shown[s.path], s.in, s.out));
            frames += s.out - s.in + 1;
        }
        std::vector<std::string> joined;
        for (const auto& picture : testing_support::PicturesByFrame(out())) {
            joined.push_back(picture.hash);
        }
        EXPECT_EQ(joined, expected);
        EXPECT_EQ(m_state.framesWritten, frames);
        // The size planned before the join (for the room check) is never less than what it
        // wrote, though lead-ins come from key chunks before them.
        std::vector<join::SegmentPlan> starts;
        for (const ClipInfo& clip : m_state.clips) {
            starts.push_back(join::ReadsPictures(clip) ? join::CheckSegment(clip).plan
                                                       : join::FromLeadIn(clip));
        }
        EXPECT_GE(join::PlanJoin(m_state, starts).bytes,
                  static_cast<int64_t>(std::filesystem::file_size(out())));
        ++m_joined;
    }

    // The segment and the frames a refusal names: "...SEGMENT: frame N ...; the ... before it is
    // A, after it B".
    std::vector<std::pair<size_t, int64_t>> alternatives(const std::vector<Segment>& segments) {
        const std::string& text = m_state.lastErrorText;
        std::smatch m;
        EXPECT_TRUE(std::regex_search(text, m, std::regex("of (.*): frame ([0-9]+) "))) << text;
        if (m.empty()) {
            return {};
        }
        const std::string path = m[1];
        const int64_t frame = std::stoll(m[2]);
        size_t index = 0;
        while (index < segments.size() &&
               (segments[index].path != path ||
                (segments[index].in != frame && segments[index].out != frame))) {
            ++index;
        }
        EXPECT_LT(index, segments.size()) << text;
        std::vector<std::pair<size_t, int64_t>> frames;
        const std::regex number("(before|after) it (is )?([0-9]+)");
        for (auto it = std::sregex_iterator(text.begin(), text.end(), number);
             it != std::sregex_iterator(); ++it) {
            frames.emplace_back(index, std::stoll((*it)[3]));
        }
        EXPECT_FALSE(frames.empty()) << text;
        return frames;
    }

    std::string out() const { return m_dir.file("joined.avi"); }

    testing_support::TempDir m_dir;
    std::map<std::string, std::vector<testing_support::ShownPicture>> m_shown;
    join::JoinState m_state;
    int m_joined = 0;
};

class SpliceExactnessTest : public SpliceJudge, public ::testing::TestWithParam<Codec> {
  protected:
    void SetUp() override {
        if (!testing_support::HaveFfmpegEncoder(GetParam().encoder)) {
            GTEST_SKIP() << "ffmpeg has no " << GetParam().encoder << " encoder";
        }
        m_a = make("a", "testsrc");
        m_b = make("b", "testsrc2");
    }

    // 60 frames at 25 per second, a key frame every 12.
    std::string make(const std::string& name, const std::string& source) {
        const Codec& codec = GetParam();
        const std::string path = m_dir.file(name + ".avi");
        const std::string made = codec.packed ? m_dir.file(name + "-unpacked.avi") : path;
        const bool jpeg = std::string(codec.encoder) == "mjpeg";
        EXPECT_TRUE(testing_support::Ffmpeg(
            "-f lavfi -i " + source + "=size=96x64:rate=25:duration=2.4 -g 12 -pix_fmt " +
            (jpeg ? "yuvj420p " : "yuv420p ") + codec.options + " " + ShellQuote(made)));
        // ffmpeg gives 25 frames per second a VOP time resolution of 25: 5 bits.
        if (codec.packed) {
            EXPECT_TRUE(clips::WritePackedMpeg4(made, path, 5));
        }
        judge(path);
        return path;
    }

    std::string m_a;
    std::string m_b;
};

TEST_P(SpliceExactnessTest, EveryJoinIsExactOrRefusedWithTheNearestExactFrames) {
    joinExactly({{m_a, 0, 59}});
    joinExactly({{m_a, 12, 35}, {m_b, 24, 47}});
    joinExactly({{m_a, 13, 40}, {m_b, 0, 21}});
    joinExactly({{m_b, 26, 59}, {m_a, 36, 37}, {m_a, 0, 11}});
    EXPECT_GE(m_joined, 4);
}

INSTANTIATE_TEST_SUITE_P(
    Codecs, SpliceExactnessTest,
    ::testing::Values(Codec{"mpeg4", "-c:v mpeg4 -bf 2 -q:v 5", "mpeg4"},
                      Codec{"mpeg4_packed", "-c:v mpeg4 -bf 2 -q:v 5", "mpeg4", true},
                      Codec{"xvid", "-c:v libxvid -bf 2", "libxvid"},
                      Codec{"x264_closed",
                            "-c:v libx264 -bf 2 -x264-params b-pyramid=none:scenecut=0", "libx264"},
                      Codec{"x264_open",
                            "-c:v libx264 -bf 2 -x264-params open-gop=1:b-pyramid=none:scenecut=0",
                            "libx264"},
                      Codec{"x264_pyramid",
                            "-c:v libx264 -bf 3 -x264-params b-pyramid=normal:scenecut=0",
                            "libx264"},
                      Codec{"mpeg2_open", "-c:v mpeg2video -bf 2", "mpeg2video"},
                      Codec{"mjpeg", "-c:v mjpeg", "mjpeg"}),
    [](const auto& info) { return std::string(info.param.name); });

// Clips Xvid and DivX wrote themselves: packed B pictures, long groups, a 270-frame clip.
class CorpusSpliceTest : public SpliceJudge, public ::testing::Test {};

TEST_F(CorpusSpliceTest, XvidAndDivxClipsJoinExactly) {
    TRELVANE_SKIP_WITHOUT_CORPUS();
    const auto corpus = [](const char* name) {
        return (testing_support::CorpusDir() / name).string();
    };
    const std::string packed = corpus("xvid-544x352-29p97fps-packed-bframes.avi");
    const std::string xvid = corpus("xvid-720x528-30fps-video-only.avi");
    const std::string divx = corpus("divx-190x240-24fps-video-only-b.avi");
    for (const std::string& path : {packed, xvid, divx}) {
        judge(path);
    }
    joinExactly({{packed, 0, 10}, {packed, 0, 14}});
    joinExactly({{xvid, 41, 120}, {xvid, 1, 64}});
    joinExactly({{divx, 24, 50}, {divx, 0, 11}});
    EXPECT_GE(m_joined, 3);
}

// Key frames far larger than the pictures at the lead-ins (a still noisy picture): what each
// segment's lead-in costs is the key chunk's size, and the plan must count that.
class PlannedSizeTest : public SpliceJudge, public ::testing::Test {};

TEST_F(PlannedSizeTest, LeadInsFromLargeKeyChunksAreCounted) {
    if (!testing_support::HaveFfmpegEncoder("mpeg4")) {
        GTEST_SKIP() << "ffmpeg has no mpeg4 encoder";
    }
    const std::string path = m_dir.file("noise.avi");
    ASSERT_TRUE(testing_support::Ffmpeg(
        "-f lavfi -i testsrc=size=640x480:rate=25:duration=4 -vf noise=alls=60 -g 12 -c:v mpeg4 "
        "-bf 2 -q:v 1 " +
        ShellQuote(path)));
    judge(path);
    std::vector<Segment> segments;
    for (int64_t in : {12, 24, 36, 48, 60, 72, 12, 24}) {
        segments.push_back({path, in, in + 9});
    }
    joinExactly(segments);
    EXPECT_GE(m_joined, 1);
}

}  // namespace
