#include "skin/skin.h"
#include "skin/skin_layout.h"
#include "skin_form_fixture.h"

#include <QAccessible>
#include <QLabel>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

const std::string kPackage = TAVRO_SOURCE_DIR "/package/Skin/";

std::wstring Wide(const std::string& text) { return QString::fromStdString(text).toStdWString(); }

bool IsInteractive(QAccessible::Role role)
{
    switch (role) {
    case QAccessible::PushButton:
    case QAccessible::ComboBox:
    case QAccessible::ScrollBar:
    case QAccessible::CheckBox:
    case QAccessible::RadioButton:
    case QAccessible::EditableText:
    case QAccessible::SpinBox:
    case QAccessible::Slider:
        return true;
    default:
        return false;
    }
}

// What a screen reader finds in a window: each shown object with its role and name.
struct Found
{
    QAccessible::Role role;
    QString name;
    QObject* object;
};

void Walk(QAccessibleInterface* iface, std::vector<Found>& found)
{
    if (!iface || iface->state().invisible)
        return;
    found.push_back({iface->role(), iface->text(QAccessible::Name), iface->object()});
    for (int i = 0; i < iface->childCount(); ++i)
        Walk(iface->child(i), found);
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
        for (const wchar_t* button : {L"btnOk", L"btnCancel"})
            if (name == QLatin1String("Main18"))
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

        std::vector<Found> found;
        Walk(window, found);
        for (const Found& f : found) {
            const QString what = f.object ? f.object->objectName() : QString();
            if (IsInteractive(f.role)) {
                EXPECT_FALSE(f.name.isEmpty()) << what.toStdString() << " has no name";
            }
            EXPECT_NE(f.role, QAccessible::Client) << what.toStdString() << " has no role";
            // What a label shows is what is read, without markup.
            if (auto* label = qobject_cast<QLabel*>(f.object); label && !label->text().isEmpty()) {
                EXPECT_EQ(f.role, QAccessible::StaticText) << what.toStdString();
                EXPECT_FALSE(f.name.isEmpty()) << what.toStdString() << " is not read";
                EXPECT_FALSE(f.name.contains(QLatin1Char('<'))) << f.name.toStdString();
            }
        }
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
