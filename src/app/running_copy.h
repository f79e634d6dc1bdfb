#pragma once

// How a second copy finds the running one: the running copy's parent window listens on a
// per-user local channel named after its window title, and a second copy hands it a
// window message through that channel, which the running copy posts to its parent window.
// The channel lies in the user's own runtime folder, each end checks that the other runs
// as the same user, and the only message taken is "show the main window": nobody else can
// take the channel's place or make the program do anything else through it.

#include "ui/messages.h"

#include <QObject>
#include <QString>

#include <functional>
#include <map>
#include <memory>
#include <string>

class QSocketNotifier;

class RunningCopyListener : public QObject
{
public:
    using Handler = std::function<void(UINT, WPARAM, LPARAM)>;

    explicit RunningCopyListener(Handler handler);
    ~RunningCopyListener() override;

    // Starts listening under the given window title. A channel left behind by a copy that
    // was killed is removed first.
    bool Listen(const QString& title);

private:
    struct Connection;
    void Close();
    void OnNewConnection();
    void OnReadable(int fd);

    Handler m_handler;
    QString m_name;
    std::string m_path; // where the channel was made
    int m_fd = -1;
    std::unique_ptr<QSocketNotifier> m_notifier;
    std::map<int, std::unique_ptr<Connection>> m_connections;
};

// The channel name for a window title: per user, free of characters a socket name forbids.
QString ChannelNameForTitle(const QString& title);

// The folder the channel lies in: $XDG_RUNTIME_DIR, or when that is unset or unusable a
// folder of this user's own in the temporary folder, made 0700. A folder that is a link,
// belongs to another user or lets others in is refused. Empty when there is none.
std::string ChannelFolder();

// Where the channel of that name lies; empty when there is no safe folder for it.
std::string ChannelPath(const QString& name);

// One message as it travels: message, wParam, lParam, big-endian, 20 bytes.
inline constexpr std::size_t kChannelRecordSize = 4 + 8 + 8;
std::string EncodeChannelRecord(UINT message, WPARAM wParam, LPARAM lParam);
void DecodeChannelRecord(const char* record, UINT& message, WPARAM& wParam, LPARAM& lParam);

// Hands (message, wParam, lParam) to the copy whose parent window has this title. Tries
// for up to `waitMs` while the channel is not there yet; false when nobody took it.
bool PostToRunningCopy(const QString& title, UINT message, WPARAM wParam, LPARAM lParam,
                       int waitMs = 0);
