// SPDX-License-Identifier: GPL-3.0-or-later
// Where a join writes: a new file beside the destination that replaces it only once the join
// succeeded, or is kept as "NAME.partial.avi" after a failure or a cancel. While a join writes,
// it holds a lock on its part, so that the next join to the same destination can tell a part
// being written (refused: two joins must not both replace one file) from one a killed join left
// behind (removed).
#pragma once

#include <cerrno>
#include <cstddef>
#include <string>

#include "platform/files.h"

namespace join {

// The longest file name (one folder entry, in bytes) the file systems we write to allow.
inline constexpr size_t kMaxFileNameBytes = 255;

// "dir/NAME.partial.avi" for "dir/NAME.avi" (also for a name without ".avi"), and with n > 1
// "dir/NAME.n.partial.avi". A NAME too long to take the suffix is shortened (its end replaced by
// a hash of the whole name), so the name fits whatever the destination's length.
std::string PartialFileName(const std::string& destination, int n = 1);

// The name a join writes under: "dir/NAME.XXXXXX.partial.avi" with XXXXXX random, shortened as
// above, so that a join killed outright leaves nothing but a ".partial.avi" file.
std::string TemporaryFileName(const std::string& destination);

// Why a join may not write to destination, or empty when it may: the name must name a file (not
// end in "/"), and what it names must be nothing yet or a regular file. The texts continue
// "opening destination file NAME ".
std::string DestinationProblem(const platform::Files& files, const std::string& destination);

// Renames from to to unless to exists. errno (0 on success, EEXIST when to exists).
int RenameWithoutReplacing(const std::string& from, const std::string& to);

// A join's hold on its destination, from creating its part until it ends.
class DestinationClaim {
  public:
    DestinationClaim() = default;
    ~DestinationClaim();
    DestinationClaim(const DestinationClaim&) = delete;
    DestinationClaim& operator=(const DestinationClaim&) = delete;

    // Removes the parts that joins no longer running left for this destination, then calls
    // create(name) with fresh temporary names until it answers 0 (created) or something other
    // than EEXIST, and locks the part created. EBUSY when another join is writing the destination
    // now (nothing created), else create's answer.
    template <typename Create>
    int take(const std::string& destination, Create&& create) {
        const int folder = lockFolder(destination);
        int result = removeStaleParts(destination);
        for (int attempt = 0; result == 0 && attempt < 32; ++attempt) {
            m_part = TemporaryFileName(destination);
            result = create(m_part);
            if (result != EEXIST) {
                break;
            }
        }
        if (result == 0) {
            lockPart();
        } else {
            m_part.clear();
        }
        unlockFolder(folder);
        return result;
    }

    const std::string& part() const { return m_part; }
    // Lets go of the part (after it was renamed or removed).
    void release();

  private:
    static int lockFolder(const std::string& destination);
    static void unlockFolder(int fd);
    static int removeStaleParts(const std::string& destination);
    void lockPart();

    std::string m_part;
    int m_lock = -1;
};

}  // namespace join
