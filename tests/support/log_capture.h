#pragma once

// Collects the messages of one logging category (tavro.skin, ...) while it lives, for tests
// that check what a module reported. Messages of other categories go on to the handler
// that was installed before, which comes back when the capture ends. One at a time.

#include <QLoggingCategory>
#include <QString>

#include <cstring>
#include <mutex>
#include <string>
#include <vector>

class LogCapture
{
public:
    explicit LogCapture(const char* category) : m_category(category)
    {
        std::lock_guard lock(Mutex());
        Current() = this;
        m_previous = qInstallMessageHandler(&LogCapture::OnMessage);
    }
    ~LogCapture()
    {
        std::lock_guard lock(Mutex());
        qInstallMessageHandler(m_previous);
        Current() = nullptr;
    }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::vector<std::wstring> Lines() const
    {
        std::lock_guard lock(Mutex());
        return m_lines;
    }

private:
    static std::mutex& Mutex()
    {
        static std::mutex mutex;
        return mutex;
    }
    static LogCapture*& Current()
    {
        static LogCapture* current = nullptr;
        return current;
    }
    static void OnMessage(QtMsgType type, const QMessageLogContext& context, const QString& text)
    {
        QtMessageHandler previous = nullptr;
        {
            std::lock_guard lock(Mutex());
            LogCapture* capture = Current();
            if (!capture)
                return;
            if (context.category && std::strcmp(context.category, capture->m_category) == 0) {
                capture->m_lines.push_back(text.toStdWString());
                return;
            }
            previous = capture->m_previous;
        }
        if (previous)
            previous(type, context, text);
    }

    const char* m_category;
    QtMessageHandler m_previous = nullptr;
    std::vector<std::wstring> m_lines;
};
