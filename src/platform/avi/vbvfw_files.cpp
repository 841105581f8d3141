// SPDX-License-Identifier: GPL-3.0-or-later
// The file half of the video-file operations: open, info, streams of a file, release.
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

#include "media/vbvfw.h"
#include "platform/avi/vbvfw_state.h"
#include "platform/files.h"

namespace avi::vbvfw {

State& GetState() {
    static State state;
    return state;
}

int32_t ReleaseFileLocked(State& state, int16_t file) {
    FileEntry* entry = state.files.get(file);
    if (entry == nullptr) {
        return AVIERR_BADHANDLE;
    }
    for (size_t i = 0; i < state.streams.capacity(); ++i) {
        const auto handle = static_cast<int16_t>(i);
        const StreamEntry* s = state.streams.get(handle);
        if (s != nullptr && s->file == file) {
            state.streams.remove(handle);
        }
    }
    int32_t status = AVIERR_OK;
    if (entry->writer) {
        int err = 0;
        try {
            status = entry->writer->finish(&err);
        } catch (const std::bad_alloc&) {
            status = AVIERR_MEMORY;
        }
        if (status != AVIERR_OK) {
            state.lastWriteErrno = err;
            LogFailure("AVIFileRelease", entry->path, status, err);
        }
    }
    state.files.remove(file);
    return status;
}

namespace {

void FailOpen(State& state, const std::string& path, int32_t status, int err) {
    state.lastOpenStatus = status;
    state.lastOpenErrno = err;
    LogFailure("AVIFileOpen", path, status, err);
}

AVIFILEINFO WrittenFileInfo(const Writer& writer) {
    AVIFILEINFO info;
    info.dwCaps = 0x3;  // read | write
    info.dwStreams = static_cast<uint32_t>(writer.streamCount());
    for (int s = 0; s < writer.streamCount(); ++s) {
        const AVISTREAMINFO si = writer.streamInfo(s);
        info.dwSuggestedBufferSize = std::max(info.dwSuggestedBufferSize, si.dwSuggestedBufferSize);
        if (s == 0) {
            info.dwScale = si.dwScale;
            info.dwRate = si.dwRate;
            info.dwLength = si.dwLength;
        }
        if (si.fccType == kStreamTypeVideo && info.dwWidth == 0) {
            info.dwWidth = static_cast<uint32_t>(std::max(0, si.rcFrameRight - si.rcFrameLeft));
            info.dwHeight = static_cast<uint32_t>(std::max(0, si.rcFrameBottom - si.rcFrameTop));
        }
    }
    std::strncpy(info.szFileType, "AVI file", sizeof info.szFileType - 1);
    return info;
}

// True when path names a file that is open through a handle now: creating it would truncate a
// file that is being read or written. The video-file operations are free functions with nothing
// passed in, so this asks the system through the one same-file rule of the Files interface.
bool IsOpenThroughHandle(State& state, const std::string& path) {
    for (size_t i = 0; i < state.files.capacity(); ++i) {
        const FileEntry* entry = state.files.get(static_cast<int16_t>(i));
        if (entry != nullptr && platform::IsSameFile(entry->path, path)) {
            return true;
        }
    }
    return false;
}

// n-th stream of a type (0: any type) in a written file; -1 when there is none.
int FindWrittenStream(const Writer& writer, uint32_t type, int n) {
    for (int s = 0; s < writer.streamCount(); ++s) {
        if (type == 0 || writer.streamInfo(s).fccType == type) {
            if (n-- == 0) {
                return s;
            }
        }
    }
    return -1;
}

}  // namespace

}  // namespace avi::vbvfw

using avi::vbvfw::FileEntry;
using avi::vbvfw::GetState;
using avi::vbvfw::LogFailure;
using avi::vbvfw::State;
using avi::vbvfw::StreamEntry;

void vbvfw_AVIFileInit() {}

void vbvfw_AVIFileExit() {
    State& state = GetState();
    std::lock_guard lock(state.mutex);
    for (size_t i = 0; i < state.files.capacity(); ++i) {
        (void)avi::vbvfw::ReleaseFileLocked(state, static_cast<int16_t>(i));
    }
}

int16_t vbvfw_AVIFileOpen(const std::string& fileName, int32_t mode) try {
    State& state = GetState();
    std::lock_guard lock(state.mutex);
    FileEntry entry;
    entry.path = fileName;
    int err = 0;
    if ((mode & kOpenCreate) != 0) {
        if (avi::vbvfw::IsOpenThroughHandle(state, fileName)) {
            avi::vbvfw::FailOpen(state, fileName, AVIERR_FILEOPEN, EBUSY);
            return -1;
        }
        avi::WriterOptions options;
        options.createNew = (mode & kOpenCreateNew) != 0;
        const int32_t status = avi::Writer::Create(fileName, options, &entry.writer, &err);
        if (status != AVIERR_OK) {
            avi::vbvfw::FailOpen(state, fileName, status, err);
            return -1;
        }
    } else if ((mode & kOpenWrite) != 0) {
        // Editing an existing file in place is not offered: joins always write a new file.
        avi::vbvfw::FailOpen(state, fileName, AVIERR_UNSUPPORTED, 0);
        return -1;
    } else {
        const int32_t status = avi::Reader::Open(fileName, avi::Limits{}, &entry.reader, &err);
        if (status != AVIERR_OK) {
            avi::vbvfw::FailOpen(state, fileName, status, status == AVIERR_FILEOPEN ? err : 0);
            return -1;
        }
    }
    const int16_t handle = state.files.add(std::move(entry));
    if (handle < 0) {
        avi::vbvfw::FailOpen(state, fileName, AVIERR_MEMORY, EMFILE);
    }
    return handle;
} catch (const std::bad_alloc&) {
    State& state = GetState();
    std::lock_guard lock(state.mutex);
    avi::vbvfw::FailOpen(state, fileName, AVIERR_MEMORY, ENOMEM);
    return -1;
}

int32_t vbvfw_error() {
    State& state = GetState();
    std::lock_guard lock(state.mutex);
    return state.lastOpenStatus;
}

int32_t vbvfw_errno() {
    State& state = GetState();
    std::lock_guard lock(state.mutex);
    return state.lastOpenErrno;
}

int32_t vbvfw_write_errno() {
    State& state = GetState();
    std::lock_guard lock(state.mutex);
    return state.lastWriteErrno;
}

int32_t vbvfw_AVIFileInfo(int16_t file, AVIFILEINFO* info, int32_t size) {
    State& state = GetState();
    std::lock_guard lock(state.mutex);
    FileEntry* entry = state.files.get(file);
    if (entry == nullptr) {
        LogFailure("AVIFileInfo", "", AVIERR_BADHANDLE);
        return AVIERR_BADHANDLE;
    }
    int32_t status = AVIERR_OK;
    if (info == nullptr) {
        status = AVIERR_BADPARAM;
    } else if (size < kAviFileInfoSize) {
        status = AVIERR_BADSIZE;
    }
    if (status != AVIERR_OK) {
        LogFailure("AVIFileInfo", entry->path, status);
        return status;
    }
    *info = entry->reader ? entry->reader->fileInfo() : avi::vbvfw::WrittenFileInfo(*entry->writer);
    return AVIERR_OK;
}

int16_t vbvfw_AVIFileGetStream(int16_t file, uint32_t type, int32_t index) {
    State& state = GetState();
    std::lock_guard lock(state.mutex);
    FileEntry* entry = state.files.get(file);
    if (entry == nullptr) {
        LogFailure("AVIFileGetStream", "", AVIERR_BADHANDLE);
        return -1;
    }
    int s = -1;
    if (index >= 0) {
        if (entry->writer) {
            s = avi::vbvfw::FindWrittenStream(*entry->writer, type, index);
        } else if (type == 0) {
            s = index < entry->reader->streamCount() ? index : -1;
        } else {
            s = entry->reader->findStream(type, index);
        }
    }
    if (s < 0) {
        LogFailure("AVIFileGetStream", entry->path, AVIERR_NODATA);
        return -1;
    }
    const int16_t handle = state.streams.add(StreamEntry{file, s});
    if (handle < 0) {
        LogFailure("AVIFileGetStream", entry->path, AVIERR_MEMORY);
    }
    return handle;
}

int16_t vbvfw_AVIFileCreateStream(int16_t file, const AVISTREAMINFO* info,
                                  int32_t /*reserved*/) try {
    State& state = GetState();
    std::lock_guard lock(state.mutex);
    FileEntry* entry = state.files.get(file);
    if (entry == nullptr) {
        LogFailure("AVIFileCreateStream", "", AVIERR_BADHANDLE);
        return -1;
    }
    int32_t status = AVIERR_OK;
    int index = -1;
    if (!entry->writer) {
        status = AVIERR_READONLY;
    } else if (info == nullptr) {
        status = AVIERR_BADPARAM;
    } else {
        status = entry->writer->addStream(*info, &index);
    }
    if (status != AVIERR_OK) {
        LogFailure("AVIFileCreateStream", entry->path, status);
        return -1;
    }
    entry->formats.resize(static_cast<size_t>(index) + 1);
    const int16_t handle = state.streams.add(StreamEntry{file, index});
    if (handle < 0) {
        LogFailure("AVIFileCreateStream", entry->path, AVIERR_MEMORY);
    }
    return handle;
} catch (const std::bad_alloc&) {
    return -1;
}

int32_t vbvfw_AVIFileRelease(int16_t file) {
    State& state = GetState();
    std::lock_guard lock(state.mutex);
    const int32_t status = avi::vbvfw::ReleaseFileLocked(state, file);
    if (status == AVIERR_BADHANDLE) {
        LogFailure("AVIFileRelease", "", status);
    }
    return status;
}
