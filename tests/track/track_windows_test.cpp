#include "../profile/scoped_time_zone.h"
#include "app/parent_dlg.h"
#include "fake_services.h"
#include "fake_ui_services.h"
#include "float/float_dlg.h"
#include "profile/app_data.h"
#include "remind/tip_database.h"
#include "skin/skin.h"
#include "temp_program_dir.h"
#include "track/contraction_dlg.h"
#include "track/kick_dlg.h"
#include "track/track_prompts.h"

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

namespace {

constexpr std::int64_t kMorning = 1774746000; // 2026-03-29 09:00 in Shanghai

class FakePrompts : public ITrackPrompts
{
public:
    bool Confirm(const std::wstring& text, const std::wstring&, const std::wstring&) override
    {
        asked.push_back(text);
        return answer;
    }
    std::optional<std::wstring> SaveFileName(const std::wstring&) override { return file; }
    std::vector<std::wstring> asked;
    bool answer = true;
    std::optional<std::wstring> file;
};

bool Shown(SkinControl* control)
{
    QWidget* widget = GetControlWidget(control);
    return widget && widget->isVisibleTo(widget->window());
}

std::wstring Text(SkinControl* control)
{
    auto* label = dynamic_cast<QLabel*>(GetControlWidget(control));
    return label ? label->text().toStdWString() : std::wstring();
}

bool Contains(const std::wstring& text, const wchar_t* part)
{
    return text.find(part) != std::wstring::npos;
}

class TrackWindowsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        app.programDir = dir.WidePath();
        // The records' folder exists in every installed program folder.
        std::filesystem::create_directories(dir.Sub("Release/conf"));
        SetTheApp(&app); // the widget reads the shared object
        app.daysPregnant = 200;
        app.pregnancyWeek = 29;
        services.clock.Set(kMorning);
    }
    void TearDown() override
    {
        if (parent.IsWindow())
            parent.DestroyWindow();
        ReleaseDestroyedWindows();
        FreeSkin();
        SetTheApp(nullptr);
    }
    // Opens a tool as the tray's menu does.
    template <typename T> T* OpenFromTray(UINT id, CTrackDlgBase* const& member)
    {
        ui.menu.answer = id;
        parent.SendMessage(WM_TRAYICON, TrayIcon::TRAY_ICON_ID, WM_RBUTTONDOWN);
        return dynamic_cast<T*>(member);
    }
    // The presses of the session the records on disk hold as running, if any.
    std::optional<int> RunningKicks()
    {
        TrackRecords records;
        EXPECT_EQ(records.Open(dir.Sub("Release/conf/records.db").string()),
                  TrackRecords::OpenState::Opened);
        const auto running = records.RunningKickSession();
        return running ? std::optional(running->count) : std::nullopt;
    }
    void Key(CTrackDlgBase* wnd, Qt::Key key)
    {
        QWidget* focused = wnd->GetWidget()->focusWidget();
        QTest::keyClick(focused ? focused : wnd->GetWidget(), key);
    }

    ScopedTimeZone zone{"Asia/Shanghai"};
    FakeServices services;
    FakeUiServices ui;
    FakePrompts prompts;
    ScopedTrackPrompts installedPrompts{&prompts};
    TempProgramDir dir;
    CTavroAppData app;
    SkinEngine* skin = OpenTestSkin();
    CTavroV4Dlg parent{app, PartsWith(skin)};
    CTipDatabase tips{dir.WidePath()};

private:
    static SkinEngine* OpenTestSkin()
    {
        const std::filesystem::path skin = std::filesystem::path(TAVRO_SOURCE_DIR) / "package/Skin";
        return OpenSkinW((skin / "RizIrozara.dui").wstring(), (skin / "Default.skn").wstring(), 0,
                         0, 0);
    }
    static ParentWindowParts PartsWith(SkinEngine* skin)
    {
        ParentWindowParts parts;
        parts.skin = [skin] { return skin; };
        return parts;
    }
};

TEST_F(TrackWindowsTest, BothMenusOfferTheToolsFromWeekTwentyEightOnly)
{
    ASSERT_TRUE(parent.CreateAndInitialise());
    using P = TrayIcon;
    for (int week : {27, 28}) {
        app.pregnancyWeek = week;
        parent.SendMessage(WM_TRAYICON, P::TRAY_ICON_ID, WM_RBUTTONDOWN);
        std::vector<UINT> expected = {P::ID_TRAY_ABOUT, P::ID_TRAY_FEEDBACK, P::ID_TRAY_CHANGE_DUE};
        if (week >= 28)
            expected.insert(expected.end(), {P::ID_TRAY_KICKS, P::ID_TRAY_CONTRACTIONS});
        expected.insert(expected.end(),
                        {P::ID_TRAY_VIEW_MAIN, P::ID_TRAY_SHOW_FLOAT, P::ID_TRAY_EXIT});
        EXPECT_EQ(ui.menu.LastIds(), expected) << "week " << week;

        CTavroFloatDlg widget(skin, tips);
        ASSERT_TRUE(widget.CreatePopup(&parent));
        widget.SendMessage(WM_RBUTTONUP, 0, 0);
        using F = CTavroFloatDlg;
        std::vector<UINT> widgetIds = {F::ID_FLOAT_SHOW_MAIN, F::ID_FLOAT_CHANGE_DUE};
        if (week >= 28)
            widgetIds.insert(widgetIds.end(), {F::ID_FLOAT_KICKS, F::ID_FLOAT_CONTRACTIONS});
        widgetIds.insert(widgetIds.end(), {F::ID_FLOAT_FEEDBACK, F::ID_FLOAT_HIDE});
        EXPECT_EQ(ui.menu.LastIds(), widgetIds) << "week " << week;
    }
}

TEST_F(TrackWindowsTest, KeyboardCountsAndTheSessionOutlivesTheWindow)
{
    ASSERT_TRUE(parent.CreateAndInitialise());
    auto* kick = OpenFromTray<CTavroKickDlg>(TrayIcon::ID_TRAY_KICKS, parent.m_pKickDlg);
    ASSERT_TRUE(kick && kick->IsWindowVisible());
    EXPECT_TRUE(kick->IsTimerRunning(CTrackDlgBase::TIMER_TICK));
    EXPECT_EQ(kick->GetWidget()->focusWidget(), GetControlWidget(kick->m_pBtnKick));

    Key(kick, Qt::Key_Space);
    services.clock.Set(kMorning + 90);
    Key(kick, Qt::Key_Return);
    EXPECT_EQ(Text(kick->m_pLblCount), L"2 / 10");
    // Tab to "导出" and Space presses that one, not the counter.
    Key(kick, Qt::Key_Tab);
    Key(kick, Qt::Key_Space);
    EXPECT_EQ(Text(kick->m_pLblCount), L"2 / 10");

    // Esc asks; kept, the session goes on without the window, and no tick runs.
    prompts.answer = true;
    kick->SetWindowPos(nullptr, 140, 90, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    const QPointer<QWidget> widget = kick->GetWidget();
    Key(kick, Qt::Key_Escape);
    QCoreApplication::sendPostedEvents();
    ASSERT_EQ(prompts.asked.size(), 1u);
    // Closed, nothing of the window is kept: its widgets go, and with them its tick.
    EXPECT_FALSE(kick->IsWindow());
    EXPECT_FALSE(kick->IsTimerRunning(CTrackDlgBase::TIMER_TICK));
    ReleaseDestroyedWindows();
    EXPECT_TRUE(widget.isNull());
    EXPECT_EQ(RunningKicks(), 2);

    // Opened again after two hours, the session has ended without ten: she is told to go.
    services.clock.Set(kMorning + 2 * 3600 + 5);
    kick = OpenFromTray<CTavroKickDlg>(TrayIcon::ID_TRAY_KICKS, parent.m_pKickDlg);
    ASSERT_TRUE(kick && kick->IsWindowVisible());
    EXPECT_EQ(kick->GetWindowRect().topLeft(), QPoint(140, 90)) << "not where she left it";
    ASSERT_EQ(services.messageBox.shown.size(), 1u);
    EXPECT_TRUE(Contains(services.messageBox.shown[0].text, L"请立即去医院"));
    EXPECT_TRUE(Shown(kick->m_pLblWarning));
    EXPECT_TRUE(Contains(Text(kick->m_pLblWarning), L"请立即去医院"));

    // A new session closed with "放弃本次" is gone from the records.
    Key(kick, Qt::Key_Space);
    prompts.answer = false;
    kick->SendMessage(WM_CLOSE);
    EXPECT_EQ(prompts.asked.size(), 2u);
    EXPECT_EQ(RunningKicks(), std::nullopt);
}

TEST_F(TrackWindowsTest, ContractionBannersFollowTheWeekAndClearingAsksFirst)
{
    ASSERT_TRUE(parent.CreateAndInitialise());
    auto* timer = OpenFromTray<CTavroContractionDlg>(TrayIcon::ID_TRAY_CONTRACTIONS,
                                                     parent.m_pContractionDlg);
    ASSERT_TRUE(timer && timer->IsWindowVisible());
    EXPECT_FALSE(Shown(timer->m_pLblBanner));
    // Four in twenty minutes, each 40 seconds, on day 200: the preterm banner.
    for (int i = 0; i < 4; ++i) {
        services.clock.Set(kMorning + i * 300);
        Key(timer, Qt::Key_Space);
        services.clock.Set(kMorning + i * 300 + 40);
        Key(timer, Qt::Key_Enter);
    }
    EXPECT_TRUE(Shown(timer->m_pLblBanner));
    EXPECT_TRUE(Contains(Text(timer->m_pLblBanner), L"未满37周"));
    EXPECT_TRUE(Contains(Text(timer->m_pLblBanner), L"请立即去医院"));
    EXPECT_TRUE(Contains(Text(timer->m_pLblStats), L"4 次"));

    // At 37 weeks the same four are not yet an hour of regular contractions.
    app.daysPregnant = 259;
    timer->SendMessage(WM_TIMER, CTrackDlgBase::TIMER_TICK);
    EXPECT_FALSE(Shown(timer->m_pLblBanner));

    // "清空" refused keeps the list; confirmed, the new series is empty.
    prompts.answer = false;
    timer->SendMessage(WM_SKIN_CLICK, reinterpret_cast<WPARAM>(timer->m_pBtnClear));
    EXPECT_TRUE(Contains(Text(timer->m_pLblStats), L"4 次"));
    prompts.answer = true;
    timer->SendMessage(WM_SKIN_CLICK, reinterpret_cast<WPARAM>(timer->m_pBtnClear));
    EXPECT_TRUE(Contains(Text(timer->m_pLblStats), L"0 次"));
    EXPECT_EQ(prompts.asked.size(), 2u);

    // Exported to the picked file; a file that cannot be written is said so.
    prompts.file = dir.Sub("export.csv").wstring();
    timer->SendMessage(WM_SKIN_CLICK, reinterpret_cast<WPARAM>(timer->m_pBtnExport));
    EXPECT_NE(dir.Read("export.csv").find("宫缩,"), std::string::npos);
    prompts.file = dir.Sub("missing/export.csv").wstring();
    timer->SendMessage(WM_SKIN_CLICK, reinterpret_cast<WPARAM>(timer->m_pBtnExport));
    ASSERT_EQ(services.messageBox.shown.size(), 2u);
    EXPECT_TRUE(Contains(services.messageBox.shown[1].text, L"没有导出"));
}

TEST_F(TrackWindowsTest, UnreadableRecordsAreSetAsideWithAMessageAndCountingGoesOn)
{
    dir.Write("Release/conf/records.db", std::string(2048, 'z'));
    ASSERT_TRUE(parent.CreateAndInitialise());
    auto* kick = OpenFromTray<CTavroKickDlg>(TrayIcon::ID_TRAY_KICKS, parent.m_pKickDlg);
    ASSERT_TRUE(kick && kick->IsWindowVisible());
    ASSERT_EQ(services.messageBox.shown.size(), 1u);
    EXPECT_TRUE(Contains(services.messageBox.shown[0].text, L"records.db.unreadable"))
        << QString::fromStdWString(services.messageBox.shown[0].text).toStdString();
    Key(kick, Qt::Key_Space);
    EXPECT_EQ(Text(kick->m_pLblCount), L"1 / 10");
}

} // namespace
