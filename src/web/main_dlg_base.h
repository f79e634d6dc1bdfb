#pragma once

// What the parent window knows of the main window: its page mode, which the parent
// writes directly before making the window load the other page.

#include "ui/wnd.h"

constexpr int PAGE_DATED = 1;  // the desktop server's page for the due date and machine
constexpr int PAGE_MOBILE = 2; // the mobile site's home page

class CTavroMainDlgBase : public CWnd
{
public:
    int m_nPageMode = PAGE_DATED;
};
