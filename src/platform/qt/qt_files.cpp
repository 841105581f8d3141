// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/qt/qt_files.h"

#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <cerrno>
#include <cstring>

#include "platform/qt/qt_text.h"

namespace platform {

int32_t QtFiles::moveToTrash(const std::string& path, std::string* errorText) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        const int code = errno;
        if (errorText != nullptr) {
            *errorText = std::strerror(code);
        }
        return code;
    }
    // The home trash lives in the data folder, which a new account may not have yet; without it
    // Qt would put the file in "files" below the current folder.
    const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (dataHome.isEmpty() || !QDir().mkpath(dataHome)) {
        if (errorText != nullptr) {
            *errorText = "no data folder for the trash";
        }
        return kTrashUnavailable;
    }
    QFile file(ToQString(path));
    if (file.moveToTrash()) {
        // Anywhere but in a trash folder the file would be as good as lost: put it back.
        const QString trashed = file.fileName();
        if (QFileInfo(trashed).isAbsolute() && (trashed.contains(QStringLiteral("/Trash/files/")) ||
                                                trashed.contains(QStringLiteral("/.Trash")))) {
            return 0;
        }
        QFile::rename(trashed, ToQString(path));
    }
    if (errorText != nullptr) {
        *errorText = ToUtf8(file.errorString());
    }
    return kTrashUnavailable;
}

}  // namespace platform
