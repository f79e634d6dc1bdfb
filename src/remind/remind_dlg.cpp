#include "remind/remind_dlg.h"

#include "host/file_io.h"
#include "host/paths.h"
#include "host/services.h"
#include "profile/app_data.h"
#include "remind/tip_database.h"
#include "skin/skin.h"
#include "ui/window_geometry.h"

#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QString>

#include <cwchar>
#include <optional>

namespace {

constexpr const wchar_t* kBitmapFailed = L"获取位图失败";
constexpr const wchar_t* kCaption = L"Tavro";
constexpr const wchar_t* kQueryFailed = L"false";

// What the user has been told already (see ForgetToldFailures).
std::optional<int> g_pictureToldDay;
bool g_figuresToldFailing = false;

// The decoded picture, or a null image. Transparent pixels are laid onto opaque black, as
// the frame draws the picture as it is.
QImage LoadPicture(const std::wstring& path)
{
    // A FIFO or device named like a picture would block the reader.
    const QString file = QString::fromStdWString(path);
    if (!IsRegularFile(QFile::encodeName(file).toStdString()))
        return {};
    QImageReader reader(file);
    QImage image = reader.read();
    if (image.isNull() || !image.hasAlphaChannel())
        return image;
    QImage opaque(image.size(), QImage::Format_RGB32);
    opaque.fill(Qt::black);
    QPainter painter(&opaque);
    painter.drawImage(0, 0, image);
    return opaque;
}

} // namespace

void CTavroRemindDlg::ForgetToldFailures()
{
    g_pictureToldDay.reset();
    g_figuresToldFailing = false;
}

QPoint PopupPositionBesideOwner(QSize popup, const QRect& owner, const QRect& workArea)
{
    // Right and bottom edges are exclusive here (x + width), unlike QRect::right().
    const int ownerRight = owner.x() + owner.width();
    const int ownerBottom = owner.y() + owner.height();
    const int areaRight = workArea.x() + workArea.width();
    const int areaBottom = workArea.y() + workArea.height();
    const int roomRight = areaRight - ownerRight;
    const int roomDown = areaBottom - owner.y();
    const int x = roomRight >= popup.width()
                      ? ownerRight - CTavroRemindDlg::kOverlap
                      : owner.x() - popup.width() + CTavroRemindDlg::kOverlap;
    const int y = roomDown >= popup.height() ? owner.y() : ownerBottom - popup.height();
    return {x, y};
}

std::wstring FiguresWithLineBreaks(std::wstring text)
{
    for (wchar_t& c : text)
        if (c == L'\xFF0C')
            c = L'\n';
    return text;
}

std::wstring DayPicturePath(const std::wstring& programDir, int day)
{
    wchar_t tail[64];
    std::swprintf(tail, sizeof tail / sizeof tail[0], kPictureTailFormat, day);
    return programDir + tail;
}

int CTavroRemindDlg::OnCreate()
{
    m_pForm = AttachForm(m_skin, L"Main16", this);
    auto find = [this](const wchar_t* name) {
        return FindControl(m_pForm, SKIN_ANY_CONTROL, name, true);
    };
    m_pPicture = find(L"frmPic1");
    m_pWeekLabel = find(L"StaWeek");
    for (int i = 0; i < 7; ++i)
        m_pDayLabels[i] = find((L"StaDay" + std::to_wstring(i + 1)).c_str());
    m_pTitleLabel = find(L"StaTitle");
    m_pContentEdit = find(L"EditContent");
    m_pScrollBar = find(L"ScrollBar1");
    m_formSize = GetWindowRect().size();
    return 0;
}

LRESULT CTavroRemindDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    switch (message) {
    case WM_SHOWWINDOW:
        result = CWnd::WindowProc(message, wParam, lParam);
        if (wParam && !m_bFilling) {
            PlaceBesideOwner();
            FillContent();
        }
        break;
    case WM_MOUSELEAVE:
        // The widget decides whether the popup goes. The pointer "leaves" when the popup's
        // own message box takes it; that is no leaving, and the popup must outlive the box.
        if (!m_bFilling)
            ::PostMessage(SafeHwnd(GetOwner()), WM_MOUSELEAVE, 0, 0);
        result = CWnd::WindowProc(message, wParam, lParam);
        break;
    default:
        result = CWnd::WindowProc(message, wParam, lParam);
        break;
    }
    if (message == WM_MOUSEMOVE && IsWindow())
        TrackMouseEvent(TME_HOVER | TME_LEAVE, kHoverTimeMs);
    return result;
}

void CTavroRemindDlg::PlaceBesideOwner()
{
    const CWnd* owner = GetOwner();
    if (!owner)
        return;
    const QRect area = GetWorkArea();
    const QSize size = m_formSize.isValid() ? m_formSize : GetWindowRect().size();
    const QPoint pos = PopupPositionBesideOwner(size, owner->GetWindowRect(), area);
    const QRect placed = FitInWorkArea(QRect(pos, size), area);
    const UINT keepSize = placed.size() == GetWindowRect().size() ? SWP_NOSIZE : 0;
    SetWindowPos(HWND_TOP, placed.x(), placed.y(), placed.width(), placed.height(),
                 keepSize | SWP_NOACTIVATE);
}

void CTavroRemindDlg::FillContent()
{
    // The message boxes below run a nested event loop, in which the widget may destroy this
    // window; the object itself stays until this handler has returned, but once the window
    // is gone nothing more is written into it. Every text is in place before any box
    // appears, so a broken picture or figure query never hides the day's content.
    m_bFilling = true;
    struct Done
    {
        bool& flag;
        ~Done() { flag = false; }
    } done{m_bFilling};

    const CTavroAppData& app = TheApp();
    const QImage picture = LoadPicture(DayPicturePath(app.programDir, app.daysPregnant));
    SetPictureBitmap(m_pPicture, picture);
    SetControlLabel(m_pPicture, std::to_wstring(app.daysPregnant));

    SetLabelText(m_pWeekLabel, std::to_wstring(app.pregnancyWeek - 1));

    for (int i = 1; i <= 7; ++i) {
        const int shown = i == app.dayOfWeek ? -1 : 0;
        ShowControl(m_pDayLabels[i - 1], shown, shown, shown);
    }

    SetEditText(m_pContentEdit, GetTipOfDay(m_tips, app));
    SetScrollPosition(m_pScrollBar, 0, true, true);

    // A failed figures query shows its own box before it returns.
    const bool tellFigures = !g_figuresToldFailing;
    const std::wstring raw = GetBabyOfWeek(m_tips, app, tellFigures);
    g_figuresToldFailing = raw == kQueryFailed;
    if (!IsWindow())
        return;
    SetLabelText(m_pTitleLabel, FiguresWithLineBreaks(raw));

    if (picture.isNull() && g_pictureToldDay != app.daysPregnant) {
        g_pictureToldDay = app.daysPregnant;
        CurrentServices().messageBox->Show(kBitmapFailed, kCaption, BoxIcon::Warning);
    } else if (!picture.isNull()) {
        g_pictureToldDay.reset();
    }
}
