#include "platform/mci/frame_decoder.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/frame.h>
}

namespace mci {
namespace {

constexpr int64_t kMaxPixels = 8192 * 8192;

std::string FourCcText(uint32_t tag) {
    std::string text;
    for (int i = 0; i < 4; ++i) {
        const char c = static_cast<char>((tag >> (8 * i)) & 0xFF);
        text += (c >= 32 && c < 127) ? c : '.';
    }
    return text;
}

// The coding type of the first picture in an MPEG-1/2 or MPEG-4 part 2 packet: 'I', 'P', 'B',
// or 0 when there is none.
char FirstPictureType(const uint8_t* data, size_t size, AVCodecID codec) {
    const bool mpeg4 = codec == AV_CODEC_ID_MPEG4;
    const uint8_t startCode = mpeg4 ? 0xB6 : 0x00;
    for (size_t i = 0; i + 5 < size; ++i) {
        if (data[i] != 0 || data[i + 1] != 0 || data[i + 2] != 1 || data[i + 3] != startCode) {
            continue;
        }
        static const char kMpeg4Types[] = {'I', 'P', 'B', 'P'};
        static const char kMpegTypes[] = {0, 'I', 'P', 'B', 0, 0, 0, 0};
        return mpeg4 ? kMpeg4Types[data[i + 4] >> 6] : kMpegTypes[(data[i + 5] >> 3) & 7];
    }
    return 0;
}

}  // namespace

void FrameDeleter::operator()(AVFrame* frame) const {
    av_frame_free(&frame);
}

SharedFrame ShareFrame(const AVFrame* frame) {
    if (frame == nullptr) {
        return nullptr;
    }
    AVFrame* copy = av_frame_clone(frame);
    if (copy == nullptr) {
        return nullptr;
    }
    return SharedFrame(copy, [](const AVFrame* f) {
        AVFrame* owned = const_cast<AVFrame*>(f);
        av_frame_free(&owned);
    });
}

FrameDecoder::FrameDecoder(const avi::Reader& reader, int stream)
    : m_reader(reader), m_stream(stream), m_received(av_frame_alloc()) {}

FrameDecoder::~FrameDecoder() {
    avcodec_free_context(&m_context);
    av_packet_free(&m_packet);
}

std::unique_ptr<FrameDecoder> FrameDecoder::Create(const avi::Reader& reader, int stream) {
    std::unique_ptr<FrameDecoder> decoder(new FrameDecoder(reader, stream));
    const AVISTREAMINFO info = reader.streamInfo(stream);
    decoder->m_start = info.dwStart;
    decoder->m_frameCount = info.dwLength;
    decoder->openCodec();
    return decoder;
}

void FrameDecoder::openCodec() {
    const avi::StreamData& data = m_reader.stream(m_stream);
    const int32_t formatSize = static_cast<int32_t>(std::min<size_t>(data.format.size(), 1u << 20));
    const BITMAPINFOHEADER bih = DecodeBitmapInfoHeader(data.format.data(), formatSize);
    const AVCodecTag* const tables[] = {avformat_get_riff_video_tags(), nullptr};
    AVCodecID id = av_codec_get_id(tables, bih.biCompression);
    if (id == AV_CODEC_ID_NONE) {
        id = av_codec_get_id(tables, data.header.fccHandler);
    }
    const AVCodec* codec = id == AV_CODEC_ID_NONE ? nullptr : avcodec_find_decoder(id);
    const std::string tag = FourCcText(bih.biCompression);
    const int64_t height = bih.biHeight < 0 ? -static_cast<int64_t>(bih.biHeight) : bih.biHeight;
    if (bih.biWidth > 0 && height > 0 && static_cast<int64_t>(bih.biWidth) * height > kMaxPixels) {
        m_codecText = "Frame size too large for codec " + tag;
        return;
    }
    if (codec == nullptr || m_received == nullptr || bih.biWidth <= 0 || bih.biHeight == 0) {
        m_codecText = "No decoder for codec " + tag;
        return;
    }
    m_codecText = std::string(codec->name) + " (" + tag + ")";
    if (formatSize > kBitmapInfoHeaderSize) {
        m_extradata.assign(data.format.begin() + kBitmapInfoHeaderSize,
                           data.format.begin() + formatSize);
    }
    if (bih.biBitCount <= 8 && bih.biBitCount > 0 && !m_extradata.empty()) {
        // As other AVI readers do: the palette is the last (1 << bits) entries of the format.
        const size_t bytes = std::min<size_t>(size_t{4} << bih.biBitCount, m_extradata.size());
        const uint8_t* source = m_extradata.data() + m_extradata.size() - bytes;
        for (size_t i = 0; i + 4 <= bytes; i += 4) {
            m_palette.push_back(0xFF000000u | avi::ReadU32(source + i));
        }
    }
    if (id == AV_CODEC_ID_RAWVIDEO && bih.biCompression == 0 && bih.biHeight > 0) {
        static const char kBottomUp[] = "BottomUp";  // stored bottom row first
        m_extradata.insert(m_extradata.end(), kBottomUp, kBottomUp + sizeof(kBottomUp));
    }
    m_codec = codec;
    m_header = bih;
    m_packet = av_packet_alloc();
    m_context = m_packet == nullptr ? nullptr : newContext();
    if (m_context == nullptr) {
        m_codecText = "Codec " + tag + " cannot be opened";
    }
}

AVCodecContext* FrameDecoder::newContext() const {
    AVCodecContext* context = avcodec_alloc_context3(m_codec);
    if (context == nullptr) {
        return nullptr;
    }
    context->codec_tag = m_header.biCompression;
    context->width = m_header.biWidth;
    context->height =
        m_header.biHeight < 0 ? -static_cast<int64_t>(m_header.biHeight) : m_header.biHeight;
    context->bits_per_coded_sample = m_header.biBitCount;
    context->thread_count = 0;
    context->max_pixels = kMaxPixels;  // a hostile header cannot make the decoder allocate more
    if (!m_extradata.empty()) {
        context->extradata =
            static_cast<uint8_t*>(av_mallocz(m_extradata.size() + AV_INPUT_BUFFER_PADDING_SIZE));
        if (context->extradata != nullptr) {
            std::memcpy(context->extradata, m_extradata.data(), m_extradata.size());
            context->extradata_size = static_cast<int>(m_extradata.size());
        }
    }
    if (avcodec_open2(context, m_codec, nullptr) < 0) {
        avcodec_free_context(&context);
    }
    return context;
}

int64_t FrameDecoder::keyFrameAtOrBefore(int64_t frame) const {
    if (frame < 0 || frame >= m_frameCount) {
        return -1;
    }
    const int64_t found = m_reader.findSample(m_stream, m_start + frame, kFindPrev | kFindKey);
    return found < m_start ? -1 : found - m_start;
}

// Open groups of pictures (MPEG-1/2, MPEG-4 part 2): B pictures that follow a key frame in the
// file but are shown before it, so they cannot be decoded from that key frame. The decoder drops
// them after a restart there, and the key frame's picture is shown that many frames later.
int64_t FrameDecoder::leadingPictures(int64_t key) {
    const AVCodecID codec = m_context->codec_id;
    if (key <= 0 || (codec != AV_CODEC_ID_MPEG4 && codec != AV_CODEC_ID_MPEG1VIDEO &&
                     codec != AV_CODEC_ID_MPEG2VIDEO)) {
        return 0;
    }
    constexpr int64_t kMaxLeading = 16;
    int64_t count = 0;
    std::vector<uint8_t> bytes;
    for (int64_t index = key + 1; index < m_frameCount && count < kMaxLeading; ++index) {
        int64_t size = 0;
        int64_t samples = 0;
        if (m_reader.read(m_stream, m_start + index, 1, nullptr, 0, &size, &samples) != AVIERR_OK ||
            size <= 0 || size > (64 << 20)) {
            break;
        }
        bytes.resize(static_cast<size_t>(size));
        if (m_reader.read(m_stream, m_start + index, 1, bytes.data(), size, &size, &samples) !=
                AVIERR_OK ||
            FirstPictureType(bytes.data(), bytes.size(), codec) != 'B') {
            break;
        }
        ++count;
    }
    return count;
}

// The key frame to decode from so that frame n comes out: at or before n, and early enough that
// n is not one of the pictures that key frame's open group cannot show.
int64_t FrameDecoder::startFor(int64_t n, int64_t* leading) {
    int64_t key = std::max<int64_t>(keyFrameAtOrBefore(n), 0);
    *leading = leadingPictures(key);
    while (key > 0 && n < key + *leading) {
        key = std::max<int64_t>(keyFrameAtOrBefore(key - 1), 0);
        *leading = leadingPictures(key);
    }
    return key;
}

void FrameDecoder::restart(int64_t key, int64_t leading) {
    if (m_context->codec_id == AV_CODEC_ID_MPEG4) {
        // This decoder learns from the stream as it goes (encoder quirks, packed B pictures,
        // delay): a fresh one makes a seek give the same picture whatever was decoded before.
        AVCodecContext* fresh = newContext();
        if (fresh != nullptr) {
            avcodec_free_context(&m_context);
            m_context = fresh;
        }
    }
    avcodec_flush_buffers(m_context);
    m_pending.clear();
    m_nextPacket = key;
    m_nextDisplay = key + leading;
    m_restartKey = key;
    m_leading = leading;
    m_draining = false;
    m_held = false;
    m_sendPalette = !m_palette.empty();
}

bool FrameDecoder::decodeTo(int64_t n, const std::atomic<bool>* cancel) {
    if (n == m_current) {
        return true;
    }
    if (m_context == nullptr || n < 0 || n >= m_frameCount) {
        m_picture.reset();
        m_current = n;
        return true;
    }
    int64_t leading = 0;
    const int64_t key = startFor(n, &leading);
    if (n < m_nextDisplay || m_draining || key > m_nextPacket) {
        restart(key, leading);
    }
    while (m_nextDisplay <= n) {
        if (cancel != nullptr && cancel->load()) {
            return false;
        }
        if (resolveFront() || receive()) {
            continue;
        }
        if (m_held) {
            if (!retryHeld() && m_held) {
                // Neither input nor output possible: give up on this packet rather than spin.
                m_held = false;
                if (m_heldShown) {
                    m_pending.back() = Slot::Broken;
                }
            }
            continue;
        }
        if (feedNext()) {
            continue;
        }
        if (!m_draining) {
            avcodec_send_packet(m_context, nullptr);
            m_draining = true;
            continue;
        }
        // The decoder has nothing more to give: what is still pending cannot be shown.
        if (m_pending.empty()) {
            break;
        }
        m_pending.front() = Slot::Broken;
    }
    return true;
}

// Frames at the front that need no decoder output are resolved at once.
bool FrameDecoder::resolveFront() {
    if (m_pending.empty() || m_pending.front() == Slot::Decoded) {
        return false;
    }
    if (m_pending.front() == Slot::Broken) {
        m_picture.reset();
    }
    m_pending.pop_front();
    m_current = m_nextDisplay++;
    return true;
}

bool FrameDecoder::receive() {
    if (!m_pending.empty() && m_pending.front() != Slot::Decoded) {
        return false;
    }
    const int result = avcodec_receive_frame(m_context, m_received.get());
    if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) {
        return false;
    }
    if (result < 0) {
        // The decoder failed on the picture it owed next: that frame shows no picture.
        if (!m_pending.empty()) {
            m_pending.front() = Slot::Broken;
        }
        return !m_pending.empty();
    }
    if (m_pending.empty()) {
        av_frame_unref(m_received.get());  // more pictures than frames sent: not ours to show
        return true;
    }
    m_pending.pop_front();
    if (!m_picture) {
        m_picture.reset(av_frame_alloc());
    }
    if (m_picture) {
        av_frame_unref(m_picture.get());
        av_frame_move_ref(m_picture.get(), m_received.get());
    }
    m_current = m_nextDisplay++;
    return true;
}

bool FrameDecoder::feedNext() {
    if (m_held || m_draining || m_nextPacket >= m_frameCount) {
        return false;
    }
    const int64_t index = m_nextPacket++;
    int64_t bytes = 0;
    int64_t samples = 0;
    m_heldShown = !(index > m_restartKey && index <= m_restartKey + m_leading);
    int32_t status = m_reader.read(m_stream, m_start + index, 1, nullptr, 0, &bytes, &samples);
    if (status != AVIERR_OK || bytes < 0 || bytes > INT32_MAX - AV_INPUT_BUFFER_PADDING_SIZE) {
        if (m_heldShown) {
            m_pending.push_back(Slot::Broken);
        }
        return true;
    }
    if (bytes == 0) {
        if (m_heldShown) {
            m_pending.push_back(Slot::Repeat);
        }
        return true;
    }
    if (!m_heldShown) {
        sendPacket(index);  // a picture of the earlier group: decoded for nothing, not shown
        return true;
    }
    m_pending.push_back(Slot::Decoded);
    if (!sendPacket(index)) {
        m_pending.back() = Slot::Broken;
    }
    return true;
}

bool FrameDecoder::sendPacket(int64_t index) {
    av_packet_unref(m_packet);
    int64_t bytes = 0;
    int64_t samples = 0;
    if (m_reader.read(m_stream, m_start + index, 1, nullptr, 0, &bytes, &samples) != AVIERR_OK ||
        av_new_packet(m_packet, static_cast<int>(bytes)) < 0) {
        return false;
    }
    if (m_reader.read(m_stream, m_start + index, 1, m_packet->data, bytes, &bytes, &samples) !=
        AVIERR_OK) {
        return false;
    }
    if (m_sendPalette) {
        uint8_t* side = av_packet_new_side_data(m_packet, AV_PKT_DATA_PALETTE, AVPALETTE_SIZE);
        if (side != nullptr) {
            std::memset(side, 0, AVPALETTE_SIZE);
            std::memcpy(side, m_palette.data(),
                        std::min<size_t>(m_palette.size() * 4, AVPALETTE_SIZE));
            m_sendPalette = false;
        }
    }
    m_packet->pts = index;
    m_packet->dts = index;
    m_held = false;
    return retryHeld() || m_held;
}

// Sends the packet in hand; when the decoder first wants its pictures taken, the packet is held
// and sent again once receive() has made room.
bool FrameDecoder::retryHeld() {
    const int result = avcodec_send_packet(m_context, m_packet);
    m_held = result == AVERROR(EAGAIN);
    if (result < 0 && !m_held && m_heldShown) {
        m_pending.back() = Slot::Broken;
    }
    return result >= 0;
}

}  // namespace mci
