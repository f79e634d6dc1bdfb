// The floating widget over the real skin: placement, the pointer states with their two
// timers, the popup beside it, the skin notifications, the menu and its commands. Most
// cases drive the widget through its messages with a placed cursor; the last ones move the
// real pointer and wait for the real timers.

#include "float/float_dlg.h"

#include "fake_services.h"
#include "fake_ui_services.h"
#include "host/endpoints.h"
#include "profile/app_data.h"
#include "remind/remind_dlg.h"
#include "remind/tip_database.h"
#include "skin/skin.h"
#include "skin/skin_controls.h"
#include "temp_program_dir.h"
#include "tip_database_file.h"
#include "wait_for.h"

#include <QCursor>
#include <QImage>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

namespace {

using Timer = std::uintptr_t;
constexpr Timer kFade = CTavroFloatDlg::TIMER_FADE;
constexpr Timer kPopup = CTavroFloatDlg::TIMER_POPUP;

// Stands in for the parent window: records the requests and, like the real one, destroys
// and deletes the widget when its own window is destroyed.
class ParentWnd : public CWnd
{
public:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message >= WM_SHOW_MAIN && message <= WM_SHOW_SETTINGS)
            requests.push_back({message, wParam});
        if (message == WM_DESTROY && m_pFloatDlg) {
            if (m_pFloatDlg->IsWindow())
                m_pFloatDlg->DestroyWindow();
            DeleteWnd(m_pFloatDlg);
            m_pFloatDlg = nullptr;
        }
        return CWnd::WindowProc(message, wParam, lParam);
    }
    std::vector<std::pair<UINT, WPARAM>> requests;
    CWnd* m_pFloatDlg = nullptr;
};

// The widget, telling when it is deleted.
class Widget : public CTavroFloatDlg
{
public:
    Widget(SkinEngine* skin, CTipDatabase& tips, bool* deleted)
        : CTavroFloatDlg(skin, tips), m_deleted(deleted)
    {}
    ~Widget() override { *m_deleted = true; }

private:
    bool* m_deleted;
};

class FloatWidget : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QCursor::setPos(0, 0);
        skin = OpenSkinW(TAVRO_SOURCE_DIR L"/package/Skin/RizIrozara.dui",
                         TAVRO_SOURCE_DIR L"/package/Skin/Default.skn", 0, 0, 0);
        app.programDir = dir.WidePath();
        app.daysPregnant = 180;
        app.pregnancyWeek = 26;
        app.dayOfWeek = 5;
        SetTheApp(&app);
        MakeContent();
        ASSERT_TRUE(parent.CreatePopup(nullptr));
        widget = new Widget(skin, *tips, &widgetDeleted);
        parent.m_pFloatDlg = widget;
        ASSERT_TRUE(widget->CreatePopup(&parent));
        widget->ShowWindow(SW_HIDE);
        widget->ShowWindow(SW_SHOW);
        area = GetWorkArea();
        widgetRect = widget->GetWindowRect();
    }
    void TearDown() override
    {
        QCursor::setPos(0, 0);
        services.messageBox.onShow = nullptr;
        parent.DestroyWindow();
        ReleaseDestroyedWindows();
        FreeSkin();
        SetTheApp(nullptr);
    }

    void MakeContent()
    {
        QImage picture(280, 180, QImage::Format_RGB32);
        picture.fill(QColor(230, 200, 30));
        const auto file = dir.Sub("Release/data/pic/180.jpg");
        std::filesystem::create_directories(file.parent_path());
        ASSERT_TRUE(picture.save(QString::fromStdString(file.string()), "JPG"));
        WriteTipDatabase(dir.Path(), std::string(kTipTablesSql) +
                                         NumberedRowsSql("tavro_tip", "tip ", 280) +
                                         NumberedRowsSql("tavro_baby", "week ", 280));
        tips.emplace(dir.WidePath());
    }

    LRESULT Send(UINT message, WPARAM wParam = 0)
    {
        return widget->SendMessage(message, wParam, 0);
    }
    void Hover() { Send(WM_MOUSEHOVER); }
    void LeaveWithPointerAt(QPoint pos)
    {
        ui.cursor.pos = pos;
        Send(WM_MOUSELEAVE);
    }
    void Fire(Timer id) { Send(WM_TIMER, id); }
    bool Running(Timer id) const { return widget->IsTimerRunning(id); }
    int Opacity() const { return widget->GetOpacity(); }
    bool PopupShown() const { return widget->m_pPopup && widget->m_pPopup->IsWindowVisible(); }
    // Hover and let the popup timer fire: the popup is open.
    void Open()
    {
        Hover();
        Fire(kPopup);
        ASSERT_TRUE(PopupShown());
    }
    QRect PopupRect() const { return widget->m_pPopup->GetWindowRect(); }
    WPARAM AControl() const { return reinterpret_cast<WPARAM>(widget->m_pFrame); }

    FakeServices services;
    FakeUiServices ui;
    TempProgramDir dir;
    std::optional<CTipDatabase> tips;
    SkinEngine* skin = nullptr;
    CTavroAppData app;
    ParentWnd parent;
    Widget* widget = nullptr;
    bool widgetDeleted = false;
    QRect area;
    QRect widgetRect;
};

TEST(FloatPlacement, FiftyPixelsInsideTheWorkAreasRightAndTopEdges)
{
    EXPECT_EQ(FloatPosition(QSize(200, 200), QRect(0, 0, 800, 600)), QPoint(550, 50));
    EXPECT_EQ(FloatPosition(QSize(104, 104), QRect(60, 30, 1220, 740)), QPoint(1126, 80));
}

TEST(FloatPlacement, ThePointMustLieInBothRectanglesRightAndBottomEdgesExcluded)
{
    const QRect widget(646, 50, 104, 104);
    const QRect popup(351, 50, 300, 490);
    EXPECT_TRUE(IsPointInBoth({646, 50}, widget, popup));
    EXPECT_TRUE(IsPointInBoth({650, 153}, widget, popup));
    EXPECT_FALSE(IsPointInBoth({651, 100}, widget, popup)); // past the popup's right edge
    EXPECT_FALSE(IsPointInBoth({648, 154}, widget, popup)); // below the widget
    EXPECT_FALSE(IsPointInBoth({645, 100}, widget, popup)); // left of the widget
}

TEST_F(FloatWidget, CreatedTranslucentTopmostAtTheTopRightWithoutTakingTheFocus)
{
    ASSERT_NE(widget->m_pForm, nullptr);
    ASSERT_NE(widget->m_pFrame, nullptr);
    EXPECT_EQ(widgetRect, QRect(area.x() + area.width() - 104 - 50, area.y() + 50, 104, 104));
    EXPECT_TRUE(widget->IsTopmost());
    EXPECT_TRUE(widget->IsNoActivate());
    EXPECT_EQ(Opacity(), CTavroFloatDlg::ALPHA_IDLE);
    EXPECT_FALSE(GetControlWidget(widget->m_pFrame)->isHidden());
    EXPECT_FALSE(widget->m_bHover || widget->m_bPopupBlocked || widget->m_pPopup);

    // "隐藏浮窗" hides it only; shown again, it is where it was.
    Send(WM_COMMAND, CTavroFloatDlg::ID_FLOAT_HIDE);
    EXPECT_FALSE(widget->IsWindowVisible());
    EXPECT_TRUE(widget->IsWindow());
    widget->ShowWindow(SW_SHOW);
    EXPECT_EQ(widget->GetWindowRect(), widgetRect);
}

TEST_F(FloatWidget, WithoutItsSkinFormTheWidgetIsNotCreated)
{
    CTavroFloatDlg bare(nullptr, *tips);
    EXPECT_FALSE(bare.CreatePopup(&parent));
    EXPECT_FALSE(bare.IsWindow());
}

TEST_F(FloatWidget, PointerStaysThePopupOpensBesideTheWidgetAndItsTimerStops)
{
    Hover();
    EXPECT_EQ(Opacity(), CTavroFloatDlg::ALPHA_HOVER);
    EXPECT_TRUE(Running(kPopup));
    EXPECT_EQ(widget->m_pPopup, nullptr);
    // A second hover changes nothing (the timer is not restarted, the state holds).
    Hover();
    Fire(kPopup);
    ASSERT_TRUE(PopupShown());
    EXPECT_FALSE(Running(kPopup));
    EXPECT_FALSE(Running(kFade));
    auto* popup = dynamic_cast<CTavroRemindDlg*>(widget->m_pPopup);
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(popup->GetOwner(), widget);
    // Near the right edge the popup opens to the left, overlapping the widget by 5 pixels.
    EXPECT_EQ(PopupRect().topLeft(),
              PopupPositionBesideOwner(PopupRect().size(), widgetRect, area));
    EXPECT_EQ(PopupRect().x() + PopupRect().width(), widgetRect.x() + 5);
    auto* tip = dynamic_cast<SkinEdit*>(GetControlWidget(popup->m_pContentEdit));
    EXPECT_EQ(tip->toPlainText(), QStringLiteral("tip 180"));
}

TEST_F(FloatWidget, EnterAndLeaveQuicklyOpensNothingAndFadesAfterTheFadeTimer)
{
    Hover();
    LeaveWithPointerAt({0, 0});
    EXPECT_FALSE(widget->m_bHover);
    EXPECT_TRUE(Running(kFade));
    EXPECT_EQ(Opacity(), CTavroFloatDlg::ALPHA_HOVER);
    // The popup timer goes stale: it keeps firing without effect.
    Fire(kPopup);
    Fire(kPopup);
    EXPECT_EQ(widget->m_pPopup, nullptr);
    EXPECT_TRUE(Running(kPopup));
    Fire(kFade);
    EXPECT_EQ(Opacity(), CTavroFloatDlg::ALPHA_IDLE);
    EXPECT_FALSE(Running(kFade));
}

TEST_F(FloatWidget, LeavingAndComingBackBeforeTheFadeKeepsItOpaque)
{
    Open();
    LeaveWithPointerAt({0, 0});
    EXPECT_EQ(widget->m_pPopup, nullptr);
    Hover();
    EXPECT_TRUE(Running(kPopup));
    Fire(kFade);
    EXPECT_EQ(Opacity(), CTavroFloatDlg::ALPHA_HOVER);
    EXPECT_FALSE(Running(kFade));
    // A new hover makes a new popup.
    Fire(kPopup);
    EXPECT_TRUE(PopupShown());
}

TEST_F(FloatWidget, ThePopupStaysOnlyWhileThePointerIsInTheOverlapStrip)
{
    Open();
    const QRect popup = PopupRect();
    // The strip is the widget's leftmost 5 columns.
    const int stripLeft = widgetRect.x();
    const int stripRight = popup.x() + popup.width(); // exclusive
    ASSERT_EQ(stripRight - stripLeft, 5);

    for (QPoint inside :
         {QPoint(stripLeft, widgetRect.y()), QPoint(stripRight - 1, widgetRect.y() + 103)}) {
        LeaveWithPointerAt(inside);
        ASSERT_TRUE(PopupShown());
        EXPECT_TRUE(widget->m_bHover);
        EXPECT_FALSE(Running(kFade));
    }
    // Further onto the popup, the popup's own leave arrives: closed and fading.
    LeaveWithPointerAt(popup.center());
    EXPECT_EQ(widget->m_pPopup, nullptr);
    EXPECT_TRUE(Running(kFade));
    EXPECT_FALSE(widget->m_bHover);

    // One column past the strip, as after a jump: closed at once.
    Open();
    LeaveWithPointerAt({stripRight, widgetRect.center().y()});
    EXPECT_EQ(widget->m_pPopup, nullptr);
}

TEST_F(FloatWidget, PressHidesAndBlocksTheOpenPopupUntilAClick)
{
    Open();
    CWnd* popup = widget->m_pPopup;
    EXPECT_EQ(Send(WM_SKIN_PRESS, AControl()), 1);
    EXPECT_EQ(widget->m_pPopup, popup); // hidden, not destroyed
    EXPECT_TRUE(popup->IsWindow());
    EXPECT_FALSE(popup->IsWindowVisible());
    EXPECT_TRUE(widget->m_bPopupBlocked);
    EXPECT_FALSE(Running(kPopup));

    // Away and back while blocked: the hover restarts the timer, which makes a new popup
    // but keeps it hidden, and keeps firing.
    LeaveWithPointerAt({0, 0});
    EXPECT_EQ(widget->m_pPopup, nullptr);
    Hover();
    Fire(kPopup);
    ASSERT_NE(widget->m_pPopup, nullptr);
    popup = widget->m_pPopup;
    EXPECT_FALSE(PopupShown());
    EXPECT_TRUE(Running(kPopup));

    EXPECT_EQ(Send(WM_SKIN_CLICK, AControl()), 1);
    EXPECT_FALSE(widget->m_bPopupBlocked);
    EXPECT_TRUE(Running(kPopup));
    Fire(kPopup);
    EXPECT_TRUE(PopupShown());
    EXPECT_EQ(widget->m_pPopup, popup);
    EXPECT_FALSE(Running(kPopup));
}

TEST_F(FloatWidget, AClickWhileThePointerIsAwayShowsNothingUntilItReturns)
{
    Hover();
    Send(WM_SKIN_PRESS, AControl());
    LeaveWithPointerAt({0, 0});
    Send(WM_SKIN_CLICK, AControl());
    Fire(kPopup);
    Fire(kPopup);
    EXPECT_EQ(widget->m_pPopup, nullptr);
    EXPECT_TRUE(Running(kPopup));
    Hover();
    Fire(kPopup);
    EXPECT_TRUE(PopupShown());
}

TEST_F(FloatWidget, SkinNotificationsWithoutAControlAreRefusedAndChangeNothing)
{
    Hover();
    for (UINT message : {WM_SKIN_PRESS, WM_SKIN_CLICK, WM_SKIN_DBLCLK, WM_SKIN_0BD7})
        EXPECT_EQ(Send(message, 0), -1) << message;
    EXPECT_FALSE(widget->m_bPopupBlocked);
    EXPECT_TRUE(Running(kPopup));
    EXPECT_TRUE(parent.requests.empty());

    EXPECT_EQ(Send(WM_SKIN_0BD7, AControl()), 1);
    EXPECT_TRUE(parent.requests.empty());
    // A double click asks for the main window at once (sent, not posted).
    EXPECT_EQ(Send(WM_SKIN_DBLCLK, AControl()), 1);
    EXPECT_EQ(parent.requests, (std::vector<std::pair<UINT, WPARAM>>{{WM_SHOW_MAIN, 1}}));
}

TEST_F(FloatWidget, TheContextMenuOffersFourItemsAndEachCommandDoesItsPart)
{
    ui.cursor.pos = widgetRect.center();
    Send(WM_RBUTTONUP);
    ASSERT_EQ(ui.menu.tracked.size(), 1u);
    const TrackedMenu& menu = ui.menu.tracked[0];
    EXPECT_EQ(ui.menu.LastIds(), (std::vector<UINT>{1074, 1078, 1075, 1076}));
    std::vector<QString> texts;
    for (const MenuItem& item : menu.items)
        texts.push_back(item.text);
    EXPECT_EQ(texts,
              (std::vector<QString>{QStringLiteral("查看Tavro"), QStringLiteral("修改预产期"),
                                    QStringLiteral("提点意见"), QStringLiteral("隐藏浮窗")}));
    EXPECT_EQ(menu.pos, widgetRect.center());
    EXPECT_EQ(menu.owner, widget);

    auto choose = [&](UINT id) {
        ui.menu.answer = id;
        Send(WM_RBUTTONUP);
        QCoreApplication::processEvents(); // the command is posted, as a menu's is
    };
    choose(0);
    choose(CTavroFloatDlg::ID_FLOAT_SHOW_MAIN);
    choose(CTavroFloatDlg::ID_FLOAT_CHANGE_DUE);
    ASSERT_TRUE(WaitFor([&] { return parent.requests.size() == 2; }));
    EXPECT_EQ(parent.requests,
              (std::vector<std::pair<UINT, WPARAM>>{{WM_VIEW_MAIN, 1}, {WM_SHOW_SETTINGS, 1}}));
    choose(CTavroFloatDlg::ID_FLOAT_FEEDBACK);
    ASSERT_TRUE(WaitFor([&] { return !services.shell.openedUrls.empty(); }));
    EXPECT_EQ(services.shell.openedUrls,
              std::vector<std::wstring>{DesktopServer() + L"/tavro_fankui/"});
    // Hidden with its popup open (the popup timer fired while the menu was up): the popup
    // goes too instead of staying on the screen alone.
    Open();
    choose(CTavroFloatDlg::ID_FLOAT_HIDE);
    ASSERT_TRUE(WaitFor([&] { return !widget->IsWindowVisible(); }));
    EXPECT_TRUE(widget->IsWindow());
    EXPECT_EQ(widget->m_pPopup, nullptr);
    EXPECT_EQ(parent.requests.size(), 2u);
}

TEST_F(FloatWidget, QuitDestroysTheParentAndTheWidgetGoesWithItSafely)
{
    Open();
    EXPECT_EQ(Send(WM_COMMAND, CTavroFloatDlg::ID_FLOAT_QUIT), 1);
    EXPECT_FALSE(parent.IsWindow());
    EXPECT_TRUE(widgetDeleted);
    EXPECT_EQ(parent.m_pFloatDlg, nullptr);
}

TEST_F(FloatWidget, DestroyingTheWidgetTakesThePopupWithIt)
{
    Open();
    CWnd* popup = widget->m_pPopup;
    QPointer<QWidget> popupWidget = popup->GetWidget();
    widget->DestroyWindow();
    EXPECT_EQ(widget->m_pPopup, nullptr);
    ReleaseDestroyedWindows();
    EXPECT_TRUE(popupWidget.isNull());
}

TEST_F(FloatWidget, TheWidgetsLeaveWhileThePopupsBoxIsUpClosesThePopupSafely)
{
    app.daysPregnant = 181; // no picture: the popup's show stops in a box
    int boxes = 0;
    services.messageBox.onShow = [&] {
        ++boxes;
        // Inside the box the popup timer fires once more and the pointer leaves the widget.
        Fire(kPopup);
        LeaveWithPointerAt({0, 0});
    };
    Hover();
    Fire(kPopup);
    EXPECT_EQ(boxes, 1);
    EXPECT_EQ(widget->m_pPopup, nullptr);
    EXPECT_TRUE(Running(kFade));
    EXPECT_FALSE(Running(kPopup));
    ReleaseDestroyedWindows();

    // The next hover opens a fresh popup normally.
    services.messageBox.onShow = nullptr;
    app.daysPregnant = 180;
    Hover();
    Fire(kPopup);
    EXPECT_TRUE(PopupShown());
}

// The real pointer and the real timers, through the window framework's tracking.
TEST_F(FloatWidget, RealPointerRestingOpensThePopupAndLeavingClosesIt)
{
    ScopedUiServices realCursor(UiServices{&ui.menu, &ui.tray, nullptr});
    ASSERT_TRUE(QTest::qWaitForWindowExposed(widget->GetWidget()));
    QCursor::setPos(widgetRect.center());
    ASSERT_TRUE(WaitFor([&] { return widget->m_bHover; }));
    EXPECT_EQ(Opacity(), CTavroFloatDlg::ALPHA_HOVER);
    ASSERT_TRUE(WaitFor([&] { return PopupShown(); }));
    EXPECT_FALSE(Running(kPopup));

    // Away: the widget closes the popup and fades. (Which window the offscreen platform
    // puts under the pointer in the overlap does not follow the stacking order, so the slow
    // move across the strip is checked end to end under a real X server.)
    QCursor::setPos(0, 0);
    ASSERT_TRUE(WaitFor([&] { return widget->m_pPopup == nullptr; }));
    ASSERT_TRUE(WaitFor([&] { return Opacity() == CTavroFloatDlg::ALPHA_IDLE; }));
}

TEST_F(FloatWidget, RealPointerJumpingPastTheStripClosesThePopup)
{
    ScopedUiServices realCursor(UiServices{&ui.menu, &ui.tray, nullptr});
    ASSERT_TRUE(QTest::qWaitForWindowExposed(widget->GetWidget()));
    QCursor::setPos(widgetRect.center());
    ASSERT_TRUE(WaitFor([&] { return PopupShown(); }));
    QCursor::setPos(PopupRect().center());
    ASSERT_TRUE(WaitFor([&] { return widget->m_pPopup == nullptr; }));
    EXPECT_FALSE(widget->m_bHover);
}

} // namespace
