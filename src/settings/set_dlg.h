#pragma once

// The settings window "设置Tavro": changes the due date after setup. It is hidden, not
// destroyed, when closed, and shows the stored date each time it opens.

#include "profile/app_data.h"
#include "settings/date_dlg_base.h"

class CTavroSetDlg : public CTavroDateDlgBase
{
public:
    CTavroSetDlg(SkinEngine* skin, CTavroAppData& app);

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

protected:
    int OnCreate() override;
    LRESULT OnClick(WPARAM control) override;

private:
    void OnShowWindow();
};
