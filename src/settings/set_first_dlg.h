#pragma once

// The first-run setup window: asks for the due date once, stores it in the calendar and
// tells the parent window, which saves the profile and brings up the rest of the program.

#include "profile/app_data.h"
#include "settings/date_dlg_base.h"

class CTavroSetFirstDlg : public CTavroDateDlgBase
{
public:
    CTavroSetFirstDlg(SkinEngine* skin, CTavroAppData& app);

    // There is no way out of setup but confirming: closing the window or Escape would
    // leave the program running with nothing on the screen.
    void OnCancel() override {}

protected:
    int OnCreate() override;

    LRESULT OnClick(WPARAM control) override;
};
