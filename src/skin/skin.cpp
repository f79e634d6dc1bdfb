#include "skin/skin.h"

#include "skin/skin_accessible.h"
#include "skin/skin_controls.h"
#include "skin/skin_form.h"
#include "skin/skin_layout.h"
#include "skin/skin_style.h"

#include "host/file_io.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScrollBar>
#include <QWidget>

#include <algorithm>
#include <memory>
#include <unordered_set>
#include <vector>

namespace {

std::vector<std::unique_ptr<SkinEngine>> g_engines;
std::unordered_set<const SkinEngine*> g_liveEngines;

bool Live(const SkinEngine* engine) { return engine && g_liveEngines.count(engine); }

// The control as the given kind when it is alive and of that kind; null otherwise.
template <class T> T* LiveAs(const SkinControl* control, SkinControlType type)
{
    return IsLiveControl(control) ? control->As<T>(type) : nullptr;
}

// Runs `apply` on the control as the given kind; false when it is gone or of another kind.
template <class T, class Apply>
bool WithControl(SkinControl* control, SkinControlType type, Apply apply)
{
    T* widget = LiveAs<T>(control, type);
    if (!widget)
        return false;
    apply(*widget);
    return true;
}

QString FromWide(const wchar_t* text) { return text ? QString::fromWCharArray(text) : QString(); }

// Reads a whole file of at most `limit` bytes; false when it cannot.
bool ReadSmallFile(const QString& path, QByteArray& content)
{
    // Only a regular file, opened without waiting: a FIFO in its place must not hang us.
    if (path.isEmpty())
        return false;
    const auto text = ReadWholeFile(QFile::encodeName(path).toStdString(), kMaxLayoutBytes);
    if (!text)
        return false;
    content = QByteArray(text->data(), static_cast<qsizetype>(text->size()));
    return true;
}

} // namespace

// ---------------------------------------------------------------------------------------
// The operations

SkinEngine* OpenSkinW(const wchar_t* layoutPath, const wchar_t* skinPath, int, int, int)
{
    InstallSkinAccessibility();
    auto engine = std::make_unique<SkinEngine>();
    // Cleaned ("Release/../Skin" reads "Skin"), as the paths are shown to the user.
    const QString layoutFile = QDir::cleanPath(FromWide(layoutPath));
    const QString skinFile = QDir::cleanPath(FromWide(skinPath));
    engine->layoutDir = QFileInfo(layoutFile).absolutePath();

    const auto problem = [&engine](const QString& message) {
        engine->problems.push_back(message);
        ReportSkinProblem(message);
    };
    QByteArray content;
    if (!ReadSmallFile(layoutFile, content)) {
        problem(QStringLiteral("cannot read layout file \"%1\"").arg(layoutFile));
    } else {
        engine->layout = ParseSkinLayout(content.toStdString());
        if (!engine->layout.error.isEmpty())
            problem(QStringLiteral("layout file \"%1\" is not used: %2")
                        .arg(layoutFile, engine->layout.error));
    }
    if (!ReadSmallFile(skinFile, content)) {
        problem(QStringLiteral("cannot read skin file \"%1\"").arg(skinFile));
    } else {
        engine->styleSheet =
            ResolveStyleUrls(QString::fromUtf8(content), QFileInfo(skinFile).absolutePath());
        FollowSkinFontFamilies(StyleFontFamilies(engine->styleSheet));
    }

    SkinEngine* raw = engine.get();
    g_liveEngines.insert(raw);
    g_engines.push_back(std::move(engine));
    return raw;
}

void FreeSkin()
{
    // Forms first: their destructors still look at the engine.
    for (const auto& engine : g_engines)
        engine->forms.clear();
    for (const auto& engine : g_engines)
        g_liveEngines.erase(engine.get());
    g_engines.clear();
}

std::wstring SkinProblems(const SkinEngine* engine)
{
    if (!Live(engine))
        return L"no skin is open";
    return engine->problems.join(QLatin1Char('\n')).toStdWString();
}

SkinForm* AttachForm(SkinEngine* engine, const wchar_t* formName, CWnd* window)
{
    if (!Live(engine))
        return nullptr;
    const QString name = FromWide(formName);
    if (!window || !window->GetWidget()) {
        engine->ReportOnce(QStringLiteral("window:") + name,
                           QStringLiteral("form \"%1\" has no window to attach to").arg(name));
        return nullptr;
    }
    const SkinFormDef* def = engine->layout.FindForm(name);
    if (!def) {
        engine->ReportOnce(QStringLiteral("form:") + name,
                           QStringLiteral("no form \"%1\" in the layout").arg(name));
        return nullptr;
    }
    for (const auto& form : engine->forms) {
        if (form->name == name && form->window == window->GetSafeHwnd() &&
            form->host == window->GetWidget())
            return form.get();
    }
    engine->forms.push_back(std::make_unique<SkinForm>(engine, *def, window));
    return engine->forms.back().get();
}

SkinControl* FindControl(SkinForm* form, int, const wchar_t* name, int searchChildren)
{
    if (!IsLiveForm(form))
        return nullptr;
    const QString controlName = FromWide(name);
    SkinControl* control = form->Find(controlName, searchChildren != 0);
    if (!control)
        form->engine->ReportOnce(
            QStringLiteral("control:%1/%2").arg(form->name, controlName),
            QStringLiteral("no control \"%1\" in form \"%2\"").arg(controlName, form->name));
    return control;
}

bool SetFormAlpha(SkinForm* form, int alpha)
{
    CWnd* window = IsLiveForm(form) && form->host ? CWnd::FromHandle(form->window) : nullptr;
    if (!window || !window->IsWindow())
        return false;
    window->SetOpacity(std::clamp(alpha, 0, 255));
    return true;
}

bool PassMessage(SkinForm* form, UINT)
{
    // Nothing to record: the framework hands every mouse message to the window anyway.
    return IsLiveForm(form);
}

bool ShowControl(SkinControl* control, int show, int, int)
{
    if (!IsLiveControl(control))
        return false;
    if (auto* bar = control->As<SkinScrollBar>(SkinControlType::ScrollBar))
        bar->SetWanted(show != 0);
    else
        control->widget->setVisible(show != 0);
    return true;
}

bool PlayAnimation(SkinControl* control, int play, int, int)
{
    return WithControl<SkinAnimation>(
        control, SkinControlType::Animation,
        [play](SkinAnimation& animation) { animation.Play(play != 0); });
}

bool SetLabelText(SkinControl* control, const wchar_t* text)
{
    if (!IsLiveControl(control))
        return false;
    if (auto* label = control->As<SkinLabel>(SkinControlType::Label)) {
        label->SetSkinText(FromWide(text));
        return true;
    }
    if (auto* button = control->As<SkinButton>(SkinControlType::Button)) {
        button->setText(FromWide(text));
        ApplySkinLabel(button, button->text());
        return true;
    }
    return false;
}

bool SetControlLabel(SkinControl* control, const wchar_t* value)
{
    if (!IsLiveControl(control))
        return false;
    ApplySkinLabel(control->widget, FromWide(value));
    return true;
}

bool SetEditText(SkinControl* control, const wchar_t* text)
{
    return WithControl<SkinEdit>(control, SkinControlType::Edit,
                                 [text](SkinEdit& edit) { edit.SetSkinText(FromWide(text)); });
}

bool SetPictureBitmap(SkinControl* control, const QImage& image)
{
    return WithControl<SkinPicture>(control, SkinControlType::Picture,
                                    [&image](SkinPicture& picture) { picture.SetImage(image); });
}

bool SetScrollPosition(SkinControl* control, int position, int, int)
{
    if (!IsLiveControl(control))
        return false;
    if (auto* bar = control->As<SkinScrollBar>(SkinControlType::ScrollBar)) {
        bar->setValue(position);
        return true;
    }
    if (auto* edit = control->As<SkinEdit>(SkinControlType::Edit)) {
        edit->verticalScrollBar()->setValue(position);
        return true;
    }
    return false;
}

bool SetComboText(SkinControl* control, const wchar_t* text)
{
    return WithControl<SkinCombo>(control, SkinControlType::Combo,
                                  [text](SkinCombo& combo) { combo.SetShownText(FromWide(text)); });
}

std::wstring GetComboText(SkinControl* control)
{
    auto* combo = LiveAs<SkinCombo>(control, SkinControlType::Combo);
    return combo ? combo->ShownText().toStdWString() : std::wstring();
}

bool InsertComboItem(SkinControl* control, const wchar_t* text, int index, std::uintptr_t data)
{
    return WithControl<SkinCombo>(control, SkinControlType::Combo, [&](SkinCombo& combo) {
        if (index < 0 || index > combo.count())
            index = combo.count();
        combo.insertItem(index, FromWide(text), QVariant::fromValue<quint64>(data));
    });
}

bool ClearCombo(SkinControl* control)
{
    return WithControl<SkinCombo>(control, SkinControlType::Combo,
                                  [](SkinCombo& combo) { combo.clear(); });
}

int GetComboCount(SkinControl* control)
{
    auto* combo = LiveAs<SkinCombo>(control, SkinControlType::Combo);
    return combo ? combo->count() : 0;
}

std::wstring GetComboItem(SkinControl* control, int index)
{
    auto* combo = LiveAs<SkinCombo>(control, SkinControlType::Combo);
    if (!combo || index < 0 || index >= combo->count())
        return {};
    return combo->itemText(index).toStdWString();
}

bool BindWindow(SkinControl* holder, QWidget* child)
{
    auto* area = LiveAs<SkinHolder>(holder, SkinControlType::Holder);
    return area && area->Bind(child);
}

bool ShowBoundWindow(SkinControl* holder, QWidget* child)
{
    auto* area = LiveAs<SkinHolder>(holder, SkinControlType::Holder);
    return area && area->ShowBound(child);
}

QWidget* GetControlWidget(SkinControl* control)
{
    return IsLiveControl(control) ? control->widget.data() : nullptr;
}
