// The reminder popup over the real skin form "Main16": where it opens beside its owner, what
// it shows for a day, and how it behaves when its own message boxes turn the event loop.

#include "remind/remind_dlg.h"

#include "fake_services.h"
#include "log_capture.h"
#include "profile/app_data.h"
#include "remind/sqlite_db.h"
#include "remind/tip_database.h"
#include "skin/skin.h"
#include "skin/skin_controls.h"
#include "temp_program_dir.h"
#include "tip_database_file.h"

#include <QColor>
#include <QCursor>
#include <QImage>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <vector>

namespace {

// The baby's figures, one row per week.
constexpr const char* kFiguresSql = R"(
    insert into tavro_baby values (1, '胎芽，约0.1厘米');
    insert into tavro_baby values (2, '，身长约0.2厘米，体重不足1克');
    insert into tavro_baby values (3, 'no comma here');
)";

// Each day with a picture gets its own colour.
const std::map<int, QColor> kPictures = {{1, QColor(220, 40, 40)},
                                         {7, QColor(40, 200, 40)},
                                         {8, QColor(40, 40, 220)},
                                         {180, QColor(230, 200, 30)},
                                         {181, QColor(30, 200, 200)}};

bool Near(QColor a, QColor b)
{
    return std::abs(a.red() - b.red()) < 24 && std::abs(a.green() - b.green()) < 24 &&
           std::abs(a.blue() - b.blue()) < 24;
}

QSize SizeOf(int width, int height) { return {width, height}; }

// A plain owner that records what reaches it.
class OwnerWnd : public CWnd
{
public:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        received.push_back(message);
        if (message == WM_MOUSELEAVE && onLeave)
            onLeave();
        return CWnd::WindowProc(message, wParam, lParam);
    }
    int Count(UINT message) const
    {
        return static_cast<int>(std::count(received.begin(), received.end(), message));
    }
    std::vector<UINT> received;
    std::function<void()> onLeave;
};

class ReminderWindow : public ::testing::Test
{
protected:
    void SetUp() override
    {
        CTavroRemindDlg::ForgetToldFailures();
        QCursor::setPos(0, 0);
        skin = OpenSkinW(TAVRO_SOURCE_DIR L"/package/Skin/RizIrozara.dui",
                         TAVRO_SOURCE_DIR L"/package/Skin/Default.skn", 0, 0, 0);
        app.programDir = dir.WidePath();
        SetTheApp(&app);
        for (const auto& [day, colour] : kPictures) {
            QImage picture(280, 180, QImage::Format_RGB32);
            picture.fill(colour);
            const auto file = dir.Sub("Release/data/pic/" + std::to_string(day) + ".jpg");
            std::filesystem::create_directories(file.parent_path());
            ASSERT_TRUE(picture.save(QString::fromStdString(file.string()), "JPG"));
        }
        ASSERT_TRUE(owner.CreatePopup(nullptr));
        owner.MoveWindow(200, 100, 104, 104);
        owner.ShowWindow(SW_SHOW);
    }
    void TearDown() override
    {
        QCursor::setPos(0, 0);
        if (popup)
            DeleteWnd(popup.release());
        owner.DestroyWindow();
        ReleaseDestroyedWindows();
        FreeSkin();
        SetTheApp(nullptr);
    }

    void MakeDatabase(int tipRows)
    {
        WriteTipDatabase(dir.Path(), std::string(kTipTablesSql) + kFiguresSql +
                                         NumberedRowsSql("tavro_tip", "tip of day ", tipRows));
        // In the popup's database object, as a new start would open it.
        tips.emplace(dir.WidePath());
        ASSERT_TRUE(tips->IsOpen());
    }
    // The calendar fields for a day of pregnancy, as the calendar computes them.
    void SetDay(int day)
    {
        app.daysPregnant = day;
        app.pregnancyWeek = (day - 1) / 7 + 1;
        app.dayOfWeek = (day - 1) % 7 + 1;
    }
    CTavroRemindDlg& CreatePopup()
    {
        popup = std::make_unique<CTavroRemindDlg>(skin, *tips);
        EXPECT_TRUE(popup->CreatePopup(&owner));
        popup->ShowWindow(SW_HIDE);
        return *popup;
    }

    template <typename T> T* Widget(SkinControl* control) const
    {
        return dynamic_cast<T*>(GetControlWidget(control));
    }
    QImage Picture() const { return Widget<SkinPicture>(popup->m_pPicture)->Image(); }
    QString Week() const { return Widget<SkinLabel>(popup->m_pWeekLabel)->SkinText(); }
    QString Figures() const { return Widget<SkinLabel>(popup->m_pTitleLabel)->SkinText(); }
    QString Tip() const { return Widget<SkinEdit>(popup->m_pContentEdit)->toPlainText(); }
    // The numbers (1-7) of the day markers shown.
    std::vector<int> Markers() const
    {
        std::vector<int> shown;
        for (int i = 0; i < 7; ++i)
            if (!GetControlWidget(popup->m_pDayLabels[i])->isHidden())
                shown.push_back(i + 1);
        return shown;
    }

    FakeServices services;
    TempProgramDir dir;
    // Not open until MakeDatabase: every query fails.
    std::optional<CTipDatabase> tips{std::in_place, dir.WidePath()};
    SkinEngine* skin = nullptr;
    CTavroAppData app;
    OwnerWnd owner;
    std::unique_ptr<CTavroRemindDlg> popup;
    LogCapture skinReports{"tavro.skin"};
};

TEST(ReminderPlacement, RightOfTheOwnerWhenThereIsRoomElseLeftOverlappingByFive)
{
    const QRect area(0, 0, 800, 600); // right edge 800, bottom 600
    const QSize size = SizeOf(300, 490);
    // Room on the right and below: right side, tops aligned.
    EXPECT_EQ(PopupPositionBesideOwner(size, QRect(100, 50, 104, 104), area), QPoint(199, 50));
    // The owner's right edge at 500 leaves exactly 300: still right.
    EXPECT_EQ(PopupPositionBesideOwner(size, QRect(396, 50, 104, 104), area), QPoint(495, 50));
    // One pixel less: left, overlapping the left edge by 5.
    EXPECT_EQ(PopupPositionBesideOwner(size, QRect(397, 50, 104, 104), area), QPoint(102, 50));
    // The widget's usual place, 50 from the right and top edges.
    EXPECT_EQ(PopupPositionBesideOwner(size, QRect(646, 50, 104, 104), area), QPoint(351, 50));
}

TEST(ReminderPlacement, TopAlignedWhenThereIsRoomBelowElseBottomAlignedOnBothSides)
{
    const QRect area(0, 0, 800, 600);
    const QSize size = SizeOf(300, 490);
    // From the owner's top to the bottom edge exactly 490: tops aligned.
    EXPECT_EQ(PopupPositionBesideOwner(size, QRect(100, 110, 104, 104), area), QPoint(199, 110));
    // One pixel less: bottoms aligned (111 + 104 - 490).
    EXPECT_EQ(PopupPositionBesideOwner(size, QRect(100, 111, 104, 104), area), QPoint(199, -275));
    // The same vertical rule on the left side.
    EXPECT_EQ(PopupPositionBesideOwner(size, QRect(600, 110, 104, 104), area), QPoint(305, 110));
    EXPECT_EQ(PopupPositionBesideOwner(size, QRect(600, 400, 104, 104), area), QPoint(305, 14));
}

TEST(ReminderPlacement, AWorkAreaAwayFromTheOriginCountsFromItsOwnEdges)
{
    // A panel on the left and at the top: the area spans x 100-900 and y 40-640.
    const QRect area(100, 40, 800, 600);
    const QSize size = SizeOf(200, 300);
    EXPECT_EQ(PopupPositionBesideOwner(size, QRect(600, 340, 100, 100), area), QPoint(695, 340));
    EXPECT_EQ(PopupPositionBesideOwner(size, QRect(601, 341, 100, 100), area), QPoint(406, 141));
}

TEST(ReminderText, EveryFullWidthCommaStartsALine)
{
    EXPECT_EQ(FiguresWithLineBreaks(L"身长约0.2厘米，体重不足1克"), L"身长约0.2厘米\n体重不足1克");
    EXPECT_EQ(FiguresWithLineBreaks(L"，a，，b，"), L"\na\n\nb\n");
    EXPECT_EQ(FiguresWithLineBreaks(L"a, b、c"), L"a, b、c"); // other commas stay
    EXPECT_EQ(FiguresWithLineBreaks(L""), L"");
}

TEST(ReminderText, PicturesAreNamedByTheDayNumber)
{
    EXPECT_EQ(DayPicturePath(L"/opt/tavro", 180), L"/opt/tavro/Release/data/pic/180.jpg");
    EXPECT_EQ(DayPicturePath(L"/opt/tavro", 0), L"/opt/tavro/Release/data/pic/0.jpg");
    EXPECT_EQ(DayPicturePath(L"/p", -12), L"/p/Release/data/pic/-12.jpg");
}

TEST_F(ReminderWindow, BindsEveryControlOfItsFormAndTakesTheFormsSize)
{
    CTavroRemindDlg& dlg = CreatePopup();
    ASSERT_NE(dlg.m_pForm, nullptr);
    EXPECT_EQ(dlg.GetWindowRect().size(), QSize(300, 490));
    std::vector<SkinControl*> controls = {dlg.m_pPicture, dlg.m_pWeekLabel, dlg.m_pTitleLabel,
                                          dlg.m_pContentEdit, dlg.m_pScrollBar};
    controls.insert(controls.end(), dlg.m_pDayLabels.begin(), dlg.m_pDayLabels.end());
    for (SkinControl* control : controls)
        EXPECT_NE(control, nullptr);
    std::sort(controls.begin(), controls.end());
    EXPECT_EQ(std::unique(controls.begin(), controls.end()), controls.end());
    EXPECT_EQ(GetControlWidget(dlg.m_pDayLabels[3])->objectName(), QStringLiteral("StaDay4"));
    EXPECT_TRUE(skinReports.Lines().empty());
}

TEST_F(ReminderWindow, ShowsTheDaysPictureWeekMarkerFiguresAndTip)
{
    MakeDatabase(200);
    CTavroRemindDlg& dlg = CreatePopup();
    struct Case
    {
        int day;
        const char* week;
        int marker;
        const char* figures;
    };
    for (const Case& c :
         {Case{1, "0", 1, "胎芽\n约0.1厘米"}, Case{7, "0", 7, "胎芽\n约0.1厘米"},
          Case{8, "1", 1, "\n身长约0.2厘米\n体重不足1克"}, Case{180, "25", 5, ""}}) {
        SCOPED_TRACE(c.day);
        SetDay(c.day);
        dlg.ShowWindow(SW_SHOW);
        EXPECT_TRUE(Near(Picture().pixelColor(140, 90), kPictures.at(c.day)));
        EXPECT_EQ(Picture().size(), QSize(280, 180));
        EXPECT_EQ(Week(), QString::fromUtf8(c.week));
        EXPECT_EQ(Markers(), std::vector<int>{c.marker});
        // Week 26 is beyond the figures' rows: emptied.
        EXPECT_EQ(Figures(), QString::fromUtf8(c.figures));
        EXPECT_EQ(Tip(), QStringLiteral("tip of day %1").arg(c.day));
        dlg.ShowWindow(SW_HIDE);
    }
    EXPECT_TRUE(services.messageBox.shown.empty());
}

TEST_F(ReminderWindow, EveryShowReloadsTheContentAndPlacesItAnew)
{
    MakeDatabase(200);
    CTavroRemindDlg& dlg = CreatePopup();
    SetDay(180);
    dlg.ShowWindow(SW_SHOW);
    EXPECT_EQ(dlg.GetWindowRect().topLeft(), QPoint(299, 100));
    // A long tip scrolled down is back at the top on the next show.
    auto* edit = Widget<SkinEdit>(dlg.m_pContentEdit);
    SetEditText(dlg.m_pContentEdit, std::wstring(4000, L'字'));
    edit->verticalScrollBar()->setValue(edit->verticalScrollBar()->maximum());

    dlg.ShowWindow(SW_HIDE);
    SetDay(181);
    owner.MoveWindow(10, 20, 104, 104);
    dlg.ShowWindow(SW_SHOW);
    EXPECT_EQ(dlg.GetWindowRect().topLeft(), QPoint(109, 20));
    EXPECT_TRUE(Near(Picture().pixelColor(5, 5), kPictures.at(181)));
    EXPECT_EQ(Markers(), std::vector<int>{6});
    EXPECT_EQ(Tip(), QStringLiteral("tip of day 181"));
    EXPECT_EQ(edit->verticalScrollBar()->value(), 0);

    // Showing an already visible popup is no new show.
    SetDay(1);
    dlg.ShowWindow(SW_SHOW);
    EXPECT_EQ(Tip(), QStringLiteral("tip of day 181"));
}

TEST_F(ReminderWindow, AMissingOrBrokenPictureIsReportedAndTheRestStillFilled)
{
    MakeDatabase(200);
    dir.Write("Release/data/pic/9.jpg", "not a picture at all");
    // A FIFO named like a picture is refused without waiting for a writer.
    ASSERT_EQ(mkfifo(dir.Sub("Release/data/pic/10.jpg").c_str(), 0600), 0);
    CTavroRemindDlg& dlg = CreatePopup();
    SetDay(1);
    dlg.ShowWindow(SW_SHOW);
    ASSERT_FALSE(Picture().isNull());
    dlg.ShowWindow(SW_HIDE);

    for (int day : {9, 10, 0, -4}) {
        SCOPED_TRACE(day);
        services.messageBox.shown.clear();
        SetDay(day);
        dlg.ShowWindow(SW_SHOW);
        EXPECT_EQ(services.messageBox.Texts(), std::vector<std::wstring>{L"获取位图失败"});
        // The frame is back to its placeholder, not left with the day before's picture.
        EXPECT_TRUE(Picture().isNull());
        EXPECT_EQ(Week(), QString::number(app.pregnancyWeek - 1));
        EXPECT_EQ(Markers().size(), day > 0 ? 1u : 0u);
        EXPECT_EQ(Tip(), day > 0 ? QStringLiteral("tip of day %1").arg(day) : QString());
        dlg.ShowWindow(SW_HIDE);
    }
}

TEST_F(ReminderWindow, WithoutTheDatabaseTheTextsReadFalseAfterTheFiguresBox)
{
    CTavroRemindDlg& dlg = CreatePopup();
    SetDay(8);
    dlg.ShowWindow(SW_SHOW);
    EXPECT_EQ(services.messageBox.Texts(), std::vector<std::wstring>{L"查询婴儿状态by周错误"});
    EXPECT_EQ(Figures(), QStringLiteral("false"));
    EXPECT_EQ(Tip(), QStringLiteral("false"));
    EXPECT_TRUE(Near(Picture().pixelColor(10, 10), kPictures.at(8)));
}

TEST_F(ReminderWindow, ThePictureAndTheFiguresBoxesAreAlikeWarnings)
{
    // No picture for the day and no database: both content boxes in one showing.
    CTavroRemindDlg& dlg = CreatePopup();
    SetDay(50);
    dlg.ShowWindow(SW_SHOW);
    ASSERT_EQ(services.messageBox.shown.size(), 2u);
    for (const ShownBox& box : services.messageBox.shown) {
        SCOPED_TRACE(QString::fromStdWString(box.text).toStdString());
        EXPECT_EQ(box.icon, BoxIcon::Warning);
        EXPECT_EQ(box.caption, services.messageBox.shown.front().caption);
    }
}

TEST_F(ReminderWindow, ThePointerLeavingThePopupIsPassedToTheOwner)
{
    MakeDatabase(200);
    CTavroRemindDlg& dlg = CreatePopup();
    SetDay(8);
    dlg.ShowWindow(SW_SHOW);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dlg.GetWidget()));
    const QRect rect = dlg.GetWindowRect();
    QCursor::setPos(rect.center());
    ASSERT_TRUE(QTest::qWaitFor([&] { return dlg.GetWidget()->underMouse(); }, 5000));
    QCursor::setPos(rect.center() + QPoint(3, 3));
    QCursor::setPos(rect.bottomRight() + QPoint(100, 100));
    ASSERT_TRUE(QTest::qWaitFor([&] { return owner.Count(WM_MOUSELEAVE) == 1; }, 5000));
    EXPECT_TRUE(dlg.IsWindow());
}

TEST_F(ReminderWindow, DestroyedFromInsideItsOwnMessageBoxItStopsFillingAndGoesAfterward)
{
    struct CountedPopup : CTavroRemindDlg
    {
        using CTavroRemindDlg::CTavroRemindDlg;
        ~CountedPopup() override { *deleted = true; }
        bool* deleted = nullptr;
    };
    bool deleted = false;
    auto* dlg = new CountedPopup(skin, *tips);
    dlg->deleted = &deleted;
    ASSERT_TRUE(dlg->CreatePopup(&owner));
    // No database and no picture: the figures box comes first, and while it is up the owner
    // destroys the popup as the widget's leave handling does.
    bool deletedDuringBox = true;
    services.messageBox.onShow = [&] {
        dlg->DestroyWindow();
        DeleteWnd(dlg);
        deletedDuringBox = deleted;
    };
    SetDay(50);
    dlg->ShowWindow(SW_SHOW);
    EXPECT_FALSE(deletedDuringBox);
    EXPECT_TRUE(deleted);
    // The picture box, which would have come second, is not shown for a popup that is gone.
    EXPECT_EQ(services.messageBox.Texts(), std::vector<std::wstring>{L"查询婴儿状态by周错误"});
}

TEST_F(ReminderWindow, AShowArrivingWhileItsBoxIsUpStartsNoSecondFill)
{
    CTavroRemindDlg& dlg = CreatePopup();
    SetDay(50);
    services.messageBox.onShow = [&] {
        dlg.ShowWindow(SW_HIDE);
        dlg.ShowWindow(SW_SHOW);
    };
    dlg.ShowWindow(SW_SHOW);
    EXPECT_EQ(services.messageBox.Texts(),
              (std::vector<std::wstring>{L"查询婴儿状态by周错误", L"获取位图失败"}));
    EXPECT_TRUE(dlg.IsWindowVisible());
}

TEST_F(ReminderWindow, EachFailureIsToldOnceSoThatLaterHoversShowTheDaysTexts)
{
    // No database and no picture for day 50: the boxes come at the first show only.
    CTavroRemindDlg& dlg = CreatePopup();
    SetDay(50);
    for (int show = 0; show < 3; ++show) {
        dlg.ShowWindow(SW_SHOW);
        EXPECT_EQ(Figures(), QStringLiteral("false"));
        dlg.ShowWindow(SW_HIDE);
    }
    EXPECT_EQ(services.messageBox.Texts(),
              (std::vector<std::wstring>{L"查询婴儿状态by周错误", L"获取位图失败"}));
    // Another day's missing picture is told again; the figures, still failing, are not.
    SetDay(51);
    dlg.ShowWindow(SW_SHOW);
    dlg.ShowWindow(SW_HIDE);
    EXPECT_EQ(services.messageBox.Texts().size(), 3u);
    EXPECT_EQ(services.messageBox.Texts().back(), L"获取位图失败");
    // Figures that work again and then fail again are told again.
    MakeDatabase(200);
    dlg.ShowWindow(SW_SHOW);
    dlg.ShowWindow(SW_HIDE);
    tips.emplace(dir.WidePath() + L"/gone");
    dlg.ShowWindow(SW_SHOW);
    EXPECT_EQ(services.messageBox.Texts().back(), L"查询婴儿状态by周错误");
    EXPECT_EQ(services.messageBox.Texts().size(), 4u);
}

TEST_F(ReminderWindow, WhileItsBoxIsUpTheDaysContentIsShownAndThePopupStays)
{
    // Both boxes: a missing picture and no figures table. At each box the tip is already
    // in place, and the leave the box causes is not passed on (the widget would destroy
    // the popup, and the day's content could never be seen).
    MakeDatabase(200);
    SqliteDb db;
    ASSERT_TRUE(
        db.Open(dir.Sub("Release/data/tavro_tip.db").string(), SqliteDb::Mode::ReadWriteCreate));
    ASSERT_TRUE(db.Exec("drop table tavro_baby;"));
    db.Close();
    CTavroRemindDlg& dlg = CreatePopup();
    SetDay(50);
    std::vector<QString> tipsAtBoxes;
    services.messageBox.onShow = [&] {
        tipsAtBoxes.push_back(Tip());
        dlg.SendMessage(WM_MOUSELEAVE, 0, 0);
    };
    dlg.ShowWindow(SW_SHOW);
    EXPECT_EQ(services.messageBox.Texts(),
              (std::vector<std::wstring>{L"查询婴儿状态by周错误", L"获取位图失败"}));
    EXPECT_EQ(tipsAtBoxes, (std::vector<QString>(2, QStringLiteral("tip of day 50"))));
    EXPECT_EQ(Figures(), QStringLiteral("false"));
    // Whatever the popup posted arrives before a marker posted now.
    constexpr UINT kMarker = WM_USER + 77;
    owner.PostMessage(kMarker, 0, 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return owner.Count(kMarker) == 1; }, 5000));
    EXPECT_EQ(owner.Count(WM_MOUSELEAVE), 0);
    EXPECT_TRUE(dlg.IsWindowVisible());
}

} // namespace
