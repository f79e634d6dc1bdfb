#include "track/contraction_dlg.h"

#include "host/services.h"
#include "host/text_codec.h"
#include "profile/app_data.h"
#include "skin/skin.h"
#include "track/track_book.h"
#include "track/track_prompts.h"

#include <cmath>

namespace {

std::wstring Seconds(double seconds)
{
    return Utf8ToWide(DurationText(static_cast<std::int64_t>(std::lround(seconds))));
}

} // namespace

const QString CTavroContractionDlg::kTitle = QStringLiteral("宫缩计时");

CTavroContractionDlg::CTavroContractionDlg(SkinEngine* skin, TrackBook& book, CTavroAppData& app)
    : CTrackDlgBase(skin, book, app)
{}

int CTavroContractionDlg::OnCreate()
{
    if (!BindForm(L"Contraction1", kTitle, {L"btnToggle", L"btnClear", L"btnExport", L"btnDone"}))
        return -1;
    m_pBtnToggle = Control(L"btnToggle");
    m_pPrimary = m_pBtnToggle;
    m_pBtnClear = Control(L"btnClear");
    m_pLblBanner = Control(L"lblBanner");
    m_pLblStats = Control(L"lblStats");
    m_pLblCurrent = Control(L"lblCurrent");
    m_pEditList = Control(L"EditList");
    return 0;
}

void CTavroContractionDlg::OnClick(SkinControl* control)
{
    if (control == m_pBtnToggle)
        OnToggle();
    else if (control == m_pBtnClear)
        OnClear();
}

void CTavroContractionDlg::OnToggle()
{
    TrackRecords* records = m_book.Records();
    if (!records)
        return;
    const auto c = records->ToggleContraction(CurrentServices().clock->Now());
    if (c)
        qCInfo(lcTrack).noquote() << "contraction" << c->id
                                  << (c->IsRunning() ? "started" : "ended");
    ShowChange(c.has_value(), L"这次没能保存，请再按一次。");
}

void CTavroContractionDlg::OnClear()
{
    TrackRecords* records = m_book.Records();
    if (!records || records->SeriesContractions(records->CurrentSeries()).empty())
        return;
    if (!CurrentTrackPrompts().Confirm(
            L"清空列表，开始新的一组宫缩计时吗？\n之前的记录仍会保存，可以导出。", L"清空",
            L"取消"))
        return;
    ShowChange(records->StartNewSeries(CurrentServices().clock->Now()),
               L"没能开始新的一组，请再试一次。");
}

void CTavroContractionDlg::Refresh()
{
    TrackRecords* records = m_book.Records();
    const std::int64_t now = CurrentServices().clock->Now();
    const std::vector<Contraction> series =
        records ? records->SeriesContractions(records->CurrentSeries())
                : std::vector<Contraction>{};
    const bool lasting = !series.empty() && series.back().IsRunning();
    SetLabelText(m_pBtnToggle, lasting ? L"宫缩结束" : L"宫缩开始");
    SetText(m_pLblCurrent,
            lasting ? L"本次已持续 " + Utf8ToWide(DurationText(now - series.back().started))
            : series.empty()
                ? L"宫缩开始时按一下，结束时再按一下（空格或回车）"
                : L"距上次开始 " + Utf8ToWide(DurationText(now - series.back().started)));

    const HourFigures hour = FiguresOfLastHour(series, now);
    std::wstring stats = L"近60分钟：" + std::to_wstring(hour.count) + L" 次";
    stats += hour.count >= 2 ? L"，平均间隔 " + Seconds(hour.averageInterval) : L"，平均间隔 --";
    stats +=
        hour.averageLength > 0 ? L"，平均持续 " + Seconds(hour.averageLength) : L"，平均持续 --";
    SetText(m_pLblStats, stats);

    switch (BannerFor(series, now, m_app.daysPregnant)) {
    case LabourBanner::GoToHospital:
        SetText(m_pLblBanner, L"宫缩已经规律：约每5分钟一次、每次约1分钟，持续1小时（5-1-1）。" +
                                  std::wstring(kGoToHospital) + L"。");
        ShowControl(m_pLblBanner, -1, -1, -1);
        break;
    case LabourBanner::Preterm:
        SetText(m_pLblBanner, L"未满37周出现规律宫缩（20分钟4次或1小时8次），" +
                                  std::wstring(kGoToHospital) + L"。");
        ShowControl(m_pLblBanner, -1, -1, -1);
        break;
    case LabourBanner::None:
        ShowControl(m_pLblBanner, 0, -1, -1);
        break;
    }

    // The list changes only with a press; rewriting it every second would reset its scroll.
    const std::int64_t last = series.empty() ? 0 : series.back().ended;
    if (series.size() == m_shownRows && last == m_shownLast)
        return;
    m_shownRows = series.size();
    m_shownLast = last;
    std::wstring list;
    for (std::size_t i = series.size(); i-- > 0;) {
        const Contraction& c = series[i];
        list += L"开始 " + Utf8ToWide(LocalClockText(c.started)) + L"    持续 " +
                (c.IsRunning() ? std::wstring(L"进行中") : Utf8ToWide(DurationText(c.Length()))) +
                L"    间隔 " +
                (i > 0 ? Utf8ToWide(DurationText(c.started - series[i - 1].started)) : L"--") +
                L"\n";
    }
    if (list.empty())
        list = L"还没有记录";
    SetEditText(m_pEditList, list);
}
