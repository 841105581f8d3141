#include "job/test_clips.h"

#include <gtest/gtest.h>

#include "media/vbvfw.h"
#include "support/test_support.h"

namespace job_testing {

namespace {

uint32_t FourCC(const std::string& text) {
    uint32_t code = 0;
    for (size_t i = 0; i < 4 && i < text.size(); ++i) {
        code |= static_cast<uint32_t>(static_cast<unsigned char>(text[i])) << (8 * i);
    }
    return code;
}

void Put16(std::vector<unsigned char>& bytes, size_t at, uint16_t value) {
    bytes[at] = static_cast<unsigned char>(value);
    bytes[at + 1] = static_cast<unsigned char>(value >> 8);
}

void Put32(std::vector<unsigned char>& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes[at + static_cast<size_t>(i)] = static_cast<unsigned char>(value >> (8 * i));
    }
}

std::vector<unsigned char> VideoFormat(const ClipShape& shape) {
    std::vector<unsigned char> bytes(40, 0);
    Put32(bytes, 0, 40);
    Put32(bytes, 4, static_cast<uint32_t>(shape.width));
    Put32(bytes, 8, static_cast<uint32_t>(shape.height));
    Put16(bytes, 12, 1);
    Put16(bytes, 14, 24);
    Put32(bytes, 16, FourCC(shape.codec));
    Put32(bytes, 20, static_cast<uint32_t>(shape.width * shape.height * 3));
    return bytes;
}

uint16_t BlockAlign(const ClipShape& shape) {
    if (shape.blockAlign != 0) {
        return shape.blockAlign;
    }
    return static_cast<uint16_t>(shape.channels * ((shape.bitsPerSample + 7) / 8));
}

std::vector<unsigned char> AudioFormat(const ClipShape& shape) {
    std::vector<unsigned char> bytes(18, 0);
    const uint16_t align = BlockAlign(shape);
    Put16(bytes, 0, shape.formatTag);
    Put16(bytes, 2, shape.channels);
    Put32(bytes, 4, shape.samplesPerSec);
    Put32(bytes, 8, shape.avgBytesPerSec != 0 ? shape.avgBytesPerSec : shape.samplesPerSec * align);
    Put16(bytes, 12, align);
    Put16(bytes, 14, shape.bitsPerSample);
    return bytes;
}

bool Check(int32_t status, const std::string& what, const std::string& path) {
    if (status != 0) {
        ADD_FAILURE() << what << " failed with " << status << " for " << path;
        return false;
    }
    return true;
}

bool WriteStreams(int16_t file, const ClipShape& shape, const std::string& path) {
    int16_t video = -1;
    int16_t audio = -1;
    if (shape.video) {
        AVISTREAMINFO info{};
        info.fccType = kStreamTypeVideo;
        info.fccHandler = FourCC(shape.codec);
        info.dwScale = shape.scale;
        info.dwRate = shape.rate;
        info.rcFrameRight = shape.width;
        info.rcFrameBottom = shape.height;
        video = vbvfw_AVIFileCreateStream(file, &info, 0);
        const auto format = VideoFormat(shape);
        if (video < 0 ||
            !Check(vbvfw_AVIStreamSetFormat(video, 0, format.data(), 40), "video format", path)) {
            return false;
        }
    }
    const uint16_t align = BlockAlign(shape);
    const int32_t samplesPerFrame = static_cast<int32_t>(shape.samplesPerSec * shape.scale /
                                                         (shape.rate == 0 ? 1 : shape.rate));
    if (shape.audio) {
        AVISTREAMINFO info{};
        info.fccType = kStreamTypeAudio;
        info.dwScale = 1;
        info.dwRate = shape.samplesPerSec;
        info.dwSampleSize = align;
        audio = vbvfw_AVIFileCreateStream(file, &info, 0);
        const auto format = AudioFormat(shape);
        if (audio < 0 ||
            !Check(vbvfw_AVIStreamSetFormat(audio, 0, format.data(), 18), "audio format", path)) {
            return false;
        }
    }
    std::vector<unsigned char> frame(static_cast<size_t>(shape.frameBytes), 0x5a);
    std::vector<unsigned char> sound(static_cast<size_t>(samplesPerFrame) * align, 0);
    int32_t samples = 0;
    int32_t bytes = 0;
    for (int i = 0; i < shape.frames; ++i) {
        if (video >= 0 && !Check(vbvfw_AVIStreamWrite(video, i, 1, frame.data(), shape.frameBytes,
                                                      kAviIfKeyFrame, &samples, &bytes),
                                 "video write", path)) {
            return false;
        }
        if (audio >= 0 && samplesPerFrame > 0 &&
            !Check(vbvfw_AVIStreamWrite(audio, int64_t{i} * samplesPerFrame, samplesPerFrame,
                                        sound.data(), static_cast<int32_t>(sound.size()), 0,
                                        &samples, &bytes),
                   "audio write", path)) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool WriteClip(const std::string& path, const ClipShape& shape) {
    const int16_t file = vbvfw_AVIFileOpen(path, kOpenWrite | kOpenCreate);
    if (file < 0) {
        ADD_FAILURE() << "cannot create " << path << ": " << vbvfw_error();
        return false;
    }
    const bool written = WriteStreams(file, shape, path);
    const int32_t closed = vbvfw_AVIFileRelease(file);
    return written && Check(closed, "finishing", path);
}

Boxes::Boxes()
    : dialogs([](const std::string& failure) { ADD_FAILURE() << "dialogs: " << failure; }) {}

}  // namespace job_testing
