#pragma once

// The widget over its hidden parent, as the program shows it all day, for the benchmarks of
// the windows beside it.

#include "float/float_dlg.h"
#include "remind/tip_database.h"
#include "ui/wnd.h"

#include <cstdio>

struct BenchWidget
{
    CWnd parent;
    CTavroFloatDlg* widget = nullptr;

    // False, with a line naming `bench` on stderr, when the skin's form is missing.
    bool Show(const char* bench, SkinEngine* skin, CTipDatabase& tips)
    {
        parent.CreatePopup(nullptr);
        widget = new CTavroFloatDlg(skin, tips);
        if (!widget->CreatePopup(&parent)) {
            std::fprintf(stderr, "%s: the widget's skin form is missing\n", bench);
            return false;
        }
        widget->ShowWindow(SW_SHOW);
        return true;
    }

    // Before the skin and the application object go.
    void Close()
    {
        if (widget)
            widget->DestroyWindow();
        delete widget;
        widget = nullptr;
        parent.DestroyWindow();
        ReleaseDestroyedWindows();
    }
};
