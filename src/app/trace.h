#pragma once

// The program's diagnostics are Qt logging categories named tavro.<module> (tavro.app,
// tavro.skin, tavro.web, ...), each declared by the module that writes it. One handler
// decides where their lines go, so that support and the end-to-end tests read one trail.

#include <QLoggingCategory>
#include <QtGlobal>

#include <cstdio>
#include <string>

Q_DECLARE_LOGGING_CATEGORY(lcApp)

// A diagnostic trail of what the parent window did, for support and the end-to-end tests:
// an info message of tavro.app, kept only while a trace file is written.
void Trace(const std::string& line);

// The file the TAVRO_TRACE variable names; empty when it is unset or empty.
std::string TracePathFromEnvironment();

// While it lives, the messages of the tavro.* categories go:
// - warnings and worse to `console` as the plain message text, one line each, as the
//   program has always printed them;
// - every one of them (the trail's info lines included) to the trace file, when a path is
//   given, as "<process id> <message>", appended and flushed at once.
// The host module's warnings (tavro.host) are taken in too. Messages of other categories
// go on to the handler that was installed before. One at a time; the previous handler and
// filter rules come back when it ends.
class TraceHandler
{
public:
    explicit TraceHandler(const std::string& tracePath, std::FILE* console = stderr);
    ~TraceHandler();
    TraceHandler(const TraceHandler&) = delete;
    TraceHandler& operator=(const TraceHandler&) = delete;

    // Whether the trace file is open.
    bool IsWriting() const { return m_file != nullptr; }

private:
    static void OnMessage(QtMsgType type, const QMessageLogContext& context, const QString& text);

    std::FILE* m_file = nullptr;
    std::FILE* m_console;
    QtMessageHandler m_previous = nullptr;
};
