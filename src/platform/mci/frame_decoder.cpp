// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/mci/frame_decoder.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/frame.h>
}

#include "platform/avi/frame_probe.h"

namespace mci {
namespace {

const int64_t kMaxPixels = avi::Limits{}.maxPicturePixels;

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
    : m_reader(reader), m_stream(stream), m_frames(reader, stream), m_received(av_frame_alloc()) {}

FrameDecoder::~FrameDecoder() {
    avcodec_free_context(&m_context);
    av_packet_free(&m_packet);
}

std::unique_ptr<FrameDecoder> FrameDecoder::Create(const avi::Reader& reader, int stream) {
    std::unique_ptr<FrameDecoder> decoder(new FrameDecoder(reader, stream));
    const AVISTREAMINFO info = reader.streamInfo(stream);
    decoder->m_start = info.dwStart;
    decoder->m_frameCount = info.dwLength;
    decoder->m_stored = std::min<int64_t>(reader.indexedSamples(stream), info.dwLength);
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
    const std::string tag = avi::FourCCText(bih.biCompression);
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
    const AVCodecDescriptor* descriptor = avcodec_descriptor_get(id);
    m_byChunk = descriptor == nullptr || (descriptor->props & AV_CODEC_PROP_REORDER) == 0;
    if (id == AV_CODEC_ID_MPEG4) {
        // MPEG-4 part 2 reorders only when the stream has B pictures; without them a chunk that
        // is not coded gives no picture and must not move the pictures after it.
        m_byChunk = true;
        avi::PictureProbe probe(avi::FourCC("MP4V"), m_extradata.data(), m_extradata.size());
        std::vector<uint8_t> bytes;
        constexpr int64_t kLookAhead = 64;
        for (int64_t index = 0; index < std::min(m_stored, kLookAhead) && m_byChunk; ++index) {
            if (readChunk(index, &bytes)) {
                for (const avi::ProbedPicture& p : probe.probe(bytes.data(), bytes.size())) {
                    m_byChunk = m_byChunk && p.type != avi::PictureType::kBidirectional;
                }
            }
        }
    }
    const uint32_t compression =
        avi::IsProbedCodec(bih.biCompression) ? bih.biCompression : data.header.fccHandler;
    m_splices = std::make_unique<avi::SpliceMap>(m_frames, compression, m_extradata);
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

int64_t FrameDecoder::keyChunkAtOrBefore(int64_t frame) const {
    if (frame < 0 || frame >= m_frameCount) {
        return -1;
    }
    const int64_t found = m_reader.findSample(m_stream, m_start + frame, kFindPrev | kFindKey);
    return found < m_start ? -1 : found - m_start;
}

int64_t FrameDecoder::keyFrameAtOrBefore(int64_t frame) const {
    if (m_splices == nullptr || !m_splices->probed() || frame < 0 || frame >= m_frameCount) {
        return keyChunkAtOrBefore(frame);
    }
    return m_splices->startAtOrBefore(frame);
}

bool FrameDecoder::readChunk(int64_t index, std::vector<uint8_t>* bytes) const {
    int64_t size = 0;
    int64_t samples = 0;
    if (m_reader.read(m_stream, m_start + index, 1, nullptr, 0, &size, &samples) != AVIERR_OK ||
        size < 0 || size > avi::Limits{}.maxChunkSize) {
        return false;
    }
    bytes->resize(static_cast<size_t>(size));
    return m_reader.read(m_stream, m_start + index, 1, bytes->data(), size, &size, &samples) ==
           AVIERR_OK;
}

// How many pictures after a key frame's chunk are shown before it and need the group before (the
// decoder drops them after a restart there, and the key frame's picture is shown that many frames
// later), or -1 when that is not known without decoding across the key frame from the one before
// (which then records it).
int64_t FrameDecoder::knownLeading(int64_t key) {
    if (key <= 0) {
        return 0;
    }
    const auto found = m_leadingOf.find(key);
    if (found != m_leadingOf.end()) {
        return found->second;
    }
    const int64_t leading = m_splices == nullptr ? -1 : m_splices->leadingPictures(key);
    if (leading >= 0) {
        m_leadingOf[key] = leading;
    }
    return leading;
}

// Where to decode from so that frame n comes out with its right number: the key frame at or
// before n, or the one before that when n may be one of the pictures that key frame's group
// cannot show (or how many those are is not yet known).
FrameDecoder::Start FrameDecoder::startFor(int64_t n) {
    Start start;
    start.key = std::max<int64_t>(keyChunkAtOrBefore(n), 0);
    if (m_byChunk || start.key == 0) {
        return start;
    }
    const int64_t leading = knownLeading(start.key);
    if (leading >= 0 && n >= start.key + leading) {
        start.leading = leading;
        return start;
    }
    start.syncKey = start.key;
    start.key = std::max<int64_t>(keyChunkAtOrBefore(start.key - 1), 0);
    start.leading = std::max<int64_t>(knownLeading(start.key), 0);
    return start;
}

void FrameDecoder::restart(const Start& start) {
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
    m_nextPacket = start.key;
    m_nextDisplay = start.key + start.leading;
    m_restartKey = start.key;
    m_leading = start.leading;
    m_syncKey = start.syncKey;
    m_lastResolved.reset();  // before the first picture there is none to repeat
    m_haveReceived = false;
    av_frame_unref(m_received.get());
    m_draining = false;
    m_held = false;
    m_restartNeeded = false;
    m_sendPalette = !m_palette.empty();
}

bool FrameDecoder::decodeTo(int64_t n, const std::atomic<bool>* cancel) {
    if (n == m_current) {
        return true;
    }
    m_cacheCentre = n;
    if (m_context == nullptr || n < 0 || n >= m_stored) {
        // Frames the header counts but the file does not hold have no picture.
        m_picture.reset();
        m_current = n;
        return true;
    }
    if (recall(n)) {
        return true;
    }
    const Start start = startFor(n);
    if (m_restartNeeded || n < m_nextDisplay || start.key > m_nextPacket ||
        (m_syncKey >= 0 && n < m_syncKey)) {
        restart(start);
    }
    while (m_syncKey >= 0 || m_nextDisplay <= n) {
        if (cancel != nullptr && cancel->load()) {
            m_restartNeeded = m_syncKey >= 0;
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
                    m_pending.back().kind = Kind::Broken;
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
        // The decoder has nothing more to give: what is still pending shows no new picture.
        if (m_pending.empty()) {
            m_syncKey = -1;
            break;
        }
        m_pending.front().kind = m_byChunk ? Kind::Repeat : Kind::Broken;
    }
    if (m_current != n) {
        // Past the last picture the decoder gives (a chunk that could not be read at the end).
        m_picture.reset();
        m_current = n;
        m_restartNeeded = true;
    }
    return true;
}

// Hands out the next frame's picture, with its number; while the numbers are not yet known
// (before the key frame to synchronise on) the picture only becomes the one to repeat.
void FrameDecoder::resolve(const SharedFrame& picture) {
    m_lastResolved = picture;
    if (m_syncKey >= 0) {
        m_current = -1;
        ++m_nextDisplay;
        return;
    }
    m_picture = picture;
    m_current = m_nextDisplay++;
    remember(m_current, m_picture);
}

// Frames at the front that need no decoder output are resolved at once.
bool FrameDecoder::resolveFront() {
    if (m_pending.empty() || m_pending.front().kind == Kind::Decoded) {
        return false;
    }
    const Kind kind = m_pending.front().kind;
    m_pending.pop_front();
    resolve(kind == Kind::Broken ? nullptr : m_lastResolved);
    return true;
}

bool FrameDecoder::receive() {
    if (!m_pending.empty() && m_pending.front().kind != Kind::Decoded) {
        return false;
    }
    if (!m_haveReceived) {
        const int result = avcodec_receive_frame(m_context, m_received.get());
        if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) {
            return false;
        }
        if (result < 0) {
            // The decoder failed on the picture it owed next: that frame shows no picture.
            if (!m_pending.empty()) {
                m_pending.front().kind = Kind::Broken;
            }
            return !m_pending.empty();
        }
        m_haveReceived = true;
        ++m_decodedCount;
    }
    const int64_t chunk = m_received->pts;
    const bool byChunk = m_byChunk;
    if (byChunk && chunk != AV_NOPTS_VALUE) {
        // A chunk before this picture's own gave none: it shows the picture before it. One at a
        // time, so that the picture waits here while earlier frames are asked for.
        if (!m_pending.empty() && m_pending.front().index < chunk) {
            m_pending.pop_front();
            resolve(m_lastResolved);
            return true;
        }
        if (m_pending.empty() || m_pending.front().index != chunk) {
            m_haveReceived = false;
            av_frame_unref(m_received.get());  // not a picture of a chunk still to be shown
            return true;
        }
    }
    m_haveReceived = false;
    if (!byChunk && m_syncKey >= 0 && chunk != AV_NOPTS_VALUE && chunk >= m_syncKey) {
        // The first picture of the key frame's group is shown at the key frame's number.
        while (!m_pending.empty() && m_pending.front().index < m_syncKey) {
            m_pending.pop_front();
        }
        m_nextDisplay = m_syncKey;
        m_syncKey = -1;
    }
    if (m_pending.empty()) {
        av_frame_unref(m_received.get());  // more pictures than frames sent: not ours to show
        return true;
    }
    m_pending.pop_front();
    if (!byChunk && m_syncKey < 0 && chunk != AV_NOPTS_VALUE && chunk > 0 &&
        m_leadingOf.count(chunk) == 0 && m_nextDisplay >= chunk && m_nextDisplay - chunk <= 64 &&
        keyChunkAtOrBefore(chunk) == chunk) {
        m_leadingOf[chunk] = m_nextDisplay - chunk;
    }
    AVFrame* picture = av_frame_alloc();
    if (picture != nullptr) {
        av_frame_move_ref(picture, m_received.get());
    }
    av_frame_unref(m_received.get());
    resolve(SharedFrame(picture, [](const AVFrame* f) {
        AVFrame* owned = const_cast<AVFrame*>(f);
        av_frame_free(&owned);
    }));
    return true;
}

bool FrameDecoder::feedNext() {
    if (m_held || m_draining || m_nextPacket >= m_stored) {
        return false;
    }
    const int64_t index = m_nextPacket++;
    int64_t bytes = 0;
    int64_t samples = 0;
    m_heldShown = !(index > m_restartKey && index <= m_restartKey + m_leading);
    int32_t status = m_reader.read(m_stream, m_start + index, 1, nullptr, 0, &bytes, &samples);
    if (status != AVIERR_OK || bytes < 0 || bytes > INT32_MAX - AV_INPUT_BUFFER_PADDING_SIZE) {
        if (m_heldShown) {
            m_pending.push_back({index, Kind::Broken});
        }
        return true;
    }
    if (bytes == 0) {
        if (m_heldShown) {
            m_pending.push_back({index, Kind::Repeat});
        }
        return true;
    }
    if (!m_heldShown) {
        sendPacket(index);  // a picture of the earlier group: decoded for nothing, not shown
        return true;
    }
    m_pending.push_back({index, Kind::Decoded});
    if (!sendPacket(index)) {
        m_pending.back().kind = Kind::Broken;
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
    if (result < 0 && !m_held && m_heldShown && !m_pending.empty()) {
        m_pending.back().kind = Kind::Broken;
    }
    return result >= 0;
}

// Pictures near the latest request are kept (references, not copies) up to the byte limit;
// the ones farthest from that frame go first.
void FrameDecoder::remember(int64_t frame, const SharedFrame& picture) {
    if (!picture || m_cache.count(frame) != 0) {
        return;
    }
    size_t bytes = 0;
    for (const AVBufferRef* buffer : picture->buf) {
        bytes += buffer != nullptr ? buffer->size : 0;
    }
    if (bytes == 0 || bytes > kPictureCacheBytes / 4) {
        return;
    }
    m_cache.emplace(frame, picture);
    m_cacheBytes += bytes;
    while (m_cacheBytes > kPictureCacheBytes && !m_cache.empty()) {
        auto first = m_cache.begin();
        auto last = std::prev(m_cache.end());
        auto victim = m_cacheCentre - first->first > last->first - m_cacheCentre ? first : last;
        size_t size = 0;
        for (const AVBufferRef* buffer : victim->second->buf) {
            size += buffer != nullptr ? buffer->size : 0;
        }
        m_cacheBytes -= std::min(size, m_cacheBytes);
        m_cache.erase(victim);
    }
}

bool FrameDecoder::recall(int64_t frame) {
    const auto found = m_cache.find(frame);
    if (found == m_cache.end()) {
        return false;
    }
    m_picture = found->second;
    m_current = frame;
    return true;
}

}  // namespace mci
