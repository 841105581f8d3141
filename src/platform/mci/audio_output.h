// SPDX-License-Identifier: GPL-3.0-or-later
// Sound for a playing movie: the clip's first audio stream, decoded by libavcodec, converted by
// libswresample and played through Qt Multimedia's audio sink, started and stopped with the
// pictures. Without Qt Multimedia, without an audio stream or without an output device there
// is simply no sound.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/avi/avi_reader.h"
#include "platform/mci/movie_player.h"

namespace mci {

class AudioOutput : public PlaybackListener {
  public:
    // Null when the clip has no audio that can be decoded or no output device exists.
    static std::unique_ptr<AudioOutput> Create(const avi::Reader& reader, double framesPerSecond);
    ~AudioOutput() override = default;
};

}  // namespace mci
