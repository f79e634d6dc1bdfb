// A window built on the framework and the skin, for the end-to-end test of real pointer
// input: it binds the due-date form, asks for mouse tracking on every move and prints the
// messages it receives, one per line, naming the control of skin notifications.

#include "skin/skin.h"
#include "ui/wnd.h"

#include <QApplication>
#include <QWidget>

#include <cstdio>
#include <string>

namespace {

class ProbeWindow : public CWnd
{
public:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        switch (message) {
        case WM_MOUSEMOVE:
            if (!m_bMoved)
                Print("move");
            m_bMoved = true;
            TrackMouseEvent();
            break;
        case WM_MOUSEHOVER:
            Print("hover");
            break;
        case WM_MOUSELEAVE:
            Print("leave");
            m_bMoved = false;
            break;
        case WM_RBUTTONUP:
            Print("rbuttonup");
            break;
        case WM_SKIN_PRESS:
            Print("press " + Name(wParam));
            return 1;
        case WM_SKIN_CLICK:
            Print("click " + Name(wParam));
            return 1;
        default:
            break;
        }
        return CWnd::WindowProc(message, wParam, lParam);
    }

    int OnCreate() override
    {
        m_pForm = AttachForm(m_pEngine, L"Main18", this);
        m_pButton = FindControl(m_pForm, SKIN_ANY_CONTROL, L"btnGo", true);
        ShowControl(m_pButton, -1, -1, -1);
        PassMessage(m_pForm, WM_RBUTTONUP);
        return m_pForm ? 0 : -1;
    }

    SkinEngine* m_pEngine = nullptr;
    SkinForm* m_pForm = nullptr;
    SkinControl* m_pButton = nullptr;

private:
    std::string Name(WPARAM control) const
    {
        return reinterpret_cast<SkinControl*>(control) == m_pButton ? "btnGo" : "other";
    }
    static void Print(const std::string& line)
    {
        std::printf("%s\n", line.c_str());
        std::fflush(stdout);
    }
    bool m_bMoved = false;
};

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: window_probe SKIN_DIR\n");
        return 2;
    }
    QApplication app(argc, argv);
    const std::wstring skin = QString::fromLocal8Bit(argv[1]).toStdWString();
    ProbeWindow probe;
    probe.m_pEngine = OpenSkinW(skin + L"/RizIrozara.dui", skin + L"/Default.skn", 0, 0, 0);
    if (!probe.CreatePopup(nullptr))
        return 1;
    probe.SetWindowPos(HWND_TOP, 100, 100, 0, 0, SWP_NOSIZE);
    probe.ShowWindow(SW_SHOW);
    QApplication::processEvents();
    const QRect window = probe.GetWindowRect();
    const QWidget* button = GetControlWidget(probe.m_pButton);
    const QPoint buttonCentre = button->mapToGlobal(button->rect().center());
    std::printf("ready %d %d %d %d button %d %d\n", window.x(), window.y(), window.width(),
                window.height(), buttonCentre.x(), buttonCentre.y());
    std::fflush(stdout);
    const int code = app.exec();
    FreeSkin();
    return code;
}
