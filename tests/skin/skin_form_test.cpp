// The skin's forms inside real framework windows, under the offscreen platform: building,
// notifications, combos, focus and reports.

#include "skin_form_fixture.h"

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
    // The first control that takes the keyboard (in layout order) has it.
    EXPECT_EQ(QApplication::focusWidget(),
              GetControlWidget(Find(AttachForm(engine, L"Test", plain), L"btn")));
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
