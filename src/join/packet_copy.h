// SPDX-License-Identifier: GPL-3.0-or-later
// One entry's audio copied as whole codec packets, frame by frame, in step with the picture.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "join/packet_audio.h"
#include "join/packet_reader.h"

namespace join {

// The joined file's audio as the copy sees it. Results: 0 go on; anything else ends the copy of
// the frame and is handed back as it is.
class PacketSink {
  public:
    virtual ~PacketSink() = default;
    // Writes samples (stream samples: a chunk, or bytes) of the joined file's audio.
    virtual int32_t write(const uint8_t* data, int32_t samples, int32_t bytes) = 0;
    // Stream samples the joined file's audio holds so far.
    virtual int64_t position() const = 0;
    // A source packet could not be read (the read's status).
    virtual int32_t problem(int32_t status) = 0;
};

class EntryPackets {
  public:
    // reader: the entry's audio; null for an entry without audio, whose span is silence.
    EntryPackets(PacketJob& job, std::unique_ptr<PacketReader> reader)
        : m_job(job), m_reader(std::move(reader)) {}

    // The audio of the source frames [first, first + n) (counted from the stream's first frame),
    // just written as the joined file's last n frames of frames. Packets follow one another in
    // the source for as long as each ends no more than half its length after those frames' end,
    // so the sound stays within half a packet of the picture at every frame and rounding never
    // adds up across segments. Where the source has no packet (its audio ended, or bytes that
    // are no frames), silent packets of the same format take the place, or the shift this
    // leaves is counted.
    int32_t copy(PacketSink& sink, int64_t first, int64_t n, int64_t frames);

    // The stream turned out to hold no frames of its format: it is to be cut by its clock.
    bool abandoned() const { return m_abandoned; }

    // The note (silence written, nothing lost) and the warning (sound missing that no silence
    // replaced, with how much earlier the audio after it plays) for the entry's report lines.
    struct Report {
        std::string notes;
        std::string warnings;
    };
    Report report(const std::string& fileName, bool noAudio, bool laterClips) const;

  private:
    int32_t start(PacketSink& sink, int64_t first, int64_t n, int64_t frames);
    int32_t fetch(PacketSink& sink);
    int32_t silenceStep(PacketSink& sink, int64_t frames, bool* more);
    std::string seconds(int64_t samples) const;

    PacketJob& m_job;
    std::unique_ptr<PacketReader> m_reader;  // null once the source has no more packets
    bool m_started = false;
    bool m_abandoned = false;
    bool m_pending = false;  // m_packet is the next one to write
    AudioPacket m_packet;
    int64_t m_due = 0;  // stream samples of a gap before that packet still to be filled
    // Stream samples of silence written, and of sound missing that no silence replaced, after
    // the source's audio ended or where its bytes are no frames.
    int64_t m_endSilence = 0;
    int64_t m_gapSilence = 0;
    int64_t m_endShift = 0;
    int64_t m_gapShift = 0;
};

}  // namespace join
