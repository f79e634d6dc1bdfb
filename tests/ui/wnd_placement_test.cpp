// Show states, window positions, centring and the window's look.

#include "recording_wnd.h"
#include "ui/session_platform.h"
#include "ui/window_geometry.h"

#include <QWidget>

#include <gtest/gtest.h>

namespace {

class WndPlacement : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(owner.CreatePopup(nullptr));
        ASSERT_TRUE(wnd.CreatePopup(&owner));
        wnd.log.clear();
    }
    void TearDown() override
    {
        owner.DestroyWindow();
        FlushDeferredDeletes();
    }
    RecordingWnd owner;
    RecordingWnd wnd;
};

TEST_F(WndPlacement, ShowWindowAnnouncesEveryVisibilityChangeBeforeItHappens)
{
    struct Step
    {
        int state;
        bool wasVisible;
        std::vector<UINT> messages; // WM_SHOWWINDOW with this wParam, or none
        bool visible;
        bool iconic;
    };
    const Step steps[] = {
        {SW_SHOW, false, {1}, true, false},    {SW_SHOW, true, {}, true, false},
        {SW_MINIMIZE, true, {}, true, true},   {SW_RESTORE, true, {}, true, false},
        {SW_HIDE, true, {0}, false, false},    {SW_HIDE, false, {}, false, false},
        {SW_MINIMIZE, false, {1}, true, true}, {SW_HIDE, true, {0}, false, true},
        {SW_RESTORE, false, {1}, true, false},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(::testing::Message() << "show state " << step.state);
        wnd.log.clear();
        EXPECT_EQ(wnd.ShowWindow(step.state), step.wasVisible);
        std::vector<UINT> announced;
        for (const Received& r : wnd.log) {
            ASSERT_EQ(r.message, WM_SHOWWINDOW);
            EXPECT_EQ(r.visible, step.wasVisible) << "delivered before the change";
            announced.push_back(static_cast<UINT>(r.wParam));
        }
        EXPECT_EQ(announced, step.messages);
        EXPECT_EQ(wnd.IsWindowVisible(), step.visible);
        EXPECT_EQ(wnd.IsIconic(), step.iconic);
    }
}

TEST_F(WndPlacement, ShowHandlerThatDestroysTheWindowStopsTheShow)
{
    wnd.handlers[WM_SHOWWINDOW] = [&](WPARAM, LPARAM) { return wnd.DestroyWindow(), 0; };
    EXPECT_FALSE(wnd.ShowWindow(SW_SHOW));
    EXPECT_FALSE(wnd.IsWindow());
    EXPECT_FALSE(wnd.IsWindowVisible());
}

TEST_F(WndPlacement, SetWindowPosHonoursItsFlagsAndReportsMovesAndSizes)
{
    ASSERT_TRUE(wnd.SetWindowPos(nullptr, 30, 40, 300, 200, SWP_NOSIZE | SWP_NOACTIVATE));
    EXPECT_EQ(wnd.GetWindowRect(), QRect(30, 40, 100, 100));
    ASSERT_TRUE(wnd.SetWindowPos(nullptr, 0, 0, 300, 200, SWP_NOMOVE));
    EXPECT_EQ(wnd.GetWindowRect(), QRect(30, 40, 300, 200));
    EXPECT_EQ(wnd.Messages({WM_MOVE, WM_SIZE}), (std::vector<UINT>{WM_MOVE, WM_SIZE}));
    EXPECT_EQ(wnd.Last(WM_MOVE)->lParam, MAKELPARAM(30, 40));
    EXPECT_EQ(wnd.Last(WM_SIZE)->lParam, MAKELPARAM(300, 200));

    // Unchanged geometry reports nothing; the parent window's 0 x 0 size is kept.
    wnd.log.clear();
    wnd.MoveWindow(30, 40, 300, 200);
    EXPECT_TRUE(wnd.log.empty());
    wnd.SetWindowPos(nullptr, 0, 0, 0, 0, SWP_NOACTIVATE);
    EXPECT_EQ(wnd.GetWindowRect(), QRect(0, 0, 0, 0));
}

TEST_F(WndPlacement, TopmostIsSetAndClearedWithoutDisturbingAVisibleWindow)
{
    wnd.SetWindowPos(nullptr, 50, 60, 0, 0, SWP_NOSIZE);
    wnd.ShowWindow(SW_SHOW);
    wnd.log.clear();
    ASSERT_TRUE(
        wnd.SetWindowPos(HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE));
    EXPECT_TRUE(wnd.IsTopmost());
    EXPECT_TRUE(wnd.IsWindowVisible());
    EXPECT_EQ(wnd.GetWindowRect(), QRect(50, 60, 100, 100));
    EXPECT_TRUE(wnd.log.empty()) << "no hide and show around the change";

    wnd.SetWindowPos(HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_TRUE(wnd.IsTopmost());
    wnd.SetWindowPos(HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
    EXPECT_FALSE(wnd.IsTopmost());
    EXPECT_TRUE(wnd.IsWindowVisible());
}

TEST_F(WndPlacement, CenterWindowUsesTheOwnerOnlyWhenItIsShownAndNotMinimised)
{
    const QRect area = GetWorkArea();
    wnd.SetWindowPos(nullptr, 0, 0, 201, 101, SWP_NOMOVE);
    const QPoint overArea = CenteredPosition({201, 101}, area, area);

    // The parent window's case: owner never shown.
    wnd.CenterWindow();
    EXPECT_EQ(wnd.GetWindowRect().topLeft(), overArea);

    owner.SetWindowPos(nullptr, area.x() + 100, area.y() + 100, 300, 200, SWP_NOACTIVATE);
    owner.ShowWindow(SW_SHOW);
    wnd.CenterWindow();
    EXPECT_EQ(wnd.GetWindowRect().topLeft(), QPoint(area.x() + 150, area.y() + 150));

    // Pushed back inside the work area when the owner hangs over its edge.
    owner.SetWindowPos(nullptr, area.x() - 250, area.y() - 150, 300, 200, SWP_NOACTIVATE);
    wnd.CenterWindow();
    EXPECT_EQ(wnd.GetWindowRect().topLeft(), area.topLeft());

    owner.ShowWindow(SW_MINIMIZE);
    wnd.CenterWindow();
    EXPECT_EQ(wnd.GetWindowRect().topLeft(), overArea);

    // Taller than the work area (a small screen at a large scale): cut to it and told so;
    // too wide as well: cut on both sides.
    wnd.SetWindowPos(nullptr, 0, 0, 201, area.height() + 30, SWP_NOMOVE);
    wnd.log.clear();
    wnd.CenterWindow();
    EXPECT_EQ(wnd.GetWindowRect(), QRect(overArea.x(), area.y(), 201, area.height()));
    EXPECT_EQ(wnd.Last(WM_SIZE)->lParam, MAKELPARAM(201, area.height()));
    wnd.SetWindowPos(nullptr, 0, 0, area.width() + 1, area.height() + 1, SWP_NOMOVE);
    wnd.CenterWindow();
    EXPECT_EQ(wnd.GetWindowRect(), area);
}

TEST(WindowGeometry, CentringHalvesEachEdgeTowardZeroAndStaysInTheWorkArea)
{
    const QRect area(0, 0, 1000, 800);
    // Owner 100,100 to 701,730 and a 200 x 100 window: 300,365.
    EXPECT_EQ(CenteredPosition({200, 100}, QRect(100, 100, 601, 630), area), QPoint(300, 365));
    // Odd sizes: (0 + 101) / 2 - 51 / 2 = 50 - 25.
    EXPECT_EQ(CenteredPosition({51, 51}, QRect(0, 0, 101, 101), area), QPoint(25, 25));
    // Negative sums truncate toward zero, not down: (-300 + -199) / 2 = -249.
    const QRect wide(-2000, -2000, 4000, 4000);
    EXPECT_EQ(CenteredPosition({0, 0}, QRect(-300, -300, 101, 101), wide), QPoint(-249, -249));
    // Too big for the area: the left and top edges win.
    EXPECT_EQ(CenteredPosition({1200, 900}, area, area), QPoint(0, 0));
    EXPECT_EQ(CenteredPosition({100, 100}, QRect(950, 750, 100, 100), area), QPoint(900, 700));
}

TEST_F(WndPlacement, TitleTaskbarButtonAndOpacity)
{
    wnd.SetWindowText(QStringLiteral("Tavro"));
    EXPECT_EQ(wnd.GetWindowText(), QStringLiteral("Tavro"));
    wnd.ShowWindow(SW_SHOW);
    wnd.SetTaskbarButton(true);
    EXPECT_TRUE(wnd.HasTaskbarButton());
    EXPECT_TRUE(wnd.IsWindowVisible());
    EXPECT_TRUE(wnd.GetWidget()->windowFlags() & Qt::FramelessWindowHint);
    wnd.SetTaskbarButton(false);
    EXPECT_FALSE(wnd.HasTaskbarButton());

    wnd.SetOpacity(150);
    EXPECT_EQ(wnd.GetOpacity(), 150);
}

TEST(WindowGeometry, AWindowLargerThanTheWorkAreaIsCutToItAndMovedInside)
{
    // The popup at 200 %: 300 x 490 beside a widget on a 640 x 400 work area.
    const QRect area(0, 0, 640, 400);
    EXPECT_EQ(FitInWorkArea(QRect(191, -336, 300, 490), area), QRect(191, 0, 300, 400));
    // Room enough: left where it is.
    EXPECT_EQ(FitInWorkArea(QRect(100, 50, 300, 300), area), QRect(100, 50, 300, 300));
    // Past the right and bottom edges: pushed back in, size kept.
    EXPECT_EQ(FitInWorkArea(QRect(500, 300, 300, 200), area), QRect(340, 200, 300, 200));
    // An area away from the origin (a panel on the left and at the top), too narrow too.
    const QRect offset(100, 40, 200, 300);
    EXPECT_EQ(FitInWorkArea(QRect(0, 0, 300, 490), offset), QRect(100, 40, 200, 300));
}

TEST(SessionPlatform, WaylandWithXWaylandRunsOnXcbUnlessTheUserChose)
{
    struct Row
    {
        const char* wayland;
        const char* display;
        const char* chosen;
        QByteArray expected;
    };
    const std::vector<Row> rows = {
        {"wayland-0", ":0", "", "xcb"},       // GNOME or KDE on Wayland with XWayland
        {"wayland-0", ":0", "offscreen", ""}, // the user's (or a test's) choice stands
        {"wayland-0", ":0", "  ", "xcb"},     // blank is no choice
        {"wayland-0", "", "", ""},            // no XWayland: Qt's own choice
        {"", ":0", "", ""},                   // plain X11: nothing to change
        {"", "", "", ""},                     // no display at all: Qt says so
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::Message()
                     << row.wayland << "|" << row.display << "|" << row.chosen);
        const auto variable = [&row](const char* name) -> QByteArray {
            const std::string n = name;
            return n == "WAYLAND_DISPLAY"   ? row.wayland
                   : n == "DISPLAY"         ? row.display
                   : n == "QT_QPA_PLATFORM" ? row.chosen
                                            : "";
        };
        EXPECT_EQ(QtPlatformForSession(variable), row.expected);
    }
}

TEST(SessionPlatform, OnlyTheX11BackEndInsideAWaylandSessionIsXWayland)
{
    const auto inWayland = [](const char*) { return QByteArray("wayland-0"); };
    const auto inX11 = [](const char*) { return QByteArray(); };
    EXPECT_TRUE(IsXWaylandSession(u"xcb", inWayland));
    EXPECT_FALSE(IsXWaylandSession(u"xcb", inX11)); // a plain X11 desktop
    EXPECT_FALSE(IsXWaylandSession(u"wayland", inWayland));
}

} // namespace
