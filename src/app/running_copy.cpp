#include "app/running_copy.h"

#include <QCryptographicHash>
#include <QDir>

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
    // Where copies of earlier versions made it too, so that they still find each other.
    return QDir(QDir::tempPath()).filePath(name).toStdString();
}

std::string EncodeChannelRecord(UINT message, WPARAM wParam, LPARAM lParam)
{
    std::string record;
    const auto put = [&record](std::uint64_t value, int bytes) {
        for (int i = bytes - 1; i >= 0; --i)
            record.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    };
    put(message, 4);
    put(static_cast<std::uint64_t>(wParam), 8);
    put(static_cast<std::uint64_t>(lParam), 8);
    return record;
}

void DecodeChannelRecord(const char* record, UINT& message, WPARAM& wParam, LPARAM& lParam)
{
    const auto get = [&record](int bytes) {
        std::uint64_t value = 0;
        for (int i = 0; i < bytes; ++i)
            value = (value << 8) | static_cast<unsigned char>(*record++);
        return value;
    };
    message = static_cast<UINT>(get(4));
    wParam = static_cast<WPARAM>(get(8));
    lParam = static_cast<LPARAM>(get(8));
}
