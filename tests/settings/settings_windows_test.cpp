#include "app/parent_dlg.h"
#include "fake_services.h"
#include "fake_ui_services.h"
#include "log_capture.h"
#include "profile/app_data.h"
#include "profile/calendar.h"
#include "settings/set_dlg.h"
#include "settings/set_first_dlg.h"
#include "skin/skin.h"
#include "temp_program_dir.h"

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QTest>
#include <QWheelEvent>
#include <QWidget>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

namespace {

const char* kProfile = R"(<?xml version="1.0" ?>
<userdata first="250" needup="0"><date year="2015" month="3" day="8" /></userdata>
)";

constexpr UINT kMarker = WM_USER + 900;

// Stands in for the parent window and records the requests it receives.
class OwnerWnd : public CWnd
{
public:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message >= WM_SHOW_MAIN && message <= WM_SHOW_SETTINGS)
            requests.emplace_back(message, wParam);
        if (message == kMarker)
            ++markers;
        return CWnd::WindowProc(message, wParam, lParam);
    }
    // Lets everything posted so far arrive.
    bool Flush()
    {
        const int before = markers;
        return PostMessage(kMarker) && QTest::qWaitFor([&] { return markers > before; }, 5000);
    }
    std::vector<std::pair<UINT, WPARAM>> requests;
    int markers = 0;
};

std::vector<std::wstring> Items(SkinControl* combo)
{
    std::vector<std::wstring> items;
    for (int i = 0; i < GetComboCount(combo); ++i)
        items.push_back(GetComboItem(combo, i));
    return items;
}

std::vector<std::wstring> Range(int first, int last)
{
    std::vector<std::wstring> values;
    for (int v = first; v <= last; ++v)
        values.push_back(std::to_wstring(v));
    return values;
}

// The user opens the list and picks the item: the skin then notifies the window.
void Choose(SkinControl* combo, int value)
{
    auto* box = qobject_cast<QComboBox*>(GetControlWidget(combo));
    ASSERT_NE(box, nullptr);
    const int index = box->findText(QString::number(value));
    ASSERT_GE(index, 0) << "the list does not offer " << value;
    emit box->activated(index);
}

void Click(SkinControl* button)
{
    QWidget* widget = GetControlWidget(button);
    ASSERT_NE(widget, nullptr);
    ASSERT_TRUE(widget->isVisible()) << "a hidden button cannot be clicked";
    QTest::mouseClick(widget, Qt::LeftButton);
}

// One notch of a real wheel over the closed combo: negative turns towards the user.
void Wheel(SkinControl* combo, int notches)
{
    QWidget* widget = GetControlWidget(combo);
    ASSERT_NE(widget, nullptr);
    const QPointF at(widget->rect().center());
    QWheelEvent event(at, widget->mapToGlobal(at), QPoint(), QPoint(0, notches * 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(widget, &event);
}

bool IsActive(const CWnd& wnd)
{
    return QTest::qWaitFor([&] { return QApplication::activeWindow() == wnd.GetWidget(); }, 5000);
}

bool IsShown(SkinControl* control)
{
    QWidget* widget = GetControlWidget(control);
    return widget && widget->isVisibleTo(widget->window());
}

class SettingsWindowsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const std::filesystem::path skin = std::filesystem::path(TAVRO_SOURCE_DIR) / "package/Skin";
        skinEngine = OpenSkinW((skin / "RizIrozara.dui").wstring(),
                               (skin / "Default.skn").wstring(), 0, 0, 0);
        services.clock.Set(MakeLocalDate(2014, 8, 27) + 9 * 3600);
        dir.Write("Release/conf/userdata.xml", kProfile);
        app.programDir = dir.WidePath();
        app.dueTime = MakeLocalDate(2015, 3, 8);
        ASSERT_TRUE(owner.CreatePopup(nullptr));
    }
    void TearDown() override
    {
        setFirst.reset();
        set.reset();
        owner.DestroyWindow();
        ReleaseDestroyedWindows();
        FreeSkin();
        EXPECT_TRUE(skinReports.Lines().empty()) << "the skin misses something the windows look up";
    }

    CTavroSetFirstDlg& NewSetFirst()
    {
        setFirst = std::make_unique<CTavroSetFirstDlg>(skinEngine, app);
        EXPECT_TRUE(setFirst->CreatePopup(&owner));
        return *setFirst;
    }
    CTavroSetDlg& NewSet()
    {
        set = std::make_unique<CTavroSetDlg>(skinEngine, app);
        EXPECT_TRUE(set->CreatePopup(&owner));
        return *set;
    }
    // The setup or the settings window, alone and shown.
    CTavroDateDlgBase& Shown(bool setup)
    {
        setFirst.reset();
        set.reset();
        CTavroDateDlgBase& dlg = setup ? static_cast<CTavroDateDlgBase&>(NewSetFirst()) : NewSet();
        dlg.ShowWindow(SW_SHOW);
        return dlg;
    }
    void ExpectTexts(const CTavroDateDlgBase& dlg, int y, int m, int d) const
    {
        EXPECT_EQ(GetComboText(dlg.m_pYearCombo), std::to_wstring(y));
        EXPECT_EQ(GetComboText(dlg.m_pMonthCombo), std::to_wstring(m));
        EXPECT_EQ(GetComboText(dlg.m_pDayCombo), std::to_wstring(d));
    }
    void ExpectCentredOnTheWorkArea(const CWnd& wnd) const
    {
        const QRect rect = wnd.GetWindowRect();
        const QRect area = GetWorkArea();
        EXPECT_EQ(rect.size(), QSize(360, 262));
        EXPECT_LE(std::abs(rect.center().x() - area.center().x()), 1);
        EXPECT_LE(std::abs(rect.center().y() - area.center().y()), 1);
    }

    FakeServices services;
    TempProgramDir dir;
    SkinEngine* skinEngine = nullptr;
    CTavroAppData app;
    OwnerWnd owner;
    std::unique_ptr<CTavroSetFirstDlg> setFirst;
    std::unique_ptr<CTavroSetDlg> set;
    LogCapture skinReports{"tavro.skin"};
};

TEST_F(SettingsWindowsTest, SetupWindowOffersTodayOnTopAndCentred)
{
    CTavroSetFirstDlg& dlg = NewSetFirst();
    ASSERT_NE(dlg.m_pForm, nullptr);
    EXPECT_TRUE(IsShown(dlg.m_pBtnGo));
    EXPECT_FALSE(IsShown(dlg.m_pBtnOk));
    EXPECT_FALSE(IsShown(dlg.m_pBtnCancel));
    EXPECT_TRUE(dlg.IsTopmost());
    EXPECT_FALSE(dlg.HasTaskbarButton());
    EXPECT_TRUE(dlg.GetWindowText().isEmpty());
    EXPECT_FALSE(dlg.IsWindowVisible()) << "the parent shows it";
    ExpectCentredOnTheWorkArea(dlg);

    ExpectTexts(dlg, 2014, 8, 27);
    EXPECT_EQ(Items(dlg.m_pYearCombo), Range(2014, 2015));
    EXPECT_EQ(Items(dlg.m_pMonthCombo), Range(8, 12));
    EXPECT_EQ(Items(dlg.m_pDayCombo), Range(27, 31));
}

TEST_F(SettingsWindowsTest, SetupOffersTheOfferedDateNearestToTheOneTheProfileKept)
{
    // Today is 27 August 2014; the pickers offer dates up to 2 June 2015.
    for (const auto& [kept, y, m, d] : std::vector<std::tuple<std::int64_t, int, int, int>>{
             {MakeLocalDate(2015, 3, 8), 2015, 3, 8},
             {MakeLocalDate(2014, 8, 27), 2014, 8, 27},
             {MakeLocalDate(2015, 6, 2), 2015, 6, 2},
             {MakeLocalDate(2015, 6, 3), 2015, 6, 2},
             {MakeLocalDate(2099, 2, 28), 2015, 6, 2},
             {MakeLocalDate(2014, 8, 26), 2014, 8, 27},
             {0, 2014, 8, 27}}) {
        SCOPED_TRACE(kept);
        app.firstRun = true;
        app.setupDueTime = kept;
        CTavroSetFirstDlg& dlg = NewSetFirst();
        ExpectTexts(dlg, y, m, d);
        EXPECT_EQ(Items(dlg.m_pYearCombo), Range(2014, 2015));
        dlg.ShowWindow(SW_SHOW);
        Click(dlg.m_pBtnGo);
        EXPECT_EQ(app.dueTime, MakeLocalDate(y, m, d));
        setFirst.reset();
    }
}

TEST_F(SettingsWindowsTest, SetupConfirmedUntouchedStoresToday)
{
    app.firstRun = true;
    app.dueTime = 0;
    CTavroSetFirstDlg& dlg = NewSetFirst();
    dlg.ShowWindow(SW_SHOW);
    Click(dlg.m_pBtnGo);

    EXPECT_EQ(app.dueTime, MakeLocalDate(2014, 8, 27));
    EXPECT_EQ(app.daysToDue, 0);
    EXPECT_EQ(app.daysPregnant, 280);
    EXPECT_FALSE(app.firstRun) << "the parent's save must mark setup as done";
    EXPECT_FALSE(dlg.IsWindowVisible());
    EXPECT_TRUE(dlg.IsWindow()) << "the parent destroys it";
    ASSERT_TRUE(owner.Flush());
    ASSERT_EQ(owner.requests.size(), 1u);
    EXPECT_EQ(owner.requests[0], std::make_pair(WM_SETUP_DONE, WPARAM{1}));
    EXPECT_EQ(dir.Read("Release/conf/userdata.xml"), kProfile) << "the parent saves, not setup";
}

TEST_F(SettingsWindowsTest, SetupStoresTheChosenDate)
{
    CTavroSetFirstDlg& dlg = NewSetFirst();
    dlg.ShowWindow(SW_SHOW);
    Choose(dlg.m_pYearCombo, 2015);
    ExpectTexts(dlg, 2015, 1, 1);
    Choose(dlg.m_pMonthCombo, 6);
    EXPECT_EQ(Items(dlg.m_pDayCombo), Range(1, 2));
    Choose(dlg.m_pDayCombo, 2);
    Click(dlg.m_pBtnGo);
    EXPECT_EQ(app.dueTime, MakeLocalDate(2015, 6, 2));
    EXPECT_EQ(app.daysToDue, 279);
}

TEST_F(SettingsWindowsTest, SetupAnswersOtherNotificationsWithoutActing)
{
    CTavroSetFirstDlg& dlg = NewSetFirst();
    dlg.ShowWindow(SW_SHOW);
    const std::int64_t before = app.dueTime;
    EXPECT_EQ(dlg.SendMessage(WM_SKIN_CLICK, 0, 0), -1);
    EXPECT_EQ(dlg.SendMessage(WM_SKIN_CLICK, reinterpret_cast<WPARAM>(dlg.m_pBtnOk), 0), 1);
    EXPECT_EQ(dlg.SendMessage(WM_SKIN_CLICK, reinterpret_cast<WPARAM>(dlg.m_pYearCombo), 0), 1);
    EXPECT_EQ(dlg.SendMessage(WM_SKIN_SELCHANGE, reinterpret_cast<WPARAM>(dlg.m_pDayCombo), 0), 1);
    EXPECT_EQ(dlg.SendMessage(WM_SKIN_SELCHANGE, 0, 0), 1);
    // Setup has no cancel: closing or Escape leaves it on the screen.
    dlg.SendMessage(WM_CLOSE);
    dlg.SendMessage(WM_COMMAND, IDCANCEL);
    EXPECT_TRUE(dlg.IsWindowVisible());
    EXPECT_EQ(app.dueTime, before);
    ASSERT_TRUE(owner.Flush());
    EXPECT_TRUE(owner.requests.empty());
    ExpectTexts(dlg, 2014, 8, 27);
}

TEST_F(SettingsWindowsTest, ADateThePickersCannotMakeKeepsTheWindowOpen)
{
    const std::int64_t before = app.dueTime;
    CTavroSetFirstDlg& first = NewSetFirst();
    first.ShowWindow(SW_SHOW);
    SetComboText(first.m_pMonthCombo, L"");
    EXPECT_EQ(first.SendMessage(WM_SKIN_CLICK, reinterpret_cast<WPARAM>(first.m_pBtnGo)), 1);
    EXPECT_TRUE(first.IsWindowVisible());

    CTavroSetDlg& settings = NewSet();
    settings.ShowWindow(SW_SHOW);
    SetComboText(settings.m_pYearCombo, L"公元");
    EXPECT_EQ(settings.SendMessage(WM_SKIN_CLICK, reinterpret_cast<WPARAM>(settings.m_pBtnOk)), 1);
    EXPECT_TRUE(settings.IsWindowVisible());

    EXPECT_EQ(app.dueTime, before);
    ASSERT_TRUE(owner.Flush());
    EXPECT_TRUE(owner.requests.empty());
    EXPECT_EQ(dir.Read("Release/conf/userdata.xml"), kProfile);
}

TEST_F(SettingsWindowsTest, SettingsWindowHasATitleATaskbarButtonAndItsOwnButtons)
{
    CTavroSetDlg& dlg = NewSet();
    EXPECT_EQ(dlg.GetWindowText(), QStringLiteral("设置Tavro"));
    EXPECT_TRUE(dlg.HasTaskbarButton());
    EXPECT_FALSE(dlg.IsTopmost());
    EXPECT_FALSE(IsShown(dlg.m_pBtnGo));
    EXPECT_TRUE(IsShown(dlg.m_pBtnOk));
    EXPECT_TRUE(IsShown(dlg.m_pBtnCancel));
    ExpectCentredOnTheWorkArea(dlg);
    EXPECT_EQ(GetComboCount(dlg.m_pYearCombo), 0) << "the first showing fills the pickers";
}

TEST_F(SettingsWindowsTest, SettingsShowTheStoredDateEvenOutsideTheLists)
{
    app.dueTime = MakeLocalDate(2015, 12, 25); // beyond the latest date, 2 June 2015
    CTavroSetDlg& dlg = NewSet();
    dlg.ShowWindow(SW_SHOW);
    ExpectTexts(dlg, 2015, 12, 25);
    EXPECT_EQ(Items(dlg.m_pYearCombo), Range(2014, 2015));
    EXPECT_EQ(Items(dlg.m_pMonthCombo), Range(1, 6));
    EXPECT_EQ(Items(dlg.m_pDayCombo), Range(1, 31));
}

TEST_F(SettingsWindowsTest, CancelStoresNothingAndTheNextOpeningShowsTheStoredDate)
{
    CTavroSetDlg& dlg = NewSet();
    dlg.ShowWindow(SW_SHOW);
    ExpectTexts(dlg, 2015, 3, 8);
    Choose(dlg.m_pYearCombo, 2014);
    ExpectTexts(dlg, 2014, 8, 27);
    Click(dlg.m_pBtnCancel);
    EXPECT_FALSE(dlg.IsWindowVisible());
    EXPECT_EQ(app.dueTime, MakeLocalDate(2015, 3, 8));
    ASSERT_TRUE(owner.Flush());
    EXPECT_TRUE(owner.requests.empty());
    EXPECT_EQ(dir.Read("Release/conf/userdata.xml"), kProfile);

    dlg.ShowWindow(SW_SHOW);
    ExpectTexts(dlg, 2015, 3, 8);
    EXPECT_EQ(Items(dlg.m_pMonthCombo), Range(1, 6)); // 2015 is the latest year
    EXPECT_EQ(Items(dlg.m_pDayCombo), Range(1, 31));
}

TEST_F(SettingsWindowsTest, OkWritesTheProfileAndTellsTheParent)
{
    CTavroSetDlg& dlg = NewSet();
    dlg.ShowWindow(SW_SHOW);
    Choose(dlg.m_pYearCombo, 2015);
    Choose(dlg.m_pMonthCombo, 5);
    Choose(dlg.m_pDayCombo, 20);
    Click(dlg.m_pBtnOk);

    EXPECT_FALSE(dlg.IsWindowVisible());
    EXPECT_TRUE(dlg.IsWindow()) << "closing only hides the settings window";
    EXPECT_EQ(app.dueTime, MakeLocalDate(2015, 5, 20));
    EXPECT_EQ(app.daysToDue, 266);
    const std::string profile = dir.Read("Release/conf/userdata.xml");
    EXPECT_NE(profile.find(R"(year="2015" month="5" day="20")"), std::string::npos) << profile;
    EXPECT_NE(profile.find(R"(first="250")"), std::string::npos) << profile;
    ASSERT_TRUE(owner.Flush());
    ASSERT_EQ(owner.requests.size(), 1u);
    EXPECT_EQ(owner.requests[0], std::make_pair(WM_DUEDATE_CHANGED, WPARAM{1}));

    // Unchanged: the same date is written again and the parent told again.
    dir.Write("Release/conf/userdata.xml", "");
    dlg.ShowWindow(SW_SHOW);
    ExpectTexts(dlg, 2015, 5, 20);
    Click(dlg.m_pBtnOk);
    EXPECT_NE(dir.Read("Release/conf/userdata.xml").find(R"(year="2015" month="5" day="20")"),
              std::string::npos);
    ASSERT_TRUE(owner.Flush());
    EXPECT_EQ(owner.requests.size(), 2u);
}

TEST_F(SettingsWindowsTest, ListsHoldNoDuplicatesAfterSeveralOpenings)
{
    CTavroSetDlg& dlg = NewSet();
    for (int i = 0; i < 4; ++i) {
        dlg.ShowWindow(SW_SHOW);
        Click(dlg.m_pBtnCancel);
    }
    dlg.ShowWindow(SW_SHOW);
    EXPECT_EQ(Items(dlg.m_pYearCombo), Range(2014, 2015));
    EXPECT_EQ(Items(dlg.m_pMonthCombo), Range(1, 6)); // 2015 is the latest year
    EXPECT_EQ(Items(dlg.m_pDayCombo), Range(1, 31));
}

TEST_F(SettingsWindowsTest, TheWheelMovesOneRowFromTheShownDateAndKeepsThePickersInStep)
{
    CTavroSetDlg& dlg = NewSet();
    dlg.ShowWindow(SW_SHOW);
    // Opened at the stored 8 March 2015 while the lists' own rows are their first items.
    ExpectTexts(dlg, 2015, 3, 8);
    struct Turn
    {
        SkinControl* CTavroDateDlgBase::*combo;
        int notches;
        int y, m, d;
        int firstDay, lastDay; // the day list afterwards
    };
    const Turn turns[] = {
        {&CTavroDateDlgBase::m_pMonthCombo, -1, 2015, 4, 1, 1, 30},
        {&CTavroDateDlgBase::m_pDayCombo, -1, 2015, 4, 2, 1, 30},
        {&CTavroDateDlgBase::m_pDayCombo, 2, 2015, 4, 1, 1, 30}, // stops at the first day
        {&CTavroDateDlgBase::m_pMonthCombo, -2, 2015, 6, 1, 1, 2},
        {&CTavroDateDlgBase::m_pMonthCombo, -1, 2015, 6, 1, 1, 2}, // the latest month
        {&CTavroDateDlgBase::m_pYearCombo, 1, 2014, 8, 27, 27, 31},
        {&CTavroDateDlgBase::m_pDayCombo, -1, 2014, 8, 28, 27, 31},
        {&CTavroDateDlgBase::m_pYearCombo, 1, 2014, 8, 28, 27, 31}, // today's year is the first
    };
    for (const Turn& turn : turns) {
        SCOPED_TRACE(::testing::Message() << "to " << turn.y << "-" << turn.m << "-" << turn.d);
        Wheel(dlg.*turn.combo, turn.notches);
        ExpectTexts(dlg, turn.y, turn.m, turn.d);
        EXPECT_EQ(Items(dlg.m_pDayCombo), Range(turn.firstDay, turn.lastDay));
    }
    Click(dlg.m_pBtnOk);
    EXPECT_EQ(app.dueTime, MakeLocalDate(2014, 8, 28));
}

TEST_F(SettingsWindowsTest, SettingsAnswersZeroAndForeignControls)
{
    CTavroSetDlg& dlg = NewSet();
    dlg.ShowWindow(SW_SHOW);
    EXPECT_EQ(dlg.SendMessage(WM_SKIN_CLICK, 0, 0), -1);
    EXPECT_EQ(dlg.SendMessage(WM_SKIN_CLICK, reinterpret_cast<WPARAM>(dlg.m_pBtnGo), 0), 1);
    EXPECT_EQ(dlg.SendMessage(WM_SKIN_CLICK, reinterpret_cast<WPARAM>(dlg.m_pDayCombo), 0), 1);
    EXPECT_TRUE(dlg.IsWindowVisible());
    ASSERT_TRUE(owner.Flush());
    EXPECT_TRUE(owner.requests.empty());
}

TEST_F(SettingsWindowsTest, ConfirmingAPassedDueDateEndsTheProgram)
{
    CTavroSetDlg& dlg = NewSet();
    // The program kept running past the stored due date.
    services.clock.Set(MakeLocalDate(2015, 3, 9) + 3600);
    dlg.ShowWindow(SW_SHOW);
    ExpectTexts(dlg, 2015, 3, 8);
    EXPECT_THROW(dlg.SendMessage(WM_SKIN_CLICK, reinterpret_cast<WPARAM>(dlg.m_pBtnOk)),
                 ProcessExited);
    EXPECT_EQ(services.processExit.codes, std::vector<int>{0});
    EXPECT_EQ(services.messageBox.shown.size(), 1u);
    EXPECT_EQ(dir.Read("Release/conf/userdata.xml"), kProfile);
}

// The real parent window with the real windows in its factory.
class SettingsWithParentTest : public SettingsWindowsTest
{
protected:
    void TearDown() override
    {
        parent.reset();
        SettingsWindowsTest::TearDown();
    }

    ParentWindowParts SettingsWindows()
    {
        ParentWindowParts parts;
        parts.windowClasses["SetFirst"] = [this] { return new CTavroSetFirstDlg(skinEngine, app); };
        parts.windowClasses["Set"] = [this] { return new CTavroSetDlg(skinEngine, app); };
        return parts;
    }

    FakeUiServices ui;
    std::unique_ptr<CTavroV4Dlg> parent = std::make_unique<CTavroV4Dlg>(app, SettingsWindows());
};

TEST_F(SettingsWithParentTest, FirstRunThenChangingTheDateFromTheTrayMenu)
{
    dir.Write("Release/conf/userdata.xml", R"(<userdata first="0" needup="0" />)");
    app.firstRun = true;
    app.dueTime = 0;
    ASSERT_TRUE(parent->CreateAndInitialise());
    auto* setup = dynamic_cast<CTavroSetFirstDlg*>(parent->m_pSetFirstDlg);
    ASSERT_NE(setup, nullptr);
    EXPECT_TRUE(setup->IsWindowVisible());
    EXPECT_TRUE(IsActive(*setup)) << "the setup window has the keyboard";
    EXPECT_EQ(QApplication::focusWidget(), GetControlWidget(setup->m_pYearCombo));

    Choose(setup->m_pYearCombo, 2015);
    Choose(setup->m_pMonthCombo, 4);
    Choose(setup->m_pDayCombo, 30);
    Click(setup->m_pBtnGo);
    ASSERT_TRUE(QTest::qWaitFor([&] { return parent->m_pSetFirstDlg == nullptr; }, 5000));
    EXPECT_EQ(ui.tray.icons.count(TrayIcon::TRAY_ICON_ID), 1u);
    std::string profile = dir.Read("Release/conf/userdata.xml");
    EXPECT_NE(profile.find(R"(first="250")"), std::string::npos) << profile;
    EXPECT_NE(profile.find(R"(year="2015" month="4" day="30")"), std::string::npos) << profile;

    // The tray menu's "修改预产期".
    ui.menu.answer = TrayIcon::ID_TRAY_CHANGE_DUE;
    parent->SendMessage(WM_TRAYICON, TrayIcon::TRAY_ICON_ID, WM_RBUTTONDOWN);
    auto* settings = dynamic_cast<CTavroSetDlg*>(parent->m_pSetDlg);
    ASSERT_NE(settings, nullptr);
    EXPECT_TRUE(settings->IsWindowVisible());
    EXPECT_TRUE(IsActive(*settings)) << "the settings window has the keyboard";
    ExpectTexts(*settings, 2015, 4, 30);
    Choose(settings->m_pMonthCombo, 2);
    Choose(settings->m_pDayCombo, 14);
    Click(settings->m_pBtnOk);
    EXPECT_FALSE(settings->IsWindowVisible());
    profile = dir.Read("Release/conf/userdata.xml");
    EXPECT_NE(profile.find(R"(year="2015" month="2" day="14")"), std::string::npos) << profile;

    // The widget's menu asks again: the same window opens at the new date.
    parent->SendMessage(WM_SHOW_SETTINGS, 1, 0);
    EXPECT_EQ(parent->m_pSetDlg, settings);
    EXPECT_TRUE(settings->IsWindowVisible());
    ExpectTexts(*settings, 2015, 2, 14);
}

// What a screen reader calls the control that has the keyboard.
QString FocusName()
{
    QWidget* focus = QApplication::focusWidget();
    QAccessibleInterface* iface = focus ? QAccessible::queryAccessibleInterface(focus) : nullptr;
    return iface ? iface->text(QAccessible::Name) : QStringLiteral("(nothing)");
}

void Press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QWidget* focus = QApplication::focusWidget();
    ASSERT_NE(focus, nullptr) << "nothing has the keyboard";
    QTest::keyClick(focus, key, modifiers);
}

TEST_F(SettingsWindowsTest, TabAndShiftTabReachEveryControlInOrderWithAVisibleMark)
{
    for (const auto& [setup, order] : std::vector<std::pair<bool, std::vector<QString>>>{
             {true, {"年", "月", "日", "开始使用"}}, {false, {"年", "月", "日", "确定", "取消"}}}) {
        SCOPED_TRACE(setup ? "setup" : "settings");
        ASSERT_TRUE(IsActive(Shown(setup)));
        std::vector<QString> forward;
        for (std::size_t i = 0; i < order.size(); ++i) {
            QWidget* focus = QApplication::focusWidget();
            forward.push_back(FocusName());
            // The control with the keyboard looks different from the same control without.
            const QImage marked = focus->grab().toImage();
            Press(Qt::Key_Tab);
            EXPECT_NE(focus->grab().toImage(), marked) << FocusName().toStdString();
        }
        EXPECT_EQ(forward, order);
        EXPECT_EQ(FocusName(), order.front()) << "Tab goes round";

        std::vector<QString> backward;
        for (std::size_t i = 0; i < order.size(); ++i) {
            Press(Qt::Key_Backtab, Qt::ShiftModifier);
            backward.push_back(FocusName());
        }
        EXPECT_EQ(backward, std::vector<QString>(order.rbegin(), order.rend()));
    }
}

TEST_F(SettingsWindowsTest, EnterConfirmsFromADateListOrClicksTheFocusedButtonAndEscapeCloses)
{
    struct Row
    {
        bool setup;
        int focus; // place in the Tab order
        Qt::Key key;
        bool stored;
        bool shownAfter;
    };
    const std::vector<Row> rows = {
        {true, 2, Qt::Key_Return, true, false},   // 日: confirms setup
        {true, 3, Qt::Key_Space, true, false},    // 开始使用
        {true, 0, Qt::Key_Escape, false, true},   // setup has no way out but confirming
        {false, 1, Qt::Key_Enter, true, false},   // 月: confirms the settings
        {false, 3, Qt::Key_Return, true, false},  // 确定
        {false, 4, Qt::Key_Return, false, false}, // 取消
        {false, 0, Qt::Key_Escape, false, false}, // as 取消
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::Message() << (row.setup ? "setup" : "settings") << " control "
                                          << row.focus << " key " << row.key);
        CTavroDateDlgBase& dlg = Shown(row.setup);
        ASSERT_TRUE(IsActive(dlg));
        for (int i = 0; i < row.focus; ++i)
            Press(Qt::Key_Tab);
        owner.requests.clear();
        Press(row.key);
        ASSERT_TRUE(owner.Flush());
        EXPECT_EQ(!owner.requests.empty(), row.stored);
        EXPECT_EQ(dlg.IsWindowVisible(), row.shownAfter);
    }
}

} // namespace
