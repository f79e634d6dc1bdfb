#pragma once

// "宫缩计时": one button marks each contraction's start and end. The list shows every
// contraction of the series with its length and the interval from the one before; above
// it, the last hour's figures and, when they call for it, the banner to go to hospital.

#include "track/track_dlg_base.h"

#include <QString>

class CTavroContractionDlg : public CTrackDlgBase
{
public:
    static const QString kTitle;

    CTavroContractionDlg(SkinEngine* skin, TrackBook& book, CTavroAppData& app);

    SkinControl* m_pBtnToggle = nullptr;
    SkinControl* m_pBtnClear = nullptr;
    SkinControl* m_pLblBanner = nullptr;
    SkinControl* m_pLblStats = nullptr;
    SkinControl* m_pLblCurrent = nullptr;
    SkinControl* m_pEditList = nullptr;

protected:
    int OnCreate() override;
    void OnClick(SkinControl* control) override;
    void Refresh() override;

private:
    void OnToggle();
    void OnClear();

    std::size_t m_shownRows = static_cast<std::size_t>(-1);
    std::int64_t m_shownLast = -1;
};
