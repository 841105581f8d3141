// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/mci/picture_convert.h"

#include <algorithm>

#include "platform/avi/avi_common.h"

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/imgutils.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

namespace mci {
namespace {

// The JPEG variants of the YUV formats are the plain ones at full range; telling the scaler so
// keeps it from warning and gets the colours right.
AVPixelFormat PlainFormat(AVPixelFormat format, bool* fullRange) {
    switch (format) {
        case AV_PIX_FMT_YUVJ420P:
            *fullRange = true;
            return AV_PIX_FMT_YUV420P;
        case AV_PIX_FMT_YUVJ422P:
            *fullRange = true;
            return AV_PIX_FMT_YUV422P;
        case AV_PIX_FMT_YUVJ444P:
            *fullRange = true;
            return AV_PIX_FMT_YUV444P;
        case AV_PIX_FMT_YUVJ440P:
            *fullRange = true;
            return AV_PIX_FMT_YUV440P;
        case AV_PIX_FMT_YUVJ411P:
            *fullRange = true;
            return AV_PIX_FMT_YUV411P;
        default:
            return format;
    }
}

}  // namespace

PictureScaler::~PictureScaler() {
    sws_freeContext(m_context);
}

bool PictureScaler::toBgra(const AVFrame* frame, int width, int height, BgraPicture* out) {
    if (frame == nullptr || frame->width <= 0 || frame->height <= 0 || frame->format < 0) {
        return false;
    }
    if (width <= 0 || height <= 0) {
        width = frame->width;
        height = frame->height;
    }
    // The widget paints the picture stretched to its window: beyond the painted limit (kept with
    // the picture's shape) a larger picture would only be memory.
    const avi::Limits limits;
    const double shrink = std::min({1.0, static_cast<double>(limits.maxPaintedWidth) / width,
                                    static_cast<double>(limits.maxPaintedHeight) / height});
    if (shrink < 1.0) {
        width = std::max(1, static_cast<int>(width * shrink));
        height = std::max(1, static_cast<int>(height * shrink));
    }
    bool fullRange = frame->color_range == AVCOL_RANGE_JPEG;
    const AVPixelFormat format = PlainFormat(static_cast<AVPixelFormat>(frame->format), &fullRange);
    m_context = sws_getCachedContext(m_context, frame->width, frame->height, format, width, height,
                                     AV_PIX_FMT_BGRA, SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (m_context == nullptr) {
        return false;
    }
    const int space = frame->colorspace == AVCOL_SPC_BT709 ? SWS_CS_ITU709 : SWS_CS_DEFAULT;
    sws_setColorspaceDetails(m_context, sws_getCoefficients(space), fullRange ? 1 : 0,
                             sws_getCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16, 1 << 16);
    constexpr int kAlign = 64;
    out->width = width;
    out->height = height;
    out->stride = (width * 4 + kAlign - 1) / kAlign * kAlign;
    out->pixels.assign(static_cast<size_t>(out->stride) * static_cast<size_t>(height) + kAlign, 0);
    uint8_t* planes[4] = {out->pixels.data(), nullptr, nullptr, nullptr};
    const int strides[4] = {out->stride, 0, 0, 0};
    return sws_scale(m_context, frame->data, frame->linesize, 0, frame->height, planes, strides) ==
           height;
}

bool PackPicture(const AVFrame* frame, std::vector<uint8_t>* bytes, std::string* pixelFormat) {
    if (frame == nullptr || frame->width <= 0 || frame->height <= 0 || frame->format < 0) {
        return false;
    }
    auto format = static_cast<AVPixelFormat>(frame->format);
    const AVPixFmtDescriptor* descriptor = av_pix_fmt_desc_get(format);
    if (descriptor == nullptr) {
        return false;
    }
    if ((descriptor->flags & AV_PIX_FMT_FLAG_PAL) != 0) {
        // Expand the palette so that pictures compare by their colours.
        SwsContext* context =
            sws_getContext(frame->width, frame->height, format, frame->width, frame->height,
                           AV_PIX_FMT_RGB24, SWS_POINT, nullptr, nullptr, nullptr);
        if (context == nullptr) {
            return false;
        }
        bytes->assign(static_cast<size_t>(frame->width) * frame->height * 3, 0);
        uint8_t* planes[4] = {bytes->data(), nullptr, nullptr, nullptr};
        const int strides[4] = {frame->width * 3, 0, 0, 0};
        sws_scale(context, frame->data, frame->linesize, 0, frame->height, planes, strides);
        sws_freeContext(context);
        *pixelFormat = "rgb24";
        return true;
    }
    const int size = av_image_get_buffer_size(format, frame->width, frame->height, 1);
    if (size <= 0) {
        return false;
    }
    bytes->assign(static_cast<size_t>(size), 0);
    if (av_image_copy_to_buffer(bytes->data(), size, frame->data, frame->linesize, format,
                                frame->width, frame->height, 1) < 0) {
        return false;
    }
    *pixelFormat = descriptor->name;
    return true;
}

}  // namespace mci
