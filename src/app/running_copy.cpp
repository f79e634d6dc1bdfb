#include "app/running_copy.h"

#include <QCryptographicHash>
#include <QtEndian>

#include <unistd.h>

QString ChannelNameForTitle(const QString& title)
{
    const QByteArray hash = QCryptographicHash::hash(title.toUtf8(), QCryptographicHash::Sha1);
    return QStringLiteral("tavro-%1-%2")
        .arg(::getuid())
        .arg(QString::fromLatin1(hash.toHex().left(16)));
}

std::string ChannelPath(const QString& name)
{
    const std::string folder = ChannelFolder();
    return folder.empty() ? folder : folder + "/" + name.toStdString();
}

std::string EncodeChannelRecord(UINT message, WPARAM wParam, LPARAM lParam)
{
    std::string record(kChannelRecordSize, '\0');
    qToBigEndian(quint32(message), record.data());
    qToBigEndian(quint64(wParam), record.data() + 4);
    qToBigEndian(qint64(lParam), record.data() + 12);
    return record;
}

void DecodeChannelRecord(const char* record, UINT& message, WPARAM& wParam, LPARAM& lParam)
{
    message = qFromBigEndian<quint32>(record);
    wParam = static_cast<WPARAM>(qFromBigEndian<quint64>(record + 4));
    lParam = static_cast<LPARAM>(qFromBigEndian<qint64>(record + 12));
}
