// SPDX-License-Identifier: GPL-3.0-or-later
#include "join/splice_check.h"

#include "join/transfer_buffer.h"
#include "platform/avi/frame_probe.h"

namespace join {

namespace {

constexpr int32_t kMaxLeadingPictures = 1000;  // far beyond any real group's B pictures

avi::PictureType Probe(uint32_t compression, const uint8_t* frame, int32_t size) {
    return size > 0 ? avi::ProbePicture(compression, frame, static_cast<size_t>(size))
                    : avi::PictureType::kUnknown;
}

}  // namespace

uint32_t ClipCompression(const ClipInfo& clip) {
    return avi::IsProbedCodec(clip.videoFormat.biCompression) ? clip.videoFormat.biCompression
                                                              : clip.videoInfo.fccHandler;
}

bool OpensOpenGroup(uint32_t compression, const uint8_t* frame, int32_t size) {
    return Probe(compression, frame, size) == avi::PictureType::kIntra;
}

bool IsBidirectional(uint32_t compression, const uint8_t* frame, int32_t size) {
    return Probe(compression, frame, size) == avi::PictureType::kBidirectional;
}

int32_t CountLeadingPictures(int16_t videoStream, uint32_t compression, int64_t pos) {
    if (!avi::IsProbedCodec(compression)) {
        return 0;
    }
    TransferBuffer buffer;
    int32_t bytes = 0;
    int32_t samples = 0;
    if (buffer.read(videoStream, pos, 1, &bytes, &samples) != 0 ||
        !OpensOpenGroup(compression, buffer.data(), bytes)) {
        return 0;
    }
    int32_t count = 0;
    while (count < kMaxLeadingPictures &&
           buffer.read(videoStream, pos + 1 + count, 1, &bytes, &samples) == 0 &&
           IsBidirectional(compression, buffer.data(), bytes)) {
        ++count;
    }
    return count;
}

}  // namespace join
