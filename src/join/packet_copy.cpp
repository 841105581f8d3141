// SPDX-License-Identifier: GPL-3.0-or-later
#include "join/packet_copy.h"

#include <algorithm>
#include <cstdio>

namespace join {

int32_t EntryPackets::copy(PacketSink& sink, int64_t first, int64_t n, int64_t frames) {
    if (!m_started) {
        const int32_t r = start(sink, first, n, frames);
        if (r != 0 || m_abandoned) {
            return r;
        }
    }
    for (;;) {
        if (!m_pending && m_due == 0 && m_reader != nullptr) {
            const int32_t r = fetch(sink);
            if (r != 0) {
                return r;
            }
        }
        if (m_pending && m_due == 0) {
            if (!PacketFits(m_job.clock, sink.position() + m_job.shift, m_packet.length, frames)) {
                return 0;
            }
            m_job.silence.model(m_packet.data, static_cast<size_t>(m_packet.size));
            m_pending = false;
            const int32_t r =
                sink.write(m_packet.data, static_cast<int32_t>(m_packet.length), m_packet.size);
            if (r != 0) {
                return r;
            }
            continue;
        }
        bool more = false;
        const int32_t r = silenceStep(sink, frames, &more);
        if (r != 0 || !more) {
            return r;
        }
    }
}

// A segment's first packet: the one nearest the place its first frame's sound has in the
// source, moved by as much as the joined file's audio is ahead of or behind its video (less than
// half a packet, plus any shift), so that the segment's sound starts in step with its picture.
int32_t EntryPackets::start(PacketSink& sink, int64_t first, int64_t n, int64_t frames) {
    m_started = true;
    const int64_t before = frames - n;  // frames of the joined file before these
    const int64_t target =
        sink.position() + m_job.shift + SignedAudioBoundary(m_job.clock, first - before);
    if (m_reader == nullptr) {
        return 0;  // no audio: silence, or the shift, from here on
    }
    if (!m_reader->moveNear(target)) {
        m_reader.reset();
        m_abandoned = true;
        return 0;
    }
    const int32_t r = fetch(sink);
    if (r == 0 && m_pending && m_reader != nullptr && m_reader->frames()) {
        // Only bytes that are no frame lie between the target and the first frame after it.
        const int64_t gap = m_packet.position - target;
        m_due = 2 * gap >= m_packet.length ? gap : 0;
    }
    return r;
}

int32_t EntryPackets::fetch(PacketSink& sink) {
    const int32_t r = m_reader->next(&m_packet);
    if (r == kPacketRead) {
        m_pending = true;
        if (2 * m_packet.gap >= m_packet.length) {
            m_due = m_packet.gap;  // bytes that are no frame: their time is filled
        }
        return 0;
    }
    m_reader.reset();
    return r == kNoPacket ? 0 : sink.problem(r);
}

// Where the source has no packet: a silent one while the gap, or the frames' end, leaves room
// for it (*more: go on), else the sound that is missing counts as shift.
int32_t EntryPackets::silenceStep(PacketSink& sink, int64_t frames, bool* more) {
    *more = false;
    const int64_t at = sink.position() + m_job.shift;
    const std::vector<uint8_t>* packet = nullptr;
    int64_t length = 0;
    if (m_job.silence.peek(&packet, &length)) {
        if (m_due > 0 && 2 * m_due < length) {
            m_due = 0;  // what is left of the gap is less than half a packet
            *more = true;
            return 0;
        }
        if (!PacketFits(m_job.clock, at, length, frames)) {
            return 0;
        }
        (m_due > 0 ? m_gapSilence : m_endSilence) += length;
        m_due = std::max<int64_t>(m_due - length, 0);
        const int32_t r = sink.write(packet->data(), static_cast<int32_t>(length),
                                     static_cast<int32_t>(packet->size()));
        m_job.silence.take();
        *more = r == 0;
        return r;
    }
    if (m_due > 0) {
        m_job.shift += m_due;
        m_gapShift += m_due;
        m_due = 0;
        *more = true;
        return 0;
    }
    const int64_t missing = AudioBoundary(m_job.clock, frames) - at;
    if (missing > 0) {
        m_job.shift += missing;
        m_endShift += missing;
    }
    return 0;
}

std::string EntryPackets::seconds(int64_t samples) const {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f seconds",
                  static_cast<double>(samples) * m_job.clock.audioScale /
                      std::max<uint32_t>(m_job.clock.audioRate, 1));
    return text;
}

EntryPackets::Report EntryPackets::report(const std::string& name, bool noAudio,
                                          bool laterClips) const {
    const auto early = [&](int64_t samples) {
        return laterClips ? "; the audio of the clips after it plays " + seconds(samples) + " early"
                          : std::string();
    };
    Report r;
    if (m_endSilence > 0) {
        r.notes += (noAudio ? name + " has no audio: " : "Audio of " + name + " ends early: ") +
                   seconds(m_endSilence) + " of silence were written\r\n";
    }
    if (m_gapSilence > 0) {
        r.notes += "Audio of " + name + " holds " + seconds(m_gapSilence) +
                   " of bytes that are no audio frames; silence was written in their place\r\n";
    }
    if (m_endShift > 0) {
        r.warnings +=
            (noAudio ? name + " has no audio"
                     : "Audio of " + name + " ends " + seconds(m_endShift) + " before its video") +
            early(m_endShift) + "\r\n";
    }
    if (m_gapShift > 0) {
        r.warnings += "Audio of " + name + " holds " + seconds(m_gapShift) +
                      " of bytes that are no audio frames" + early(m_gapShift) + "\r\n";
    }
    return r;
}

}  // namespace join
