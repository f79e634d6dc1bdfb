#include "track/kick_dlg.h"

#include "host/services.h"
#include "host/text_codec.h"
#include "profile/app_data.h"
#include "skin/skin.h"
#include "track/kick_chart.h"
#include "track/track_book.h"
#include "track/track_prompts.h"

#include <algorithm>
#include <cmath>

namespace {

std::wstring Minutes(double seconds)
{
    return std::to_wstring(static_cast<long long>(std::lround(seconds / 60)));
}

QString DayLabel(std::int64_t time)
{
    return QString::fromStdString(LocalTimeText(time, "%-m/%-d"));
}

} // namespace

const QString CTavroKickDlg::kTitle = QStringLiteral("数胎动");

CTavroKickDlg::CTavroKickDlg(SkinEngine* skin, TrackBook& book, CTavroAppData& app)
    : CTrackDlgBase(skin, book, app)
{}

int CTavroKickDlg::OnCreate()
{
    if (!BindForm(L"Kick1", kTitle, {L"btnKick", L"btnExport", L"btnDone"}))
        return -1;
    m_pBtnKick = Control(L"btnKick");
    m_pPrimary = m_pBtnKick;
    m_pLblCount = Control(L"lblCount");
    m_pLblElapsed = Control(L"lblElapsed");
    m_pLblStatus = Control(L"lblStatus");
    m_pLblWarning = Control(L"lblWarning");
    m_pChart = new KickChart;
    BindWindow(Control(L"chartHolder"), m_pChart);
    ShowBoundWindow(Control(L"chartHolder"), m_pChart);
    return 0;
}

void CTavroKickDlg::OnClick(SkinControl* control)
{
    if (control == m_pBtnKick)
        OnKick();
}

void CTavroKickDlg::OnKick()
{
    TrackRecords* records = m_book.Records();
    if (!records)
        return;
    // A session whose two hours are over ends first; this press then starts a new one.
    m_book.CheckKickSession();
    if (!IsWindow())
        return;
    const auto session = records->PressKick(CurrentServices().clock->Now());
    if (session)
        qCInfo(lcTrack).noquote() << "kick session" << session->id << "count" << session->count;
    m_book.CheckKickSession();
    ShowChange(session.has_value(), L"这次胎动没能保存，请再按一次。");
}

void CTavroKickDlg::OnCancel()
{
    TrackRecords* records = m_book.Records();
    const auto running = records ? records->RunningKickSession() : std::nullopt;
    if (running) {
        const bool keep = CurrentTrackPrompts().Confirm(
            L"正在数胎动（已数 " + std::to_wstring(running->count) +
                L" 次）。\n关闭窗口后继续计时吗？重新打开“数胎动”可以接着数。",
            L"继续计时", L"放弃本次");
        if (!keep) {
            records->DiscardKickSession(running->id);
            m_book.CheckKickSession();
        }
    }
    if (IsWindow())
        CTrackDlgBase::OnCancel();
}

void CTavroKickDlg::Refresh()
{
    TrackRecords* records = m_book.Records();
    const std::int64_t now = CurrentServices().clock->Now();
    auto running = records ? records->RunningKickSession() : std::nullopt;
    if (running && KickOutcomeAt(*running, now) == KickOutcome::TimedOut) {
        m_book.CheckKickSession(); // ends it and tells her
        if (!IsWindow())
            return;
        running = records->RunningKickSession();
    }
    RefreshHistory();
    if (running) {
        SetText(m_pLblCount, std::to_wstring(running->count) + L" / 10");
        SetText(m_pLblElapsed, L"已用时 " + Utf8ToWide(DurationText(now - running->started)) +
                                   L"（从 " + Utf8ToWide(LocalClockText(running->started)) +
                                   L" 开始）");
        SetText(m_pLblStatus, L"每感到一次胎动就按一下（空格或回车）");
        ShowControl(m_pLblWarning, 0, -1, -1);
        SetLabelText(m_pBtnKick, L"动了一下");
        return;
    }
    SetText(m_pLblCount, L"0 / 10");
    SetText(m_pLblElapsed, L"按下按钮开始计时");
    SetText(m_pLblStatus, L"");
    ShowControl(m_pLblWarning, 0, -1, -1);
    if (!records)
        return;
    // The last session of today, when there is one, stays in view with its result.
    const std::vector<KickSession> recent = records->KickSessionsSince(LocalDayStart(now));
    if (!recent.empty()) {
        const std::vector<KickSession> all = records->KickSessionsSince(0);
        std::vector<KickSession> earlier(all.begin(), all.end() - 1);
        ShowFinished(all.back(), earlier);
    }
}

void CTavroKickDlg::ShowFinished(const KickSession& session,
                                 const std::vector<KickSession>& earlier)
{
    if (session.outcome == KickOutcome::TimedOut) {
        SetText(m_pLblCount, std::to_wstring(session.count) + L" / 10");
        SetText(m_pLblElapsed, L"上次：2小时内不满10次（" +
                                   Utf8ToWide(LocalClockText(session.started)) + L" 开始）");
        SetText(m_pLblWarning, L"2小时内胎动不满10次，" + std::wstring(kGoToHospital) + L"。");
        ShowControl(m_pLblWarning, -1, -1, -1);
        return;
    }
    SetText(m_pLblCount, L"10 / 10");
    SetText(m_pLblElapsed, L"上次：" + Utf8ToWide(DurationText(session.Duration())) +
                               L" 数满10次（" + Utf8ToWide(LocalClockText(session.started)) +
                               L" 开始）");
    if (IsSlowerThanUsual(session, earlier)) {
        SetText(m_pLblWarning, L"这次比平时（约 " + Minutes(*UsualKickSeconds(earlier)) +
                                   L" 分钟）慢了一倍多，" + kGoToHospital + L"。");
        ShowControl(m_pLblWarning, -1, -1, -1);
    } else {
        SetText(m_pLblStatus, L"已保存。明天在差不多的时间再数一次。");
    }
}

void CTavroKickDlg::RefreshHistory()
{
    TrackRecords* records = m_book.Records();
    if (!records || !m_pChart)
        return;
    const std::int64_t now = CurrentServices().clock->Now();
    const std::int64_t today = LocalDayStart(now);
    // Midnight 13 days back: noon keeps the step clear of a daylight-saving hour.
    const std::int64_t since = LocalDayStart(today - (kHistoryDays - 1) * 86400 + 12 * 3600);
    const std::vector<KickSession> all = records->KickSessionsSince(0);
    std::vector<KickBar> bars;
    std::vector<KickSession> finished;
    for (const KickSession& s : all) {
        if (s.IsRunning())
            continue;
        if (s.started >= since)
            bars.push_back({static_cast<double>(s.Duration()) / 60.0,
                            s.outcome == KickOutcome::ReachedTen, s.started >= today,
                            DayLabel(s.started)});
        finished.push_back(s);
    }
    const std::optional<double> usual = UsualKickSeconds(finished);
    m_pChart->SetBars(std::move(bars), usual ? std::optional<double>(*usual / 60.0) : std::nullopt);
}
