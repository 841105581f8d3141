// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/mci/qt_movie.h"

#include <QImage>
#include <QMetaObject>
#include <algorithm>
#include <cerrno>

#include "platform/mci/audio_output.h"
#include "platform/mci/mci_errors.h"

namespace mci {

QtMovie::QtMovie(std::shared_ptr<MoviePlayer> player, QWidget* parent)
    : m_player(std::move(player)) {
    if (parent != nullptr) {
        m_widget = new MovieWidget(parent, m_player);
        const AVISTREAMINFO info =
            m_player->reader().streamInfo(m_player->reader().findStream(kStreamTypeVideo, 0));
        const int64_t width = int64_t{info.rcFrameRight} - info.rcFrameLeft;
        const int64_t height = int64_t{info.rcFrameBottom} - info.rcFrameTop;
        m_widget->setGeometry(0, 0, static_cast<int>(std::clamp<int64_t>(width, 0, 8192)),
                              static_cast<int>(std::clamp<int64_t>(height, 0, 8192)));
        m_widget->show();
        // The player's thread only posts to an object of this movie that lives on the GUI
        // thread until that thread has been joined; the widget is looked at there alone.
        QPointer<MovieWidget> widget = m_widget;
        QObject* notifier = &m_notifier;
        m_player->setPictureSink([notifier, widget] {
            QMetaObject::invokeMethod(
                notifier,
                [widget] {
                    if (widget) {
                        widget->update();
                    }
                },
                Qt::QueuedConnection);
        });
    }
    m_audio = AudioOutput::Create(m_player->reader(), m_player->framesPerSecond());
    if (m_audio) {
        m_player->setPlaybackListener(m_audio.get());
    }
}

QtMovie::~QtMovie() {
    // No picture or sound call can come from the player's thread once it has been joined; then
    // the widget and the sound (stopped on this thread before it goes) can go.
    m_player->shutdown();
    delete m_widget.data();
    m_audio.reset();
}

int64_t QtMovie::length() const {
    return m_player->length();
}
int64_t QtMovie::position() const {
    return m_player->position();
}
Mode QtMovie::mode() const {
    return m_player->mode();
}
int64_t QtMovie::keyFrameAtOrBefore(int64_t frame) const {
    return m_player->keyFrameAtOrBefore(frame);
}

int32_t QtMovie::putWindow(const WindowRect& rect) {
    if (m_widget) {
        m_widget->setGeometry(rect.left, rect.top, rect.width, rect.height);
        m_widget->show();
    }
    m_player->setOutputSize(rect.width, rect.height);
    return kOk;
}

void QtMovie::seek(int64_t frame, bool exact) {
    m_player->seek(frame, exact);
}
void QtMovie::cue(int64_t frame, bool exact) {
    m_player->cue(frame, exact);
}
void QtMovie::play(int64_t from, int64_t to, bool) {
    m_player->play(from, to);
}
void QtMovie::stop() {
    m_player->stop();
}
void QtMovie::pause() {
    m_player->pause();
}
void QtMovie::resume() {
    m_player->resume();
}
bool QtMovie::waitSettled(bool includePlay, int timeoutMs) {
    return m_player->waitSettled(includePlay, timeoutMs);
}

bool QtMovie::hasAudioStream() const {
    return m_player->reader().findStream(kStreamTypeAudio, 0) >= 0;
}

std::pair<int, int> QtMovie::displayAspect() const {
    const int video = m_player->reader().findStream(kStreamTypeVideo, 0);
    if (video < 0) {
        return {0, 0};
    }
    const avi::StreamData& stream = m_player->reader().stream(video);
    return {stream.aspectX, stream.aspectY};
}

bool QtMovie::saveSnapshot(const std::string& path) const {
    const SharedFrame frame = m_player->shownPicture();
    BgraPicture picture;
    PictureScaler scaler;
    if (!frame || !scaler.toBgra(frame.get(), 0, 0, &picture)) {
        return false;
    }
    const QImage image(picture.pixels.data(), picture.width, picture.height, picture.stride,
                       QImage::Format_RGB32);
    return image.save(QString::fromStdString(path), "PNG");
}

int32_t QtMovieFactory::open(const OpenRequest& request, std::unique_ptr<Movie>* out,
                             std::string* failure) {
    QWidget* parent = nullptr;
    if (request.hasParent) {
        parent = m_windows.find(request.parent);
        if (parent == nullptr) {
            *failure = "no registered window " + std::to_string(request.parent);
            return kErrCreateWindow;
        }
    }
    std::unique_ptr<avi::Reader> reader;
    int sysErrno = 0;
    const int32_t status = avi::Reader::Open(request.path, avi::Limits(), &reader, &sysErrno);
    if (status != AVIERR_OK) {
        if (status == AVIERR_FILEOPEN) {
            const bool missing = sysErrno == ENOENT || sysErrno == ENOTDIR;
            return missing ? kErrFileNotFound : kErrFileRead;
        }
        return kErrInvalidFile;
    }
    const int stream = reader->findStream(kStreamTypeVideo, 0);
    if (stream < 0) {
        *failure = "no video stream";
        return kErrInvalidFile;
    }
    auto player = std::make_shared<MoviePlayer>(std::move(reader), stream);
    *out = std::make_unique<QtMovie>(std::move(player), parent);
    return kOk;
}

}  // namespace mci
