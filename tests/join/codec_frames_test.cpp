// SPDX-License-Identifier: GPL-3.0-or-later
#include "join/codec_frames.h"

#include <gtest/gtest.h>

namespace {

using join::CodecFrame;
using join::FrameSyntax;

CodecFrame Parse(FrameSyntax syntax, std::vector<uint8_t> header, bool* ok = nullptr) {
    header.resize(8, 0);
    CodecFrame frame;
    const bool parsed = join::ParseCodecFrame(syntax, header.data(), header.size(), &frame);
    if (ok != nullptr) {
        *ok = parsed;
    } else {
        EXPECT_TRUE(parsed);
    }
    return frame;
}

// Sizes and lengths across the tables: what the streams of the splice tests do not reach.
TEST(CodecFrames, MpegAudioHeadersGiveSizeAndLength) {
    struct Case {
        std::vector<uint8_t> header;
        int32_t size, samples;
        uint32_t rate;
        uint16_t channels;
    };
    const Case cases[] = {
        {{0xFF, 0xFB, 0x90, 0x00}, 417, 1152, 44100, 2},  // MPEG-1 layer III 128k
        {{0xFF, 0xFB, 0x92, 0x00}, 418, 1152, 44100, 2},  // the same, padded
        {{0xFF, 0xF3, 0x80, 0xC0}, 208, 576, 22050, 1},   // MPEG-2 layer III 64k mono
        {{0xFF, 0xE3, 0x18, 0xC0}, 72, 576, 8000, 1},     // MPEG-2.5 layer III 8k
        {{0xFF, 0xFD, 0xA4, 0x00}, 576, 1152, 48000, 2},  // MPEG-1 layer II 192k
        {{0xFF, 0xFF, 0x40, 0x00}, 136, 384, 44100, 2},   // MPEG-1 layer I 128k
    };
    for (const Case& c : cases) {
        const CodecFrame frame = Parse(FrameSyntax::kMpegAudio, c.header);
        EXPECT_EQ(frame.size, c.size);
        EXPECT_EQ(frame.samples, c.samples);
        EXPECT_EQ(frame.sampleRate, c.rate);
        EXPECT_EQ(frame.channels, c.channels);
    }
    // Free format states no size; layer 0 and rate index 3 are reserved.
    for (const std::vector<uint8_t>& bad : {std::vector<uint8_t>{0xFF, 0xFB, 0x00, 0x00},
                                            {0xFF, 0xF9, 0x90, 0x00},
                                            {0xFF, 0xFB, 0x9C, 0x00}}) {
        bool ok = true;
        Parse(FrameSyntax::kMpegAudio, bad, &ok);
        EXPECT_FALSE(ok);
    }
}

TEST(CodecFrames, Ac3HeadersGiveSizeChannelsAndRefuseEac3) {
    // 48 kHz, 192 kbit/s, bsid 8, acmod 2 with LFE.
    CodecFrame frame = Parse(FrameSyntax::kAc3, {0x0B, 0x77, 0, 0, 0x14, 0x40, 0x44});
    EXPECT_EQ(frame.size, 768);
    EXPECT_EQ(frame.samples, 1536);
    EXPECT_EQ(frame.channels, 3);
    EXPECT_TRUE(frame.lfe);
    // 44.1 kHz frames of one rate come in two sizes, told by the code's low bit.
    EXPECT_EQ(Parse(FrameSyntax::kAc3, {0x0B, 0x77, 0, 0, 0x54, 0x40, 0x40}).size, 834);
    EXPECT_EQ(Parse(FrameSyntax::kAc3, {0x0B, 0x77, 0, 0, 0x55, 0x40, 0x40}).size, 836);
    bool ok = true;
    Parse(FrameSyntax::kAc3, {0x0B, 0x77, 0, 0, 0x14, 0x80, 0x40}, &ok);  // bsid 16: E-AC-3
    EXPECT_FALSE(ok);
}

TEST(CodecFrames, AdtsFramesAreMadeLikeTheirModel) {
    const std::vector<uint8_t> model = {0xFF, 0xF1, 0x4C, 0x80, 0x2E, 0x7F, 0xFC, 0};  // LC 48k
    const std::vector<uint8_t> raw(9000, 0x21);
    const std::vector<uint8_t> made = join::AdtsFrame(model.data(), 8, raw.data(), 300);
    ASSERT_EQ(made.size(), 307u);
    const CodecFrame frame = Parse(FrameSyntax::kAdts, made);
    EXPECT_EQ(frame.size, 307);
    EXPECT_EQ(frame.samples, 1024);
    EXPECT_EQ(frame.sampleRate, 48000u);
    EXPECT_EQ(frame.channels, 2);
    EXPECT_EQ(frame.streamKey, Parse(FrameSyntax::kAdts, model).streamKey);
    EXPECT_EQ(join::AdtsCodecConfig(made.data(), made.size()), (std::vector<uint8_t>{0x11, 0x90}));
    EXPECT_TRUE(join::AdtsFrame(model.data(), 8, raw.data(), raw.size()).empty());  // > 13 bits
}

}  // namespace
