#pragma once

// The web module as the program uses it on X11: the engine runs in a page process of its
// own (TavroPage), started when a page is first shown and ended a while after the last page
// went, so that a program that spends the day as a widget does not carry the engine all
// day. The page process puts its window inside the page area's own native window, so that
// the user and the window manager see one window. If the page process crashes, hangs or
// cannot start, the page area shows our error card and its retry starts a new one.

#include "web/page_link.h"
#include "web/web_module.h"

#include <QString>
#include <QWidget>

#include <chrono>
#include <memory>
#include <set>
#include <string>

class CPageFailureView;
class CRemotePageView;
class QTimer;

// The file name of the page process, next to the program.
constexpr const char* kPageProgramName = "TavroPage";

// One running page process, as the program sees it.
class CPageProcess
{
public:
    // Starts `program` for pages that get `script` (and our error page when `errorPage`).
    // Null when it cannot start; `error` says why.
    static std::unique_ptr<CPageProcess> Start(const QString& program, const std::string& script,
                                               bool errorPage, QString* error);
    ~CPageProcess();
    CPageProcess(const CPageProcess&) = delete;
    CPageProcess& operator=(const CPageProcess&) = delete;

    bool Send(PageMessageKind kind, std::vector<std::string> fields = {});
    std::optional<PageMessage> WaitFor(PageMessageKind kind, std::chrono::milliseconds timeout);
    bool IsAlive() const { return m_pid > 0; }
    bool Suits(const std::string& script, bool errorPage) const;
    // Who hears from it; cleared when a view lets it go.
    void SetOnMessage(std::function<void(const PageMessage&)> callback);
    // Called once when it has crashed, hung or closed the channel; it has then been ended.
    void SetOnGone(std::function<void()> callback);
    // Ends it: asked to quit first when `ask` (the engine then ends its helpers in order),
    // killed at once otherwise.
    void End(bool ask = true);

private:
    CPageProcess(int pid, int fd, std::string script, bool errorPage);
    void CheckAlive();

    int m_pid;
    PageLink m_link;
    std::string m_script;
    bool m_errorPage;
    bool m_ready = false;
    std::chrono::steady_clock::time_point m_lastHeard;
    QTimer* m_watch;
    std::function<void(const PageMessage&)> m_onMessage;
    std::function<void()> m_onGone;
};

class CRemoteWebModule : public IWebModule
{
public:
    // `program`: the page process to start; `linger`: how long it is kept after the last
    // view went, for a quick reopen.
    CRemoteWebModule(QString program, std::chrono::milliseconds linger);
    ~CRemoteWebModule();

    IBrowserView* CreateView(QWidget* parent, const QRect& rect, const BrowserHost& host) override;
    void DestroyView(IBrowserView* view) override;
    // Also ends the page process.
    void DestroyAllViews() override;
    int ViewCount() const override { return static_cast<int>(m_views.size()); }

    // For views: a page process for `script`, the kept one when it suits, else a new one.
    std::unique_ptr<CPageProcess> TakeProcess(const std::string& script, bool errorPage,
                                              QString* error);
    // Keeps `process`, taken out of a view's window, for the linger time.
    void KeepProcess(std::unique_ptr<CPageProcess> process);
    void Forget(CRemotePageView* view) { m_views.erase(view); }
    bool HasKeptProcess() const { return m_kept && m_kept->IsAlive(); }

private:
    void EndKeptProcess();

    QString m_program;
    std::chrono::milliseconds m_linger;
    std::set<CRemotePageView*> m_views;
    std::unique_ptr<CPageProcess> m_kept;
    QTimer* m_lingerTimer = nullptr;
};

// One page, in a native window of the program's, filled by the page process's window.
class CRemotePageView : public QWidget, public IBrowserView
{
public:
    CRemotePageView(CRemoteWebModule& module, const BrowserHost& host, QWidget* parent);
    ~CRemotePageView() override;

    QWidget* Widget() override { return this; }
    void Navigate(const QString& url) override;
    void SetSilent(bool silent) override;
    int ReadyState() const override { return m_readyState; }
    void SetLoadFinished(std::function<void(bool ok)> callback) override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;

private:
    bool Connect();
    void OnMessage(const PageMessage& message);
    void OnProcessGone();
    void ShowFailure();
    void Finish(bool ok);

    CRemoteWebModule& m_module;
    BrowserHost m_host;
    std::unique_ptr<CPageProcess> m_process;
    // A process that has gone, kept until no call of its own is on the stack.
    std::unique_ptr<CPageProcess> m_gone;
    CPageFailureView* m_failure;
    int m_readyState = READYSTATE_UNINITIALIZED;
    std::function<void(bool ok)> m_onLoadFinished;
    QString m_address;
    bool m_silent = false;
    // Bumped by every navigation, so that a late report of an earlier one is not taken for it.
    unsigned m_navigation = 0;
};

// Whether pages run in a page process here: on X11, where a window of another process can sit
// inside ours, when the page program is installed beside the program, unless
// TAVRO_PAGE_PROCESS=0 asks for the engine inside the program.
bool UsePageProcess(const QString& program);

// The module for this process, made on first use (linger from TAVRO_PAGE_LINGER_MS, else 60 s).
CRemoteWebModule* RemoteWebModule(const QString& program);
