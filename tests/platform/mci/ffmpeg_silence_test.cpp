// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/mci/ffmpeg_silence.h"

#include <gtest/gtest.h>

#include "join/codec_frames.h"

namespace {

using platform::SilenceCodec;
using platform::SilenceFormat;

// Each codec gives packets that decode as the stream's own (the encoder checks that) and, where
// the codec has headers, say the stream's rate, channels and length, at the stream's size.
TEST(FfmpegSilence, MakesFramesOfTheStreamsFormat) {
    struct Case {
        SilenceFormat format;
        join::FrameSyntax syntax;
        int32_t smallest;  // frame sizes: padding adds a byte to some MP3 frames
        int32_t largest;
    };
    SilenceFormat surround{SilenceCodec::kAc3, 48000, 6, 384000, 1536, 7, true, {}};
    const Case cases[] = {
        {{SilenceCodec::kMp2, 48000, 2, 192000, 1152, 0, false, {}},
         join::FrameSyntax::kMpegAudio,
         576,
         576},
        {{SilenceCodec::kMp3, 22050, 1, 64000, 576, 0, false, {}},
         join::FrameSyntax::kMpegAudio,
         208,
         209},
        {surround, join::FrameSyntax::kAc3, 1536, 1536},
        {{SilenceCodec::kAac, 48000, 2, 128000, 1024, 0, false, {0x11, 0x90}},
         join::FrameSyntax::kNone,
         1,
         8191},
    };
    const mci::FfmpegSilenceEncoder encoder;
    for (const Case& c : cases) {
        const auto packets = encoder.open(c.format);
        ASSERT_NE(packets, nullptr) << static_cast<int>(c.format.codec);
        for (int i = 0; i < 4; ++i) {
            std::vector<uint8_t> packet;
            ASSERT_TRUE(packets->next(&packet));
            EXPECT_GE(static_cast<int32_t>(packet.size()), c.smallest);
            EXPECT_LE(static_cast<int32_t>(packet.size()), c.largest);
            join::CodecFrame frame;
            if (c.syntax != join::FrameSyntax::kNone) {
                ASSERT_TRUE(join::ParseCodecFrame(c.syntax, packet.data(), packet.size(), &frame));
                EXPECT_EQ(frame.size, static_cast<int32_t>(packet.size()));
                EXPECT_EQ(frame.sampleRate, c.format.sampleRate);
                EXPECT_EQ(frame.channels, c.format.channels);
                EXPECT_EQ(frame.samples, c.format.samplesPerPacket);
            }
        }
    }
}

// What the stream's decoder would not take as its own is not made at all.
TEST(FfmpegSilence, RefusesWhatWouldNotDecodeAsTheStreams) {
    const mci::FfmpegSilenceEncoder encoder;
    // Two independent mono channels (acmod 0); MP3 at 22.05 kHz holds 576 samples, not 1152;
    // HE-AAC (object type 5) decodes to twice the samples of a plain AAC frame.
    for (const SilenceFormat& format :
         {SilenceFormat{SilenceCodec::kAc3, 48000, 2, 192000, 1536, 0, false, {}},
          SilenceFormat{SilenceCodec::kMp3, 22050, 1, 64000, 1152, 0, false, {}},
          SilenceFormat{SilenceCodec::kAac, 48000, 2, 64000, 1024, 0, false, {0x2B, 0x11, 0x88}}}) {
        const auto packets = encoder.open(format);
        std::vector<uint8_t> packet;
        EXPECT_TRUE(packets == nullptr || !packets->next(&packet))
            << static_cast<int>(format.codec);
    }
}

}  // namespace
