#include "web/remote_web_module.h"

#include "host/host_utils.h"
#include "web/error_page.h"
#include "web/page_failure_view.h"
#include "web/page_process.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QPointer>
#include <QTimer>

Q_DECLARE_LOGGING_CATEGORY(lcWeb)

namespace {

using namespace std::chrono_literals;

// The page process is asked how it is every few seconds while it runs. One that says
// nothing for the limit is taken for hung; before it has started its engine it gets longer,
// as a cold start on a busy machine takes seconds.
constexpr auto kPingInterval = 2s;
constexpr auto kHangLimit = 15s;
constexpr auto kStartLimit = 60s;
// How long a view waits for its page to leave its window before the window goes.
constexpr auto kDetachWait = 1s;
// How long a page process asked to quit gets before it is killed.
constexpr auto kQuitGrace = 2s;
constexpr auto kDefaultLinger = 60s;

CRemoteWebModule* g_remote = nullptr;

} // namespace

// --- CPageProcess

std::unique_ptr<CPageProcess> CPageProcess::Start(const QString& program, const std::string& script,
                                                  bool errorPage, QString* error)
{
    std::string why;
    const SpawnedPage spawned = SpawnPageProcess(
        program.toStdString(), {std::to_string(QCoreApplication::applicationPid())}, &why);
    if (spawned.pid <= 0) {
        if (error)
            *error = QString::fromStdString(why);
        return nullptr;
    }
    std::unique_ptr<CPageProcess> process(
        new CPageProcess(spawned.pid, spawned.fd, script, errorPage));
    process->Send(PageMessageKind::Configure, {script, errorPage ? "1" : "0"});
    return process;
}

CPageProcess::CPageProcess(int pid, int fd, std::string script, bool errorPage)
    : m_pid(pid), m_link(fd), m_script(std::move(script)), m_errorPage(errorPage),
      m_lastHeard(std::chrono::steady_clock::now()), m_watch(new QTimer)
{
    m_link.SetOnMessage([this](const PageMessage& message) {
        m_lastHeard = std::chrono::steady_clock::now();
        if (message.kind == PageMessageKind::Ready)
            m_ready = true;
        if (message.kind == PageMessageKind::Pong)
            return;
        if (auto callback = m_onMessage)
            callback(message);
    });
    m_link.SetOnClosed([this] {
        qCWarning(lcWeb) << "tavro: the page process has ended";
        End();
        if (auto callback = m_onGone)
            callback();
    });
    m_watch->setInterval(kPingInterval);
    QObject::connect(m_watch, &QTimer::timeout, [this] { CheckAlive(); });
    m_watch->start();
}

CPageProcess::~CPageProcess()
{
    End();
    delete m_watch;
}

bool CPageProcess::Send(PageMessageKind kind, std::vector<std::string> fields)
{
    return IsAlive() && m_link.Send(PageMessage{kind, std::move(fields)});
}

std::optional<PageMessage> CPageProcess::WaitFor(PageMessageKind kind,
                                                 std::chrono::milliseconds timeout)
{
    if (!IsAlive())
        return std::nullopt;
    return m_link.WaitFor(kind, timeout);
}

bool CPageProcess::Suits(const std::string& script, bool errorPage) const
{
    return IsAlive() && m_script == script && m_errorPage == errorPage;
}

void CPageProcess::SetOnMessage(std::function<void(const PageMessage&)> callback)
{
    m_onMessage = std::move(callback);
}

void CPageProcess::SetOnGone(std::function<void()> callback) { m_onGone = std::move(callback); }

void CPageProcess::CheckAlive()
{
    const auto silent = std::chrono::steady_clock::now() - m_lastHeard;
    if (silent > (m_ready ? std::chrono::nanoseconds(kHangLimit) : kStartLimit)) {
        qCWarning(lcWeb) << "tavro: the page process does not answer; it is ended";
        End(false);
        if (auto callback = m_onGone)
            callback();
        return;
    }
    m_link.Send(PageMessage{PageMessageKind::Ping, {}});
}

void CPageProcess::End(bool ask)
{
    if (m_pid <= 0)
        return;
    m_watch->stop();
    const bool asked = ask && m_link.Send(PageMessage{PageMessageKind::Quit, {}});
    m_link.Close();
    EndPageProcess(m_pid, asked ? std::chrono::milliseconds(kQuitGrace) : 0ms);
    m_pid = -1;
}

// --- CRemoteWebModule

CRemoteWebModule::CRemoteWebModule(QString program, std::chrono::milliseconds linger)
    : m_program(std::move(program)), m_linger(linger)
{}

CRemoteWebModule::~CRemoteWebModule()
{
    DestroyAllViews();
    delete m_lingerTimer;
}

IBrowserView* CRemoteWebModule::CreateView(QWidget* parent, const QRect& rect,
                                           const BrowserHost& host)
{
    auto* view = new CRemotePageView(*this, host, parent);
    view->setGeometry(rect);
    view->show();
    m_views.insert(view);
    return view;
}

void CRemoteWebModule::DestroyView(IBrowserView* view)
{
    for (CRemotePageView* known : m_views) {
        if (static_cast<IBrowserView*>(known) == view) {
            delete known;
            return;
        }
    }
}

void CRemoteWebModule::DestroyAllViews()
{
    while (!m_views.empty())
        delete *m_views.begin();
    EndKeptProcess();
}

std::unique_ptr<CPageProcess> CRemoteWebModule::TakeProcess(const std::string& script,
                                                            bool errorPage, QString* error)
{
    if (m_kept && m_kept->Suits(script, errorPage)) {
        if (m_lingerTimer)
            m_lingerTimer->stop();
        return std::move(m_kept);
    }
    EndKeptProcess();
    return CPageProcess::Start(m_program, script, errorPage, error);
}

void CRemoteWebModule::KeepProcess(std::unique_ptr<CPageProcess> process)
{
    EndKeptProcess();
    if (!process || !process->IsAlive())
        return;
    m_kept = std::move(process);
    // One that ends while kept is left as it is until it would be used or dropped.
    m_kept->SetOnMessage({});
    m_kept->SetOnGone({});
    if (!m_lingerTimer) {
        m_lingerTimer = new QTimer;
        m_lingerTimer->setSingleShot(true);
        QObject::connect(m_lingerTimer, &QTimer::timeout, [this] { EndKeptProcess(); });
    }
    m_lingerTimer->start(m_linger);
}

void CRemoteWebModule::EndKeptProcess()
{
    if (m_lingerTimer)
        m_lingerTimer->stop();
    if (!m_kept)
        return;
    m_kept.reset();
    if (m_views.empty())
        ReturnFreeHeapToSystem();
}

// --- CRemotePageView

CRemotePageView::CRemotePageView(CRemoteWebModule& module, const BrowserHost& host, QWidget* parent)
    : QWidget(parent), m_module(module), m_host(host),
      m_failure(new CPageFailureView(this, [this] { Navigate(m_address); }))
{
    // A window of its own, for the page process's window to sit in.
    setAttribute(Qt::WA_NativeWindow);
    setAttribute(Qt::WA_DontCreateNativeAncestors);
    setFocusPolicy(Qt::StrongFocus);
    m_failure->hide();
    // Started now: the engine starts while the program makes and shows its window.
    Connect();
}

CRemotePageView::~CRemotePageView()
{
    m_module.Forget(this);
    if (!m_process || !m_process->IsAlive())
        return;
    m_process->SetOnMessage({});
    m_process->SetOnGone({});
    // The page's window is a child of ours, which goes now: it is taken out first, so that
    // the page process keeps a window for the next show.
    m_process->Send(PageMessageKind::Detach);
    if (m_process->WaitFor(PageMessageKind::Detached, kDetachWait))
        m_module.KeepProcess(std::move(m_process));
    else
        m_process.reset();
}

bool CRemotePageView::Connect()
{
    m_gone.reset();
    QString error;
    m_process = m_module.TakeProcess(m_host.externalScript, bool(m_host.errorPage), &error);
    if (!m_process) {
        qCWarning(lcWeb).noquote() << "tavro: cannot start the page process:" << error;
        return false;
    }
    m_process->SetOnMessage([this](const PageMessage& message) { OnMessage(message); });
    m_process->SetOnGone([this] { OnProcessGone(); });
    const WId window = winId();
    // The page process must find our window on the server when it asks to go inside it.
    SyncWindowSystem();
    m_process->Send(PageMessageKind::Attach,
                    {std::to_string(window), std::to_string(std::max(1, width())),
                     std::to_string(std::max(1, height()))});
    m_process->Send(PageMessageKind::SetSilent, {m_silent ? "1" : "0"});
    if (hasFocus())
        m_process->Send(PageMessageKind::Focus);
    return true;
}

void CRemotePageView::Navigate(const QString& url)
{
    ++m_navigation;
    m_address = url;
    m_readyState = READYSTATE_LOADING;
    if ((m_process && m_process->IsAlive()) || Connect()) {
        m_process->Send(PageMessageKind::Navigate, {url.toStdString()});
        return;
    }
    ShowFailure();
    // Reported from the event loop, as a load is: the caller is still setting up its show.
    QTimer::singleShot(0, this, [this, navigation = m_navigation] {
        if (navigation == m_navigation && m_readyState == READYSTATE_LOADING)
            Finish(false);
    });
}

void CRemotePageView::SetSilent(bool silent)
{
    m_silent = silent;
    if (m_process)
        m_process->Send(PageMessageKind::SetSilent, {silent ? "1" : "0"});
}

void CRemotePageView::SetLoadFinished(std::function<void(bool ok)> callback)
{
    m_onLoadFinished = std::move(callback);
}

void CRemotePageView::OnMessage(const PageMessage& message)
{
    switch (message.kind) {
    case PageMessageKind::LoadFinished:
        Finish(message.Field(0) == "1");
        return;
    case PageMessageKind::Attached:
        m_failure->hide();
        return;
    case PageMessageKind::Alert: {
        const QPointer<CRemotePageView> self(this);
        if (m_host.showMessage)
            m_host.showMessage(QString::fromStdString(message.Field(0)).toStdWString(),
                               kBrowserBoxCaption, BoxIcon::Error);
        // The box's own loop may have seen this view, or its page process, go.
        if (self && m_process)
            m_process->Send(PageMessageKind::AlertDone);
        return;
    }
    case PageMessageKind::ErrorPageAsk: {
        const auto status = message.Number(1, 0, 999);
        std::string page;
        if (m_host.errorPage)
            page = m_host.errorPage(message.Field(0), status ? static_cast<int>(*status) : 0);
        m_process->Send(PageMessageKind::ErrorPageAnswer, {page});
        return;
    }
    default:
        return;
    }
}

void CRemotePageView::OnProcessGone()
{
    // Its own call is still on the stack; it is deleted at the next connect or with the view.
    m_gone = std::move(m_process);
    ShowFailure();
    if (m_readyState == READYSTATE_LOADING)
        Finish(false);
}

void CRemotePageView::ShowFailure()
{
    m_failure->SetRetryOffered(IsRetryableAddress(m_address.toStdString()));
    m_failure->setGeometry(rect());
    m_failure->show();
    m_failure->raise();
}

void CRemotePageView::Finish(bool ok)
{
    m_readyState = READYSTATE_COMPLETE;
    // A copy: the callback may destroy this view, and with it the original.
    if (auto callback = m_onLoadFinished)
        callback(ok);
}

void CRemotePageView::resizeEvent(QResizeEvent*)
{
    m_failure->setGeometry(rect());
    if (m_process)
        m_process->Send(PageMessageKind::Resize, {std::to_string(std::max(1, width())),
                                                  std::to_string(std::max(1, height()))});
}

void CRemotePageView::focusInEvent(QFocusEvent*)
{
    if (m_process)
        m_process->Send(PageMessageKind::Focus);
}

// --- choosing

bool UsePageProcess(const QString& program)
{
    return QGuiApplication::platformName() == QLatin1String("xcb") &&
           qgetenv("TAVRO_PAGE_PROCESS") != "0" && QFileInfo(program).isExecutable();
}

CRemoteWebModule* RemoteWebModule(const QString& program)
{
    if (!g_remote) {
        bool ok = false;
        const long long linger = qEnvironmentVariable("TAVRO_PAGE_LINGER_MS").toLongLong(&ok);
        // Lives until the process ends, like the engine's module.
        g_remote = new CRemoteWebModule(
            program, ok && linger >= 0 ? std::chrono::milliseconds(linger) : kDefaultLinger);
    }
    return g_remote;
}
