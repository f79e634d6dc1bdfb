// The reminder popup, on every show, runs both database queries and decodes the day's
// picture. Goal: the three together well under 20 ms. Runs on the staged content.

#include "remind/tip_database.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QImage>
#include <QImageReader>
#include <QString>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

const std::wstring kProgramDir = std::filesystem::path(TAVRO_STAGE_DIR).wstring();
constexpr int kDay = 180;
constexpr int kWeek = 26;
// The database the benchmarks read, opened by main.
CTipDatabase* g_db = nullptr;

QImage DecodePicture(int day)
{
    QImageReader reader(QString::fromStdString(std::string(TAVRO_STAGE_DIR) + "/Release/data/pic/" +
                                               std::to_string(day) + ".jpg"));
    return reader.read();
}

void BM_QueryTip(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(g_db->QueryTip(kDay));
}
BENCHMARK(BM_QueryTip)->Unit(benchmark::kMicrosecond);

void BM_QueryBaby(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(g_db->QueryBaby(kWeek));
}
BENCHMARK(BM_QueryBaby)->Unit(benchmark::kMicrosecond);

void BM_DecodePicture(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(DecodePicture(kDay));
}
BENCHMARK(BM_DecodePicture)->Unit(benchmark::kMicrosecond);

// Everything one show of the popup reads.
void BM_PopupContent(benchmark::State& state)
{
    for (auto _ : state) {
        benchmark::DoNotOptimize(g_db->QueryBaby(kWeek));
        benchmark::DoNotOptimize(g_db->QueryTip(kDay));
        benchmark::DoNotOptimize(DecodePicture(kDay));
    }
}
BENCHMARK(BM_PopupContent)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    CTipDatabase db(kProgramDir);
    g_db = &db;
    if (db.QueryTip(kDay).empty() || db.QueryTip(kDay) == L"false" ||
        DecodePicture(kDay).isNull()) {
        std::fprintf(stderr, "bench_remind: the staged content under %s is missing\n",
                     TAVRO_STAGE_DIR);
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
