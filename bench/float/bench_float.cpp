// From the widget's popup timer firing to the reminder popup filled and placed beside it
// (goal: under 20 ms), on the staged program folder and skin. The first show also creates
// the popup and builds its skin form; a later show of the same popup only fills and places.

#include "bench_widget.h"
#include "float/float_dlg.h"
#include "profile/app_data.h"
#include "remind/tip_database.h"
#include "skin/skin.h"
#include "ui/ui_services.h"

#include <benchmark/benchmark.h>

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

const std::wstring kProgramDir = std::filesystem::path(TAVRO_STAGE_DIR).wstring();

// The pointer stays where the widget's leave handling does not keep the popup.
class NowhereCursor : public ICursor
{
public:
    QPoint Pos() const override { return {-1000, -1000}; }
};

struct Setup
{
    CTavroAppData app;
    BenchWidget desk;
};

Setup* g_setup = nullptr;

void FirePopupTimer(CTavroFloatDlg& widget)
{
    widget.SendMessage(WM_MOUSEHOVER);
    widget.SendMessage(WM_TIMER, CTavroFloatDlg::TIMER_POPUP);
}

// Hover, timer: the popup is created, bound, filled and placed. Then the pointer leaves.
void BM_FirstShow(benchmark::State& state)
{
    CTavroFloatDlg& widget = *g_setup->desk.widget;
    for (auto _ : state) {
        FirePopupTimer(widget);
        state.PauseTiming();
        if (!widget.m_pPopup || !widget.m_pPopup->IsWindowVisible())
            state.SkipWithError("the popup did not open");
        widget.SendMessage(WM_MOUSELEAVE);
        QApplication::processEvents();
        ReleaseDestroyedWindows();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_FirstShow)->Unit(benchmark::kMillisecond);

// A popup hidden by a press and shown again after the click: fill and place only.
void BM_ShowAgain(benchmark::State& state)
{
    CTavroFloatDlg& widget = *g_setup->desk.widget;
    FirePopupTimer(widget);
    const auto control = reinterpret_cast<WPARAM>(widget.m_pFrame);
    for (auto _ : state) {
        state.PauseTiming();
        widget.SendMessage(WM_SKIN_PRESS, control);
        widget.SendMessage(WM_SKIN_CLICK, control);
        state.ResumeTiming();
        widget.SendMessage(WM_TIMER, CTavroFloatDlg::TIMER_POPUP);
    }
    widget.SendMessage(WM_MOUSELEAVE);
}
BENCHMARK(BM_ShowAgain)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication qtApp(argc, argv);
    NowhereCursor cursor;
    ScopedUiServices ui(UiServices{nullptr, nullptr, &cursor});

    static Setup setup;
    g_setup = &setup;
    setup.app.programDir = kProgramDir;
    SkinEngine* skin = OpenSkinW(kProgramDir + L"/Skin/RizIrozara.dui",
                                 kProgramDir + L"/Skin/Default.skn", 0, 0, 0);
    setup.app.daysPregnant = 180;
    setup.app.pregnancyWeek = 26;
    setup.app.dayOfWeek = 5;
    SetTheApp(&setup.app);
    CTipDatabase db(kProgramDir);
    if (!db.IsOpen()) {
        std::fprintf(stderr, "bench_float: the staged content under %s is missing\n",
                     TAVRO_STAGE_DIR);
        return 1;
    }
    if (!setup.desk.Show("bench_float", skin, db))
        return 1;

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    setup.desk.Close();
    FreeSkin();
    SetTheApp(nullptr);
    return 0;
}
