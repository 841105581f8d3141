// SPDX-License-Identifier: GPL-3.0-or-later
// The library's log file and the forwarding of movie-device command strings.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <mutex>

#include "media/vbvfw.h"
#include "platform/avi/vbvfw_state.h"

namespace {

constexpr int32_t kMciCannotLoadDriver = 266;

struct Log {
    std::mutex mutex;
    FILE* file = nullptr;
};

Log& GetLog() {
    static Log log;
    return log;
}

struct Mci {
    std::mutex mutex;
    MciHandler handler;
};

Mci& GetMci() {
    static Mci mci;
    return mci;
}

void WriteLineLocked(Log& log, const std::string& line) {
    if (log.file == nullptr) {
        return;
    }
    std::fwrite(line.data(), 1, line.size(), log.file);
    std::fputc('\n', log.file);
    std::fflush(log.file);  // the last lines before a crash are the useful ones
}

// The log is appended to a regular file only. Opening never waits (a FIFO put at its place would
// block until someone reads it), and whatever else stands there (a FIFO, a device, a folder) is
// left alone: start-up goes on without a log.
FILE* OpenLogFile(const std::string& path) {
    const int fd = ::open(path.c_str(),
                          O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0644);
    if (fd < 0) {
        return nullptr;
    }
    struct stat info {};
    const int flags = ::fcntl(fd, F_GETFL);
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || flags < 0 ||
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return nullptr;
    }
    FILE* file = ::fdopen(fd, "a");
    if (file == nullptr) {
        ::close(fd);
    }
    return file;
}

}  // namespace

namespace avi::vbvfw {

void LogFailure(const char* what, const std::string& file, int32_t status, int sysErrno) {
    Log& log = GetLog();
    std::lock_guard lock(log.mutex);
    if (log.file == nullptr) {
        return;
    }
    char text[64];
    std::snprintf(text, sizeof text, "0x%08X (%d)", static_cast<unsigned>(status),
                  static_cast<int>(status & 0xFFF));
    std::string line = std::string(what) + " failed: file \"" + file + "\" status " + text;
    if (sysErrno != 0) {
        line += " errno " + std::to_string(sysErrno) + " (" + std::strerror(sysErrno) + ")";
    }
    WriteLineLocked(log, line);
}

}  // namespace avi::vbvfw

int16_t vbvfw_log_open(const std::string& path) {
    Log& log = GetLog();
    std::lock_guard lock(log.mutex);
    if (log.file != nullptr) {
        std::fclose(log.file);
        log.file = nullptr;
    }
    log.file = OpenLogFile(path);
    return log.file != nullptr ? 0 : -1;
}

void vbvfw_log_write(const std::string& line) {
    Log& log = GetLog();
    std::lock_guard lock(log.mutex);
    WriteLineLocked(log, line);
}

void vbvfw_log_close() {
    Log& log = GetLog();
    std::lock_guard lock(log.mutex);
    if (log.file != nullptr) {
        std::fclose(log.file);
        log.file = nullptr;
    }
}

void vbvfw_set_mci_handler(MciHandler handler) {
    Mci& mci = GetMci();
    std::lock_guard lock(mci.mutex);
    mci.handler = std::move(handler);
}

int32_t vbvfw_mciSendString(const std::string& command, std::string& reply) {
    MciHandler handler;
    {
        Mci& mci = GetMci();
        std::lock_guard lock(mci.mutex);
        handler = mci.handler;
    }
    if (!handler) {
        reply = "cannot load the movie device";
        avi::vbvfw::LogFailure("mciSendString", command, kMciCannotLoadDriver);
        return kMciCannotLoadDriver;
    }
    return handler(command, reply);
}
