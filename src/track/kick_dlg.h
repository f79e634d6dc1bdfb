#pragma once

// "数胎动": a big button counts a movement; ten end the session, two hours without ten
// end it with the advice to go to hospital. Below, the last 14 days' sessions beside her
// usual time. A session left running goes on after the window closes: it is in the records.

#include "track/track_dlg_base.h"
#include "track/track_rules.h"

#include <QString>

#include <vector>

class KickChart;

class CTavroKickDlg : public CTrackDlgBase
{
public:
    static const QString kTitle;

    CTavroKickDlg(SkinEngine* skin, TrackBook& book, CTavroAppData& app);

    // Esc, the close button and the window manager's close ask first while a session runs.
    void OnCancel() override;

    SkinControl* m_pBtnKick = nullptr;
    SkinControl* m_pLblCount = nullptr;
    SkinControl* m_pLblElapsed = nullptr;
    SkinControl* m_pLblStatus = nullptr;
    SkinControl* m_pLblWarning = nullptr;
    KickChart* m_pChart = nullptr;

protected:
    int OnCreate() override;
    void OnClick(SkinControl* control) override;
    void Refresh() override;

private:
    void OnKick();
    void RefreshHistory();
    // The status lines after a session ended: its time, and whether it was slow.
    void ShowFinished(const KickSession& session, const std::vector<KickSession>& earlier);
};
