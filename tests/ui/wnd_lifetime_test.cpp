// Creation, destruction, deletion and message delivery of window objects.

#include "recording_wnd.h"

#include <QEventLoop>
#include <QLabel>
#include <QPointer>
#include <QWidget>

#include <gtest/gtest.h>

#include <cstddef>
#include <new>
#include <thread>

namespace {

constexpr UINT kFirst = WM_USER + 1;

class WndLifetime : public ::testing::Test
{
protected:
    void TearDown() override { FlushDeferredDeletes(); }
};

TEST_F(WndLifetime, PopupStartsHiddenAt100By100OwnedAndWithoutTaskbarButton)
{
    RecordingWnd owner;
    RecordingWnd wnd;
    ASSERT_TRUE(owner.CreatePopup(nullptr));
    ASSERT_TRUE(wnd.CreatePopup(&owner));

    ASSERT_EQ(wnd.Messages(), std::vector<UINT>{WM_CREATE});
    EXPECT_FALSE(wnd.log[0].visible);
    EXPECT_EQ(wnd.GetWindowRect(), QRect(0, 0, 100, 100));
    EXPECT_FALSE(wnd.IsWindowVisible());
    EXPECT_TRUE(wnd.GetWindowText().isEmpty());
    EXPECT_FALSE(wnd.HasTaskbarButton());
    EXPECT_EQ(wnd.GetOwner(), &owner);
    EXPECT_EQ(wnd.GetWidget()->parentWidget(), owner.GetWidget());
    EXPECT_TRUE(wnd.GetWidget()->isWindow());
    EXPECT_TRUE(wnd.GetWidget()->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_FALSE(wnd.CreatePopup(&owner)) << "a second window for one object";
}

TEST_F(WndLifetime, CreateHandlerAnsweringMinusOneLeavesNoWindow)
{
    RecordingWnd wnd;
    wnd.createResult = -1;
    EXPECT_FALSE(wnd.CreatePopup(nullptr));
    EXPECT_FALSE(wnd.IsWindow());
    EXPECT_EQ(wnd.GetWidget(), nullptr);
    EXPECT_EQ(wnd.Messages(), (std::vector<UINT>{WM_CREATE, WM_DESTROY}));
    EXPECT_FALSE(wnd.PostMessage(kFirst));

    // The object can try again, and a destroyed owner refuses new owned windows.
    wnd.createResult = 0;
    ASSERT_TRUE(wnd.CreatePopup(nullptr));
    wnd.DestroyWindow();
    RecordingWnd owned;
    EXPECT_FALSE(owned.CreatePopup(&wnd));
}

TEST_F(WndLifetime, SentMessagesRunAtOncePostedOnesQueueInOrder)
{
    RecordingWnd wnd;
    ASSERT_TRUE(wnd.CreatePopup(nullptr));
    wnd.handlers[kFirst] = [&](WPARAM, LPARAM) {
        wnd.PostMessage(kFirst + 1, 11, -11);
        EXPECT_EQ(wnd.SendMessage(kFirst + 2, 22, 22), 7);
        wnd.PostMessage(kFirst + 3, 33, 33);
        return 0;
    };
    wnd.handlers[kFirst + 2] = [](WPARAM, LPARAM) { return LRESULT{7}; };

    ASSERT_TRUE(wnd.PostMessage(kFirst));
    EXPECT_EQ(wnd.Count(kFirst), 0) << "posting never runs the handler";
    ASSERT_TRUE(Drain(wnd));
    EXPECT_EQ(wnd.Messages({kFirst, kFirst + 1, kFirst + 2, kFirst + 3}),
              (std::vector<UINT>{kFirst, kFirst + 2, kFirst + 1, kFirst + 3}));
    EXPECT_EQ(wnd.Last(kFirst + 1)->wParam, 11u);
    EXPECT_EQ(wnd.Last(kFirst + 1)->lParam, -11);
}

TEST_F(WndLifetime, MessagesToDestroyedOrDeletedWindowsAreDropped)
{
    auto* wnd = new RecordingWnd;
    ASSERT_TRUE(wnd->CreatePopup(nullptr));
    ASSERT_TRUE(wnd->PostMessage(kFirst));
    ASSERT_TRUE(wnd->DestroyWindow());
    EXPECT_FALSE(wnd->DestroyWindow());
    EXPECT_FALSE(wnd->PostMessage(kFirst));
    EXPECT_EQ(wnd->SendMessage(kFirst), 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(wnd->Count(kFirst), 0) << "queued before the destruction, never delivered";

    const HWND handle = wnd->GetSafeHwnd();
    delete wnd;
    EXPECT_FALSE(::IsWindow(handle));
    EXPECT_FALSE(::PostMessage(handle, kFirst));
    EXPECT_EQ(::SendMessage(handle, kFirst), 0);
}

TEST_F(WndLifetime, AHandleStaysDeadWhenANewWindowTakesTheSameMemory)
{
    alignas(RecordingWnd) std::byte storage[sizeof(RecordingWnd)];
    auto* first = new (storage) RecordingWnd;
    ASSERT_TRUE(first->CreatePopup(nullptr));
    const HWND old = first->GetSafeHwnd();
    first->~RecordingWnd();

    auto* second = new (storage) RecordingWnd;
    ASSERT_TRUE(second->CreatePopup(nullptr));
    EXPECT_FALSE(::IsWindow(old));
    EXPECT_FALSE(::PostMessage(old, kFirst));
    EXPECT_EQ(::SendMessage(old, kFirst), 0);
    EXPECT_EQ(CWnd::FromHandle(old), nullptr);
    QCoreApplication::processEvents();
    EXPECT_EQ(second->Count(kFirst), 0) << "nothing sent to the old handle reaches the new window";

    EXPECT_TRUE(::IsWindow(second->GetSafeHwnd()));
    EXPECT_EQ(CWnd::FromHandle(second->GetSafeHwnd()), second);
    second->~RecordingWnd();
}

TEST_F(WndLifetime, WorkerThreadPostsArriveInOrder)
{
    RecordingWnd wnd;
    ASSERT_TRUE(wnd.CreatePopup(nullptr));
    std::thread worker([&] {
        for (WPARAM i = 0; i < 200; ++i)
            ::PostMessage(wnd.GetSafeHwnd(), kFirst, i);
    });
    worker.join();
    ASSERT_TRUE(Drain(wnd));
    std::vector<WPARAM> order;
    for (const Received& r : wnd.log)
        if (r.message == kFirst)
            order.push_back(r.wParam);
    ASSERT_EQ(order.size(), 200u);
    EXPECT_TRUE(std::is_sorted(order.begin(), order.end()));
}

TEST_F(WndLifetime, OwnedWindowsAreDestroyedBeforeTheirOwner)
{
    std::vector<std::string> order;
    RecordingWnd owner, first, second;
    ASSERT_TRUE(owner.CreatePopup(nullptr));
    ASSERT_TRUE(first.CreatePopup(&owner));
    ASSERT_TRUE(second.CreatePopup(&first));
    owner.handlers[WM_DESTROY] = [&](WPARAM, LPARAM) {
        order.push_back(first.IsWindow() ? "owner, first alive" : "owner");
        return 0;
    };
    first.handlers[WM_DESTROY] = [&](WPARAM, LPARAM) { return order.push_back("first"), 0; };
    second.handlers[WM_DESTROY] = [&](WPARAM, LPARAM) { return order.push_back("second"), 0; };

    ASSERT_TRUE(owner.DestroyWindow());
    EXPECT_EQ(order, (std::vector<std::string>{"second", "first", "owner"}));
    EXPECT_FALSE(first.IsWindow());
    EXPECT_FALSE(second.IsWindow());
    EXPECT_EQ(first.GetOwner(), nullptr);
}

// A handler waits in a nested event loop (as in a message box) while another window's
// handler destroys and deletes the waiting window; the handler then goes on using its
// widget. The widget and the object must survive until that handler has returned.
TEST_F(WndLifetime, DestroyAndDeleteDuringOwnHandlerWaitForIt)
{
    bool deleted = false;
    RecordingWnd owner;
    ASSERT_TRUE(owner.CreatePopup(nullptr));
    auto* popup = new RecordingWnd;
    popup->deleted = &deleted;
    ASSERT_TRUE(popup->CreatePopup(&owner));
    auto* label = new QLabel(popup->GetWidget());
    QPointer<QWidget> widget = popup->GetWidget();

    owner.handlers[kFirst] = [&](WPARAM, LPARAM) {
        popup->DestroyWindow();
        DeleteWnd(popup);
        return 0;
    };
    popup->handlers[kFirst] = [&, popup](WPARAM, LPARAM) {
        QEventLoop box;
        owner.PostMessage(kFirst);
        popup->PostMessage(kFirst + 1); // dropped: the window goes first
        owner.PostMessage(kFirst + 2);
        owner.handlers[kFirst + 2] = [&](WPARAM, LPARAM) { return box.quit(), 0; };
        box.exec();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_FALSE(deleted);
        EXPECT_FALSE(popup->IsWindow());
        label->setText("still here"); // the skin control of the destroyed window
        popup->log.push_back({0, 0, 0, false});
        return 0;
    };

    popup->SendMessage(kFirst);
    EXPECT_TRUE(deleted) << "deleted when its handler returned";
    FlushDeferredDeletes();
    EXPECT_TRUE(widget.isNull()) << "the widget is released too";
}

TEST_F(WndLifetime, WindowRecreatedInsideOwnHandlerKeepsItsNewWidget)
{
    RecordingWnd wnd;
    ASSERT_TRUE(wnd.CreatePopup(nullptr));
    QPointer<QWidget> first = wnd.GetWidget();
    wnd.handlers[kFirst] = [&](WPARAM, LPARAM) {
        wnd.DestroyWindow();
        return LRESULT{wnd.CreatePopup(nullptr)};
    };
    ASSERT_EQ(wnd.SendMessage(kFirst), 1);
    FlushDeferredDeletes();
    EXPECT_TRUE(first.isNull());
    ASSERT_NE(wnd.GetWidget(), nullptr);
    EXPECT_TRUE(wnd.PostMessage(kFirst + 1));
    EXPECT_TRUE(Drain(wnd));
}

TEST_F(WndLifetime, PlainDeleteInsideOwnHandlerDoesNotUpsetTheFramework)
{
    bool deleted = false;
    auto* wnd = new RecordingWnd;
    wnd->deleted = &deleted;
    ASSERT_TRUE(wnd->CreatePopup(nullptr));
    wnd->SetTimer(1, 10);
    wnd->handlers[kFirst] = [wnd](WPARAM, LPARAM) {
        delete wnd;
        return LRESULT{5};
    };
    EXPECT_EQ(::SendMessage(wnd->GetSafeHwnd(), kFirst), 5);
    EXPECT_TRUE(deleted);
    QCoreApplication::processEvents();
}

} // namespace
