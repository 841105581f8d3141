// SPDX-License-Identifier: GPL-3.0-or-later
// Frame N decoded by the movie device is the picture ffmpeg decodes as frame N, whatever order
// the frames are asked for in, for the codecs people keep in AVI files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "platform/avi/avi_reader.h"
#include "platform/avi/avi_writer.h"
#include "platform/mci/frame_decoder.h"
#include "platform/mci/picture_convert.h"
#include "support/ffmpeg_judge.h"
#include "support/test_support.h"

namespace {

using testing_support::Ffmpeg;
using testing_support::TempDir;

struct Clip {
    std::string name;
    std::string path;
};

// ffmpeg's own in-order decode, in one pixel format: every picture it shows and the frame it is
// shown at (its timestamp less the decoder's delay, so that frames whose chunk gives no picture
// show the one before). Before the first picture ffmpeg shows nothing.
class Reference {
  public:
    // chunks: which chunks hold data; a picture comes from one of them, its time is no earlier.
    bool load(const std::string& clip, const std::string& pixelFormat,
              const std::vector<int64_t>& chunks) {
        m_bytes = testing_support::FfmpegRawFrames(clip, pixelFormat);
        if (m_bytes.empty()) {
            return false;
        }
        const auto probe = testing_support::FfprobeOutput(
            "-select_streams v:0 -show_entries frame=best_effort_timestamp -of csv=p=0 " +
            testing_support::ShellQuote(clip));
        std::istringstream lines(probe.output);
        for (std::string line; std::getline(lines, line);) {
            // Side data comes on lines of its own; the drained last pictures may lack a time.
            if (!line.empty() && std::isdigit(static_cast<unsigned char>(line[0]))) {
                m_frames.push_back(std::stoll(line));
            } else if (line.rfind("N/A", 0) == 0) {
                m_frames.push_back(m_frames.empty() ? 0 : m_frames.back() + 1);
            }
        }
        if (m_frames.empty() || chunks.size() < m_frames.size()) {
            return false;
        }
        int64_t delay = INT64_MAX;
        for (size_t i = 0; i < m_frames.size(); ++i) {
            delay = std::min(delay, m_frames[i] - chunks[i]);
        }
        for (int64_t& frame : m_frames) {
            frame -= delay;
        }
        return true;
    }
    // The picture shown at frame n; empty when there is none yet.
    std::vector<uint8_t> frame(int64_t n, size_t size) const {
        const auto after = std::upper_bound(m_frames.begin(), m_frames.end(), n);
        const size_t index = static_cast<size_t>(after - m_frames.begin());
        if (index == 0 || index * size > m_bytes.size()) {
            return {};
        }
        return std::vector<uint8_t>(m_bytes.begin() + (index - 1) * size,
                                    m_bytes.begin() + index * size);
    }
    int64_t firstFrame() const { return m_frames.front(); }
    size_t pictures(size_t size) const { return size == 0 ? 0 : m_bytes.size() / size; }
    size_t timestamps() const { return m_frames.size(); }

  private:
    std::vector<uint8_t> m_bytes;
    std::vector<int64_t> m_frames;
};

// An MPEG-4 clip without B pictures in which every fifth frame is a VOP that is not coded (as
// encoders write for a frame that repeats the one before): the video of plain, with the first
// 6-byte chunk of packed (such a VOP) put in after every fourth frame.
bool InsertNotCodedVops(const std::string& plain, const std::string& packed,
                        const std::string& out) {
    std::unique_ptr<avi::Reader> source;
    std::unique_ptr<avi::Reader> donor;
    if (avi::Reader::Open(plain, avi::Limits(), &source) != 0 ||
        avi::Reader::Open(packed, avi::Limits(), &donor) != 0) {
        return false;
    }
    auto chunk = [](const avi::Reader& reader, int64_t n) {
        int64_t size = 0;
        int64_t samples = 0;
        std::vector<uint8_t> bytes;
        if (reader.read(0, n, 1, nullptr, 0, &size, &samples) == 0) {
            bytes.resize(static_cast<size_t>(size));
            (void)reader.read(0, n, 1, bytes.data(), size, &size, &samples);
        }
        return bytes;
    };
    std::vector<uint8_t> notCoded;
    for (int64_t n = 0; n < donor->streamInfo(0).dwLength && notCoded.size() != 6; ++n) {
        notCoded = chunk(*donor, n);
    }
    std::unique_ptr<avi::Writer> writer;
    int stream = -1;
    const std::vector<uint8_t>& format = source->stream(0).format;
    if (notCoded.size() != 6 || avi::Writer::Create(out, avi::WriterOptions{}, &writer) != 0 ||
        writer->addStream(source->streamInfo(0), &stream) != 0 ||
        writer->setFormat(stream, format.data(), static_cast<int32_t>(format.size())) != 0) {
        return false;
    }
    int64_t next = 0;
    int32_t samples = 0;
    int32_t bytes = 0;
    for (int64_t n = 0; n < source->streamInfo(0).dwLength; ++n) {
        const std::vector<uint8_t> data = chunk(*source, n);
        const bool key = source->findSample(0, n, kFindPrev | kFindKey) == n;
        if (writer->write(stream, next++, 1, data.data(), static_cast<int32_t>(data.size()),
                          key ? kAviIfKeyFrame : 0, &samples, &bytes) != 0) {
            return false;
        }
        if (n % 4 == 3 &&
            writer->write(stream, next++, 1, notCoded.data(), 6, 0, &samples, &bytes) != 0) {
            return false;
        }
    }
    return writer->finish() == 0;
}

class FrameExactnessTest : public ::testing::TestWithParam<std::string> {
  public:
    static void SetUpTestSuite() { s_dir = new TempDir(); }
    static void TearDownTestSuite() {
        delete s_dir;
        s_dir = nullptr;
    }

    // The clips taken from the real-world samples rather than made here.
    static bool ReadsTheCorpus(const std::string& name) {
        return name == "cram8-palette" || name == "xvid-packed" ||
               name == "tscc-no-change-chunks" || name == "h264-leading-empty-chunks";
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
        if (name == "tscc-no-change-chunks") {
            return (corpus / "tscc-548x400-15fps-ulaw-mono-11k.avi").string();
        }
        if (name == "h264-leading-empty-chunks") {
            return (corpus / "h264-smv2-320x240-23p97fps-mp3-stereo-44k.avi").string();
        }
        if (name == "mpeg4-not-coded") {
            const std::string plain = s_dir->file("xvid-plain.avi");
            const std::string packed = s_dir->file("xvid-packed.avi");
            const std::string out = s_dir->file("mpeg4-not-coded.avi");
            const std::string source = "-f lavfi -i testsrc2=size=160x120:rate=25:duration=2 ";
            const bool made = Ffmpeg(source + "-c:v libxvid -g 12 " + plain) &&
                              Ffmpeg(source + "-c:v libxvid -bf 2 " + packed) &&
                              InsertNotCodedVops(plain, packed, out);
            return made ? out : std::string();
        }
        const std::map<std::string, std::string> encoders = {
            {"mjpeg", "-c:v mjpeg -q:v 4"},
            {"mpeg4-bframes", "-c:v mpeg4 -bf 2 -g 12 -q:v 4"},
            {"h264-long-gop", "-c:v libx264 -g 40 -bf 3 -pix_fmt yuv420p"},
            {"cinepak", "-c:v cinepak"},
            {"msvideo1", "-c:v msvideo1"},
            {"huffyuv", "-c:v huffyuv"},
            {"dv", "-c:v dvvideo -pix_fmt yuv420p"},
            {"h264-open-gop",
             "-c:v libx264 -bf 2 -x264-params open-gop=1:keyint=20:min-keyint=20:scenecut=0 "
             "-pix_fmt yuv420p"},
            {"xvid-packed-gops", "-c:v libxvid -bf 2 -g 50"},
            {"mjpeg-468-wide", "-c:v mjpeg -q:v 4"},
        };
        const std::string size =
            name == "dv" ? "720x576" : (name == "mjpeg-468-wide" ? "468x120" : "160x120");
        const std::string seconds = name == "dv" ? "0.4" : (name == "xvid-packed-gops" ? "6" : "2");
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
    if (ReadsTheCorpus(GetParam())) {
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

    // The first frame with a picture fixes the format.
    std::vector<int64_t> chunks;
    for (int64_t n = 0; n < count; ++n) {
        int64_t size = 0;
        int64_t samples = 0;
        if (reader->read(stream, n, 1, nullptr, 0, &size, &samples) == 0 && size > 0) {
            chunks.push_back(n);
        }
    }
    ASSERT_FALSE(chunks.empty());
    ASSERT_TRUE(decoder->decodeTo(chunks.front(), nullptr));
    std::vector<uint8_t> first;
    std::string format;
    ASSERT_TRUE(mci::PackPicture(decoder->picture(), &first, &format));
    Reference reference;
    ASSERT_TRUE(reference.load(path, format, chunks));
    ASSERT_EQ(reference.timestamps(), reference.pictures(first.size()));

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
        if (decoder->picture() != nullptr) {
            ASSERT_TRUE(mci::PackPicture(decoder->picture(), &bytes, &format)) << "frame " << n;
        }
        std::vector<uint8_t> expected = reference.frame(n, first.size());
        if (n < reference.firstFrame() && bytes == first) {
            expected = first;  // a key chunk whose picture the decoder holds back a little
        }
        if (bytes != expected && ++mismatches < 5) {
            ADD_FAILURE() << GetParam() << ": frame " << n << " differs from ffmpeg's"
                          << (bytes.empty() ? " (no picture)" : "");
        }
    }
    EXPECT_EQ(0, mismatches);
}

INSTANTIATE_TEST_SUITE_P(Codecs, FrameExactnessTest,
                         ::testing::Values("mjpeg", "mpeg4-bframes", "h264-long-gop", "cinepak",
                                           "msvideo1", "huffyuv", "dv", "cram8-palette",
                                           "xvid-packed", "h264-open-gop", "xvid-packed-gops",
                                           "mjpeg-468-wide", "tscc-no-change-chunks",
                                           "h264-leading-empty-chunks", "mpeg4-not-coded"),
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

namespace {

// The picture converted for painting covers the whole width, also where the width is not a
// multiple of the scaler's block size: it matches ffmpeg's own conversion to the same format.
TEST(PictureScalerTest, ConvertedPictureMatchesFfmpegAtAnyWidth) {
    TempDir dir;
    for (int width : {468, 470, 100}) {
        const std::string size = std::to_string(width) + "x64";
        const std::string path = dir.file("w" + std::to_string(width) + ".avi");
        const std::string raw = dir.file("w" + std::to_string(width) + ".bgra");
        ASSERT_TRUE(Ffmpeg("-f lavfi -i testsrc2=size=" + size +
                           ":rate=10:duration=0.3 -c:v mjpeg " + path));
        ASSERT_TRUE(Ffmpeg("-i " + path + " -frames:v 1 -f rawvideo -pix_fmt bgra " + raw));
        const std::vector<unsigned char> expected = testing_support::ReadFileBytes(raw);
        std::unique_ptr<avi::Reader> reader;
        ASSERT_EQ(0, avi::Reader::Open(path, avi::Limits(), &reader));
        auto decoder = mci::FrameDecoder::Create(*reader, reader->findStream(kStreamTypeVideo, 0));
        ASSERT_TRUE(decoder->decodeTo(0, nullptr));
        mci::PictureScaler scaler;
        mci::BgraPicture picture;
        ASSERT_TRUE(scaler.toBgra(decoder->picture(), 0, 0, &picture));
        ASSERT_EQ(static_cast<size_t>(width) * 64 * 4, expected.size());
        int worst = 0;
        int worstColumn = -1;
        for (int y = 0; y < 64; ++y) {
            for (int x = 0; x < width; ++x) {
                for (int c = 0; c < 3; ++c) {
                    const int ours =
                        picture.pixels[static_cast<size_t>(y * picture.stride + x * 4 + c)];
                    const int theirs = expected[static_cast<size_t>((y * width + x) * 4 + c)];
                    if (std::abs(ours - theirs) > worst) {
                        worst = std::abs(ours - theirs);
                        worstColumn = x;
                    }
                }
            }
        }
        // Rounding and chroma interpolation differ a little; a black column differs by far more.
        EXPECT_LE(worst, 24) << width << " wide, column " << worstColumn;
    }
}

}  // namespace

namespace {

// Stepping back through a long group of pictures decodes the group once; the frames before are
// then shown from the pictures kept, and they are still the right ones. The end of the clip is
// reached without decoding the group again.
TEST(FrameDecoderTest, SteppingBackAndReachingTheEndDecodeTheGroupOnce) {
    TempDir dir;
    const std::string path = dir.file("long-gop.avi");
    ASSERT_TRUE(
        Ffmpeg("-f lavfi -i testsrc2=size=320x240:rate=25:duration=4 -c:v libx264 -g 250 "
               "-bf 3 -pix_fmt yuv420p " +
               path));
    std::unique_ptr<avi::Reader> reader;
    ASSERT_EQ(0, avi::Reader::Open(path, avi::Limits(), &reader));
    auto decoder = mci::FrameDecoder::Create(*reader, reader->findStream(kStreamTypeVideo, 0));
    std::map<int64_t, std::vector<uint8_t>> expected;  // decoded in order
    std::string format;
    for (int64_t n = 70; n <= 88; ++n) {
        ASSERT_TRUE(decoder->decodeTo(n, nullptr));
        ASSERT_TRUE(mci::PackPicture(decoder->picture(), &expected[n], &format));
    }
    auto stepper = mci::FrameDecoder::Create(*reader, reader->findStream(kStreamTypeVideo, 0));
    ASSERT_TRUE(stepper->decodeTo(90, nullptr));
    ASSERT_TRUE(stepper->decodeTo(89, nullptr));  // the first step back decodes from the key
    const int64_t decoded = stepper->picturesDecoded();
    for (int64_t n = 88; n >= 70; --n) {
        ASSERT_TRUE(stepper->decodeTo(n, nullptr));
        std::vector<uint8_t> kept;
        ASSERT_TRUE(mci::PackPicture(stepper->picture(), &kept, &format));
        EXPECT_EQ(expected[n], kept) << "frame " << n;
    }
    EXPECT_EQ(decoded, stepper->picturesDecoded());

    // The last frames come out of the decoder as it drains, one after another, without decoding
    // the group again for each of them.
    const int64_t last = stepper->frameCount() - 1;
    ASSERT_TRUE(stepper->decodeTo(last - 4, nullptr));
    const int64_t beforeEnd = stepper->picturesDecoded();
    for (int64_t n = last - 3; n <= last; ++n) {
        ASSERT_TRUE(stepper->decodeTo(n, nullptr));
        ASSERT_NE(nullptr, stepper->picture()) << "frame " << n;
    }
    EXPECT_LE(stepper->picturesDecoded() - beforeEnd, 8);
}

}  // namespace
