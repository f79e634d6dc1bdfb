#include "app/running_copy.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDeadlineTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>

#include <unistd.h>

namespace {

constexpr int kRecordSize = sizeof(quint32) + 2 * sizeof(quint64);

QByteArray EncodeRecord(UINT message, WPARAM wParam, LPARAM lParam)
{
    QByteArray record;
    QDataStream out(&record, QIODevice::WriteOnly);
    out << quint32(message) << quint64(wParam) << qint64(lParam);
    return record;
}

} // namespace

QString ChannelNameForTitle(const QString& title)
{
    const QByteArray hash = QCryptographicHash::hash(title.toUtf8(), QCryptographicHash::Sha1);
    return QStringLiteral("tavro-%1-%2")
        .arg(::getuid())
        .arg(QString::fromLatin1(hash.toHex().left(16)));
}

RunningCopyListener::RunningCopyListener(Handler handler)
    : m_handler(std::move(handler)), m_server(new QLocalServer(this))
{
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, &RunningCopyListener::OnNewConnection);
}

RunningCopyListener::~RunningCopyListener() = default;

bool RunningCopyListener::Listen(const QString& title)
{
    const QString name = ChannelNameForTitle(title);
    if (m_server->isListening() && m_server->serverName() == name)
        return true;
    m_server->close();
    QLocalServer::removeServer(name);
    return m_server->listen(name);
}

void RunningCopyListener::OnNewConnection()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            while (socket->bytesAvailable() >= kRecordSize) {
                QDataStream in(socket->read(kRecordSize));
                quint32 message = 0;
                quint64 wParam = 0;
                qint64 lParam = 0;
                in >> message >> wParam >> lParam;
                m_handler(message, static_cast<WPARAM>(wParam), static_cast<LPARAM>(lParam));
            }
        });
    }
}

bool PostToRunningCopy(const QString& title, UINT message, WPARAM wParam, LPARAM lParam, int waitMs)
{
    const QString name = ChannelNameForTitle(title);
    QDeadlineTimer deadline(waitMs);
    for (;;) {
        QLocalSocket socket;
        socket.connectToServer(name);
        if (socket.waitForConnected(200)) {
            socket.write(EncodeRecord(message, wParam, lParam));
            const bool sent = socket.waitForBytesWritten(1000);
            socket.disconnectFromServer();
            return sent;
        }
        if (deadline.hasExpired())
            return false;
        QThread::msleep(50);
    }
}
