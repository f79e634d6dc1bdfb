#include "skin/skin.h"
#include "skin/skin_layout.h"
#include "skin_form_fixture.h"

#include <QAccessible>
#include <QLabel>

#include <fstream>
#include <sstream>
#include <string>

namespace {

const std::string kPackage = TAVRO_SOURCE_DIR "/package/Skin/";

std::wstring Wide(const std::string& text) { return QString::fromStdString(text).toStdWString(); }

// What a screen reader finds in a window: every shown object has a role, and a label is
// read as static text, as shown and without its markup.
void CheckShown(QAccessibleInterface* iface)
{
    if (!iface || iface->state().invisible)
        return;
    const std::string what = iface->object() ? iface->object()->objectName().toStdString() : "";
    const QAccessible::Role role = iface->role();
    EXPECT_NE(role, QAccessible::Client) << what << " has no role";
    // Also the windows the screen-reader walk does not open (the tool windows, loading).
    for (const QAccessible::Role interactive :
         {QAccessible::PushButton, QAccessible::ComboBox, QAccessible::ScrollBar,
          QAccessible::CheckBox, QAccessible::EditableText, QAccessible::Slider})
        EXPECT_FALSE(role == interactive && iface->text(QAccessible::Name).isEmpty())
            << what << " has no name";
    if (auto* label = qobject_cast<QLabel*>(iface->object()); label && !label->text().isEmpty()) {
        const QString name = iface->text(QAccessible::Name);
        EXPECT_EQ(iface->role(), QAccessible::StaticText) << what;
        EXPECT_FALSE(name.isEmpty()) << what << " is not read";
        EXPECT_FALSE(name.contains(QLatin1Char('<'))) << name.toStdString();
    }
    for (int i = 0; i < iface->childCount(); ++i)
        CheckShown(iface->child(i));
}

class SkinAccessibleTest : public SkinFormTest
{
protected:
    void SetUp() override
    {
        SkinFormTest::SetUp();
        package =
            OpenSkinW(Wide(kPackage + "RizIrozara.dui"), Wide(kPackage + "Default.skn"), 0, 0, 0);
    }
    // A shown window with the package's form; every button of it shown too.
    std::pair<RecordingWnd*, SkinForm*> ShowForm(const QString& name)
    {
        RecordingWnd* wnd = NewWindow();
        SkinForm* form = AttachForm(package, name.toStdWString(), wnd);
        if (name == QLatin1String("Main18")) // its buttons start hidden
            for (const wchar_t* button : {L"btnOk", L"btnCancel"})
                ShowControl(Find(form, button), -1, -1, -1);
        wnd->ShowWindow(SW_SHOW);
        return {wnd, form};
    }

    SkinEngine* package = nullptr;
};

TEST_F(SkinAccessibleTest, EveryShownControlOfEveryFormHasARoleAndANameAndEveryTextIsRead)
{
    std::ifstream file(kPackage + "RizIrozara.dui");
    std::stringstream text;
    text << file.rdbuf();
    const SkinLayout layout = ParseSkinLayout(text.str());
    ASSERT_FALSE(layout.forms.empty());
    for (const SkinFormDef& def : layout.forms) {
        SCOPED_TRACE(def.name.toStdString());
        auto [wnd, form] = ShowForm(def.name);
        ASSERT_NE(form, nullptr);
        QAccessibleInterface* window = QAccessible::queryAccessibleInterface(wnd->GetWidget());
        ASSERT_NE(window, nullptr);
        EXPECT_TRUE(window->role() == QAccessible::Dialog || window->role() == QAccessible::Window);
        EXPECT_FALSE(window->text(QAccessible::Name).isEmpty()) << "the window has no name";
        CheckShown(window);
    }
}

// Large text on a small screen: the popup's window is cut to the work area, and its form
// keeps its own height inside and scrolls with the wheel, never past either end.
TEST_F(SkinAccessibleTest, AFormMarkedToScrollKeepsItsHeightInAShorterWindow)
{
    auto [wnd, form] = ShowForm(QStringLiteral("Main16"));
    QWidget* picture = GetControlWidget(Find(form, L"frmPic1"));
    QWidget* root = picture->parentWidget();
    wnd->SetWindowPos(nullptr, 0, 0, 300, 400, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_EQ(root->geometry(), QRect(0, 0, 300, 490));

    const auto wheel = [&](int notches) {
        const QPointF at(150, 150);
        QWheelEvent event(at, wnd->GetWidget()->mapToGlobal(at), QPoint(), QPoint(0, notches * 120),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        // A real wheel over the form reaches the window the same way once no control
        // takes it; a made-up event would not be passed on, so it goes to the window.
        QApplication::sendEvent(wnd->GetWidget(), &event);
    };
    wheel(-1); // towards the user: further down the form
    EXPECT_EQ(root->y(), -40);
    wheel(-5);
    EXPECT_EQ(root->y(), -90) << "the form's bottom stays at the window's";
    wheel(10);
    EXPECT_EQ(root->y(), 0);

    // Room again: the whole form, from its top.
    wheel(-1);
    wnd->SetWindowPos(nullptr, 0, 0, 300, 490, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_EQ(root->geometry(), QRect(0, 0, 300, 490));

    // Forms not marked so follow their window as before.
    auto [setup, dateForm] = ShowForm(QStringLiteral("Main18"));
    setup->SetWindowPos(nullptr, 0, 0, 360, 200, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_EQ(GetControlWidget(Find(dateForm, L"cbx1"))->parentWidget()->height(), 200);
}

} // namespace
