// Window timers, mouse messages from the window and its child widgets, hover and leave.
// The pointer is moved with QCursor::setPos, which the offscreen platform turns into real
// enter, leave and move events.

#include "recording_wnd.h"

#include <QCursor>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace {

class WndInput : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QCursor::setPos(0, 0);
        ASSERT_TRUE(wnd.CreatePopup(nullptr));
        wnd.MoveWindow(200, 150, 200, 100);
        label = new QLabel(QStringLiteral("skin label"), wnd.GetWidget());
        label->setGeometry(100, 0, 100, 100);
        wnd.ShowWindow(SW_SHOW);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(wnd.GetWidget()));
        wnd.log.clear();
    }
    void TearDown() override
    {
        QCursor::setPos(0, 0);
        wnd.DestroyWindow();
        FlushDeferredDeletes();
    }
    RecordingWnd wnd;
    QLabel* label = nullptr;
};

TEST_F(WndInput, TimersFireByIdUntilKilledAndRestartWithANewPeriod)
{
    wnd.handlers[WM_TIMER] = [&](WPARAM id, LPARAM) {
        if (id == 3)
            wnd.KillTimer(3); // a one-shot, as the fade timer is used
        return 0;
    };
    auto fired = [&](WPARAM id) {
        return static_cast<int>(
            std::count_if(wnd.log.begin(), wnd.log.end(), [&](const Received& r) {
                return r.message == WM_TIMER && r.wParam == id;
            }));
    };
    EXPECT_EQ(wnd.SetTimer(1, 10), 1u);
    wnd.SetTimer(2, 15);
    wnd.SetTimer(3, 10);
    ASSERT_TRUE(WaitFor([&] { return fired(1) >= 2 && fired(2) >= 2; }));
    EXPECT_EQ(fired(3), 1);
    EXPECT_FALSE(wnd.IsTimerRunning(3));

    EXPECT_TRUE(wnd.KillTimer(1));
    EXPECT_FALSE(wnd.KillTimer(1));
    const int firstCount = fired(1);
    const int secondCount = fired(2);
    wnd.SetTimer(2, 12); // restarted, still one timer
    ASSERT_TRUE(WaitFor([&] { return fired(2) >= secondCount + 3; }));
    EXPECT_EQ(fired(1), firstCount);
    EXPECT_TRUE(wnd.IsTimerRunning(2));

    wnd.DestroyWindow();
    EXPECT_FALSE(wnd.IsTimerRunning(2));
}

TEST_F(WndInput, ButtonsOverChildWidgetsReachTheWindowOnceInWindowCoordinates)
{
    auto* button = new QPushButton(QStringLiteral("skin button"), wnd.GetWidget());
    button->setGeometry(0, 50, 60, 30);
    button->show();

    QTest::mouseClick(label, Qt::RightButton, {}, QPoint(10, 20));
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseDClick(wnd.GetWidget(), Qt::LeftButton, {}, QPoint(70, 10));
    EXPECT_EQ(wnd.Messages(), (std::vector<UINT>{WM_RBUTTONDOWN, WM_RBUTTONUP, WM_LBUTTONDOWN,
                                                 WM_LBUTTONUP, WM_LBUTTONDBLCLK}));
    EXPECT_EQ(wnd.Last(WM_RBUTTONUP)->lParam, MAKELPARAM(110, 20));
    EXPECT_EQ(wnd.Last(WM_RBUTTONDOWN)->wParam, MK_RBUTTON);
    EXPECT_EQ(wnd.Last(WM_LBUTTONDOWN)->lParam, MAKELPARAM(5, 55));
    EXPECT_EQ(wnd.Last(WM_LBUTTONUP)->wParam, 0u);

    // Widgets outside the framework's windows are left alone.
    QWidget stranger;
    QTest::mouseClick(&stranger, Qt::LeftButton);
    EXPECT_EQ(wnd.log.size(), 5u);
}

TEST_F(WndInput, TrackingReportsOneHoverAfterRestAndOneLeaveWhenThePointerLeaves)
{
    bool tracked = false;
    wnd.handlers[WM_MOUSEMOVE] = [&](WPARAM, LPARAM) {
        if (!tracked)
            wnd.TrackMouseEvent(TME_HOVER | TME_LEAVE, 20);
        tracked = true;
        return 0;
    };
    QCursor::setPos(210, 160);
    ASSERT_TRUE(WaitFor([&] { return wnd.Count(WM_MOUSEHOVER) == 1; }));
    EXPECT_EQ(wnd.Last(WM_MOUSEMOVE)->lParam, MAKELPARAM(10, 10));
    EXPECT_EQ(wnd.Last(WM_MOUSEHOVER)->lParam, MAKELPARAM(10, 10));

    // Onto the child label and around inside: not a leave.
    QCursor::setPos(320, 170);
    QCursor::setPos(330, 200);
    ASSERT_TRUE(WaitFor([&] { return wnd.Last(WM_MOUSEMOVE)->lParam == MAKELPARAM(130, 50); }));
    ASSERT_TRUE(Drain(wnd));
    EXPECT_EQ(wnd.Count(WM_MOUSELEAVE), 0);

    QCursor::setPos(500, 500);
    ASSERT_TRUE(WaitFor([&] { return wnd.Count(WM_MOUSELEAVE) == 1; }));

    // Answered once: in and out again without a new request stays quiet.
    QCursor::setPos(220, 170);
    ASSERT_TRUE(WaitFor([&] { return wnd.Last(WM_MOUSEMOVE)->lParam == MAKELPARAM(20, 20); }));
    QCursor::setPos(500, 500);
    ASSERT_TRUE(WaitFor([&] { return !wnd.GetWidget()->underMouse(); }));
    ASSERT_TRUE(Drain(wnd));
    EXPECT_EQ(wnd.Count(WM_MOUSELEAVE), 1);
    EXPECT_EQ(wnd.Count(WM_MOUSEHOVER), 1);
}

TEST_F(WndInput, LeaveRequestedWhileThePointerIsElsewhereIsAnsweredAtOnce)
{
    wnd.TrackMouseEvent(TME_LEAVE);
    ASSERT_TRUE(WaitFor([&] { return wnd.Count(WM_MOUSELEAVE) == 1; }));

    // A cancelled request stays unanswered.
    QCursor::setPos(210, 160);
    ASSERT_TRUE(WaitFor([&] { return wnd.Count(WM_MOUSEMOVE) > 0; }));
    wnd.TrackMouseEvent(TME_LEAVE);
    wnd.TrackMouseEvent(TME_CANCEL | TME_LEAVE);
    QCursor::setPos(500, 500);
    ASSERT_TRUE(WaitFor([&] { return !wnd.GetWidget()->underMouse(); }));
    ASSERT_TRUE(Drain(wnd));
    EXPECT_EQ(wnd.Count(WM_MOUSELEAVE), 1);
}

} // namespace
