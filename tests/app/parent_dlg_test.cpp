#include "app/parent_dlg.h"
#include "fake_services.h"
#include "fake_ui_services.h"
#include "host/endpoints.h"
#include "profile/app_data.h"
#include "profile/calendar.h"
#include "temp_program_dir.h"
#include "test_windows.h"

#include <QCoreApplication>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

const char* kSetUpProfile = R"(<?xml version="1.0" ?>
<userdata first="250" needup="0"><date year="2015" month="6" day="15" /></userdata>
)";

class ParentWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        services.clock.Set(MakeLocalDate(2015, 3, 1));
        dir.Write("Release/conf/userdata.xml", kSetUpProfile);
        app.programDir = dir.WidePath();
        app.dueTime = MakeLocalDate(2015, 6, 15);
    }

    // The main window as the factory made it.
    RecordingWindow* Main() const { return static_cast<RecordingWindow*>(parent.m_pMainDlg); }
    const std::vector<std::string>& Events() const { return windows.log.events; }
    void ClearEvents() { windows.log.events.clear(); }

    FakeServices services;
    FakeUiServices ui;
    TempProgramDir dir;
    CTavroAppData app;
    TestWindows windows;
    CTavroV4Dlg parent{app, windows.Parts()};
};

TEST_F(ParentWindowTest, NormalStartShowsMainWindowWidgetAndTrayIcon)
{
    ASSERT_TRUE(parent.CreateAndInitialise());
    EXPECT_EQ(parent.GetWindowText(), QStringLiteral("Tavro父窗口"));
    EXPECT_FALSE(parent.IsWindowVisible());
    EXPECT_FALSE(parent.HasTaskbarButton());
    ASSERT_TRUE(parent.m_pMainDlg && parent.m_pFloatDlg);
    EXPECT_TRUE(parent.m_pMainDlg->IsWindowVisible());
    EXPECT_TRUE(parent.m_pFloatDlg->IsWindowVisible());
    EXPECT_EQ(parent.m_pSetFirstDlg, nullptr);
    ASSERT_EQ(ui.tray.icons.count(TrayIcon::TRAY_ICON_ID), 1u);
    EXPECT_EQ(ui.tray.icons[TrayIcon::TRAY_ICON_ID].tip, QStringLiteral("Tavro"));
    EXPECT_EQ(ui.tray.icons[TrayIcon::TRAY_ICON_ID].notify, &parent);
}

// A main window that stays hidden at start is made only after the widget is up, once the
// event loop turns; it is hidden, made once, and requests for it work as before.
TEST_F(ParentWindowTest, NetworkDownOrRestartMakesTheHiddenMainWindowAfterTheWidget)
{
    struct Case
    {
        const char* name;
        bool networkUp;
        bool restart;
    };
    for (const Case& c : {Case{"network down", false, false}, Case{"restart", true, true}}) {
        SCOPED_TRACE(c.name);
        CTavroAppData caseApp;
        caseApp.programDir = dir.WidePath();
        caseApp.restartMode = c.restart;
        services.network.alive = c.networkUp;
        ClearEvents();
        CTavroV4Dlg caseParent{caseApp, windows.Parts()};
        ASSERT_TRUE(caseParent.CreateAndInitialise());
        EXPECT_EQ(caseParent.m_pMainDlg, nullptr);
        EXPECT_TRUE(caseParent.m_pFloatDlg->IsWindowVisible());
        EXPECT_EQ(ui.tray.icons.size(), 1u);
        QCoreApplication::processEvents();
        ASSERT_TRUE(caseParent.m_pMainDlg);
        EXPECT_FALSE(caseParent.m_pMainDlg->IsWindowVisible());
        const std::vector<std::string> order = {"construct Float", "show Float", "construct Main"};
        EXPECT_EQ(Events(), order);

        // A click on the tray icon shows the main window only with the network up.
        caseParent.SendMessage(WM_TRAYICON, TrayIcon::TRAY_ICON_ID, WM_LBUTTONDOWN);
        EXPECT_EQ(caseParent.m_pMainDlg->IsWindowVisible(), c.networkUp);
        services.network.alive = true;
        caseParent.SendMessage(WM_TRAYICON, TrayIcon::TRAY_ICON_ID, WM_LBUTTONDOWN);
        EXPECT_TRUE(caseParent.m_pMainDlg->IsWindowVisible());
        caseParent.DestroyWindow();
    }
}

// A request that comes before the hidden main window is made creates it; the late creation
// then makes no second one, nor one for a parent that has already ended.
TEST_F(ParentWindowTest, HiddenMainWindowIsMadeOnceAndNotAfterTheEnd)
{
    app.restartMode = true;
    ASSERT_TRUE(parent.CreateAndInitialise());
    parent.SendMessage(WM_SHOW_MAIN, 1, 0);
    ASSERT_TRUE(parent.m_pMainDlg);
    CWnd* requested = parent.m_pMainDlg;
    QCoreApplication::processEvents();
    EXPECT_EQ(parent.m_pMainDlg, requested);
    EXPECT_EQ(windows.log.Count("construct Main"), 1);

    CTavroAppData endedApp;
    endedApp.programDir = dir.WidePath();
    endedApp.restartMode = true;
    CTavroV4Dlg ended{endedApp, windows.Parts()};
    ASSERT_TRUE(ended.CreateAndInitialise());
    ended.DestroyWindow();
    QCoreApplication::processEvents();
    EXPECT_EQ(ended.m_pMainDlg, nullptr);
    EXPECT_EQ(windows.log.Count("construct Main"), 1);
}

TEST_F(ParentWindowTest, RestartModeLeavesMainWindowHiddenUntilAsked)
{
    app.restartMode = true;
    ASSERT_TRUE(parent.CreateAndInitialise());
    QCoreApplication::processEvents();
    EXPECT_FALSE(parent.m_pMainDlg->IsWindowVisible());
    EXPECT_TRUE(parent.m_pFloatDlg->IsWindowVisible());
    parent.SendMessage(WM_SHOW_MAIN, 1, 0);
    EXPECT_TRUE(parent.m_pMainDlg->IsWindowVisible());
}

TEST_F(ParentWindowTest, FirstRunShowsOnlySetupUntilSetupIsDone)
{
    app.firstRun = true;
    ASSERT_TRUE(parent.CreateAndInitialise());
    ASSERT_TRUE(parent.m_pSetFirstDlg);
    EXPECT_TRUE(parent.m_pSetFirstDlg->IsWindowVisible());
    EXPECT_EQ(parent.m_pMainDlg, nullptr);
    EXPECT_EQ(parent.m_pFloatDlg, nullptr);
    EXPECT_TRUE(ui.tray.icons.empty());

    // A second copy's request is ignored during setup.
    parent.SendMessage(WM_SHOW_MAIN, 0, 0);
    EXPECT_EQ(parent.m_pMainDlg, nullptr);

    app.firstRun = false;
    parent.SendMessage(WM_SETUP_DONE, 1, 0);
    EXPECT_EQ(parent.m_pSetFirstDlg, nullptr);
    EXPECT_EQ(windows.log.Count("destroy SetFirst"), 1);
    EXPECT_EQ(windows.log.Count("delete SetFirst"), 1);
    ASSERT_TRUE(parent.m_pMainDlg && parent.m_pFloatDlg);
    EXPECT_TRUE(parent.m_pMainDlg->IsWindowVisible());
    EXPECT_TRUE(parent.m_pFloatDlg->IsWindowVisible());
    EXPECT_EQ(ui.tray.icons.size(), 1u);
    // The profile now says setup is done and holds the due date.
    const std::string profile = dir.Read("Release/conf/userdata.xml");
    EXPECT_NE(profile.find("first=\"250\""), std::string::npos);
    EXPECT_NE(profile.find("month=\"6\""), std::string::npos);
}

TEST_F(ParentWindowTest, SetupDoneWithNetworkDownShowsWidgetButNotMainWindow)
{
    app.firstRun = true;
    ASSERT_TRUE(parent.CreateAndInitialise());
    services.network.alive = false;
    parent.SendMessage(WM_SETUP_DONE, 1, 0);
    // The hidden main window is made once the event loop turns, after the widget.
    EXPECT_TRUE(parent.m_pFloatDlg->IsWindowVisible());
    QCoreApplication::processEvents();
    ASSERT_TRUE(parent.m_pMainDlg);
    EXPECT_FALSE(parent.m_pMainDlg->IsWindowVisible());
    EXPECT_TRUE(parent.m_pFloatDlg->IsWindowVisible());
    EXPECT_EQ(ui.tray.icons.size(), 1u);
}

TEST_F(ParentWindowTest, PendingUpdateHandsOverToTheUpdaterAndShowsNothing)
{
    app.updatePending = true;
    EXPECT_FALSE(parent.CreateAndInitialise());
    EXPECT_FALSE(app.updatePending);
    ASSERT_EQ(services.shell.startedPrograms.size(), 1u);
    EXPECT_EQ(services.shell.startedPrograms[0], dir.WidePath() + L"/Release/Update");
    EXPECT_TRUE(Events().empty());
    EXPECT_TRUE(ui.tray.icons.empty());
}

TEST_F(ParentWindowTest, PendingUpdateEndsTheModalRunAtOnce)
{
    app.updatePending = true;
    EXPECT_EQ(parent.DoModal(), IDOK);
    EXPECT_FALSE(parent.IsWindow());
}

TEST_F(ParentWindowTest, UpdateWorkerStartsOnlyWithTheNetworkUp)
{
    for (const bool alive : {false, true}) {
        SCOPED_TRACE(alive ? "network up" : "network down");
        services.network.alive = alive;
        std::vector<CTavroV4Dlg*> started;
        CTavroV4Dlg dlg(app, windows.Parts([&](CTavroV4Dlg* p) { started.push_back(p); }));
        ASSERT_TRUE(dlg.CreateAndInitialise());
        EXPECT_EQ(started, alive ? std::vector<CTavroV4Dlg*>{&dlg} : std::vector<CTavroV4Dlg*>{});
    }
}

TEST_F(ParentWindowTest, UpdateReadySetsTheFlagAndSavesIt)
{
    ASSERT_TRUE(parent.CreateAndInitialise());
    parent.SendMessage(WM_UPDATE_READY, 1, 0);
    EXPECT_TRUE(app.updatePending);
    EXPECT_NE(dir.Read("Release/conf/userdata.xml").find("needup=\"1\""), std::string::npos);
}

TEST_F(ParentWindowTest, TrayClicksAndDoubleClicksAskForTheMainWindow)
{
    ASSERT_TRUE(parent.CreateAndInitialise());
    parent.m_pMainDlg->ShowWindow(SW_HIDE);
    ClearEvents();
    // Other icon ids and other mouse messages do nothing.
    parent.SendMessage(WM_TRAYICON, 999, WM_LBUTTONDOWN);
    parent.SendMessage(WM_TRAYICON, TrayIcon::TRAY_ICON_ID, WM_MOUSEMOVE);
    EXPECT_TRUE(Events().empty());

    // A double click arrives as a button-down and a double click: two requests, but the
    // already visible window is raised, not reloaded.
    parent.SendMessage(WM_TRAYICON, TrayIcon::TRAY_ICON_ID, WM_LBUTTONDOWN);
    parent.SendMessage(WM_TRAYICON, TrayIcon::TRAY_ICON_ID, WM_LBUTTONDBLCLK);
    EXPECT_TRUE(parent.m_pMainDlg->IsWindowVisible());
    EXPECT_EQ(windows.log.Count("show Main"), 1);
    EXPECT_EQ(windows.log.Count("hide Main"), 0);
}

TEST_F(ParentWindowTest, TrayMenuOffersHideOrShowByTheWidgetsVisibility)
{
    ASSERT_TRUE(parent.CreateAndInitialise());
    using P = TrayIcon;
    const std::vector<UINT> whileVisible = {P::ID_TRAY_ABOUT,      P::ID_TRAY_FEEDBACK,
                                            P::ID_TRAY_CHANGE_DUE, P::ID_TRAY_VIEW_MAIN,
                                            P::ID_TRAY_HIDE_FLOAT, P::ID_TRAY_EXIT};
    parent.SendMessage(WM_TRAYICON, P::TRAY_ICON_ID, WM_RBUTTONDOWN);
    EXPECT_EQ(ui.menu.LastIds(), whileVisible);
    ASSERT_EQ(ui.menu.tracked.size(), 1u);
    EXPECT_EQ(ui.menu.tracked[0].items[0].text, QStringLiteral("关于我们"));
    EXPECT_EQ(ui.menu.tracked[0].items[3].text, QStringLiteral("查看Tavro"));
    EXPECT_EQ(ui.menu.tracked[0].items[4].text, QStringLiteral("隐藏浮窗"));
    EXPECT_EQ(ui.menu.tracked[0].items[5].text, QStringLiteral("退出"));

    // The widget menu's "查看Tavro": the main window with the dated page, whatever it showed.
    parent.m_pMainDlg->m_nPageMode = PAGE_MOBILE;
    parent.m_pMainDlg->ShowWindow(SW_HIDE);
    ui.menu.answer = P::ID_TRAY_VIEW_MAIN;
    parent.SendMessage(WM_TRAYICON, P::TRAY_ICON_ID, WM_RBUTTONDOWN);
    QCoreApplication::processEvents();
    EXPECT_EQ(parent.m_pMainDlg->m_nPageMode, PAGE_DATED);
    EXPECT_TRUE(parent.m_pMainDlg->IsWindowVisible());

    ui.menu.answer = P::ID_TRAY_HIDE_FLOAT;
    parent.SendMessage(WM_TRAYICON, P::TRAY_ICON_ID, WM_RBUTTONDOWN);
    EXPECT_FALSE(parent.m_pFloatDlg->IsWindowVisible());

    ui.menu.answer = 0;
    parent.SendMessage(WM_TRAYICON, P::TRAY_ICON_ID, WM_RBUTTONDOWN);
    EXPECT_EQ(ui.menu.LastIds()[4], P::ID_TRAY_SHOW_FLOAT);
    EXPECT_EQ(ui.menu.tracked.back().items[4].text, QStringLiteral("显示浮窗"));

    ui.menu.answer = P::ID_TRAY_SHOW_FLOAT;
    parent.SendMessage(WM_TRAYICON, P::TRAY_ICON_ID, WM_RBUTTONDOWN);
    EXPECT_TRUE(parent.m_pFloatDlg->IsWindowVisible());
}

TEST_F(ParentWindowTest, TrayCommandsOpenPagesAndTheSettingsWindow)
{
    ASSERT_TRUE(parent.CreateAndInitialise());
    parent.SendMessage(WM_COMMAND, TrayIcon::ID_TRAY_ABOUT, 0);
    parent.SendMessage(WM_COMMAND, TrayIcon::ID_TRAY_FEEDBACK, 0);
    const std::vector<std::wstring> pages = {HomePage(), DesktopServer() + L"/tavro_fankui/"};
    EXPECT_EQ(services.shell.openedUrls, pages);

    EXPECT_EQ(parent.m_pSetDlg, nullptr);
    parent.SendMessage(WM_COMMAND, TrayIcon::ID_TRAY_CHANGE_DUE, 0);
    ASSERT_TRUE(parent.m_pSetDlg);
    EXPECT_TRUE(parent.m_pSetDlg->IsWindowVisible());
    // The settings window is kept and reused.
    CWnd* settings = parent.m_pSetDlg;
    parent.SendMessage(WM_SHOW_SETTINGS, 1, 0);
    EXPECT_EQ(parent.m_pSetDlg, settings);
}

TEST_F(ParentWindowTest, ExitCommandEndsTheModalRunAndDestroysEverythingInOrder)
{
    app.firstRun = false;
    QTimer::singleShot(0, [&] {
        parent.SendMessage(WM_COMMAND, TrayIcon::ID_TRAY_CHANGE_DUE, 0);
        ClearEvents();
        parent.SendMessage(WM_COMMAND, TrayIcon::ID_TRAY_EXIT, 0);
    });
    EXPECT_EQ(parent.DoModal(), IDOK);
    // Objects are deleted once the parent's destroy handling has returned.
    const std::vector<std::string> order = {"destroy Main", "destroy Float", "destroy Set",
                                            "delete Main",  "delete Float",  "delete Set"};
    EXPECT_EQ(Events(), order);
    EXPECT_TRUE(ui.tray.icons.empty());
    EXPECT_EQ(parent.m_pMainDlg, nullptr);
}

TEST_F(ParentWindowTest, ViewMainReloadsOnlyForAnotherPageMode)
{
    ASSERT_TRUE(parent.CreateAndInitialise());
    ClearEvents();
    parent.SendMessage(WM_VIEW_MAIN, PAGE_DATED, 0);
    EXPECT_EQ(windows.log.Count("hide Main"), 0);
    parent.SendMessage(WM_VIEW_MAIN, PAGE_MOBILE, 0);
    EXPECT_EQ(parent.m_pMainDlg->m_nPageMode, PAGE_MOBILE);
    EXPECT_EQ(windows.log.Count("hide Main"), 1);
    EXPECT_EQ(windows.log.Count("show Main"), 1);
    EXPECT_TRUE(parent.m_pMainDlg->IsWindowVisible());
}

TEST_F(ParentWindowTest, DestroyedMainWindowIsMadeAfreshOnRequest)
{
    ASSERT_TRUE(parent.CreateAndInitialise());
    CWnd* first = parent.m_pMainDlg;
    first->DestroyWindow(); // its own close button
    ClearEvents();
    parent.SendMessage(WM_SHOW_MAIN, 1, 0);
    ASSERT_TRUE(parent.m_pMainDlg);
    EXPECT_TRUE(parent.m_pMainDlg->IsWindow());
    EXPECT_TRUE(parent.m_pMainDlg->IsWindowVisible());
    const std::vector<std::string> order = {"delete Main", "construct Main", "show Main"};
    EXPECT_EQ(Events(), order);
}

TEST_F(ParentWindowTest, DueDateChangeShowsTheMainWindowEvenWhenItWasHidden)
{
    services.network.alive = false;
    ASSERT_TRUE(parent.CreateAndInitialise());
    QCoreApplication::processEvents();
    EXPECT_FALSE(parent.m_pMainDlg->IsWindowVisible());
    parent.SendMessage(WM_DUEDATE_CHANGED, 1, 0);
    EXPECT_TRUE(parent.m_pMainDlg->IsWindowVisible());
}

TEST_F(ParentWindowTest, UnknownKeysAndMissingClassesMakeNoWindow)
{
    ASSERT_TRUE(parent.CreateAndInitialise());
    EXPECT_EQ(parent.CreateChildWindow("Remind"), nullptr);
    EXPECT_EQ(parent.CreateChildWindow("main"), nullptr);

    // Handed no window classes at all: every request is answered without a window.
    CTavroV4Dlg bare(app, {});
    ASSERT_TRUE(bare.CreateAndInitialise());
    for (const UINT message : {WM_SHOW_MAIN, WM_VIEW_MAIN, WM_SHOW_SETTINGS, WM_SETUP_DONE})
        bare.SendMessage(message, 1, 0);
    bare.SendMessage(WM_COMMAND, TrayIcon::ID_TRAY_CHANGE_DUE, 0);
    EXPECT_EQ(bare.m_pMainDlg, nullptr);
    EXPECT_EQ(bare.m_pFloatDlg, nullptr);
    EXPECT_EQ(bare.m_pSetDlg, nullptr);
}

TEST_F(ParentWindowTest, AMainClassThatMakesNoMainWindowLeavesNothingBehind)
{
    struct PlainWindow : CWnd
    {
        explicit PlainWindow(int& deleted) : m_deleted(deleted) {}
        ~PlainWindow() override { ++m_deleted; }
        int& m_deleted;
    };
    int made = 0, deleted = 0;
    ParentWindowParts parts = windows.Parts();
    parts.windowClasses["Main"] = [&] {
        ++made;
        return new PlainWindow(deleted);
    };
    {
        CTavroV4Dlg dlg(app, std::move(parts));
        ASSERT_TRUE(dlg.CreateAndInitialise());
        // Every way to the main window tries to make one, and none may keep the object.
        for (const UINT message : {WM_SHOW_MAIN, WM_VIEW_MAIN, WM_SETUP_DONE})
            dlg.SendMessage(message, 1, 0);
        EXPECT_EQ(dlg.m_pMainDlg, nullptr);
        EXPECT_TRUE(dlg.m_pFloatDlg->IsWindowVisible());
    }
    EXPECT_EQ(made, 4);
    EXPECT_EQ(deleted, made);
}

} // namespace
