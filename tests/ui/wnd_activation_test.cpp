// Which shows and placements give a window the keyboard focus, and the windows that never
// take it.

#include "recording_wnd.h"

#include <QApplication>
#include <QComboBox>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

// Lets queued activation changes arrive; the platform reports them as events.
void Settle()
{
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

bool IsActive(const CWnd& wnd) { return QApplication::activeWindow() == wnd.GetWidget(); }

class WndActivation : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // The window the user works in before the tested one comes up.
        ASSERT_TRUE(bystander.CreatePopup(nullptr));
        bystander.ShowWindow(SW_SHOW);
        ASSERT_TRUE(WaitFor([&] { return IsActive(bystander); }));
        ASSERT_TRUE(wnd.CreatePopup(nullptr));
        // Sized without activation, as a skin form sizes every window it is attached to.
        wnd.SetWindowPos(nullptr, 0, 0, 200, 120, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    void TearDown() override
    {
        wnd.DestroyWindow();
        bystander.DestroyWindow();
        FlushDeferredDeletes();
    }
    // Gives the focus back to the bystander, the tested window staying as it is.
    void FocusBystander()
    {
        bystander.BringWindowToTop();
        ASSERT_TRUE(WaitFor([&] { return IsActive(bystander); }));
    }

    RecordingWnd bystander;
    RecordingWnd wnd;
};

struct Route
{
    std::string name;
    bool startsVisible;
    std::function<void(CWnd&)> run;
    bool activates; // for a window without the no-activate style
};

const std::vector<Route>& Routes()
{
    static const std::vector<Route> routes = {
        {"show (5)", false, [](CWnd& w) { w.ShowWindow(SW_SHOW); }, true},
        {"show (5) while shown behind", true, [](CWnd& w) { w.ShowWindow(SW_SHOW); }, true},
        {"restore then show (9, 5)", false,
         [](CWnd& w) {
             w.ShowWindow(SW_RESTORE);
             w.ShowWindow(SW_SHOW);
         },
         true},
        {"show normal (1)", false, [](CWnd& w) { w.ShowWindow(SW_SHOWNORMAL); }, true},
        {"show, centred, moved", false,
         [](CWnd& w) {
             w.ShowWindow(SW_SHOW);
             w.CenterWindow();
             w.MoveWindow(10, 10, 220, 130);
         },
         true},
        {"brought to the top while shown behind", true, [](CWnd& w) { w.BringWindowToTop(); },
         true},
        {"placed with activation while shown behind", true,
         [](CWnd& w) { w.SetWindowPos(HWND_TOP, 5, 5, 0, 0, SWP_NOSIZE); }, true},
        {"show without activating (8)", false, [](CWnd& w) { w.ShowWindow(SW_SHOWNA); }, false},
        {"show without activating (4)", false, [](CWnd& w) { w.ShowWindow(SW_SHOWNOACTIVATE); },
         false},
        {"placed without activation while shown behind", true,
         [](CWnd& w) { w.SetWindowPos(HWND_TOPMOST, 5, 5, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE); },
         false},
    };
    return routes;
}

TEST_F(WndActivation, EveryActivatingRouteGivesTheFocusExceptToNoActivateWindows)
{
    for (const bool never : {false, true}) {
        wnd.SetNoActivate(never);
        EXPECT_EQ(wnd.IsNoActivate(), never);
        for (const Route& route : Routes()) {
            SCOPED_TRACE(route.name + (never ? ", no-activate window" : ""));
            wnd.ShowWindow(SW_HIDE);
            if (route.startsVisible) {
                wnd.ShowWindow(SW_SHOWNA);
                FocusBystander();
            }
            route.run(wnd);
            EXPECT_TRUE(wnd.IsWindowVisible());
            if (route.activates && !never) {
                EXPECT_TRUE(WaitFor([&] { return IsActive(wnd); }));
            } else if (route.startsVisible) {
                Settle();
                EXPECT_TRUE(IsActive(bystander));
            }
            // Otherwise the route maps the window, which the offscreen platform activates
            // whatever the window asks for; what it asks for is checked below, and the X
            // server's answer end to end.
            FocusBystander();
        }
        EXPECT_EQ(wnd.GetWidget()->testAttribute(Qt::WA_ShowWithoutActivating), never);
        EXPECT_EQ(wnd.GetWidget()->windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus), never);
    }
}

TEST_F(WndActivation, AnActivatedWindowPutsTheKeyboardOnItsFirstControl)
{
    auto* first = new QComboBox(wnd.GetWidget());
    auto* second = new QComboBox(wnd.GetWidget());
    first->setGeometry(10, 10, 80, 30);
    second->setGeometry(100, 10, 80, 30);
    wnd.ShowWindow(SW_SHOW);
    ASSERT_TRUE(WaitFor([&] { return IsActive(wnd); }));
    EXPECT_EQ(QApplication::focusWidget(), first);
}

TEST_F(WndActivation, TheNoActivateStyleIsAWindowsOwnAndANewWindowStartsWithout)
{
    wnd.SetNoActivate(true);
    EXPECT_FALSE(bystander.IsNoActivate());
    wnd.DestroyWindow();
    EXPECT_FALSE(wnd.IsNoActivate());
    ASSERT_TRUE(wnd.CreatePopup(nullptr));
    EXPECT_FALSE(wnd.IsNoActivate());
    wnd.ShowWindow(SW_SHOW);
    EXPECT_TRUE(WaitFor([&] { return IsActive(wnd); }));
}

} // namespace
