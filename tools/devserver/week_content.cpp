#include "week_content.h"

#include <cstdio>

namespace devserver {
namespace {

struct Figures
{
    double lengthCm;
    int weightG;
};

// Weeks 8 to 40 of one growth chart, used whole so that the figures agree with each other:
// crown-to-rump length up to week 19, crown-to-heel from week 20. Weeks 25 to 27 are smoothed
// between weeks 24 and 28, where the chart joins two sources.
constexpr Figures kFigures[] = {
    {1.6, 1},     {2.3, 2},     {3.1, 4},     {4.1, 7},     {5.4, 14},    {7.4, 23},
    {8.7, 43},    {10.1, 70},   {11.6, 100},  {13.0, 140},  {14.2, 190},  {15.3, 240},
    {25.6, 300},  {26.7, 360},  {27.8, 430},  {28.9, 500},  {30.0, 600},  {31.9, 680},
    {33.8, 770},  {35.7, 875},  {37.6, 1005}, {38.6, 1153}, {39.9, 1319}, {41.1, 1502},
    {42.4, 1702}, {43.7, 1918}, {45.0, 2146}, {46.2, 2383}, {47.4, 2622}, {48.6, 2859},
    {49.8, 3083}, {50.7, 3288}, {51.2, 3462}};
constexpr int kFirstFigureWeek = 8;

constexpr const char* kEarlyWeeks[] = {
    "这一周还在受孕之前，身体正在为排卵悄悄做准备。",
    "卵泡渐渐成熟，排卵大约在第 14 天前后。",
    "受精大约发生在这一周，受精卵一边分裂，一边游向子宫。",
    "胚胎在子宫内膜上着床，只有约 0.1 到 0.2 毫米。",
    "胚胎约 1 到 2 毫米，原始的心管正在形成。",
    "胚胎约 4 到 6 毫米，超声检查也许已能看到心跳。",
    "胚胎约 1 厘米，小脸和四肢的雏形正在出现。",
};

struct CheckUp
{
    int fromWeek; // completed weeks, inclusive
    int toWeek;
    const char* text;
};

// Common check-ups by week as practised in mainland China; the doctor decides.
constexpr CheckUp kCheckUps[] = {
    {6, 8, "第一次产检和建档"},
    {11, 13, "NT 超声检查（11 周到 13 周 6 天），有的医院同时做早孕期血清筛查"},
    {12, 22, "无创 DNA 产前筛查（NIPT）一般在 12 周到 22 周 6 天之间"},
    {15, 20, "中孕期血清学筛查（15 周到 20 周 6 天）"},
    {20, 24, "系统超声检查（大排畸），一般在 20 到 24 周"},
    {24, 28, "葡萄糖耐量试验（OGTT），一般在 24 到 28 周"},
    {27, 36, "百日咳疫苗（在提供的地区，约 27 到 36 周）"},
    {28, 35, "从 28 周起每两周产检一次"},
    {32, 42, "约 32 到 34 周起开始胎心监护"},
    {35, 37, "B 族链球菌筛查（在提供的地区，35 到 37 周）"},
    {36, 42, "从 36 周起每周产检一次"},
};

} // namespace

std::string WeekDevelopment(int week)
{
    if (week < 1 || week > 40)
        return {};
    if (week < kFirstFigureWeek)
        return kEarlyWeeks[week - 1];
    const Figures& f = kFigures[week - kFirstFigureWeek];
    char text[160];
    std::snprintf(text, sizeof text, "%s约 %.1f 厘米，体重约 %d 克。",
                  week < 20 ? "顶臀长" : "身长", f.lengthCm, f.weightG);
    std::string out = text;
    if (week >= 10)
        out += "这些都是平均数，每个宝宝都按自己的节奏长大。";
    return out;
}

std::vector<std::string> CheckUps(int completedWeeks)
{
    std::vector<std::string> out;
    for (const CheckUp& c : kCheckUps) {
        if (completedWeeks >= c.fromWeek && completedWeeks <= c.toWeek)
            out.emplace_back(c.text);
    }
    return out;
}

} // namespace devserver
