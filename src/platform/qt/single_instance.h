// SPDX-License-Identifier: GPL-3.0-or-later
// One running program per user session: a program started while another runs hands its files
// to it over a local socket and ends; the running one takes them as if they were dropped on it.
#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <string>
#include <vector>

class QLocalServer;
class QLocalSocket;

namespace platform {

class SingleInstance : public QObject {
  public:
    // name: the local socket's name, the same for every program that should be one.
    explicit SingleInstance(QString name, QObject* parent = nullptr);
    ~SingleInstance() override;

    // Hands the files (full paths, maybe none) to a program that listens under the name and
    // waits for it to take them; false when none does. Needs no event loop.
    bool handOver(const std::vector<std::string>& files, int timeoutMs = 5000) const;

    // Listens under the name from now on; onFiles runs on this thread for each hand-over. False
    // when another program listens already. A name left behind by a program that ended is
    // taken over.
    bool listen(std::function<void(const std::vector<std::string>& files)> onFiles);

    // What crosses the socket: each path followed by a NUL, then one more NUL.
    static QByteArray Encode(const std::vector<std::string>& files);
    // The paths of a whole message; false while the message is not complete yet.
    static bool Decode(const QByteArray& message, std::vector<std::string>* files);

  private:
    void take(QLocalSocket* socket);

    QString m_name;
    QLocalServer* m_server = nullptr;
    std::function<void(const std::vector<std::string>&)> m_onFiles;
};

}  // namespace platform
