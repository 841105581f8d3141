// Frame N decoded by the movie device is the picture ffmpeg decodes as frame N, whatever order
// the frames are asked for in, for the codecs people keep in AVI files.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "platform/avi/avi_reader.h"
#include "platform/mci/frame_decoder.h"
#include "platform/mci/picture_convert.h"
#include "support/test_support.h"

namespace {

using testing_support::Ffmpeg;
using testing_support::TempDir;

struct Clip {
    std::string name;
    std::string path;
};

// ffmpeg's own decode of every frame, in one pixel format, one file per clip.
class Reference {
  public:
    bool load(const std::string& clip, const std::string& pixelFormat, const TempDir& dir) {
        const std::string out = dir.file("ref-" + std::to_string(++s_count) + ".raw");
        if (!Ffmpeg("-i " + testing_support::ShellQuote(clip) +
                    " -map 0:v:0 -fps_mode passthrough -f rawvideo -pix_fmt " + pixelFormat + " " +
                    out)) {
            return false;
        }
        m_bytes = testing_support::ReadFileBytes(out);
        return true;
    }
    std::vector<uint8_t> frame(size_t index, size_t size) const {
        if ((index + 1) * size > m_bytes.size()) {
            return {};
        }
        return std::vector<uint8_t>(m_bytes.begin() + index * size,
                                    m_bytes.begin() + (index + 1) * size);
    }
    size_t frames(size_t size) const { return size == 0 ? 0 : m_bytes.size() / size; }

  private:
    static inline int s_count = 0;
    std::vector<uint8_t> m_bytes;
};

class FrameExactnessTest : public ::testing::TestWithParam<std::string> {
  public:
    static void SetUpTestSuite() { s_dir = new TempDir(); }
    static void TearDownTestSuite() {
        delete s_dir;
        s_dir = nullptr;
    }

    // Each test process makes only the clip it needs (ctest runs every test on its own).
    static std::string MakeClip(const std::string& name) {
        const auto corpus = testing_support::CorpusDir();
        if (name == "cram8-palette") {
            return (corpus / "cram8-160x120-30fps-video-only.avi").string();
        }
        if (name == "xvid-packed") {
            return (corpus / "xvid-544x352-29p97fps-packed-bframes.avi").string();
        }
        const std::map<std::string, std::string> encoders = {
            {"mjpeg", "-c:v mjpeg -q:v 4"},
            {"mpeg4-bframes", "-c:v mpeg4 -bf 2 -g 12 -q:v 4"},
            {"h264-long-gop", "-c:v libx264 -g 40 -bf 3 -pix_fmt yuv420p"},
            {"cinepak", "-c:v cinepak"},
            {"msvideo1", "-c:v msvideo1"},
            {"huffyuv", "-c:v huffyuv"},
            {"dv", "-c:v dvvideo -pix_fmt yuv420p"},
        };
        const std::string size = name == "dv" ? "720x576" : "160x120";
        const std::string seconds = name == "dv" ? "0.4" : "2";
        const std::string path = s_dir->file(name + ".avi");
        const bool made =
            Ffmpeg("-f lavfi -i testsrc2=size=" + size + ":rate=25:duration=" + seconds + " " +
                   encoders.at(name) + " " + path);
        return made ? path : std::string();
    }

  protected:
    static inline TempDir* s_dir = nullptr;
};

TEST_P(FrameExactnessTest, EveryFrameMatchesFfmpegInAnyOrder) {
    if (GetParam() == "cram8-palette" || GetParam() == "xvid-packed") {
        TRELVANE_SKIP_WITHOUT_CORPUS();
    }
    const std::string path = MakeClip(GetParam());
    ASSERT_FALSE(path.empty()) << "clip could not be made";
    std::unique_ptr<avi::Reader> reader;
    ASSERT_EQ(0, avi::Reader::Open(path, avi::Limits(), &reader));
    const int stream = reader->findStream(kStreamTypeVideo, 0);
    auto decoder = mci::FrameDecoder::Create(*reader, stream);
    ASSERT_TRUE(decoder->codecKnown()) << decoder->codecText();
    const int64_t count = decoder->frameCount();
    ASSERT_GT(count, 1);

    std::vector<uint8_t> first;
    std::string format;
    ASSERT_TRUE(decoder->decodeTo(0, nullptr));
    ASSERT_TRUE(mci::PackPicture(decoder->picture(), &first, &format));
    Reference reference;
    ASSERT_TRUE(reference.load(path, format, *s_dir));
    ASSERT_EQ(static_cast<size_t>(count), reference.frames(first.size()));

    // In order first (the playback path), then shuffled (the seek path, backwards included).
    std::vector<int64_t> order;
    for (int64_t n = 0; n < count; ++n) {
        order.push_back(n);
    }
    std::vector<int64_t> shuffled = order;
    std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(7));
    order.insert(order.end(), shuffled.begin(), shuffled.end());
    int mismatches = 0;
    for (int64_t n : order) {
        ASSERT_TRUE(decoder->decodeTo(n, nullptr));
        ASSERT_EQ(n, decoder->currentFrame());
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(mci::PackPicture(decoder->picture(), &bytes, &format)) << "frame " << n;
        if (bytes != reference.frame(static_cast<size_t>(n), first.size()) && ++mismatches < 5) {
            ADD_FAILURE() << GetParam() << ": frame " << n << " differs from ffmpeg's";
        }
    }
    EXPECT_EQ(0, mismatches);
}

INSTANTIATE_TEST_SUITE_P(Codecs, FrameExactnessTest,
                         ::testing::Values("mjpeg", "mpeg4-bframes", "h264-long-gop", "cinepak",
                                           "msvideo1", "huffyuv", "dv", "cram8-palette",
                                           "xvid-packed"),
                         [](const auto& info) {
                             std::string name = info.param;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

}  // namespace

namespace {

// Frames whose chunk is empty show the picture before them; a frame that cannot be decoded has
// no picture, and the frames after it decode as usual.
TEST(FrameDecoderTest, EmptyFramesRepeatAndUnreadableFramesAreNeutral) {
    TempDir dir;
    const std::string path = dir.file("mjpeg.avi");
    ASSERT_TRUE(Ffmpeg("-f lavfi -i testsrc2=size=64x48:rate=10:duration=1 -c:v mjpeg " + path));
    // Break the picture data of frame 3: the decoder refuses that frame.
    std::vector<unsigned char> bytes = testing_support::ReadFileBytes(path);
    const std::string movi = "movi";
    auto at = std::search(bytes.begin(), bytes.end(), movi.begin(), movi.end());
    const std::string chunk = "00dc";
    for (int frame = 0; frame <= 3 && at != bytes.end(); ++frame) {
        at = std::search(at + 1, bytes.end(), chunk.begin(), chunk.end());
    }
    ASSERT_NE(bytes.end(), at);
    const size_t size = at[4] | (at[5] << 8);
    std::fill(at + 8, at + 8 + static_cast<long>(size), 0);  // no longer a JPEG picture
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
    std::unique_ptr<avi::Reader> reader;
    ASSERT_EQ(0, avi::Reader::Open(path, avi::Limits(), &reader));
    auto decoder = mci::FrameDecoder::Create(*reader, reader->findStream(kStreamTypeVideo, 0));
    ASSERT_TRUE(decoder->decodeTo(3, nullptr));
    EXPECT_EQ(nullptr, decoder->picture());
    ASSERT_TRUE(decoder->decodeTo(4, nullptr));
    EXPECT_NE(nullptr, decoder->picture());
    ASSERT_TRUE(decoder->decodeTo(2, nullptr));
    EXPECT_NE(nullptr, decoder->picture());

    // A real clip in which every other chunk is empty.
    TRELVANE_SKIP_WITHOUT_CORPUS();
    const auto corpus =
        testing_support::CorpusDir() / "h264-320x240-60fps-empty-chunks-aac-mono-44k.avi";
    ASSERT_EQ(0, avi::Reader::Open(corpus.string(), avi::Limits(), &reader));
    decoder = mci::FrameDecoder::Create(*reader, reader->findStream(kStreamTypeVideo, 0));
    for (int64_t n : {101, 100, 7, 6}) {
        std::vector<uint8_t> before;
        std::vector<uint8_t> after;
        std::string format;
        int64_t size = 0;
        int64_t samples = 0;
        ASSERT_EQ(0, reader->read(0, n, 1, nullptr, 0, &size, &samples));
        ASSERT_TRUE(decoder->decodeTo(n - 1, nullptr));
        ASSERT_TRUE(mci::PackPicture(decoder->picture(), &before, &format));
        ASSERT_TRUE(decoder->decodeTo(n, nullptr));
        ASSERT_TRUE(mci::PackPicture(decoder->picture(), &after, &format));
        EXPECT_EQ(size == 0, before == after) << "frame " << n << " of " << size << " bytes";
    }
}

// A header claiming an enormous picture gets no decoder rather than a giant allocation; the
// frames can still be stepped through.
TEST(FrameDecoderTest, RefusesPictureSizesBeyondReason) {
    TempDir dir;
    const std::string path = dir.file("huge.avi");
    ASSERT_TRUE(Ffmpeg("-f lavfi -i testsrc2=size=64x48:rate=10:duration=0.5 -c:v mjpeg " + path));
    std::vector<unsigned char> bytes = testing_support::ReadFileBytes(path);
    const std::string strf = "strf";
    auto at = std::search(bytes.begin(), bytes.end(), strf.begin(), strf.end());
    ASSERT_NE(bytes.end(), at);
    at[13] = 0x40;  // biWidth 64 -> 0x400040
    at[17] = 0x40;  // biHeight 48 -> 0x400030
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
    std::unique_ptr<avi::Reader> reader;
    ASSERT_EQ(0, avi::Reader::Open(path, avi::Limits(), &reader));
    auto decoder = mci::FrameDecoder::Create(*reader, reader->findStream(kStreamTypeVideo, 0));
    EXPECT_FALSE(decoder->codecKnown());
    EXPECT_NE(std::string::npos, decoder->codecText().find("too large")) << decoder->codecText();
    EXPECT_TRUE(decoder->decodeTo(3, nullptr));
    EXPECT_EQ(3, decoder->currentFrame());
    EXPECT_EQ(nullptr, decoder->picture());
}

}  // namespace
