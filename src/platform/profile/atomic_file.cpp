// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/profile/atomic_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <optional>
#include <string_view>

namespace profile {

namespace {

// Closes a descriptor on every path.
class Fd {
  public:
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return m_fd; }
    // Closes now and reports whether the close itself succeeded (it may report a deferred error).
    bool close() {
        const int fd = m_fd;
        m_fd = -1;
        return fd < 0 || ::close(fd) == 0;
    }

  private:
    int m_fd;
};

bool WriteAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

// The file a path finally names: symbolic links resolved, the path itself when it does not exist.
std::string ResolveTarget(const std::string& path) {
    std::error_code ec;
    if (std::filesystem::is_symlink(std::filesystem::symlink_status(path, ec))) {
        const std::filesystem::path target = std::filesystem::weakly_canonical(path, ec);
        if (!ec) {
            return target.string();
        }
    }
    return path;
}

// Creates a fresh temporary file beside `target`; mode 0666 less the umask, like any new file.
int CreateTemporary(const std::string& target, std::string& tempPath) {
    static std::atomic<unsigned> counter{0};
    const std::filesystem::path targetPath(target);
    const std::filesystem::path folder = targetPath.parent_path();
    const auto clock = static_cast<unsigned long long>(
        std::chrono::steady_clock::now().time_since_epoch().count());
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = ".";
        name += targetPath.filename().string();
        name += ".tmp-";
        name += std::to_string(::getpid());
        name += '-';
        name += std::to_string(clock);
        name += '-';
        name += std::to_string(counter.fetch_add(1));
        tempPath = (folder / name).string();
        const int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    return -1;
}

void SyncFolder(const std::string& target) {
    const std::filesystem::path parent = std::filesystem::path(target).parent_path();
    const std::string folder = parent.empty() ? std::string(".") : parent.string();
    Fd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0) {
        ::fsync(dir.get());  // best effort: the rename is already done
    }
}

// A writer killed part-way leaves its temporary file behind. Such files are removed once their
// writer is gone and they are old enough that no writer elsewhere can still be using them.
void RemoveStaleTemporaries(const std::string& target) {
    constexpr auto kMinimumAge = std::chrono::minutes(10);
    const std::filesystem::path targetPath(target);
    // Appended piece by piece: gcc 12 at -O3 sees a false overlap in "." + name + ".tmp-".
    std::string prefix = ".";
    prefix += targetPath.filename().string();
    prefix += ".tmp-";
    std::error_code ec;
    std::filesystem::directory_iterator it(targetPath.parent_path(), ec);
    for (; !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.compare(0, prefix.size(), prefix) != 0) {
            continue;
        }
        const std::string_view rest = std::string_view(name).substr(prefix.size());
        const size_t dash = rest.find('-');
        if (dash == 0 || dash == std::string_view::npos || dash > 9 ||
            rest.substr(0, dash).find_first_not_of("0123456789") != std::string_view::npos) {
            continue;
        }
        const pid_t pid = static_cast<pid_t>(std::stol(std::string(rest.substr(0, dash))));
        const bool writerGone = pid != ::getpid() && ::kill(pid, 0) != 0 && errno == ESRCH;
        std::error_code timeError;
        const auto written = std::filesystem::last_write_time(it->path(), timeError);
        if (writerGone && !timeError &&
            std::filesystem::file_time_type::clock::now() - written > kMinimumAge) {
            std::filesystem::remove(it->path(), timeError);
        }
    }
}

}  // namespace

ReadStatus ReadWholeFile(const std::string& path, std::string& bytes, size_t limit) {
    bytes.clear();
    Fd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (fd.get() < 0) {
        return (errno == ENOENT || errno == ENOTDIR) ? ReadStatus::kMissing : ReadStatus::kUnusable;
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0 ||
        static_cast<unsigned long long>(info.st_size) > limit) {
        return ReadStatus::kUnusable;
    }
    // The size is only a hint: the file may change while it is read, so the limit is kept on
    // what actually arrives.
    bytes.reserve(static_cast<size_t>(info.st_size));
    char chunk[65536];
    for (;;) {
        const ssize_t n = ::read(fd.get(), chunk, sizeof chunk);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            bytes.clear();
            return ReadStatus::kUnusable;
        }
        if (n == 0) {
            break;
        }
        if (static_cast<size_t>(n) > limit - bytes.size()) {
            bytes.clear();
            return ReadStatus::kUnusable;
        }
        bytes.append(chunk, static_cast<size_t>(n));
    }
    return ReadStatus::kOk;
}

bool ReplaceFileAtomically(const std::string& path, const std::string& bytes) {
    if (path.empty()) {
        return false;
    }
    const std::string target = ResolveTarget(path);
    struct stat old {};
    const bool existed = ::stat(target.c_str(), &old) == 0;
    if (existed && !S_ISREG(old.st_mode)) {
        return false;
    }
    std::string tempPath;
    Fd fd(CreateTemporary(target, tempPath));
    if (fd.get() < 0) {
        return false;
    }
    bool ok = true;
    if (existed) {
        // Owner first: changing it may clear set-id bits, which the mode then restores.
        if (::fchown(fd.get(), old.st_uid, old.st_gid) != 0) {
            // Ordinary users may not give files away; the file stays theirs, the mode still
            // applies.
        }
        ok = ::fchmod(fd.get(), old.st_mode & 07777) == 0;
    }
    ok = ok && WriteAll(fd.get(), bytes) && ::fsync(fd.get()) == 0;
    ok = fd.close() && ok;
    ok = ok && ::rename(tempPath.c_str(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(tempPath.c_str());
        return false;
    }
    SyncFolder(target);
    RemoveStaleTemporaries(target);
    return true;
}

FolderLock::FolderLock(const std::string& fileInFolder) {
    const std::filesystem::path parent = std::filesystem::path(fileInFolder).parent_path();
    const std::string folder = parent.empty() ? std::string(".") : parent.string();
    m_fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_fd < 0) {
        return;
    }
    for (int attempt = 0; attempt < 200; ++attempt) {
        if (::flock(m_fd, LOCK_EX | LOCK_NB) == 0) {
            m_locked = true;
            return;
        }
        if (errno != EWOULDBLOCK && errno != EINTR) {
            return;
        }
        ::usleep(10000);
    }
}

FolderLock::~FolderLock() {
    if (m_fd >= 0) {
        ::close(m_fd);  // releases the lock
    }
}

}  // namespace profile
