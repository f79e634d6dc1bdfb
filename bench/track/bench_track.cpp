// From the menu's command to the movement counter or the contraction timer shown and
// filled (goal: under 100 ms), with two weeks of sessions and an hour of contractions in
// the records; and the resident memory both windows add to the widget (goal: 5 MB at most).
// Here inside one process beside the widget; memory.sh measures the real program under
// Xvfb, state by state, runs the opening benchmarks there, and passes records to it with
// "--fill-records PROGRAM_DIR".

#include "bench_widget.h"
#include "float/float_dlg.h"
#include "process_memory.h"
#include "profile/app_data.h"
#include "remind/tip_database.h"
#include "skin/skin.h"
#include "track/contraction_dlg.h"
#include "track/kick_dlg.h"
#include "track/track_book.h"
#include "ui/ui_services.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QWidget>
#include <QWindow>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

namespace {

const std::wstring kStageDir = std::filesystem::path(TAVRO_STAGE_DIR).wstring();

struct Setup
{
    CTavroAppData app;
    BenchWidget desk;
    SkinEngine* skin = nullptr;
    TrackBook* book = nullptr;
};

Setup* g_setup = nullptr;

bool WaitUntilExposed(QWidget* widget)
{
    QElapsedTimer waited;
    waited.start();
    QApplication::processEvents();
    while (!widget->windowHandle() || !widget->windowHandle()->isExposed()) {
        if (waited.elapsed() > 5000)
            return false;
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    }
    QApplication::processEvents();
    return true;
}

template <typename T> void OpenAndClose(benchmark::State& state)
{
    for (auto _ : state) {
        auto* wnd = new T(g_setup->skin, *g_setup->book, g_setup->app);
        if (!wnd->CreatePopup(&g_setup->desk.parent))
            state.SkipWithError("the form is missing");
        wnd->Present();
        // Shown means on the screen and drawn: under X the window is exposed, and drawn
        // at once, only once the server has mapped it.
        if (!WaitUntilExposed(wnd->GetWidget()))
            state.SkipWithError("the window was never exposed");
        state.PauseTiming();
        wnd->DestroyWindow();
        delete wnd;
        QApplication::processEvents();
        ReleaseDestroyedWindows();
        state.ResumeTiming();
    }
}
// The first opening of each after the start, before any of their text was ever drawn.
BENCHMARK_TEMPLATE(OpenAndClose, CTavroKickDlg)
    ->Name("FirstOpen<CTavroKickDlg>")
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(OpenAndClose, CTavroContractionDlg)
    ->Name("FirstOpen<CTavroContractionDlg>")
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(OpenAndClose, CTavroKickDlg)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(OpenAndClose, CTavroContractionDlg)->Unit(benchmark::kMillisecond);

// Both windows open beside the widget, against the widget alone; reported as a counter.
// The openings above have already drawn their text, so the fonts' share is left out here:
// memory.sh gives the whole of it.
void BM_MemoryAboveWidget(benchmark::State& state)
{
    long above = 0;
    for (auto _ : state) {
        QApplication::processEvents();
        const long before = ResidentKiB();
        CTavroKickDlg kick(g_setup->skin, *g_setup->book, g_setup->app);
        CTavroContractionDlg timer(g_setup->skin, *g_setup->book, g_setup->app);
        kick.CreatePopup(&g_setup->desk.parent);
        timer.CreatePopup(&g_setup->desk.parent);
        kick.Present();
        timer.Present();
        QApplication::processEvents();
        above = ResidentKiB() - before;
        kick.DestroyWindow();
        timer.DestroyWindow();
        QApplication::processEvents();
        ReleaseDestroyedWindows();
    }
    state.counters["rss_above_widget_MiB"] = static_cast<double>(above) / 1024.0;
}
BENCHMARK(BM_MemoryAboveWidget)->Iterations(1)->Unit(benchmark::kMillisecond);

void FillRecords(TrackRecords& records)
{
    const std::int64_t now = std::time(nullptr);
    for (int day = 14; day >= 1; --day) {
        for (int press = 0; press < 10; ++press)
            records.PressKick(now - day * 86400 + press * 70);
    }
    for (int i = 0; i < 13; ++i) {
        records.ToggleContraction(now - 3600 + i * 280);
        records.ToggleContraction(now - 3600 + i * 280 + 55);
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::string(argv[1]) == "--fill-records") {
        TrackRecords records;
        if (records.Open(std::string(argv[2]) + "/Release/conf/records.db") !=
            TrackRecords::OpenState::Opened)
            return 1;
        FillRecords(records);
        return 0;
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication qtApp(argc, argv);
    char folder[] = "/tmp/tavro-bench-track-XXXXXX";
    if (!mkdtemp(folder))
        return 1;
    const std::filesystem::path programDir(folder);
    std::filesystem::create_directories(programDir / "Release/conf");

    static Setup setup;
    g_setup = &setup;
    setup.app.programDir = programDir.wstring();
    setup.skin =
        OpenSkinW(kStageDir + L"/Skin/RizIrozara.dui", kStageDir + L"/Skin/Default.skn", 0, 0, 0);
    setup.app.daysPregnant = 265;
    setup.app.pregnancyWeek = 38;
    SetTheApp(&setup.app);
    TrackBook book(setup.app.programDir);
    setup.book = &book;
    if (TrackRecords* records = book.Records())
        FillRecords(*records);
    CTipDatabase tips(setup.app.programDir);
    if (!setup.desk.Show("bench_track", setup.skin, tips))
        return 1;
    QApplication::processEvents();

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    setup.desk.Close();
    FreeSkin();
    SetTheApp(nullptr);
    std::filesystem::remove_all(programDir);
    return 0;
}
