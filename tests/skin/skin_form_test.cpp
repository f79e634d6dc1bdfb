// The skin's forms inside real framework windows, under the offscreen platform.

#include "log_capture.h"
#include "skin/skin.h"
#include "skin/skin_controls.h"
#include "temp_program_dir.h"
#include "wait_for.h"

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QMouseEvent>
#include <QTest>
#include <QWheelEvent>

#include <functional>
#include <memory>
#include <vector>

namespace {

constexpr const char* kLayout = R"(<?xml version="1.0" encoding="UTF-8"?>
<skin>
  <form name="Test" width="240" height="170">
    <control name="btn" type="button" x="10" y="10" width="80" height="30" text="OK"/>
    <control name="card" type="panel" x="100" y="10" width="130" height="100" drag="1">
      <control name="lbl" type="label" x="10" y="10" width="100" height="30" text="hi"/>
      <control name="pic" type="picture" x="10" y="50" width="40" height="40"/>
    </control>
    <control name="week" type="label" x="10" y="140" width="80" height="20" format="已满&lt;b&gt;%1&lt;/b&gt;周"/>
    <control name="cbx" type="combo" x="10" y="50" width="80" height="30" text="2015"/>
    <control name="edit" type="edit" x="10" y="90" width="70" height="40"/>
    <control name="bar" type="scrollbar" target="edit" x="82" y="90" width="6" height="40"/>
    <control name="holder" type="holder" x="100" y="115" width="120" height="40"/>
    <control name="anim" type="animation" x="0" y="150" width="20" height="20" interval="10"/>
  </form>
  <form name="Other" width="50" height="60"/>
  <form name="Quiet" width="50" height="60" activate="0"/>
</skin>
)";

class RecordingWnd : public CWnd
{
public:
    struct Note
    {
        UINT message;
        WPARAM control;
    };
    std::vector<Note> notes;
    int rightButtonUps = 0;
    std::function<void(UINT, WPARAM)> onNote;

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        switch (message) {
        case WM_SKIN_PRESS:
        case WM_SKIN_CLICK:
        case WM_SKIN_DBLCLK:
        case WM_SKIN_SELCHANGE:
            notes.push_back({message, wParam});
            if (onNote)
                onNote(message, wParam); // may delete this object
            return 1;
        case WM_RBUTTONUP:
            ++rightButtonUps;
            break;
        default:
            break;
        }
        return CWnd::WindowProc(message, wParam, lParam);
    }
    std::vector<UINT> Messages() const
    {
        std::vector<UINT> messages;
        for (const Note& note : notes)
            messages.push_back(note.message);
        return messages;
    }
};

WPARAM Id(SkinControl* control) { return reinterpret_cast<WPARAM>(control); }

class SkinFormTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        dir.Write("Skin/layout.dui", kLayout);
        dir.Write("Skin/skin.skn", "#btn { color: red; }");
        engine = Open("Skin/layout.dui", "Skin/skin.skn");
        ASSERT_NE(engine, nullptr);
    }
    void TearDown() override
    {
        windows.clear();
        FreeSkin();
    }

    SkinEngine* Open(const std::string& layout, const std::string& skin)
    {
        return OpenSkinW(dir.Sub(layout).wstring(), dir.Sub(skin).wstring(), 0, 0, 0);
    }
    RecordingWnd* NewWindow()
    {
        windows.push_back(std::make_unique<RecordingWnd>());
        EXPECT_TRUE(windows.back()->CreatePopup(nullptr));
        return windows.back().get();
    }
    // A shown window with the test form attached.
    SkinForm* AttachShown(RecordingWnd* wnd)
    {
        SkinForm* form = AttachForm(engine, L"Test", wnd);
        wnd->ShowWindow(SW_SHOW);
        EXPECT_TRUE(QTest::qWaitForWindowExposed(wnd->GetWidget()));
        return form;
    }
    SkinControl* Find(SkinForm* form, const wchar_t* name)
    {
        return FindControl(form, SKIN_ANY_CONTROL, name, true);
    }
    int ReportsNaming(const std::wstring& text) const
    {
        int count = 0;
        for (const auto& line : reports.Lines())
            count += line.find(text) != std::wstring::npos;
        return count;
    }

    TempProgramDir dir;
    SkinEngine* engine = nullptr;
    std::vector<std::unique_ptr<RecordingWnd>> windows;
    LogCapture reports{"tavro.skin"};
};

} // namespace

TEST_F(SkinFormTest, AttachSizesTheWindowAndFindsEachControlAsOneObject)
{
    RecordingWnd* wnd = NewWindow();
    ASSERT_EQ(wnd->GetWindowRect().size(), QSize(100, 100));
    SkinForm* form = AttachShown(wnd);
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(wnd->GetWindowRect().size(), QSize(240, 170));
    EXPECT_EQ(AttachForm(engine, L"Test", wnd), form);

    SkinControl* label = Find(form, L"lbl");
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(Find(form, L"lbl"), label);
    EXPECT_NE(Find(form, L"btn"), label);
    QWidget* widget = GetControlWidget(label);
    ASSERT_NE(widget, nullptr);
    EXPECT_EQ(widget->objectName(), QStringLiteral("lbl"));
    EXPECT_EQ(widget->window(), wnd->GetWidget());
    EXPECT_EQ(widget->geometry(), QRect(10, 10, 100, 30));

    // Without searching children only the outermost controls are found.
    EXPECT_EQ(FindControl(form, SKIN_ANY_CONTROL, L"card", false), Find(form, L"card"));
    EXPECT_EQ(FindControl(form, SKIN_ANY_CONTROL, L"lbl", false), nullptr);

    // The form follows the window's size.
    wnd->SetWindowPos(HWND_TOP, 0, 0, 300, 200, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_EQ(GetControlWidget(Find(form, L"card"))->parentWidget()->size(), QSize(300, 200));
}

TEST_F(SkinFormTest, NotificationsCarryTheControlThatFindControlGave)
{
    RecordingWnd* wnd = NewWindow();
    SkinForm* form = AttachShown(wnd);
    SkinControl* button = Find(form, L"btn");
    SkinControl* label = Find(form, L"lbl");
    SkinControl* picture = Find(form, L"pic");

    QTest::mouseClick(GetControlWidget(button), Qt::LeftButton);
    ASSERT_EQ(wnd->notes.size(), 2u);
    EXPECT_EQ(wnd->notes[0].message, WM_SKIN_PRESS);
    EXPECT_EQ(wnd->notes[1].message, WM_SKIN_CLICK);
    EXPECT_EQ(wnd->notes[0].control, Id(button));
    EXPECT_EQ(wnd->notes[1].control, Id(button));

    // A label inside a panel: the label is named, not the panel around it.
    wnd->notes.clear();
    QTest::mouseClick(GetControlWidget(label), Qt::LeftButton);
    ASSERT_EQ(wnd->Messages(), (std::vector<UINT>{WM_SKIN_PRESS, WM_SKIN_CLICK}));
    EXPECT_EQ(wnd->notes[0].control, Id(label));
    EXPECT_EQ(wnd->notes[1].control, Id(label));

    // Released away from the control: pressed, but no click.
    wnd->notes.clear();
    QWidget* buttonWidget = GetControlWidget(button);
    QTest::mousePress(buttonWidget, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseRelease(buttonWidget, Qt::LeftButton, {}, QPoint(200, 5));
    EXPECT_EQ(wnd->Messages(), (std::vector<UINT>{WM_SKIN_PRESS}));

    // A double click is one click and one double click, all for the same control: the
    // release after the double click is no second click.
    wnd->notes.clear();
    QTest::mouseClick(GetControlWidget(picture), Qt::LeftButton);
    QTest::mouseDClick(GetControlWidget(picture), Qt::LeftButton);
    QTest::mouseRelease(GetControlWidget(picture), Qt::LeftButton);
    int clicks = 0, doubles = 0;
    for (const auto& note : wnd->notes) {
        EXPECT_EQ(note.control, Id(picture));
        clicks += note.message == WM_SKIN_CLICK;
        doubles += note.message == WM_SKIN_DBLCLK;
    }
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(doubles, 1);
    EXPECT_EQ(wnd->notes.back().message, WM_SKIN_DBLCLK);
}

TEST_F(SkinFormTest, OnlyTheUsersChoiceInAComboIsASelectionChange)
{
    RecordingWnd* wnd = NewWindow();
    SkinForm* form = AttachShown(wnd);
    SkinControl* combo = Find(form, L"cbx");
    auto* widget = static_cast<SkinCombo*>(GetControlWidget(combo));

    // Filling and setting by the program notifies nothing.
    ASSERT_TRUE(InsertComboItem(combo, L"2014", 0, 0));
    ASSERT_TRUE(InsertComboItem(combo, L"2016", 1, 0));
    SetComboText(combo, L"2014");
    widget->setCurrentIndex(1);
    EXPECT_TRUE(wnd->notes.empty());

    emit widget->activated(1); // what the list does when the user picks an item
    ASSERT_EQ(wnd->Messages(), (std::vector<UINT>{WM_SKIN_SELCHANGE}));
    EXPECT_EQ(wnd->notes[0].control, Id(combo));
    // The handler already reads the chosen text.
    EXPECT_EQ(GetComboText(combo), L"2016");
}

TEST_F(SkinFormTest, AClosedComboMovesFromTheShownValueOnTheWheelAndTheKeys)
{
    RecordingWnd* wnd = NewWindow();
    SkinForm* form = AttachShown(wnd);
    SkinControl* combo = Find(form, L"cbx");
    auto* widget = static_cast<SkinCombo*>(GetControlWidget(combo));
    for (const wchar_t* item : {L"1", L"2", L"3", L"4", L"5", L"6", L"7", L"8", L"9", L"10"})
        InsertComboItem(combo, item, -1, 0);
    const auto wheel = [widget](std::vector<int> angles) {
        return [widget, angles] {
            for (const int angle : angles) {
                const QPointF at(widget->rect().center());
                QWheelEvent event(at, widget->mapToGlobal(at), QPoint(), QPoint(0, angle),
                                  Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
                QApplication::sendEvent(widget, &event);
            }
        };
    };
    const auto key = [widget](Qt::Key k) { return [widget, k] { QTest::keyClick(widget, k); }; };
    struct Case
    {
        const char* name;
        const wchar_t* shown;
        std::function<void()> input;
        const wchar_t* after; // the shown text afterwards
        int changes;          // selection changes notified
    };
    const Case cases[] = {
        {"wheel towards the user", L"4", wheel({-120}), L"5", 1},
        {"wheel away from the user", L"4", wheel({120}), L"3", 1},
        {"two notches at once", L"4", wheel({-240}), L"6", 1},
        {"half notches add up", L"4", wheel({-60, -60}), L"5", 1},
        {"half a notch alone", L"4", wheel({-60}), L"4", 0},
        {"wheel past the last row", L"10", wheel({-120}), L"10", 0},
        {"wheel past the first row", L"1", wheel({120}), L"1", 0},
        {"a value the list lacks", L"2031", wheel({-120, 120}), L"2031", 0},
        {"arrow down", L"7", key(Qt::Key_Down), L"8", 1},
        {"arrow up", L"7", key(Qt::Key_Up), L"6", 1},
        {"page down stops at the end", L"7", key(Qt::Key_PageDown), L"10", 1},
        {"arrow with a value the list lacks", L"2031", key(Qt::Key_Down), L"2031", 0},
        {"home", L"7", key(Qt::Key_Home), L"1", 1},
        {"end from a value the list lacks", L"2031", key(Qt::Key_End), L"10", 1},
        {"end on the last row", L"10", key(Qt::Key_End), L"10", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetComboText(combo, c.shown);
        // The list's own current row is somewhere else, as after a fill.
        widget->setCurrentIndex(1);
        wnd->notes.clear();
        c.input();
        EXPECT_EQ(GetComboText(combo), c.after);
        EXPECT_EQ(static_cast<int>(wnd->notes.size()), c.changes);
        for (const auto& note : wnd->notes) {
            EXPECT_EQ(note.message, static_cast<UINT>(WM_SKIN_SELCHANGE));
            EXPECT_EQ(note.control, Id(combo));
        }
        EXPECT_FALSE(widget->view()->isVisible()) << "the list stays closed";
    }
}

TEST_F(SkinFormTest, FormsMarkedSoLeaveTheFocusWhereItIs)
{
    RecordingWnd* plain = NewWindow();
    RecordingWnd* quiet = NewWindow();
    ASSERT_NE(AttachForm(engine, L"Test", plain), nullptr);
    ASSERT_NE(AttachForm(engine, L"Quiet", quiet), nullptr);
    EXPECT_FALSE(plain->IsNoActivate());
    EXPECT_TRUE(quiet->IsNoActivate());

    // Mapping a window activates it on the offscreen platform whatever it asks for, so the
    // quiet one is up before the plain one; the X server's answer is checked end to end.
    quiet->ShowWindow(SW_SHOW);
    plain->ShowWindow(SW_SHOW);
    ASSERT_TRUE(WaitFor([&] { return QApplication::activeWindow() == plain->GetWidget(); }));
    // The first combo has the keyboard.
    EXPECT_EQ(QApplication::focusWidget(),
              GetControlWidget(Find(AttachForm(engine, L"Test", plain), L"cbx")));
    quiet->ShowWindow(SW_SHOW);
    quiet->ShowWindow(SW_RESTORE);
    quiet->BringWindowToTop();
    EXPECT_TRUE(quiet->IsWindowVisible());
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
    EXPECT_EQ(QApplication::activeWindow(), plain->GetWidget());
}

TEST_F(SkinFormTest, AWindowDestroyedByItsOwnHandlerDoesNotUpsetTheSkin)
{
    RecordingWnd* wnd = NewWindow();
    SkinForm* form = AttachShown(wnd);
    SkinControl* label = Find(form, L"lbl");
    QPointer<QWidget> labelWidget = GetControlWidget(label);

    // The press handler destroys and deletes the window; the release that follows must
    // neither reach it nor touch the form.
    int seen = 0;
    wnd->onNote = [&seen, wnd](UINT, WPARAM) {
        ++seen;
        wnd->DestroyWindow();
        DeleteWnd(wnd);
    };
    for (auto& owned : windows)
        owned.release(); // deleted by the handler
    windows.clear();

    QTest::mousePress(labelWidget, Qt::LeftButton);
    if (labelWidget)
        QTest::mouseRelease(labelWidget, Qt::LeftButton);
    EXPECT_EQ(seen, 1);
    ASSERT_TRUE(WaitFor([&] { return labelWidget.isNull(); }));
    // The form went with its window; its old pointers are harmless.
    EXPECT_EQ(Find(form, L"lbl"), nullptr);
    EXPECT_FALSE(SetLabelText(label, L"x"));
    EXPECT_FALSE(SetFormAlpha(form, 10));
}

TEST_F(SkinFormTest, ComboItemsInsertAtTheirIndexAndTheShownTextIsIndependent)
{
    RecordingWnd* wnd = NewWindow();
    SkinControl* combo = Find(AttachForm(engine, L"Test", wnd), L"cbx");
    auto items = [&] {
        std::vector<std::wstring> list;
        for (int i = 0; i < GetComboCount(combo); ++i)
            list.push_back(GetComboItem(combo, i));
        return list;
    };

    EXPECT_EQ(GetComboText(combo), L"2015"); // the layout's text
    // Filling an empty list leaves the shown text alone.
    InsertComboItem(combo, L"8", 0, 0);
    InsertComboItem(combo, L"9", 1, 0);
    EXPECT_EQ(GetComboText(combo), L"2015");
    // An index already taken shifts that item and the ones after it.
    InsertComboItem(combo, L"7", 0, 0);
    InsertComboItem(combo, L"8.5", 2, 0);
    EXPECT_EQ(items(), (std::vector<std::wstring>{L"7", L"8", L"8.5", L"9"}));
    // Past the end, or negative: appended.
    InsertComboItem(combo, L"12", 40, 0);
    InsertComboItem(combo, L"13", -1, 0);
    EXPECT_EQ(items(), (std::vector<std::wstring>{L"7", L"8", L"8.5", L"9", L"12", L"13"}));

    // A shown text that the list does not offer.
    SetComboText(combo, L"2031");
    EXPECT_EQ(GetComboText(combo), L"2031");
    SetComboText(combo, std::wstring(L"6"));
    EXPECT_EQ(GetComboText(combo), L"6");

    ClearCombo(combo);
    EXPECT_EQ(GetComboCount(combo), 0);
    EXPECT_EQ(GetComboText(combo), L"6");
    EXPECT_EQ(GetComboItem(combo, 0), L"");
    InsertComboItem(combo, L"1", 5, 0);
    EXPECT_EQ(items(), (std::vector<std::wstring>{L"1"}));

    // Combo operations on other controls do nothing.
    SkinControl* label = Find(AttachForm(engine, L"Test", wnd), L"lbl");
    EXPECT_FALSE(InsertComboItem(label, L"1", 0, 0));
    EXPECT_FALSE(SetComboText(label, L"1"));
    EXPECT_EQ(GetComboText(label), L"");
}

TEST_F(SkinFormTest, ThePictureFrameKeepsItsOwnCopy)
{
    RecordingWnd* wnd = NewWindow();
    SkinForm* form = AttachShown(wnd);
    SkinControl* picture = Find(form, L"pic");
    QWidget* widget = GetControlWidget(picture);
    const QRgb red = qRgb(220, 20, 30);
    const QPoint middle(20, 20);

    {
        // An image over memory the caller owns and frees right after the call.
        auto pixels = std::make_unique<std::vector<uint32_t>>(16 * 16, red);
        QImage borrowed(reinterpret_cast<uchar*>(pixels->data()), 16, 16, QImage::Format_RGB32);
        ASSERT_TRUE(SetPictureBitmap(picture, borrowed));
        std::fill(pixels->begin(), pixels->end(), qRgb(0, 0, 255));
        pixels.reset();
    }
    EXPECT_EQ(widget->grab().toImage().pixel(middle), red);

    ASSERT_TRUE(SetPictureBitmap(picture, QImage()));
    EXPECT_NE(widget->grab().toImage().pixel(middle), red);

    // Only a picture frame takes a picture.
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(red);
    EXPECT_FALSE(SetPictureBitmap(Find(form, L"lbl"), image));
}

TEST_F(SkinFormTest, MissingFormsAndControlsAreNullAndReportedOnce)
{
    RecordingWnd* wnd = NewWindow();
    EXPECT_EQ(AttachForm(engine, L"Nope", wnd), nullptr);
    EXPECT_EQ(AttachForm(engine, L"Nope", wnd), nullptr);
    EXPECT_EQ(ReportsNaming(L"Nope"), 1);
    EXPECT_EQ(wnd->GetWindowRect().size(), QSize(100, 100));

    SkinForm* form = AttachForm(engine, L"Test", wnd);
    EXPECT_EQ(Find(form, L"ghost"), nullptr);
    EXPECT_EQ(Find(form, L"ghost"), nullptr);
    EXPECT_EQ(ReportsNaming(L"ghost"), 1);

    // Every operation takes null and does nothing.
    EXPECT_EQ(AttachForm(nullptr, L"Test", wnd), nullptr);
    EXPECT_EQ(AttachForm(engine, L"Test", nullptr), nullptr);
    EXPECT_EQ(AttachForm(engine, nullptr, wnd), nullptr);
    EXPECT_EQ(FindControl(nullptr, SKIN_ANY_CONTROL, L"btn", true), nullptr);
    EXPECT_EQ(FindControl(form, SKIN_ANY_CONTROL, nullptr, true), nullptr);
    EXPECT_FALSE(SetFormAlpha(nullptr, 150));
    EXPECT_FALSE(PassMessage(nullptr, WM_RBUTTONUP));
    EXPECT_FALSE(ShowControl(nullptr, true, true, true));
    EXPECT_FALSE(PlayAnimation(nullptr, true, true, true));
    EXPECT_FALSE(SetLabelText(nullptr, L"x"));
    EXPECT_FALSE(SetEditText(nullptr, L"x"));
    EXPECT_FALSE(SetPictureBitmap(nullptr, QImage()));
    EXPECT_FALSE(SetScrollPosition(nullptr, 0, true, true));
    EXPECT_FALSE(SetComboText(nullptr, L"x"));
    EXPECT_EQ(GetComboText(nullptr), L"");
    EXPECT_FALSE(InsertComboItem(nullptr, L"x", 0, 0));
    EXPECT_FALSE(ClearCombo(nullptr));
    EXPECT_FALSE(BindWindow(nullptr, nullptr));
    EXPECT_FALSE(ShowBoundWindow(nullptr, nullptr));
    EXPECT_EQ(GetControlWidget(nullptr), nullptr);
    // A null text is an empty one.
    EXPECT_TRUE(SetLabelText(Find(form, L"lbl"), static_cast<const wchar_t*>(nullptr)));
}

TEST_F(SkinFormTest, BadFilesGiveAnEngineWithoutFormsAndAReport)
{
    RecordingWnd* wnd = NewWindow();
    SkinEngine* missing = Open("Skin/none.dui", "Skin/skin.skn");
    ASSERT_NE(missing, nullptr);
    EXPECT_EQ(ReportsNaming(L"none.dui"), 1);
    EXPECT_EQ(AttachForm(missing, L"Test", wnd), nullptr);

    dir.Write("Skin/bad.dui", "<skin><form name=\"Test\" width=\"-1\" height=\"5\"/></skin>");
    SkinEngine* malformed = Open("Skin/bad.dui", "Skin/skin.skn");
    ASSERT_NE(malformed, nullptr);
    EXPECT_EQ(ReportsNaming(L"bad.dui"), 1);
    EXPECT_EQ(AttachForm(malformed, L"Test", wnd), nullptr);

    dir.Write("Skin/binary.dui", std::string("\x00\xff\xfe<skin>", 9));
    EXPECT_EQ(AttachForm(Open("Skin/binary.dui", "Skin/skin.skn"), L"Test", wnd), nullptr);

    // Without its skin file a form still works, unstyled.
    SkinEngine* plain = Open("Skin/layout.dui", "Skin/gone.skn");
    EXPECT_EQ(ReportsNaming(L"gone.skn"), 1);
    EXPECT_NE(Find(AttachForm(plain, L"Test", wnd), L"btn"), nullptr);
}

TEST_F(SkinFormTest, RightButtonReleaseOnAControlReachesTheWindow)
{
    RecordingWnd* wnd = NewWindow();
    SkinForm* form = AttachShown(wnd);
    ASSERT_TRUE(PassMessage(form, WM_RBUTTONUP));
    QTest::mouseClick(GetControlWidget(Find(form, L"pic")), Qt::RightButton);
    QTest::mouseClick(GetControlWidget(Find(form, L"btn")), Qt::RightButton);
    EXPECT_EQ(wnd->rightButtonUps, 2);
    // Right clicks are no skin clicks.
    EXPECT_TRUE(wnd->notes.empty());
}

TEST_F(SkinFormTest, TheScrollBarFollowsItsTextBox)
{
    RecordingWnd* wnd = NewWindow();
    SkinForm* form = AttachShown(wnd);
    SkinControl* edit = Find(form, L"edit");
    SkinControl* bar = Find(form, L"bar");
    auto* barWidget = static_cast<QScrollBar*>(GetControlWidget(bar));
    QScrollBar* inner = static_cast<QTextEdit*>(GetControlWidget(edit))->verticalScrollBar();

    ASSERT_TRUE(SetEditText(edit, L"short"));
    ASSERT_TRUE(WaitFor([&] { return !barWidget->isVisible(); }));

    std::wstring tip;
    for (int i = 0; i < 40; ++i)
        tip += L"第" + std::to_wstring(i) + L"行提示\n";
    ASSERT_TRUE(SetEditText(edit, tip));
    ASSERT_TRUE(WaitFor([&] { return barWidget->isVisible() && barWidget->maximum() > 0; }));
    EXPECT_EQ(barWidget->maximum(), inner->maximum());

    barWidget->setValue(barWidget->maximum());
    EXPECT_EQ(inner->value(), inner->maximum());
    ASSERT_TRUE(SetScrollPosition(bar, 0, true, true));
    EXPECT_EQ(inner->value(), 0);
    inner->setValue(5); // the wheel over the text box
    EXPECT_EQ(barWidget->value(), 5);

    // Hidden by the program, it stays hidden however long the text.
    ShowControl(bar, false, false, false);
    SetEditText(edit, tip + tip);
    QCoreApplication::processEvents();
    EXPECT_FALSE(barWidget->isVisible());
    ShowControl(bar, true, true, true);
    EXPECT_TRUE(barWidget->isVisible());
}

TEST_F(SkinFormTest, LabelsShowTextsLiterallyInsideTheirFormat)
{
    RecordingWnd* wnd = NewWindow();
    SkinForm* form = AttachForm(engine, L"Test", wnd);
    auto* week = static_cast<QLabel*>(GetControlWidget(Find(form, L"week")));
    ASSERT_TRUE(SetLabelText(Find(form, L"week"), L"25"));
    EXPECT_EQ(week->text(), QStringLiteral("已满<b>25</b>周"));
    SetLabelText(Find(form, L"week"), L"<i>1</i>");
    EXPECT_EQ(week->text(), QStringLiteral("已满<b>&lt;i&gt;1&lt;/i&gt;</b>周"));

    auto* button = static_cast<QPushButton*>(GetControlWidget(Find(form, L"btn")));
    EXPECT_EQ(button->text(), QStringLiteral("OK"));
    SetLabelText(Find(form, L"btn"), L"确定");
    EXPECT_EQ(button->text(), QStringLiteral("确定"));
    EXPECT_FALSE(SetEditText(Find(form, L"lbl"), L"x"));
}

TEST_F(SkinFormTest, BoundWindowsFillTheHolderAndFollowItsSize)
{
    RecordingWnd* wnd = NewWindow();
    SkinForm* form = AttachShown(wnd);
    SkinControl* holder = Find(form, L"holder");
    QWidget* area = GetControlWidget(holder);
    auto* page = new QWidget; // owned by the holder once bound
    QWidget stranger;

    EXPECT_FALSE(ShowBoundWindow(holder, page)); // not bound yet
    EXPECT_FALSE(BindWindow(holder, nullptr));
    EXPECT_FALSE(BindWindow(Find(form, L"lbl"), page));
    ASSERT_TRUE(BindWindow(holder, page));
    ASSERT_TRUE(ShowBoundWindow(holder, page));
    EXPECT_EQ(page->parentWidget(), area);
    EXPECT_EQ(page->geometry(), QRect(QPoint(0, 0), area->size()));
    EXPECT_TRUE(page->isVisible());

    area->resize(200, 90);
    EXPECT_EQ(page->size(), QSize(200, 90));
    EXPECT_TRUE(BindWindow(holder, page)); // binding again is harmless
    EXPECT_FALSE(ShowBoundWindow(holder, &stranger));
    // The holder cannot swallow its own window.
    EXPECT_FALSE(BindWindow(holder, wnd->GetWidget()));
}

TEST_F(SkinFormTest, FormOperationsReachTheWindowAndItsControls)
{
    RecordingWnd* wnd = NewWindow();
    SkinForm* form = AttachShown(wnd);
    ASSERT_TRUE(SetFormAlpha(form, 150));
    EXPECT_EQ(wnd->GetOpacity(), 150);
    SetFormAlpha(form, 999);
    EXPECT_EQ(wnd->GetOpacity(), 255);

    SkinControl* button = Find(form, L"btn");
    ShowControl(button, false, -1, -1);
    EXPECT_FALSE(GetControlWidget(button)->isVisible());
    ShowControl(button, -1, -1, -1);
    EXPECT_TRUE(GetControlWidget(button)->isVisible());

    SkinControl* animation = Find(form, L"anim");
    auto* turning = static_cast<SkinAnimation*>(GetControlWidget(animation));
    EXPECT_FALSE(PlayAnimation(button, true, true, true));
    ASSERT_TRUE(PlayAnimation(animation, true, true, true));
    const int first = turning->Frame();
    EXPECT_TRUE(WaitFor([&] { return turning->Frame() != first; }));
    PlayAnimation(animation, false, false, false);
    EXPECT_FALSE(turning->IsPlaying());
}

TEST_F(SkinFormTest, DraggingAMovableControlMovesTheWindowAndStillClicks)
{
    RecordingWnd* wnd = NewWindow();
    SkinForm* form = AttachShown(wnd);
    SkinControl* card = Find(form, L"card");
    QWidget* widget = GetControlWidget(card);
    wnd->SetWindowPos(HWND_TOP, 100, 100, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    const QPoint start = wnd->GetWindowRect().topLeft();

    const QPointF local(60, 5);
    const QPointF global = widget->mapToGlobal(local);
    QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
    QMouseEvent move(QEvent::MouseMove, local + QPointF(30, 20), global + QPointF(30, 20),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
    QMouseEvent release(QEvent::MouseButtonRelease, local + QPointF(30, 20),
                        global + QPointF(30, 20), Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &release);

    EXPECT_EQ(wnd->GetWindowRect().topLeft(), start + QPoint(30, 20));
    EXPECT_EQ(wnd->Messages(), (std::vector<UINT>{WM_SKIN_PRESS, WM_SKIN_CLICK}));
}

// Every operation on a control acts on its own kinds only, and on nothing once the skin is
// freed: a stale pointer kept by a window must never reach a deleted widget.
TEST_F(SkinFormTest, ControlOperationsTakeTheirKindsAndLiveControlsOnly)
{
    struct Case
    {
        const wchar_t* control;
        const wchar_t* otherKind;
        std::function<bool(SkinControl*)> operation;
    };
    const QImage image(4, 4, QImage::Format_RGB32);
    QPointer<QWidget> child = new QWidget;
    const std::vector<Case> cases = {
        {L"lbl", L"pic", [](SkinControl* c) { return SetLabelText(c, L"x"); }},
        {L"btn", L"edit", [](SkinControl* c) { return SetLabelText(c, L"x"); }},
        {L"edit", L"lbl", [](SkinControl* c) { return SetEditText(c, L"x"); }},
        {L"pic", L"lbl", [&](SkinControl* c) { return SetPictureBitmap(c, image); }},
        {L"bar", L"btn", [](SkinControl* c) { return SetScrollPosition(c, 0, 0, 0); }},
        {L"edit", L"cbx", [](SkinControl* c) { return SetScrollPosition(c, 0, 0, 0); }},
        {L"cbx", L"lbl", [](SkinControl* c) { return SetComboText(c, L"x"); }},
        {L"cbx", L"edit", [](SkinControl* c) { return InsertComboItem(c, L"x", -1, 7); }},
        {L"cbx", L"btn", [](SkinControl* c) { return ClearCombo(c); }},
        {L"anim", L"pic", [](SkinControl* c) { return PlayAnimation(c, 0, 0, 0); }},
        {L"holder", L"card", [&child](SkinControl* c) { return BindWindow(c, child); }},
        {L"holder", L"card", [&child](SkinControl* c) { return ShowBoundWindow(c, child); }},
    };
    RecordingWnd* wnd = NewWindow();
    SkinForm* form = AttachShown(wnd);
    std::vector<SkinControl*> stale;
    for (const Case& c : cases) {
        SCOPED_TRACE(QString::fromWCharArray(c.control).toStdString());
        EXPECT_TRUE(c.operation(Find(form, c.control)));
        EXPECT_FALSE(c.operation(Find(form, c.otherKind)));
        EXPECT_FALSE(c.operation(nullptr));
        stale.push_back(Find(form, c.control));
    }
    FreeSkin();
    // The holder took the window bound to it along.
    EXPECT_TRUE(child.isNull());
    child = new QWidget;
    for (std::size_t i = 0; i < cases.size(); ++i)
        EXPECT_FALSE(cases[i].operation(stale[i])) << i;
    EXPECT_EQ(GetComboCount(stale[6]), 0);
    EXPECT_EQ(GetComboText(stale[6]), L"");
    delete child.data();
}

TEST_F(SkinFormTest, FreeSkinTakesTheControlsOutOfLiveWindows)
{
    RecordingWnd* wnd = NewWindow();
    SkinForm* form = AttachShown(wnd);
    SkinControl* button = Find(form, L"btn");
    QPointer<QWidget> widget = GetControlWidget(button);
    FreeSkin();
    EXPECT_TRUE(widget.isNull());
    EXPECT_FALSE(ShowControl(button, true, true, true));
    EXPECT_EQ(FindControl(form, SKIN_ANY_CONTROL, L"btn", true), nullptr);
    EXPECT_EQ(AttachForm(engine, L"Test", wnd), nullptr);
    EXPECT_TRUE(wnd->IsWindow());
}

TEST_F(SkinFormTest, FreeSkinFromANotificationHandlerIsSafe)
{
    RecordingWnd* wnd = NewWindow();
    SkinForm* form = AttachShown(wnd);
    SkinControl* label = Find(form, L"lbl");
    QPointer<QWidget> widget = GetControlWidget(label);
    wnd->onNote = [](UINT, WPARAM) { FreeSkin(); };
    QTest::mousePress(widget, Qt::LeftButton);
    if (widget)
        QTest::mouseRelease(widget, Qt::LeftButton);
    EXPECT_EQ(wnd->Messages(), (std::vector<UINT>{WM_SKIN_PRESS}));
    EXPECT_FALSE(SetLabelText(label, L"x"));
    ASSERT_TRUE(WaitFor([&] { return widget.isNull(); }));
    EXPECT_TRUE(wnd->IsWindow());
}
