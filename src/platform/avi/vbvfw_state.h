// SPDX-License-Identifier: GPL-3.0-or-later
// Internal state behind the vbvfw_* operations: the handle tables of open files and streams, the
// status of the last failed open, and the library's log.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/avi/avi_reader.h"
#include "platform/avi/avi_writer.h"

namespace avi::vbvfw {

// A table of 16-bit handles whose freed slots are reused, lowest first.
template <typename T>
class HandleTable {
  public:
    static constexpr size_t kMaxHandles = 32767;

    // Stores an entry; -1 when every handle is taken.
    int16_t add(T value) {
        for (size_t i = 0; i < m_slots.size(); ++i) {
            if (!m_slots[i]) {
                m_slots[i] = std::move(value);
                return static_cast<int16_t>(i);
            }
        }
        if (m_slots.size() >= kMaxHandles) {
            return -1;
        }
        m_slots.push_back(std::move(value));
        return static_cast<int16_t>(m_slots.size() - 1);
    }
    T* get(int16_t handle) {
        if (handle < 0 || static_cast<size_t>(handle) >= m_slots.size() || !m_slots[handle]) {
            return nullptr;
        }
        return &*m_slots[static_cast<size_t>(handle)];
    }
    void remove(int16_t handle) {
        if (get(handle) != nullptr) {
            m_slots[static_cast<size_t>(handle)].reset();
        }
    }
    size_t capacity() const { return m_slots.size(); }

  private:
    std::vector<std::optional<T>> m_slots;
};

struct FileEntry {
    std::string path;
    std::unique_ptr<Reader> reader;             // set for files opened to read
    std::unique_ptr<Writer> writer;             // set for files opened to write
    std::vector<std::vector<uint8_t>> formats;  // formats set on a written file's streams
};

struct StreamEntry {
    int16_t file = -1;
    int index = 0;
};

struct State {
    std::mutex mutex;
    HandleTable<FileEntry> files;
    HandleTable<StreamEntry> streams;
    int32_t lastOpenStatus = 0;
    int32_t lastOpenErrno = 0;
    int32_t lastWriteErrno = 0;  // of the last failed write or release of a written file
};

State& GetState();

// Adds one line to the log, when it is open: what failed, on which file, with which status.
void LogFailure(const char* what, const std::string& file, int32_t status, int sysErrno = 0);

// Releases a file and all its streams; returns the finish status of a written file.
// The state's mutex must be held.
int32_t ReleaseFileLocked(State& state, int16_t file);

}  // namespace avi::vbvfw
