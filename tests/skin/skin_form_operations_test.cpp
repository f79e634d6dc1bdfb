// The skin's forms inside real framework windows: scroll bars, labels, bound windows,
// the form and control operations, dragging and freeing the skin.

#include "skin_form_fixture.h"

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
