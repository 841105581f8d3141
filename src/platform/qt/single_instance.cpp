// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/qt/single_instance.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QVariant>
#include <utility>

namespace platform {

namespace {

const QByteArray kTaken = "taken\n";

}  // namespace

SingleInstance::SingleInstance(QString name, QObject* parent)
    : QObject(parent), m_name(std::move(name)) {}

SingleInstance::~SingleInstance() = default;

QByteArray SingleInstance::Encode(const std::vector<std::string>& files) {
    QByteArray message;
    for (const std::string& file : files) {
        message.append(file.data(), static_cast<qsizetype>(file.size()));
        message.append('\0');
    }
    message.append('\0');
    return message;
}

bool SingleInstance::Decode(const QByteArray& message, std::vector<std::string>* files) {
    files->clear();
    qsizetype start = 0;
    while (start < message.size()) {
        const qsizetype end = message.indexOf('\0', start);
        if (end < 0) {
            return false;
        }
        if (end == start) {
            return true;  // the empty path that ends the message
        }
        files->emplace_back(message.constData() + start, static_cast<size_t>(end - start));
        start = end + 1;
    }
    return false;
}

bool SingleInstance::handOver(const std::vector<std::string>& files, int timeoutMs) const {
    QLocalSocket socket;
    socket.connectToServer(m_name);
    if (!socket.waitForConnected(timeoutMs)) {
        return false;
    }
    socket.write(Encode(files));
    if (!socket.waitForBytesWritten(timeoutMs)) {
        return false;
    }
    QByteArray answer;
    while (!answer.contains('\n') && socket.waitForReadyRead(timeoutMs)) {
        answer += socket.readAll();
    }
    return answer == kTaken;
}

bool SingleInstance::listen(std::function<void(const std::vector<std::string>& files)> onFiles) {
    m_onFiles = std::move(onFiles);
    // Someone answers under the name: that program runs. Else the name, if it is there, is a
    // leftover (Qt would replace it anyway: it makes a socket with user-only access elsewhere and
    // renames it into place).
    QLocalSocket probe;
    probe.connectToServer(m_name);
    if (probe.waitForConnected(1000)) {
        return false;
    }
    QLocalServer::removeServer(m_name);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_name)) {
        return false;
    }
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] { take(socket); });
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            take(socket);
        }
    });
    return true;
}

void SingleInstance::take(QLocalSocket* socket) {
    QByteArray message = socket->property("message").toByteArray() + socket->readAll();
    socket->setProperty("message", message);
    std::vector<std::string> files;
    if (!Decode(message, &files)) {
        return;
    }
    socket->setProperty("message", QByteArray());
    socket->write(kTaken);
    socket->flush();
    if (m_onFiles) {
        m_onFiles(files);
    }
}

}  // namespace platform
