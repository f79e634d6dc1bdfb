// The main window and its loading window over the real skin and the web module, against a
// local server whose dated page answers only when the test lets it.

#include "fake_services.h"
#include "log_capture.h"
#include "profile/app_data.h"
#include "profile/calendar.h"
#include "skin/skin.h"
#include "wait_for.h"
#include "web/imp_idispatch.h"
#include "web/main_dlg.h"
#include "web/main_loading_dlg.h"
#include "web/web_module_loader.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QWidget>

#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <limits>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

// The desktop server's dated page. Request n is answered once n requests are released, so
// a test decides when each load may complete.
class HeldServer
{
public:
    HeldServer()
    {
        m_server.Get("/quelmo/index.php", [this](const httplib::Request& request,
                                                 httplib::Response& response) {
            std::unique_lock lock(m_mutex);
            m_targets.push_back(request.target);
            const std::size_t index = m_targets.size();
            m_changed.notify_all();
            m_changed.wait_for(lock, std::chrono::seconds(60),
                               [&] { return m_released >= index || m_stopping; });
            response.set_content("<!doctype html><title>dated</title>dated page", "text/html");
            ++m_answered;
        });
        // The engine keeps its connection open; stopping waits for it no longer than this.
        m_server.set_keep_alive_timeout(1);
        m_port = m_server.bind_to_any_port("127.0.0.1");
        m_thread = std::thread([this] { m_server.listen_after_bind(); });
    }
    ~HeldServer()
    {
        {
            std::lock_guard lock(m_mutex);
            m_stopping = true;
            m_changed.notify_all();
        }
        m_server.stop();
        m_thread.join();
    }
    std::string Origin() const { return "http://127.0.0.1:" + std::to_string(m_port); }

    std::vector<std::string> Targets()
    {
        std::lock_guard lock(m_mutex);
        return m_targets;
    }
    std::size_t Requests() { return Targets().size(); }
    std::size_t Answered()
    {
        std::lock_guard lock(m_mutex);
        return m_answered;
    }
    // Lets the next `count` held or future requests be answered.
    void Release(std::size_t count = 1)
    {
        std::lock_guard lock(m_mutex);
        m_released += count;
        m_changed.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::string> m_targets;
    std::size_t m_released = 0;
    std::size_t m_answered = 0;
    bool m_stopping = false;
    httplib::Server m_server;
    int m_port = 0;
    std::thread m_thread;
};

class MainWindowTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        // The engine refuses to run as root with its sandbox on; only tests turn it off.
        setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
    }
    static void TearDownTestSuite() { DestroyWebViews(); }

    void SetUp() override
    {
        ASSERT_NE(LoadWebModule(QStringLiteral(TAVRO_STAGE_DIR "/Release")), nullptr);
        setenv("TAVRO_DESKTOP_SERVER", server.Origin().c_str(), 1);
        const std::filesystem::path skin = std::filesystem::path(TAVRO_SOURCE_DIR) / "package/Skin";
        skinEngine = OpenSkinW((skin / "RizIrozara.dui").wstring(),
                               (skin / "Default.skn").wstring(), 0, 0, 0);
        app.dueTime = MakeLocalDate(2015, 3, 7);
        app.macText = L"00-1A-2B-3C-4D-5E";
        ASSERT_TRUE(owner.CreatePopup(nullptr));
        main = new CTavroMainDlg(app, skinEngine, &dispatch);
        ASSERT_TRUE(main->CreatePopup(&owner));
        main->ShowWindow(SW_HIDE);
    }
    void TearDown() override
    {
        // Let every held request go before the window, so the server can stop.
        server.Release(100);
        DeleteWnd(main);
        owner.DestroyWindow();
        ReleaseDestroyedWindows();
        FreeSkin();
        unsetenv("TAVRO_DESKTOP_SERVER");
        EXPECT_TRUE(skinReports.Lines().empty()) << "the skin misses something the windows look up";
        EXPECT_TRUE(services.messageBox.shown.empty()) << "a show reported a failure";
    }

    bool LoadingShown() const
    {
        return main->m_pLoadingDlg && main->m_pLoadingDlg->IsWindowVisible();
    }
    // Shows the window and waits for its request to reach the server.
    void ShowAndWaitForRequest()
    {
        const std::size_t before = server.Requests();
        main->ShowWindow(SW_SHOW);
        ASSERT_TRUE(WaitFor([&] { return server.Requests() > before; }));
    }
    void ExpectLoadingCentred() const
    {
        ASSERT_TRUE(main->m_pLoadingDlg);
        const QRect loading = main->m_pLoadingDlg->GetWindowRect();
        EXPECT_EQ(loading.topLeft(), LoadingPosition(main->GetWindowRect(), loading.size()));
    }

    FakeServices services;
    HeldServer server;
    CImpIDispatch dispatch;
    SkinEngine* skinEngine = nullptr;
    CTavroAppData app;
    CWnd owner;
    CTavroMainDlg* main = nullptr;
    LogCapture skinReports{"tavro.skin"};
};

TEST(MainPageAddress, ComposesTheAddressOfEachPageMode)
{
    const std::wstring desktop = L"http://desktop.example:8080";
    const std::wstring mobile = L"http://m.example";
    const std::wstring mac = L"00-1A-2B-3C-4D-5E";
    struct Case
    {
        int mode;
        std::int64_t due;
        QString address;
    };
    const Case cases[] = {
        // Numbers without leading zeros, the month counted from 1, the due date itself.
        {PAGE_DATED, MakeLocalDate(2015, 3, 7),
         QStringLiteral("http://desktop.example:8080/quelmo/index.php?"
                        "year=2015&&month=3&&day=7&&mac=00-1A-2B-3C-4D-5E")},
        {PAGE_DATED, MakeLocalDate(2016, 12, 31),
         QStringLiteral("http://desktop.example:8080/quelmo/index.php?"
                        "year=2016&&month=12&&day=31&&mac=00-1A-2B-3C-4D-5E")},
        // A time the calendar cannot convert gives zeros rather than nothing.
        {PAGE_DATED, std::numeric_limits<std::int64_t>::max(),
         QStringLiteral("http://desktop.example:8080/quelmo/index.php?"
                        "year=0&&month=0&&day=0&&mac=00-1A-2B-3C-4D-5E")},
        {PAGE_MOBILE, MakeLocalDate(2015, 3, 7), QStringLiteral("http://m.example")},
        {0, MakeLocalDate(2015, 3, 7), QString()},
        {3, MakeLocalDate(2015, 3, 7), QString()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address.toStdString());
        EXPECT_EQ(MainPageAddress(c.mode, c.due, mac, desktop, mobile), c.address);
    }
}

TEST(LoadingPosition, CentresOverTheOwnerWithTruncatingHalves)
{
    struct Case
    {
        QRect owner; // x, y, width, height
        QSize own;
        QPoint expected;
    };
    const Case cases[] = {
        // 100,100 to 701,730: (801 / 2 - 100, 830 / 2 - 50).
        {QRect(100, 100, 601, 630), QSize(200, 100), QPoint(300, 365)},
        // Odd differences: each halving drops the half pixel.
        {QRect(0, 0, 601, 631), QSize(201, 101), QPoint(200, 265)},
        // Left of the primary screen: truncation toward zero, not down.
        {QRect(-601, -10, 601, 20), QSize(1, 1), QPoint(-300, 0)},
        // A loading window larger than its owner sits across its edges.
        {QRect(10, 10, 100, 50), QSize(180, 150), QPoint(-30, -40)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(LoadingPosition(c.owner, c.own), c.expected) << c.owner.x() << "," << c.owner.y();
}

TEST_F(MainWindowTest, CreationMakesAFixedSizeTitledWindowWithoutLoadingAPage)
{
    EXPECT_NE(main->m_pForm, nullptr);
    EXPECT_NE(main->m_pBtnClose, nullptr);
    EXPECT_NE(main->m_pBtnMin, nullptr);
    EXPECT_NE(main->m_pBtnSet, nullptr);
    EXPECT_NE(main->m_pWebHolder, nullptr);
    EXPECT_EQ(main->GetWindowText(), QStringLiteral("Tavro"));
    EXPECT_TRUE(main->HasTaskbarButton()) << "although its owner has none";
    EXPECT_EQ(main->m_nPageMode, PAGE_DATED);
    // 601 x 630, cut to a smaller work area with its page area, so that all of it is on the
    // screen; the title bar and the border keep their 47 pixels.
    const QRect area = GetWorkArea();
    const QSize fitted = QSize(601, 630).boundedTo(area.size());
    EXPECT_EQ(main->m_nWidth, fitted.width());
    EXPECT_EQ(main->m_nHeight, fitted.height());
    EXPECT_EQ(main->GetWindowRect().height(), fitted.height());
    EXPECT_TRUE(area.contains(main->GetWindowRect()));
    EXPECT_EQ(GetControlWidget(main->m_pWebHolder)->height(), fitted.height() - 47);
    // Nothing is loaded until the window is shown.
    EXPECT_FALSE(main->m_browser.IsWindow());
    EXPECT_EQ(main->m_pLoadingDlg, nullptr);
    EXPECT_EQ(server.Requests(), 0u);
}

TEST_F(MainWindowTest, EveryShowNavigatesAndCoversTheWaitUntilThePageIsComplete)
{
    ShowAndWaitForRequest();
    EXPECT_EQ(server.Targets().back(),
              "/quelmo/index.php?year=2015&&month=3&&day=7&&mac=00-1A-2B-3C-4D-5E");
    ASSERT_TRUE(LoadingShown());
    ExpectLoadingCentred();
    EXPECT_EQ(main->m_browser.GetReadyState(), READYSTATE_LOADING);
    EXPECT_EQ(main->m_browser.GetWidget()->parentWidget(), GetControlWidget(main->m_pWebHolder))
        << "the browser sits in HwndObjNet";

    server.Release();
    ASSERT_TRUE(WaitFor([&] { return !LoadingShown(); }));
    EXPECT_EQ(main->m_browser.GetReadyState(), READYSTATE_COMPLETE);

    // Hidden, moved and shown again: a new navigation, the same loading window centred anew.
    CTavroMainLoadingDlg* loading = main->m_pLoadingDlg;
    main->ShowWindow(SW_HIDE);
    main->MoveWindow(100, 100, 601, 630);
    app.dueTime = MakeLocalDate(2016, 1, 20);
    ShowAndWaitForRequest();
    EXPECT_EQ(server.Targets().back(),
              "/quelmo/index.php?year=2016&&month=1&&day=20&&mac=00-1A-2B-3C-4D-5E");
    EXPECT_EQ(main->m_pLoadingDlg, loading);
    ASSERT_TRUE(LoadingShown());
    ExpectLoadingCentred();
    server.Release();
    ASSERT_TRUE(WaitFor([&] { return !LoadingShown(); }));

    // Hiding while a page loads takes the loading window away at once.
    main->ShowWindow(SW_HIDE);
    ShowAndWaitForRequest();
    ASSERT_TRUE(LoadingShown());
    main->ShowWindow(SW_HIDE);
    EXPECT_FALSE(LoadingShown());
}

TEST_F(MainWindowTest, OnlyTheNewestLoadHidesTheLoadingWindow)
{
    ShowAndWaitForRequest();
    main->ShowWindow(SW_HIDE);
    ShowAndWaitForRequest();
    ASSERT_TRUE(LoadingShown());

    // The first load's answer arrives after the second navigation: it is not the page the
    // window waits for, so the loading window stays. Nothing signals an ignored answer,
    // hence the bounded look.
    server.Release();
    ASSERT_TRUE(WaitFor([&] { return server.Answered() >= 1; }));
    EXPECT_FALSE(WaitFor([&] { return !LoadingShown(); }, 1500))
        << "a replaced load hid the loading window";

    server.Release();
    ASSERT_TRUE(WaitFor([&] { return !LoadingShown(); }));
}

TEST_F(MainWindowTest, ClosingWhileThePageLoadsTakesTheLoadingWindowAlong)
{
    ShowAndWaitForRequest();
    ASSERT_TRUE(LoadingShown());
    const HWND loading = main->m_pLoadingDlg->GetSafeHwnd();
    EXPECT_EQ(main->SendMessage(WM_SKIN_CLICK, reinterpret_cast<WPARAM>(main->m_pBtnClose)), 1);
    EXPECT_FALSE(main->IsWindow());
    EXPECT_EQ(main->m_pLoadingDlg, nullptr);
    EXPECT_FALSE(IsWindow(loading));
    EXPECT_FALSE(main->m_browser.IsWindow());

    // The page's answer comes to nobody.
    server.Release();
    ASSERT_TRUE(WaitFor([&] { return server.Answered() >= 1; }));
    QCoreApplication::processEvents();
    ReleaseDestroyedWindows();
}

TEST_F(MainWindowTest, SkinClicksMinimiseOrDoNothing)
{
    ShowAndWaitForRequest();
    struct Case
    {
        SkinControl* control;
        LRESULT result;
        bool iconic;
    };
    const Case cases[] = {
        {nullptr, -1, false},
        {main->m_pBtnSet, 1, false},
        {main->m_pWebHolder, 1, false},
        {main->m_pBtnMin, 1, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(main->SendMessage(WM_SKIN_CLICK, reinterpret_cast<WPARAM>(c.control)), c.result);
        EXPECT_TRUE(main->IsWindow());
        EXPECT_TRUE(main->IsWindowVisible());
        EXPECT_EQ(main->IsIconic(), c.iconic);
    }
    // Minimised is not hidden: the page is not loaded again.
    EXPECT_EQ(server.Requests(), 1u);
}

TEST_F(MainWindowTest, EachMoveFlipsTheWidthBetween602And600)
{
    const int before = main->m_nSizeNudge;
    for (int move = 1; move <= 4; ++move) {
        main->MoveWindow(10 * move, 20 * move, 601, 630);
        SCOPED_TRACE(move);
        EXPECT_EQ(main->m_nSizeNudge, move % 2 ? -before : before);
        EXPECT_EQ(main->GetWindowRect().width(), main->m_nSizeNudge == -1 ? 602 : 600);
        EXPECT_EQ(main->GetWindowRect().height(), 630);
        EXPECT_EQ(main->GetWindowRect().topLeft(), QPoint(10 * move, 20 * move));
    }
    // A resize without a move changes nothing of the nudge.
    main->SetWindowPos(HWND_TOP, 0, 0, 500, 630, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_EQ(main->m_nSizeNudge, before);
}

} // namespace
