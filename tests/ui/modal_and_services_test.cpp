// Modal runs with their endings, and the services windows reach through the framework.

#include "fake_services.h"
#include "fake_ui_services.h"
#include "recording_wnd.h"
#include "ui/app_icon.h"
#include "ui/qt_services.h"

#include <QSystemTrayIcon>

#include <gtest/gtest.h>

namespace {

constexpr UINT kEnd = WM_USER + 5;

class ModalRun : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(wnd.CreatePopup(nullptr)); }
    void TearDown() override
    {
        wnd.DestroyWindow();
        FlushDeferredDeletes();
    }
    // Runs the window modally; `ending` is posted into the run and decides how it ends.
    int Run(std::function<void()> ending)
    {
        wnd.handlers[kEnd] = [ending](WPARAM, LPARAM) { return ending(), 0; };
        wnd.PostMessage(kEnd);
        return wnd.RunModalLoop();
    }
    RecordingWnd wnd;
};

TEST_F(ModalRun, EndsWithTheFrameworksOkAndCancelEndings)
{
    wnd.ShowWindow(SW_SHOW);
    EXPECT_EQ(Run([&] { wnd.OnOK(); }), IDOK);
    EXPECT_FALSE(wnd.IsInModalLoop());
    EXPECT_FALSE(wnd.IsWindowVisible()) << "ending hides the window";
    EXPECT_TRUE(wnd.IsWindow());

    EXPECT_EQ(Run([&] { wnd.SendMessage(WM_COMMAND, IDCANCEL); }), IDCANCEL);
    EXPECT_EQ(Run([&] { wnd.SendMessage(WM_CLOSE); }), IDCANCEL);
    EXPECT_EQ(Run([&] { wnd.EndDialog(42); }), 42);
    EXPECT_EQ(Run([&] { wnd.DestroyWindow(); }), -1) << "a destroyed window ends its run";
    EXPECT_EQ(wnd.RunModalLoop(), -1) << "no run without a window";
}

TEST_F(ModalRun, InnerRunKeepsGoingWhenTheOuterOneIsEnded)
{
    RecordingWnd inner;
    ASSERT_TRUE(inner.CreatePopup(&wnd));
    std::vector<std::string> order;
    inner.handlers[kEnd] = [&](WPARAM, LPARAM) {
        return wnd.OnOK(), inner.PostMessage(kEnd + 1), 0;
    };
    inner.handlers[kEnd + 1] = [&](WPARAM, LPARAM) { return inner.OnCancel(), 0; };
    const int outer = Run([&] {
        inner.PostMessage(kEnd);
        order.push_back("inner " + std::to_string(inner.RunModalLoop()));
    });
    order.push_back("outer " + std::to_string(outer));
    EXPECT_EQ(order, (std::vector<std::string>{"inner 2", "outer 1"}));
}

TEST_F(ModalRun, ModelessEndingsOnlyHide)
{
    wnd.ShowWindow(SW_SHOW);
    wnd.log.clear();
    wnd.OnOK();
    EXPECT_EQ(wnd.Messages(), std::vector<UINT>{WM_SHOWWINDOW});
    EXPECT_FALSE(wnd.IsWindowVisible());
    EXPECT_TRUE(wnd.IsWindow());
}

TEST(UiServices, FakesStandInForMenuTrayAndCursor)
{
    FakeUiServices fakes;
    RecordingWnd wnd;
    ASSERT_TRUE(wnd.CreatePopup(nullptr));
    fakes.cursor.pos = QPoint(12, 34);
    EXPECT_EQ(GetCursorPos(), QPoint(12, 34));

    fakes.menu.answer = 1078;
    const std::vector<MenuItem> items{{1074, QStringLiteral("查看Tavro")},
                                      {1078, QStringLiteral("修改预产期"), false}};
    EXPECT_EQ(CurrentUiServices().menu->Track(items, GetCursorPos(), &wnd), 1078u);
    EXPECT_EQ(fakes.menu.LastIds(), (std::vector<UINT>{1074, 1078}));
    EXPECT_EQ(fakes.menu.tracked.back().pos, QPoint(12, 34));

    ASSERT_TRUE(CurrentUiServices().tray->Add(1074, QStringLiteral("Tavro"), AppIcon(), &wnd));
    EXPECT_TRUE(fakes.tray.Click(1074, WM_RBUTTONDOWN));
    EXPECT_FALSE(fakes.tray.Click(9, WM_RBUTTONDOWN));
    ASSERT_TRUE(WaitFor([&] { return wnd.Count(WM_TRAYICON) == 1; }));
    EXPECT_EQ(wnd.Last(WM_TRAYICON)->wParam, 1074u);
    EXPECT_EQ(wnd.Last(WM_TRAYICON)->lParam, WM_RBUTTONDOWN);
    EXPECT_TRUE(CurrentUiServices().tray->Remove(1074));
    EXPECT_FALSE(CurrentUiServices().tray->Remove(1074));
}

TEST(UiServices, QtTrayIconPostsItsClicksToAWindowThatMayBeGone)
{
    QtTrayIcon tray;
    auto* wnd = new RecordingWnd;
    ASSERT_TRUE(wnd->CreatePopup(nullptr));
    tray.Add(1074, QStringLiteral("Tavro"), DrawnAppIcon(), wnd);
    const auto icons = QCoreApplication::instance()->findChildren<QSystemTrayIcon*>();
    ASSERT_EQ(icons.size(), 1);
    EXPECT_EQ(icons[0]->toolTip(), QStringLiteral("Tavro"));

    emit icons[0]->activated(QSystemTrayIcon::Trigger);
    emit icons[0]->activated(QSystemTrayIcon::DoubleClick);
    emit icons[0]->activated(QSystemTrayIcon::Context);
    ASSERT_TRUE(WaitFor([&] { return wnd->Count(WM_TRAYICON) == 3; }));
    std::vector<LPARAM> clicks;
    for (const Received& r : wnd->log)
        if (r.message == WM_TRAYICON && r.wParam == 1074)
            clicks.push_back(r.lParam);
    EXPECT_EQ(clicks, (std::vector<LPARAM>{WM_LBUTTONDOWN, WM_LBUTTONDBLCLK, WM_RBUTTONDOWN}));

    delete wnd;
    emit icons[0]->activated(QSystemTrayIcon::Trigger);
    QCoreApplication::processEvents();
    EXPECT_TRUE(tray.Remove(1074));
    EXPECT_TRUE(QCoreApplication::instance()->findChildren<QSystemTrayIcon*>().isEmpty());
}

TEST(UiServices, QtServicesReplaceOnlyTheBoxAndTheShell)
{
    FakeServices fakes;
    const UiServices uiBefore = CurrentUiServices();
    {
        ScopedServices restoreHost(CurrentServices());
        ScopedUiServices restoreUi(UiServices{});
        InstallQtServices();
        EXPECT_EQ(CurrentServices().clock, &fakes.clock);
        EXPECT_EQ(CurrentServices().network, &fakes.network);
        EXPECT_EQ(CurrentServices().processExit, &fakes.processExit);
        EXPECT_NE(dynamic_cast<QtMessageBox*>(CurrentServices().messageBox), nullptr);
        EXPECT_NE(dynamic_cast<QtShell*>(CurrentServices().shell), nullptr);
        EXPECT_NE(dynamic_cast<QtTrayIcon*>(CurrentUiServices().tray), nullptr);
    }
    EXPECT_EQ(CurrentServices().messageBox, &fakes.messageBox);
    EXPECT_EQ(CurrentUiServices().tray, uiBefore.tray);
}

} // namespace
