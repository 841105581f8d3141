// SPDX-License-Identifier: GPL-3.0-or-later
// The stream half of the video-file operations: info, formats, reading, writing, key frames.
#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

#include "media/vbvfw.h"
#include "platform/avi/vbvfw_state.h"

using avi::vbvfw::FileEntry;
using avi::vbvfw::GetState;
using avi::vbvfw::LogFailure;
using avi::vbvfw::State;
using avi::vbvfw::StreamEntry;

namespace {

// The stream and its file, or null (with the failure logged) for a handle that is not open.
struct Target {
    StreamEntry* stream = nullptr;
    FileEntry* file = nullptr;
};

Target Find(State& state, int16_t handle, const char* what) {
    Target t;
    t.stream = state.streams.get(handle);
    if (t.stream != nullptr) {
        t.file = state.files.get(t.stream->file);
    }
    if (t.file == nullptr) {
        LogFailure(what, "", AVIERR_BADHANDLE);
        t.stream = nullptr;
    }
    return t;
}

int32_t Logged(const char* what, const Target& t, int32_t status) {
    if (status != AVIERR_OK) {
        LogFailure(what, t.file->path, status);
    }
    return status;
}

int32_t ClampI32(int64_t v) {
    return static_cast<int32_t>(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

}  // namespace

int32_t vbvfw_AVIStreamInfo(int16_t stream, AVISTREAMINFO* info, int32_t size) {
    State& state = GetState();
    std::lock_guard lock(state.mutex);
    const Target t = Find(state, stream, "AVIStreamInfo");
    if (t.stream == nullptr) {
        return AVIERR_BADHANDLE;
    }
    if (info == nullptr) {
        return Logged("AVIStreamInfo", t, AVIERR_BADPARAM);
    }
    if (size < kAviStreamInfoSize) {
        return Logged("AVIStreamInfo", t, AVIERR_BADSIZE);
    }
    *info = t.file->reader ? t.file->reader->streamInfo(t.stream->index)
                           : t.file->writer->streamInfo(t.stream->index);
    return AVIERR_OK;
}

int32_t vbvfw_AVIStreamReadFormat(int16_t stream, int32_t pos, void* buffer, int32_t* size) try {
    State& state = GetState();
    std::lock_guard lock(state.mutex);
    const Target t = Find(state, stream, "AVIStreamReadFormat");
    if (t.stream == nullptr) {
        return AVIERR_BADHANDLE;
    }
    if (size == nullptr) {
        return Logged("AVIStreamReadFormat", t, AVIERR_BADPARAM);
    }
    const std::vector<uint8_t> format = t.file->reader
                                            ? t.file->reader->formatAt(t.stream->index, pos)
                                            : t.file->formats[static_cast<size_t>(t.stream->index)];
    const auto full = static_cast<int32_t>(format.size());
    if (buffer == nullptr || *size <= 0) {
        *size = full;
        return AVIERR_OK;
    }
    if (*size < full) {
        std::memcpy(buffer, format.data(), static_cast<size_t>(*size));
        *size = full;
        return AVIERR_BUFFERTOOSMALL;  // expected by callers that read only a format's start
    }
    if (full > 0) {
        std::memcpy(buffer, format.data(), format.size());
    }
    *size = full;
    return AVIERR_OK;
} catch (const std::bad_alloc&) {
    return AVIERR_MEMORY;
}

int32_t vbvfw_AVIStreamSetFormat(int16_t stream, int32_t /*pos*/, const void* buffer,
                                 int32_t size) try {
    State& state = GetState();
    std::lock_guard lock(state.mutex);
    const Target t = Find(state, stream, "AVIStreamSetFormat");
    if (t.stream == nullptr) {
        return AVIERR_BADHANDLE;
    }
    if (!t.file->writer) {
        return Logged("AVIStreamSetFormat", t, AVIERR_READONLY);
    }
    const int32_t status = t.file->writer->setFormat(t.stream->index, buffer, size);
    if (status == AVIERR_OK) {
        const auto* bytes = static_cast<const uint8_t*>(buffer);
        t.file->formats[static_cast<size_t>(t.stream->index)].assign(bytes, bytes + size);
    }
    return Logged("AVIStreamSetFormat", t, status);
} catch (const std::bad_alloc&) {
    return AVIERR_MEMORY;
}

int32_t vbvfw_AVIStreamRead(int16_t stream, int64_t start, int32_t count, void* buffer,
                            int32_t capacity, int32_t* bytesRead, int32_t* samplesRead) {
    if (bytesRead != nullptr) {
        *bytesRead = 0;
    }
    if (samplesRead != nullptr) {
        *samplesRead = 0;
    }
    State& state = GetState();
    std::lock_guard lock(state.mutex);
    const Target t = Find(state, stream, "AVIStreamRead");
    if (t.stream == nullptr) {
        return AVIERR_BADHANDLE;
    }
    if (!t.file->reader) {
        return Logged("AVIStreamRead", t, AVIERR_UNSUPPORTED);
    }
    if (capacity < 0) {
        return Logged("AVIStreamRead", t, AVIERR_BADPARAM);
    }
    int64_t bytes = 0;
    int64_t samples = 0;
    const int32_t status =
        t.file->reader->read(t.stream->index, start, count, buffer, capacity, &bytes, &samples);
    if (bytesRead != nullptr) {
        *bytesRead = ClampI32(bytes);
    }
    if (samplesRead != nullptr) {
        *samplesRead = ClampI32(samples);
    }
    return Logged("AVIStreamRead", t, status);
}

int32_t vbvfw_AVIStreamWrite(int16_t stream, int64_t start, int32_t count, const void* buffer,
                             int32_t size, int32_t flags, int32_t* samplesWritten,
                             int32_t* bytesWritten) try {
    if (samplesWritten != nullptr) {
        *samplesWritten = 0;
    }
    if (bytesWritten != nullptr) {
        *bytesWritten = 0;
    }
    State& state = GetState();
    std::lock_guard lock(state.mutex);
    const Target t = Find(state, stream, "AVIStreamWrite");
    if (t.stream == nullptr) {
        return AVIERR_BADHANDLE;
    }
    if (!t.file->writer) {
        return Logged("AVIStreamWrite", t, AVIERR_READONLY);
    }
    const int32_t status = t.file->writer->write(t.stream->index, start, count, buffer, size, flags,
                                                 samplesWritten, bytesWritten);
    if (status != AVIERR_OK && t.file->writer->systemError() != 0) {
        state.lastWriteErrno = t.file->writer->systemError();
    }
    return Logged("AVIStreamWrite", t, status);
} catch (const std::bad_alloc&) {
    return AVIERR_MEMORY;
}

int64_t vbvfw_AVIStreamFindSample(int16_t stream, int64_t pos, int32_t flags) {
    State& state = GetState();
    std::lock_guard lock(state.mutex);
    const Target t = Find(state, stream, "AVIStreamFindSample");
    if (t.stream == nullptr || !t.file->reader) {
        return -1;
    }
    return t.file->reader->findSample(t.stream->index, pos, flags);
}

int32_t vbvfw_AVIStreamRelease(int16_t stream) {
    State& state = GetState();
    std::lock_guard lock(state.mutex);
    if (state.streams.get(stream) == nullptr) {
        LogFailure("AVIStreamRelease", "", AVIERR_BADHANDLE);
        return AVIERR_BADHANDLE;
    }
    state.streams.remove(stream);
    return AVIERR_OK;
}
