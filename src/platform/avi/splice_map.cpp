// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/avi/splice_map.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "platform/avi/avi_reader.h"

namespace avi {

namespace {

// Longest group of pictures read; frames beyond count as starts and ends as without a probe.
constexpr int64_t kMaxGroupFrames = 16384;
constexpr size_t kCachedGroups = 32;
// How many groups the nearest start or end is looked for in, each way.
constexpr int kGroupsSearched = 64;
constexpr size_t kNoOutput = std::numeric_limits<size_t>::max();

}  // namespace

ReaderFrames::ReaderFrames(const Reader& reader, int stream) : m_reader(reader), m_stream(stream) {
    const AVISTREAMINFO info = reader.streamInfo(stream);
    m_start = info.dwStart;
    m_count = std::min<int64_t>(reader.indexedSamples(stream), info.dwLength);
}

int64_t ReaderFrames::keyAtOrBefore(int64_t frame) const {
    const int64_t found = m_reader.findSample(m_stream, m_start + frame, kFindPrev | kFindKey);
    return found < m_start ? -1 : found - m_start;
}

int64_t ReaderFrames::keyAfter(int64_t frame) const {
    if (frame + 1 >= m_count) {
        return -1;
    }
    const int64_t found = m_reader.findSample(m_stream, m_start + frame + 1, kFindNext | kFindKey);
    return found < m_start ? -1 : found - m_start;
}

bool ReaderFrames::read(int64_t frame, std::vector<uint8_t>* bytes) const {
    int64_t size = 0;
    int64_t samples = 0;
    if (frame < 0 || frame >= m_count ||
        m_reader.read(m_stream, m_start + frame, 1, nullptr, 0, &size, &samples) != AVIERR_OK ||
        size < 0 || size > Limits{}.maxChunkSize) {
        return false;
    }
    bytes->resize(static_cast<size_t>(size));
    return size == 0 || m_reader.read(m_stream, m_start + frame, 1, bytes->data(), size, &size,
                                      &samples) == AVIERR_OK;
}

std::vector<uint8_t> CodecData(const uint8_t* format, size_t size) {
    constexpr size_t kBitmapHeader = 40;
    if (format == nullptr || size <= kBitmapHeader) {
        return {};
    }
    return std::vector<uint8_t>(format + kBitmapHeader, format + size);
}

// A picture as the decoder is handed it.
struct SpliceMap::Fed {
    int64_t slot = 0;     // the frame whose chunk hands it to the decoder
    int64_t carrier = 0;  // the frame whose chunk holds its bytes (earlier for a packed picture)
    ProbedPicture picture;
};

SpliceMap::SpliceMap(const FrameSource& source, uint32_t compression,
                     std::vector<uint8_t> codecData)
    : m_source(source),
      m_compression(compression),
      m_family(ProbedFamily(compression)),
      m_codecData(std::move(codecData)) {}

int64_t SpliceMap::groupKey(int64_t frame) const {
    return std::max<int64_t>(m_source.keyAtOrBefore(frame), 0);
}

const SpliceMap::Group& SpliceMap::group(int64_t key) {
    const auto found = m_groups.find(key);
    if (found != m_groups.end()) {
        return found->second;
    }
    if (m_groups.size() >= kCachedGroups) {
        // The group farthest from this one goes.
        const auto first = m_groups.begin();
        const auto last = std::prev(m_groups.end());
        m_groups.erase(key - first->first > last->first - key ? first : last);
    }
    return m_groups.emplace(key, analyse(key)).first->second;
}

// As the decoder takes a packed MPEG-4 stream: a picture packed behind the first one of a chunk,
// when it is an I or B picture, is held back; while one is held, the next chunk hands it over
// instead of its own, and is itself held back when its first picture is an I or B picture and it
// is more than a placeholder.
void SpliceMap::feed(std::vector<Fed>& fed, std::optional<Fed>& held, int64_t frame,
                     const std::vector<ProbedPicture>& pictures, size_t chunkSize) const {
    auto holdable = [&](const ProbedPicture& p) {
        return chunkSize - p.offset > kPlaceholderVopSize && p.type != PictureType::kPredicted;
    };
    if (m_family == CodecFamily::kMpeg4 && held) {
        held->slot = frame;
        fed.push_back(*held);
        held.reset();
        if (!pictures.empty() && holdable(pictures[0])) {
            held = Fed{frame, frame, pictures[0]};
        }
        return;
    }
    if (pictures.empty()) {
        Fed none{frame, frame, {}};
        none.picture.coded = false;  // no picture: the decoder shows nothing new for it
        fed.push_back(none);
        return;
    }
    fed.push_back({frame, frame, pictures[0]});
    if (m_family == CodecFamily::kMpeg4 && pictures.size() >= 2 && holdable(pictures[1])) {
        held = Fed{frame, frame, pictures[1]};
    }
}

// For each picture handed to the decoder, its place among the pictures it puts out (kNoOutput
// for one it shows nothing for).
std::vector<size_t> SpliceMap::DisplayOrder(const std::vector<Fed>& fed, CodecFamily family) {
    std::vector<size_t> order;
    bool known = true;
    if (family == CodecFamily::kH264) {
        std::vector<std::pair<int64_t, int64_t>> keys(fed.size());
        int64_t period = 0;
        for (size_t i = 0; i < fed.size(); ++i) {
            const ProbedPicture& p = fed[i].picture;
            if (p.coded) {
                known = known && p.orderKnown;
                period += p.restart ? 1 : 0;
                keys[i] = {period, p.order};
                order.push_back(i);
            }
        }
        if (known) {
            std::stable_sort(order.begin(), order.end(),
                             [&](size_t a, size_t b) { return keys[a] < keys[b]; });
        }
    } else {
        // A reference picture is put out when the next one comes; B pictures at once.
        std::optional<size_t> reference;
        for (size_t i = 0; i < fed.size(); ++i) {
            const ProbedPicture& p = fed[i].picture;
            if (!p.coded) {
                continue;
            }
            if (!p.reference) {
                order.push_back(i);
            } else {
                if (reference) {
                    order.push_back(*reference);
                }
                reference = i;
            }
        }
        if (reference) {
            order.push_back(*reference);
        }
    }
    std::vector<size_t> outIndex(fed.size(), kNoOutput);
    for (size_t k = 0; k < order.size(); ++k) {
        outIndex[order[k]] = k;
    }
    return outIndex;
}

// The group's exact start: its key chunk's frame, or, after leading pictures that need the group
// before, the frame its key picture is shown at.
void SpliceMap::FindStart(Group& group, CodecFamily family, const std::vector<Fed>& fed,
                          const std::vector<size_t>& outIndex, const std::vector<int64_t>& slots,
                          const std::vector<bool>& heldAfter) {
    const int64_t key = group.key;
    if (fed.empty() || fed.front().slot != key || outIndex.front() == kNoOutput) {
        group.leading = -1;
        return;
    }
    const ProbedPicture& first = fed.front().picture;
    const size_t leading = outIndex.front();
    if (first.type == PictureType::kClosedIntra) {
        group.leading = 0;
        return;
    }
    if (family == CodecFamily::kH264) {
        // Decoders take an H.264 stream that goes on at an I picture other than an IDR one as a
        // gap in its frame numbers and order counts: only a restart at an IDR picture is exact.
        group.start.frame = -1;
        group.leading = -1;
        return;
    }
    if (leading == 0) {
        group.leading = 0;
        return;
    }
    group.start.frame = -1;
    group.leading = first.type == PictureType::kIntra ? static_cast<int64_t>(leading) : -1;
    if (first.type != PictureType::kIntra || leading >= slots.size()) {
        return;
    }
    const int64_t in = slots[leading];
    int64_t keep = -1;
    for (size_t i = 1; i < fed.size(); ++i) {
        const bool isLeading = outIndex[i] < leading;
        if (!isLeading && fed[i].slot <= in && fed[i].picture.coded) {
            return;  // a picture of the group's own shown before its key picture can show
        }
        if (isLeading) {
            if (fed[i].slot > in || fed[i].carrier > in) {
                return;
            }
            if (fed[i].carrier == key) {
                keep = static_cast<int64_t>(fed[i].picture.offset);
            }
        }
    }
    if (heldAfter[static_cast<size_t>(in - key)]) {
        return;
    }
    group.start = {in, key, keep};
}

SpliceMap::Group SpliceMap::analyse(int64_t key) const {
    Group group;
    group.key = key;
    const int64_t count = m_source.frameCount();
    const int64_t next = m_source.keyAfter(key);
    group.end = std::min(next > key ? next : count, key + kMaxGroupFrames);
    group.start = {key, key, -1};
    group.leading = 0;
    const size_t frames = static_cast<size_t>(std::max<int64_t>(group.end - key, 0));
    group.ends.assign(frames, true);
    if (!probed() || frames == 0) {
        return group;
    }
    PictureProbe probe(m_compression, m_codecData.data(), m_codecData.size());
    std::vector<uint8_t> bytes;
    if (key > 0 && m_source.read(0, &bytes)) {
        (void)probe.probe(bytes.data(), bytes.size());  // the stream's headers, when only there
    }
    probe.restartOrder();
    std::vector<Fed> fed;
    std::optional<Fed> held;
    std::vector<int64_t> slots;  // frames whose chunk holds data
    std::vector<bool> heldAfter(frames, false);
    for (int64_t f = key; f < group.end; ++f) {
        if (m_source.read(f, &bytes) && !bytes.empty()) {
            slots.push_back(f);
            feed(fed, held, f, probe.probe(bytes.data(), bytes.size()), bytes.size());
        }
        heldAfter[static_cast<size_t>(f - key)] = held.has_value();
    }
    const bool hasB = std::any_of(fed.begin(), fed.end(), [](const Fed& f) {
        return f.picture.type == PictureType::kBidirectional;
    });
    if (hasB && probe.claimsLowDelay()) {
        group.leading = -1;
        return group;  // as without a probe
    }
    const std::vector<size_t> outIndex = DisplayOrder(fed, m_family);
    FindStart(group, m_family, fed, outIndex, slots, heldAfter);
    bool reorders = group.leading != 0;
    size_t previous = 0;
    for (size_t i = 0; i < fed.size() && !reorders; ++i) {
        if (outIndex[i] != kNoOutput) {
            reorders = outIndex[i] < previous;
            previous = outIndex[i];
        }
    }
    if (!reorders) {
        return group;
    }
    MarkEnds(group, fed, outIndex, slots, heldAfter);
    return group;
}

// An end where the chunks so far hold exactly the pictures shown so far, none held back.
void SpliceMap::MarkEnds(Group& group, const std::vector<Fed>& fed,
                         const std::vector<size_t>& outIndex, const std::vector<int64_t>& slots,
                         const std::vector<bool>& heldAfter) {
    const int64_t key = group.key;
    size_t shown = 0;
    size_t handed = 0;
    size_t latest = 0;  // one past the latest place among the pictures put out
    size_t slot = 0;
    size_t i = 0;
    for (int64_t f = key; f < group.end; ++f) {
        if (slot < slots.size() && slots[slot] == f) {
            ++slot;
            ++shown;
        }
        for (; i < fed.size() && fed[i].slot <= f; ++i) {
            if (outIndex[i] != kNoOutput) {
                ++handed;
                latest = std::max(latest, outIndex[i] + 1);
            }
        }
        group.ends[static_cast<size_t>(f - key)] =
            handed == shown && latest == shown && !heldAfter[static_cast<size_t>(f - key)];
    }
}

std::optional<SegmentStart> SpliceMap::startAt(int64_t frame) {
    if (frame < 0 || frame >= m_source.frameCount()) {
        return std::nullopt;
    }
    if (frame == 0) {
        return SegmentStart{0, 0, -1};
    }
    std::lock_guard lock(m_mutex);
    const Group& g = group(groupKey(frame));
    if (g.start.frame == frame) {
        return g.start;
    }
    return std::nullopt;
}

int64_t SpliceMap::startAtOrBefore(int64_t frame) {
    if (frame < 0 || m_source.frameCount() <= 0) {
        return -1;
    }
    frame = std::min(frame, m_source.frameCount() - 1);
    std::lock_guard lock(m_mutex);
    int64_t key = groupKey(frame);
    for (int n = 0; n < kGroupsSearched && key > 0; ++n) {
        const Group& g = group(key);
        if (g.start.frame >= 0 && g.start.frame <= frame) {
            return g.start.frame;
        }
        key = groupKey(key - 1);
    }
    return key == 0 ? 0 : -1;
}

int64_t SpliceMap::startAfter(int64_t frame) {
    const int64_t count = m_source.frameCount();
    if (frame + 1 >= count) {
        return -1;
    }
    std::lock_guard lock(m_mutex);
    int64_t key = frame < 0 ? 0 : groupKey(frame);
    for (int n = 0; n < kGroupsSearched && key >= 0 && key < count; ++n) {
        const Group& g = group(key);
        if (g.start.frame > frame) {
            return g.start.frame;
        }
        key = m_source.keyAfter(key);
    }
    return -1;
}

int64_t SpliceMap::leadingPictures(int64_t key) {
    std::lock_guard lock(m_mutex);
    return group(std::max<int64_t>(key, 0)).leading;
}

bool SpliceMap::isEnd(int64_t frame) {
    const int64_t count = m_source.frameCount();
    if (frame < 0 || frame >= count) {
        return false;
    }
    if (frame == count - 1 || !probed()) {
        return true;
    }
    std::lock_guard lock(m_mutex);
    const Group& g = group(groupKey(frame));
    return frame >= g.end || g.ends[static_cast<size_t>(frame - g.key)];
}

bool SpliceMap::everyFrameEnds(int64_t frame) {
    if (!probed() || frame < 0 || frame >= m_source.frameCount()) {
        return true;
    }
    std::lock_guard lock(m_mutex);
    const Group& g = group(groupKey(frame));
    return std::all_of(g.ends.begin(), g.ends.end(), [](bool end) { return end; });
}

int64_t SpliceMap::endBefore(int64_t frame) {
    int64_t f = std::min(frame, m_source.frameCount()) - 1;
    if (f < 0) {
        return -1;
    }
    if (!probed()) {
        return f;
    }
    std::lock_guard lock(m_mutex);
    for (int n = 0; n < kGroupsSearched && f >= 0; ++n) {
        const Group& g = group(groupKey(f));
        for (; f >= g.key; --f) {
            if (f >= g.end || g.ends[static_cast<size_t>(f - g.key)]) {
                return f;
            }
        }
        f = g.key - 1;
    }
    return -1;
}

int64_t SpliceMap::endAfter(int64_t frame) {
    const int64_t count = m_source.frameCount();
    int64_t f = std::max<int64_t>(frame + 1, 0);
    if (f >= count) {
        return -1;
    }
    if (!probed()) {
        return f;
    }
    std::lock_guard lock(m_mutex);
    for (int n = 0; n < kGroupsSearched && f < count - 1; ++n) {
        const Group& g = group(groupKey(f));
        for (; f < g.end && f < count - 1; ++f) {
            if (g.ends[static_cast<size_t>(f - g.key)]) {
                return f;
            }
        }
        f = std::max(f, g.end);
        if (f >= count - 1) {
            break;
        }
    }
    return f == count - 1 ? f : -1;
}

}  // namespace avi
