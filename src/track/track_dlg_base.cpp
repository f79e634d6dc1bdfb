#include "track/track_dlg_base.h"

#include "host/host_utils.h"
#include "host/services.h"
#include "profile/app_data.h"
#include "skin/skin.h"
#include "track/track_book.h"

#include <QCoreApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>

// Skin buttons take no keyboard by themselves; this gives the window's buttons the keys.
class CTrackDlgBase::Keys : public QObject
{
public:
    explicit Keys(CTrackDlgBase& owner) : m_owner(owner) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress)
            return QObject::eventFilter(watched, event);
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
            return false;
        switch (key->key()) {
        case Qt::Key_Space:
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (key->isAutoRepeat())
                return true; // a held key is one press, not a run of them
            // Through the window's entry point, like a click: a box the press opens may see
            // the window destroyed, and the framework then keeps the object until it returns.
            if (SkinControl* button = FocusedButton())
                m_owner.SendMessage(WM_SKIN_CLICK, reinterpret_cast<WPARAM>(button));
            return true;
        case Qt::Key_Escape:
            m_owner.PostMessage(WM_CLOSE);
            return true;
        default:
            return false;
        }
    }

private:
    SkinControl* FocusedButton() const
    {
        QWidget* widget = m_owner.GetWidget();
        QWidget* focused = widget ? widget->focusWidget() : nullptr;
        for (SkinControl* button : m_owner.m_keyboardButtons) {
            if (focused && GetControlWidget(button) == focused)
                return button;
        }
        return m_owner.m_pPrimary;
    }

    CTrackDlgBase& m_owner;
};

CTrackDlgBase::CTrackDlgBase(SkinEngine* skin, TrackBook& book, CTavroAppData& app)
    : m_skin(skin), m_book(book), m_app(app)
{}

CTrackDlgBase::~CTrackDlgBase()
{
    if (IsWindow())
        DestroyWindow();
    delete m_pKeys;
}

bool CTrackDlgBase::BindForm(const wchar_t* formName, const QString& title,
                             std::initializer_list<const wchar_t*> keyboardButtons)
{
    m_pForm = AttachForm(m_skin, formName, this);
    if (!m_pForm)
        return false;
    SetWindowText(title);
    m_title = title.toStdWString();
    SetTaskbarButton(true);
    m_pBtnClose = Control(L"btnDone");
    m_pBtnExport = Control(L"btnExport");
    m_pKeys = new Keys(*this);
    GetWidget()->installEventFilter(m_pKeys);
    // What the window's widgets held is handed back once they are all gone, the form with
    // them (their deletion is deferred until the window's handlers have returned).
    QObject::connect(GetWidget(), &QObject::destroyed, [] {
        if (QCoreApplication* application = QCoreApplication::instance())
            QTimer::singleShot(0, application, &ReturnFreeHeapToSystem);
    });
    for (const wchar_t* name : keyboardButtons) {
        SkinControl* button = Control(name);
        QWidget* widget = GetControlWidget(button);
        if (!widget)
            continue;
        widget->setFocusPolicy(Qt::StrongFocus);
        widget->installEventFilter(m_pKeys);
        m_keyboardButtons.push_back(button);
    }
    m_formName = formName;
    if (const auto place = m_book.Place(m_formName))
        SetWindowPos(nullptr, place->x(), place->y(), 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    else
        CenterWindow();
    return true;
}

SkinControl* CTrackDlgBase::Control(const wchar_t* name) const
{
    return FindControl(m_pForm, SKIN_ANY_CONTROL, name, true);
}

void CTrackDlgBase::SetText(SkinControl* control, const std::wstring& text)
{
    SetLabelText(control, text);
}

void CTrackDlgBase::OnCancel()
{
    m_book.SetPlace(m_formName, GetWindowRect().topLeft());
    DestroyWindow();
}

void CTrackDlgBase::Present()
{
    ShowWindow(SW_SHOW);
    BringWindowToTop();
    FocusPrimary();
}

void CTrackDlgBase::FocusPrimary()
{
    if (QWidget* primary = GetControlWidget(m_pPrimary))
        primary->setFocus(Qt::OtherFocusReason);
}

LRESULT CTrackDlgBase::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SKIN_CLICK:
        if (wParam)
            Press(reinterpret_cast<SkinControl*>(wParam));
        return 1;
    case WM_SHOWWINDOW:
        OnShowWindow(wParam != 0);
        break;
    case WM_TIMER:
        if (wParam == TIMER_TICK)
            Refresh();
        return 0;
    default:
        break;
    }
    return CWnd::WindowProc(message, wParam, lParam);
}

void CTrackDlgBase::Press(SkinControl* control)
{
    if (control == m_pBtnClose)
        PostMessage(WM_CLOSE);
    else if (control == m_pBtnExport)
        m_book.Export();
    else
        OnClick(control);
}

void CTrackDlgBase::OnShowWindow(bool shown)
{
    if (shown) {
        Refresh();
        SetTimer(TIMER_TICK, kTickMs);
    } else {
        KillTimer(TIMER_TICK);
    }
}

void CTrackDlgBase::ShowChange(bool saved, const wchar_t* failure)
{
    if (!saved)
        CurrentServices().messageBox->Show(failure, m_title, BoxIcon::Warning);
    if (IsWindow())
        Refresh();
}
