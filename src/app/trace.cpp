#include "app/trace.h"

#include "host/diagnostics.h"

#include <QByteArray>
#include <QString>

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unistd.h>

// Info lines are the trail itself: off unless a trace file takes them, so that tests and
// normal runs print nothing of them.
Q_LOGGING_CATEGORY(lcApp, "tavro.app", QtWarningMsg)

// The host module has no Qt; its warnings are handed over to this category while a handler
// is installed.
Q_LOGGING_CATEGORY(lcHost, "tavro.host")

namespace {

// Messages may come from the update worker's thread.
std::mutex g_mutex;
TraceHandler* g_current = nullptr;

bool IsOurs(const char* category) { return category && std::strncmp(category, "tavro.", 6) == 0; }

bool IsProblem(QtMsgType type)
{
    return type == QtWarningMsg || type == QtCriticalMsg || type == QtFatalMsg;
}

void HostWarningToLog(const std::string& line)
{
    qCWarning(lcHost).noquote() << QString::fromStdString(line);
}

} // namespace

void Trace(const std::string& line) { qCInfo(lcApp).noquote() << QString::fromStdString(line); }

std::string TracePathFromEnvironment()
{
    const char* path = std::getenv("TAVRO_TRACE");
    return path ? std::string(path) : std::string();
}

TraceHandler::TraceHandler(const std::string& tracePath, std::FILE* console) : m_console(console)
{
    if (!tracePath.empty())
        m_file = std::fopen(tracePath.c_str(), "a");
    {
        std::lock_guard lock(g_mutex);
        g_current = this;
    }
    m_previous = qInstallMessageHandler(&TraceHandler::OnMessage);
    SetHostWarningSink(&HostWarningToLog);
    if (m_file)
        QLoggingCategory::setFilterRules(QStringLiteral("tavro.*.info=true"));
}

TraceHandler::~TraceHandler()
{
    SetHostWarningSink(nullptr);
    if (m_file)
        QLoggingCategory::setFilterRules(QString());
    qInstallMessageHandler(m_previous);
    std::lock_guard lock(g_mutex);
    g_current = nullptr;
    if (m_file)
        std::fclose(m_file);
}

void TraceHandler::OnMessage(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    QtMessageHandler previous = nullptr;
    {
        std::lock_guard lock(g_mutex);
        if (!g_current)
            return;
        if (IsOurs(context.category)) {
            if (IsProblem(type) && g_current->m_console) {
                std::fprintf(g_current->m_console, "%s\n", text.toLocal8Bit().constData());
                std::fflush(g_current->m_console);
            }
            if (g_current->m_file) {
                std::fprintf(g_current->m_file, "%d %s\n", static_cast<int>(::getpid()),
                             text.toUtf8().constData());
                std::fflush(g_current->m_file);
            }
            return;
        }
        previous = g_current->m_previous;
    }
    // Outside the lock: Qt's own handler may end the process on a fatal message.
    if (previous)
        previous(type, context, text);
}
