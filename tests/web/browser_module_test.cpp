// The web module loaded on demand, showing real pages from a local server: the host policy
// as pages and users meet it.

#include "fake_services.h"
#include "wait_for.h"
#include "web/explorer.h"
#include "web/imp_idispatch.h"
#include "web/web_module_loader.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <QApplication>
#include <QContextMenuEvent>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <QWidget>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace {

class PageServer
{
public:
    explicit PageServer(std::map<std::string, std::string> pages) : m_pages(std::move(pages))
    {
        // Answers only when released, so that a load can be caught while in progress.
        m_server.Get("/held", [this](const httplib::Request&, httplib::Response& response) {
            std::unique_lock lock(m_mutex);
            m_heldRequests++;
            m_released.wait_for(lock, std::chrono::seconds(30), [this] { return m_release; });
            response.set_content("<!doctype html>held", "text/html");
        });
        m_server.Get("/broken", [](const httplib::Request&, httplib::Response& response) {
            response.status = 503;
            response.set_content("<!doctype html>the server's own error text", "text/html");
        });
        m_server.Get(".*", [this](const httplib::Request& request, httplib::Response& response) {
            auto page = m_pages.find(request.path);
            if (page == m_pages.end()) {
                response.status = 404;
                return;
            }
            response.set_content(page->second, "text/html; charset=utf-8");
        });
        m_port = m_server.bind_to_any_port("127.0.0.1");
        // Bound and listening already: requests queue until the accept loop runs.
        m_thread = std::thread([this] { m_server.listen_after_bind(); });
    }
    ~PageServer()
    {
        Release();
        m_server.stop();
        m_thread.join();
    }
    QString Url(const std::string& path) const
    {
        return QStringLiteral("http://127.0.0.1:%1%2")
            .arg(m_port)
            .arg(QString::fromStdString(path));
    }

    int HeldRequests()
    {
        std::lock_guard lock(m_mutex);
        return m_heldRequests;
    }
    void Release()
    {
        std::lock_guard lock(m_mutex);
        m_release = true;
        m_released.notify_all();
    }

private:
    std::map<std::string, std::string> m_pages;
    std::mutex m_mutex;
    std::condition_variable m_released;
    bool m_release = false;
    int m_heldRequests = 0;
    httplib::Server m_server;
    int m_port = 0;
    std::thread m_thread;
};

const char* kAlertPage = R"(<!doctype html><title>Page caption</title>
<script>
alert('hello from the page');
var answer = confirm('sure?');
alert('confirm=' + answer);
</script>)";

const char* kExternalPage = R"(<!doctype html><body>
<div style="width: 5000px; height: 5000px">tall and wide</div>
<script>
var parts = [];
parts.push('read=' + (window.external.ruzAzudir === true));
parts.push('type=' + typeof window.external.ruzAzudir);
parts.push('other=' + typeof window.external.other);
parts.push('members=' + Object.keys(window.external).join(','));
window.external.ruzAzudir = false;
parts.push('after write=' + window.external.ruzAzudir);
parts.push('scrollbar=' + (window.innerWidth - document.documentElement.clientWidth) + 'x' +
           (window.innerHeight - document.documentElement.clientHeight));
alert(parts.join(';'));
</script>
<iframe srcdoc="<script>parent.alert('frame=' + window.external.ruzAzudir)</script>"></iframe>
</body>)";

// Counts the keys the page sees; Escape reports them with the text field's content.
const char* kKeysPage = R"(<!doctype html><body>
<input id="field" value="abc" autofocus>
<script>
var seen = [];
document.addEventListener('keydown', function (e) {
  if (e.key === 'Escape') {
    alert(seen.join(',') + '|' + document.getElementById('field').value);
    return;
  }
  seen.push((e.ctrlKey ? 'Ctrl+' : '') + e.keyCode);
}, true);
</script>
</body>)";

const char* kErrorPage = R"(<!doctype html><script>undefinedFunction();</script>)";

class BrowserModule : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        // The engine refuses to run as root with its sandbox on; only tests turn it off.
        setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
        s_server = new PageServer({{"/alert", kAlertPage},
                                   {"/external", kExternalPage},
                                   {"/keys", kKeysPage},
                                   {"/error", kErrorPage}});
    }
    static void TearDownTestSuite()
    {
        // Views must go before the application object does.
        DestroyWebViews();
        delete s_server;
        s_server = nullptr;
    }

    void SetUp() override
    {
        m_module = LoadWebModule(QStringLiteral(TAVRO_STAGE_DIR "/Release"));
        ASSERT_NE(m_module, nullptr);
        m_parent = std::make_unique<QWidget>();
        m_parent->resize(640, 480);
        m_parent->show();
    }

    // Creates the browser, loads `path` and waits until the page has finished.
    void Open(const std::string& path)
    {
        bool finished = false;
        m_browser.SetOnLoadFinished([&finished](bool) { finished = true; });
        ASSERT_TRUE(m_browser.Create(QStringLiteral("IE"), QRect(0, 0, 640, 480), m_parent.get(),
                                     1000, &m_external));
        m_browser.Navigate(s_server->Url(path));
        ASSERT_TRUE(WaitFor([&] { return finished; })) << "page did not load";
        m_browser.SetOnLoadFinished(nullptr);
    }

    // Waits until the page has raised `count` boxes.
    bool WaitForBoxes(std::size_t count)
    {
        return WaitFor([&] { return m_fakes.messageBox.shown.size() >= count; });
    }

    static PageServer* s_server;
    FakeServices m_fakes;
    CImpIDispatch m_external;
    IWebModule* m_module = nullptr;
    std::unique_ptr<QWidget> m_parent;
    CExplorer1 m_browser;
};

PageServer* BrowserModule::s_server = nullptr;

TEST_F(BrowserModule, ScriptBoxesUseOurCaptionAndErrorIcon)
{
    Open("/alert");
    ASSERT_TRUE(WaitForBoxes(3));
    ASSERT_EQ(m_fakes.messageBox.shown.size(), 3u);
    EXPECT_EQ(m_fakes.messageBox.shown[0].text, L"hello from the page");
    EXPECT_EQ(m_fakes.messageBox.shown[1].text, L"sure?");
    EXPECT_EQ(m_fakes.messageBox.shown[2].text, L"confirm=true");
    for (const ShownBox& box : m_fakes.messageBox.shown) {
        EXPECT_EQ(box.caption, L"Custom Browser");
        EXPECT_EQ(box.icon, BoxIcon::Error);
    }
}

TEST_F(BrowserModule, PagesSeeExactlyTheScriptingObjectsMember)
{
    Open("/external");
    ASSERT_TRUE(WaitForBoxes(2));
    std::vector<std::wstring> texts = m_fakes.messageBox.Texts();
    std::sort(texts.begin(), texts.end());
    EXPECT_EQ(texts[0], L"frame=true") << "frames get it too";
    EXPECT_EQ(texts[1], L"read=true;type=boolean;other=undefined;members=ruzAzudir;"
                        L"after write=true;scrollbar=0x0");
    EXPECT_EQ(m_external.RefCount(), 0);
}

TEST_F(BrowserModule, ViewHasNoContextMenuAndSwallowsBrowserKeys)
{
    Open("/keys");
    QWidget* view = m_browser.GetWidget();
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->contextMenuPolicy(), Qt::NoContextMenu);
    EXPECT_EQ(view->objectName(), QStringLiteral("IE"));
    EXPECT_EQ(m_browser.GetDlgCtrlID(), 1000);

    m_parent->activateWindow();
    view->setFocus();
    ASSERT_TRUE(WaitFor([&] { return view->focusProxy() != nullptr; }));
    QWidget* target = view->focusProxy();

    QContextMenuEvent menu(QContextMenuEvent::Mouse, QPoint(10, 10),
                           view->mapToGlobal(QPoint(10, 10)));
    QCoreApplication::sendEvent(target, &menu);

    auto key = [target](int code, Qt::KeyboardModifiers modifiers, const QString& text) {
        QKeyEvent press(QEvent::KeyPress, code, modifiers, text);
        QCoreApplication::sendEvent(target, &press);
        QKeyEvent release(QEvent::KeyRelease, code, modifiers, text);
        QCoreApplication::sendEvent(target, &release);
    };
    // Input reaches the page only once its renderer is ready: probe with Escape, which the
    // page answers with a box, until one comes back.
    QElapsedTimer sinceProbe;
    ASSERT_TRUE(WaitFor([&] {
        if (!m_fakes.messageBox.shown.empty())
            return true;
        if (!sinceProbe.isValid() || sinceProbe.elapsed() > 250) {
            key(Qt::Key_Escape, Qt::NoModifier, QStringLiteral("\x1b"));
            sinceProbe.start();
        }
        return false;
    }));

    key(Qt::Key_F5, Qt::NoModifier, QString());
    key(Qt::Key_N, Qt::ControlModifier, QStringLiteral("\x0e"));
    key(Qt::Key_O, Qt::ControlModifier, QStringLiteral("\x0f"));
    key(Qt::Key_P, Qt::ControlModifier, QStringLiteral("\x10"));
    key(Qt::Key_A, Qt::ControlModifier, QStringLiteral("\x01"));
    key(Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
    key(Qt::Key_Y, Qt::NoModifier, QStringLiteral("y"));
    key(Qt::Key_Backspace, Qt::NoModifier, QStringLiteral("\b"));
    key(Qt::Key_Escape, Qt::NoModifier, QStringLiteral("\x1b"));

    // Answers to late probes come first; the last box answers the strokes above.
    ASSERT_TRUE(WaitFor([&] { return m_fakes.messageBox.shown.back().text != L"|abc"; }));
    // Ctrl+A selected the field, so typing replaced it; Backspace did not delete.
    EXPECT_EQ(m_fakes.messageBox.shown.back().text, L"Ctrl+65,88,89|xy");
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
}

TEST_F(BrowserModule, ReadyStateAndFinishedCallbackFollowTheLoad)
{
    EXPECT_EQ(m_browser.GetReadyState(), READYSTATE_UNINITIALIZED) << "no view yet";
    std::vector<bool> results;
    m_browser.SetOnLoadFinished([&results](bool ok) { results.push_back(ok); });
    ASSERT_TRUE(m_browser.Create(QStringLiteral("IE"), QRect(0, 0, 300, 200), m_parent.get(), 1000,
                                 &m_external));
    EXPECT_EQ(m_browser.GetReadyState(), READYSTATE_UNINITIALIZED);
    EXPECT_EQ(m_browser.GetWidget()->geometry(), QRect(0, 0, 300, 200));
    EXPECT_TRUE(m_browser.GetWidget()->isVisible());

    m_browser.SetSilent(true);
    m_browser.Navigate(s_server->Url("/error"));
    EXPECT_EQ(m_browser.GetReadyState(), READYSTATE_LOADING) << "loading as soon as navigated";
    ASSERT_TRUE(WaitFor([&] { return !results.empty(); }));
    EXPECT_EQ(m_browser.GetReadyState(), READYSTATE_COMPLETE);
    EXPECT_TRUE(results.front());

    // A failed load completes too, so nothing waits for it forever.
    results.clear();
    m_browser.Navigate(QStringLiteral("http://127.0.0.1:1/nothing-listens-here"));
    ASSERT_TRUE(WaitFor([&] { return !results.empty(); }));
    EXPECT_EQ(m_browser.GetReadyState(), READYSTATE_COMPLETE);
    EXPECT_FALSE(results.back());

    // An empty address shows an empty page rather than never finishing.
    results.clear();
    m_browser.Navigate(QString());
    ASSERT_TRUE(WaitFor([&] { return !results.empty(); }));
    EXPECT_TRUE(results.back());
    EXPECT_TRUE(m_fakes.messageBox.shown.empty()) << "script errors never raise a box";
}

TEST_F(BrowserModule, ANewNavigationReplacesOneInProgress)
{
    std::vector<bool> results;
    std::vector<int> states;
    m_browser.SetOnLoadFinished([&](bool ok) { results.push_back(ok); });
    ASSERT_TRUE(m_browser.Create(QStringLiteral("IE"), QRect(0, 0, 300, 200), m_parent.get(), 1000,
                                 &m_external));
    const int held = s_server->HeldRequests();
    m_browser.Navigate(s_server->Url("/held"));
    ASSERT_TRUE(WaitFor([&] { return s_server->HeldRequests() > held; }));
    m_browser.Navigate(s_server->Url("/error"));
    ASSERT_TRUE(WaitFor([&] {
        if (results.empty())
            states.push_back(m_browser.GetReadyState());
        return !results.empty();
    }));
    // The abandoned load neither completes the state early nor reports a failure.
    EXPECT_EQ(results, std::vector<bool>{true});
    EXPECT_EQ(std::count(states.begin(), states.end(), READYSTATE_COMPLETE), 0);
    EXPECT_EQ(m_browser.GetReadyState(), READYSTATE_COMPLETE);

    // A view destroyed while its page loads never calls back.
    results.clear();
    m_browser.Navigate(s_server->Url("/held"));
    ASSERT_TRUE(WaitFor([&] { return s_server->HeldRequests() > held + 1; }));
    m_browser.DestroyWindow();
    CExplorer1 other;
    bool otherFinished = false;
    other.SetOnLoadFinished([&](bool) { otherFinished = true; });
    ASSERT_TRUE(
        other.Create(QStringLiteral("IE"), QRect(0, 0, 300, 200), m_parent.get(), 1001, nullptr));
    other.Navigate(s_server->Url("/error"));
    ASSERT_TRUE(WaitFor([&] { return otherFinished; }));
    EXPECT_TRUE(results.empty());
}

TEST_F(BrowserModule, ViewsGoAwayWithTheirParentOrWhenDestroyed)
{
    const int before = m_module->ViewCount();
    ASSERT_TRUE(
        m_browser.Create(QStringLiteral("IE"), QRect(0, 0, 10, 10), m_parent.get(), 1000, nullptr));
    EXPECT_EQ(m_module->ViewCount(), before + 1);
    // A second Create replaces the first view.
    ASSERT_TRUE(
        m_browser.Create(QStringLiteral("IE"), QRect(0, 0, 10, 10), m_parent.get(), 1000, nullptr));
    EXPECT_EQ(m_module->ViewCount(), before + 1);

    // The finished callback may destroy the view it comes from.
    bool called = false;
    m_browser.SetOnLoadFinished([&](bool) {
        called = true;
        m_browser.DestroyWindow();
    });
    m_browser.Navigate(s_server->Url("/error"));
    ASSERT_TRUE(WaitFor([&] { return called; }));
    EXPECT_FALSE(m_browser.IsWindow());
    EXPECT_EQ(m_module->ViewCount(), before);
    m_browser.SetOnLoadFinished(nullptr);
    ASSERT_TRUE(
        m_browser.Create(QStringLiteral("IE"), QRect(0, 0, 10, 10), m_parent.get(), 1000, nullptr));

    m_parent.reset();
    EXPECT_EQ(m_module->ViewCount(), before);
    EXPECT_FALSE(m_browser.IsWindow());
    EXPECT_EQ(m_browser.GetReadyState(), READYSTATE_UNINITIALIZED);
    m_browser.Navigate(s_server->Url("/alert")); // no view: nothing happens
    m_browser.DestroyWindow();

    QWidget parent;
    ASSERT_TRUE(
        m_browser.Create(QStringLiteral("IE"), QRect(0, 0, 10, 10), &parent, 1000, nullptr));
    m_module->DestroyAllViews();
    EXPECT_EQ(m_module->ViewCount(), 0);
    EXPECT_FALSE(m_browser.IsWindow());
    EXPECT_EQ(m_browser.GetWidget(), nullptr);
}

TEST_F(BrowserModule, FailedLoadsShowTheHostsPageExceptForRefusals)
{
    struct Case
    {
        std::string url;
        int status;    // as the host is told
        bool replaced; // the host's page is shown
    };
    const Case cases[] = {
        {s_server->Url("/broken").toStdString(), 503, true},
        {"http://127.0.0.1:1/nothing-listens-here", 0, true},
        {s_server->Url("/missing").toStdString(), 404, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url);
        std::vector<std::pair<std::string, int>> asked;
        std::vector<std::wstring> boxes;
        BrowserHost host;
        host.showMessage = [&](const std::wstring& text, const std::wstring&, BoxIcon) {
            boxes.push_back(text);
        };
        host.errorPage = [&](const std::string& url, int status) -> std::string {
            asked.emplace_back(url, status);
            if (status == 404)
                return {};
            // Speaks once its own load is over, so the test knows it was shown.
            return "<!doctype html><script>addEventListener('load', function () {"
                   "setTimeout(function () { alert('ours'); }, 0); });</script>";
        };
        IBrowserView* view = m_module->CreateView(m_parent.get(), QRect(0, 0, 300, 200), host);
        std::vector<bool> results;
        view->SetLoadFinished([&](bool ok) { results.push_back(ok); });
        view->Navigate(QString::fromStdString(c.url));
        ASSERT_TRUE(WaitFor([&] { return !results.empty(); }));
        EXPECT_EQ(view->ReadyState(), READYSTATE_COMPLETE) << "a failed load is complete too";
        ASSERT_EQ(asked.size(), 1u);
        EXPECT_EQ(asked[0], std::make_pair(c.url, c.status));
        if (c.replaced) {
            ASSERT_TRUE(WaitFor([&] { return !boxes.empty(); })) << "our page never showed";
        }
        EXPECT_EQ(view->ReadyState(), READYSTATE_COMPLETE);

        // The error page's own load was not reported; the next navigation is, once.
        view->Navigate(s_server->Url("/error"));
        ASSERT_TRUE(WaitFor([&] { return results.size() >= 2; }));
        EXPECT_EQ(results, (std::vector<bool>{false, true}));
        EXPECT_EQ(asked.size(), 1u);
        m_module->DestroyView(view);
    }
}

TEST_F(BrowserModule, RetryOfAnUnreadableAddressOffersTheSameAddress)
{
    const std::string url = "http://" + std::string(64, 'a') + ".example/quelmo/index.php";
    std::vector<std::string> asked;
    bool spoke = false;
    BrowserHost host;
    host.showMessage = [&](const std::wstring&, const std::wstring&, BoxIcon) { spoke = true; };
    host.errorPage = [&](const std::string& failed, int) -> std::string {
        asked.push_back(failed);
        // The first page follows its retry link once loaded, as a click would; the second
        // says it was shown.
        if (asked.size() == 1)
            return "<!doctype html><script>addEventListener('load', function () {"
                   "setTimeout(function () { location.href = '" +
                   failed + "'; }, 0); });</script>";
        return "<!doctype html><script>alert('ours');</script>";
    };
    IBrowserView* view = m_module->CreateView(m_parent.get(), QRect(0, 0, 300, 200), host);
    std::vector<bool> results;
    view->SetLoadFinished([&](bool ok) { results.push_back(ok); });
    view->Navigate(QString::fromStdString(url));
    ASSERT_TRUE(WaitFor([&] { return spoke; })) << "the retry left no page of ours";
    EXPECT_EQ(asked, (std::vector<std::string>{url, url}));
    ASSERT_FALSE(results.empty());
    EXPECT_FALSE(results.front()) << "the address itself failed";
    m_module->DestroyView(view);
}

TEST(WebModuleLoader, MissingModuleIsReportedNotFatal)
{
    QTemporaryDir empty;
    ASSERT_TRUE(empty.isValid());
    QString error;
    EXPECT_EQ(OpenWebModule({empty.path()}, &error), nullptr);
    EXPECT_TRUE(error.contains(QLatin1String(kWebModuleBaseName))) << error.toStdString();

    // A file of the right name that is no library at all.
    QFile bogus(QDir(empty.path()).filePath(QStringLiteral("libtavro_webengine.so")));
    ASSERT_TRUE(bogus.open(QIODevice::WriteOnly));
    bogus.write("not a library");
    bogus.close();
    error.clear();
    EXPECT_EQ(OpenWebModule({empty.path()}, &error), nullptr);
    EXPECT_FALSE(error.isEmpty());
}

} // namespace
