#pragma once

// The main window: a fixed-size skinned window (cut to the work area of a smaller screen,
// its page area with it) whose body is a web page, either the
// desktop server's page for the user's due date and machine or the mobile site. Every
// show loads the page anew and covers the wait with the loading window, which goes away
// when the page is complete (loaded, or failed and replaced by our own error page).

#include "web/explorer.h"
#include "web/main_dlg_base.h"

#include <QString>

#include <cstdint>
#include <string>

class CImpIDispatch;
class CTavroAppData;
class CTavroMainLoadingDlg;
class SkinEngine;
class SkinForm;
class SkinControl;

// The address a show navigates to. PAGE_DATED: the desktop server's dated page with the
// due date's year, month (1-12) and day (0 each when the time cannot be converted) and the
// machine text, joined by doubled ampersands; PAGE_MOBILE: the mobile site; any other mode
// the empty address.
QString MainPageAddress(int pageMode, std::int64_t dueTime, const std::wstring& macText,
                        const std::wstring& desktopServer, const std::wstring& mobileSite);

class CTavroMainDlg : public CTavroMainDlgBase
{
public:
    static constexpr int kWidth = 601;
    static constexpr int kHeight = 630;
    static constexpr int IDC_BROWSER = 1000;
    // Posted to itself after a show: the loading window goes back above the main window,
    // which was made visible after it.
    static constexpr UINT WM_RAISE_LOADING = WM_USER + 200;

    // Drawn with `skin`; the page's script reaches `dispatch`. Both outlive the window.
    CTavroMainDlg(CTavroAppData& app, SkinEngine* skin, CImpIDispatch* dispatch);
    ~CTavroMainDlg() override;

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    // The skin objects, set at creation; they belong to the skin library.
    SkinForm* m_pForm = nullptr;
    SkinControl* m_pBtnClose = nullptr;
    SkinControl* m_pBtnMin = nullptr;
    SkinControl* m_pBtnSet = nullptr;
    SkinControl* m_pWebHolder = nullptr;
    CExplorer1 m_browser;
    CTavroMainLoadingDlg* m_pLoadingDlg = nullptr;
    int m_nSizeNudge = 1;
    int m_nWidth = 0;
    int m_nHeight = 0;

protected:
    int OnCreate() override;
    void OnDestroy() override;

private:
    void OnShow();
    void OnHide();
    void OnSizeNudge();
    LRESULT OnSkinClick(WPARAM control);
    void OnPageComplete();
    void ShowFailure(const wchar_t* text) const;

    CTavroAppData& m_app;
    SkinEngine* m_skin;
    CImpIDispatch* m_dispatch;
};
