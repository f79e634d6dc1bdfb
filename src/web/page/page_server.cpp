#include "web/page/page_server.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QLoggingCategory>
#include <QPointer>
#include <QWidget>
#include <QWindow>

#include <limits>

Q_LOGGING_CATEGORY(lcPage, "tavro.page")

namespace {

// How long the engine's error path waits for the program's page: the program answers from
// its event loop at once, unless it has gone.
constexpr auto kErrorPageWait = std::chrono::seconds(5);
constexpr long long kMaxExtent = 16384;

} // namespace

// The window the page sits in. The engine's view makes the window draw through OpenGL when
// it first shows a page, and the window is then made anew: the new one goes where the old was.
class CPageHolder : public QWidget
{
public:
    CPageHolder() : QWidget(nullptr, Qt::FramelessWindowHint) {}
    void PlaceIn(QWindow* container)
    {
        m_container = container;
        winId();
        windowHandle()->setParent(container);
    }

protected:
    bool event(QEvent* e) override
    {
        const bool result = QWidget::event(e);
        if (e->type() == QEvent::WinIdChange && m_container && windowHandle() &&
            windowHandle()->parent() != m_container)
            windowHandle()->setParent(m_container);
        return result;
    }

private:
    QPointer<QWindow> m_container;
};

CPageServer::CPageServer(IWebModule& module, int fd) : m_module(module), m_link(fd)
{
    m_link.SetOnMessage([this](const PageMessage& message) { OnMessage(message); });
    // Without the program there is nobody to show a page to.
    m_link.SetOnClosed([] { QCoreApplication::exit(0); });
}

CPageServer::~CPageServer()
{
    m_module.DestroyAllViews();
    m_view = nullptr;
}

void CPageServer::Send(PageMessageKind kind, std::vector<std::string> fields)
{
    m_link.Send(PageMessage{kind, std::move(fields)});
}

void CPageServer::OnMessage(const PageMessage& message)
{
    switch (message.kind) {
    case PageMessageKind::Configure:
        Configure(message);
        return;
    case PageMessageKind::Attach:
        Attach(message);
        return;
    case PageMessageKind::Resize: {
        const auto width = message.Number(0, 1, kMaxExtent);
        const auto height = message.Number(1, 1, kMaxExtent);
        if (width && height)
            Resize(static_cast<int>(*width), static_cast<int>(*height));
        return;
    }
    case PageMessageKind::Navigate:
        if (m_view)
            m_view->Navigate(QString::fromStdString(message.Field(0)));
        return;
    case PageMessageKind::SetSilent:
        if (m_view)
            m_view->SetSilent(message.Field(0) == "1");
        return;
    case PageMessageKind::Detach:
        Detach();
        Send(PageMessageKind::Detached);
        return;
    case PageMessageKind::Focus:
        if (m_holder && m_holder->isVisible()) {
            m_holder->windowHandle()->requestActivate();
            if (m_view)
                m_view->Widget()->setFocus();
        }
        return;
    case PageMessageKind::Ping:
        Send(PageMessageKind::Pong);
        return;
    case PageMessageKind::Quit:
        QCoreApplication::exit(0);
        return;
    case PageMessageKind::AlertDone:
        m_waitingForAlert = false;
        return;
    default:
        qCWarning(lcPage) << "tavro: the page process ignores message" << int(message.kind);
        return;
    }
}

BrowserHost CPageServer::MakeHost()
{
    BrowserHost host;
    host.showMessage = [this](const std::wstring& text, const std::wstring&, BoxIcon) {
        // The program shows the box; the page waits for it like a script's alert waits, and
        // keeps drawing meanwhile.
        if (!m_link.IsOpen())
            return;
        Send(PageMessageKind::Alert, {QString::fromStdWString(text).toStdString()});
        m_waitingForAlert = true;
        QEventLoop loop;
        while (m_waitingForAlert && m_link.IsOpen())
            loop.processEvents(QEventLoop::WaitForMoreEvents);
        m_waitingForAlert = false;
    };
    host.errorPage = [this](const std::string& url, int httpStatus) -> std::string {
        Send(PageMessageKind::ErrorPageAsk, {url, std::to_string(httpStatus)});
        const auto answer = m_link.WaitFor(PageMessageKind::ErrorPageAnswer, kErrorPageWait);
        return answer ? answer->Field(0) : std::string();
    };
    return host;
}

void CPageServer::Configure(const PageMessage& message)
{
    if (m_view)
        return;
    BrowserHost host = MakeHost();
    host.externalScript = message.Field(0);
    if (message.Field(1) != "1")
        host.errorPage = nullptr;
    m_holder = std::make_unique<CPageHolder>();
    m_holder->setObjectName(QStringLiteral("TavroPage"));
    m_holder->resize(600, 580);
    m_view = m_module.CreateView(m_holder.get(), m_holder->rect(), host);
    if (!m_view) {
        qCWarning(lcPage) << "tavro: the page process cannot make a browser view";
        QCoreApplication::exit(1);
        return;
    }
    m_view->SetLoadFinished(
        [this](bool ok) { Send(PageMessageKind::LoadFinished, {ok ? "1" : "0"}); });
    Send(PageMessageKind::Ready);
}

void CPageServer::Attach(const PageMessage& message)
{
    const auto window = message.Number(0, 1, std::numeric_limits<std::uint32_t>::max());
    const auto width = message.Number(1, 1, kMaxExtent);
    const auto height = message.Number(2, 1, kMaxExtent);
    if (!m_holder || !window || !width || !height)
        return;
    Detach();
    m_container = QWindow::fromWinId(static_cast<WId>(*window));
    m_holder->PlaceIn(m_container);
    Resize(static_cast<int>(*width), static_cast<int>(*height));
    m_holder->show();
    Send(PageMessageKind::Attached);
}

void CPageServer::Resize(int width, int height)
{
    if (!m_holder)
        return;
    m_holder->setGeometry(0, 0, width, height);
    if (m_view)
        m_view->Widget()->setGeometry(0, 0, width, height);
}

void CPageServer::Detach()
{
    if (m_container && m_holder) {
        m_holder->hide();
        m_holder->PlaceIn(nullptr);
    }
    delete m_container;
    m_container = nullptr;
}
