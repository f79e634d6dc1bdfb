// The shipped tips and baby figures, read from data/ and held to what a reader relies on: a
// tip that names a day of pregnancy is shown on that very day, every warning sign sends the
// reader to the doctor at once and in the same words, the weekly figures never shrink, and
// one popup never shows the same words twice.

#include "content_rows.h"

#include "host/file_io.h"

#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kTips = 280;
constexpr std::size_t kWeeks = 40;

// Words that name a warning sign. A tip holding one must also hold one of kActNow.
const std::vector<std::string> kWarningSigns = {
    "阴道出血", "阴道流血", "见红",         "出血量",       "出血像月经", "流液",
    "破水",     "液体流出", "液体持续流出", "剧烈",         "持续的腹痛", "头痛",
    "视物模糊", "眼花",     "突然肿",       "突然红肿",     "发热",       "胎动明显减少",
    "胎动减少", "规律宫缩", "规律的宫缩",   "宫缩变得规律", "规律地发紧", "规律的下腹发紧",
};
const std::vector<std::string> kActNow = {"立即联系医生", "立即去医院"};

std::size_t Characters(const std::string& text)
{
    std::size_t count = 0;
    for (const char c : text)
        count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return count;
}

bool Contains(const std::string& text, const std::string& words)
{
    return text.find(words) != std::string::npos;
}

// The days of pregnancy a text names as "X周+Y天", that is 7X+Y each.
std::vector<int> NamedDays(const std::string& text)
{
    static const std::regex pattern("([0-9]+)周\\+([0-9]+)天");
    std::vector<int> days;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), pattern);
         it != std::sregex_iterator(); ++it)
        days.push_back(7 * std::stoi((*it)[1]) + std::stoi((*it)[2]));
    return days;
}

// The first warning sign a tip names without saying to act now; empty when there is none.
std::string WarningWithoutActNow(const std::string& tip)
{
    for (const std::string& now : kActNow)
        if (Contains(tip, now))
            return {};
    for (const std::string& sign : kWarningSigns)
        if (Contains(tip, sign))
            return sign;
    return {};
}

// A week's figures; a negative value is a figure the text does not give.
struct Figures
{
    double lengthFromCm = -1;
    double lengthToCm = -1;
    double weightG = -1;
};

Figures ReadFigures(const std::string& row)
{
    static const std::regex length("约([0-9.]+)(?:至([0-9.]+))?(毫米|厘米)");
    static const std::regex weight("体重约([0-9]+)克");
    Figures figures;
    std::smatch match;
    if (std::regex_search(row, match, length)) {
        const double toCm = match[3] == "毫米" ? 0.1 : 1.0;
        figures.lengthFromCm = std::stod(match[1]) * toCm;
        figures.lengthToCm = match[2].matched ? std::stod(match[2]) * toCm : figures.lengthFromCm;
    }
    if (std::regex_search(row, match, weight))
        figures.weightG = std::stod(match[1]);
    return figures;
}

// One message for each week (counted from 1) whose length or weight is below an earlier one.
std::vector<std::string> ShrinkingFigures(const std::vector<std::string>& rows)
{
    std::vector<std::string> faults;
    Figures largest;
    for (std::size_t week = 1; week <= rows.size(); ++week) {
        const Figures figures = ReadFigures(rows[week - 1]);
        const auto check = [&](double value, double& most, const char* what) {
            if (value < 0)
                return;
            if (value < most)
                faults.push_back("week " + std::to_string(week) + ": " + what + " shrinks");
            most = std::max(most, value);
        };
        check(figures.lengthFromCm, largest.lengthFromCm, "length");
        check(figures.lengthToCm, largest.lengthToCm, "length");
        check(figures.weightG, largest.weightG, "weight");
    }
    return faults;
}

// The pieces of a week's baby text, figures aside, that a tip repeats word for word.
std::vector<std::string> RepeatedBabyPieces(const std::string& tip, const std::string& baby)
{
    static const std::string comma = "，";
    std::vector<std::string> repeated;
    std::size_t start = 0;
    while (start <= baby.size()) {
        std::size_t end = baby.find(comma, start);
        if (end == std::string::npos)
            end = baby.size();
        const std::string piece = baby.substr(start, end - start);
        if (!Contains(piece, "约") && Characters(piece) >= 6 && Contains(tip, piece))
            repeated.push_back(piece);
        start = end + comma.size();
    }
    return repeated;
}

// Each sentence of at least eight characters, with the days (from 1) whose tips hold it.
std::map<std::string, std::vector<int>> SentencesByDay(const std::vector<std::string>& tips)
{
    static const std::regex end("。|！|？|；");
    std::map<std::string, std::vector<int>> days;
    for (std::size_t day = 1; day <= tips.size(); ++day) {
        const std::string& tip = tips[day - 1];
        for (auto it = std::sregex_token_iterator(tip.begin(), tip.end(), end, -1);
             it != std::sregex_token_iterator(); ++it)
            if (Characters(*it) >= 8)
                days[*it].push_back(static_cast<int>(day));
    }
    return days;
}

std::vector<std::string> ShippedRows(const std::string& file, std::size_t count)
{
    const std::string path = std::string(TAVRO_SOURCE_DIR) + "/data/" + file;
    const std::string text = ReadWholeFile(path, kMaxContentFileBytes).value_or("");
    EXPECT_FALSE(text.empty()) << path;
    ContentRows rows = CheckContentRows(text, count, file);
    EXPECT_TRUE(rows.Ok()) << ::testing::PrintToString(rows.errors);
    rows.rows.resize(count);
    return rows.rows;
}

TEST(ContentRules, CatchTheFaultsTheyLookFor)
{
    EXPECT_EQ(NamedDays("今天是14周+0天，这个阶段会持续到41周之前"), std::vector<int>{98});
    EXPECT_EQ(NamedDays("孕11周+0天到13周+6天"), (std::vector<int>{77, 97}));
    EXPECT_EQ(NamedDays("孕0周+1天"), std::vector<int>{1});

    const std::vector<std::pair<std::string, std::string>> warnings = {
        {"早期若有阴道出血，请及时就医。", "阴道出血"},
        {"胎动明显减少时，请告诉医生。", "胎动明显减少"},
        {"如果宫缩变得规律、伴有疼痛，请立即就医。", "宫缩变得规律"},
        {"早期若有阴道出血，请立即联系医生。", ""},
        {"破水不论何时，都请立即去医院。", ""},
        {"刷牙出血在孕期很常见，换一把软毛牙刷。", ""},
    };
    for (const auto& [tip, sign] : warnings)
        EXPECT_EQ(WarningWithoutActNow(tip), sign) << tip;

    // Millimetres and centimetres compare as lengths; the first weight is no decrease.
    EXPECT_TRUE(ShrinkingFigures({"着床", "大小约0.1至0.2毫米", "长约0.1至0.2厘米",
                                  "顶臀长约1.6厘米，体重约1克", "顶臀长约2.3厘米，体重约2克"})
                    .empty());
    EXPECT_EQ(ShrinkingFigures({"身长约30.0厘米，体重约600克", "身长约29.0厘米，体重约660克",
                                "身长约31.0厘米，体重约650克"}),
              (std::vector<std::string>{"week 2: length shrinks", "week 2: length shrinks",
                                        "week 3: weight shrinks"}));
    EXPECT_EQ(ShrinkingFigures({"大小约2毫米", "长约0.1厘米"}),
              (std::vector<std::string>{"week 2: length shrinks", "week 2: length shrinks"}));

    EXPECT_EQ(RepeatedBabyPieces("这周，宝宝的小手小脚正在成形。",
                                 "顶臀长约1.6厘米，体重约1克，小手小脚正在成形，手指开始分开"),
              std::vector<std::string>{"小手小脚正在成形"});
    EXPECT_TRUE(
        RepeatedBabyPieces("顶臀长约1.6厘米是平均值。", "顶臀长约1.6厘米，体重约1克").empty());

    const auto sentences =
        SentencesByDay({"预产期只是估算的日子。今天放松一下！", "预产期只是估算的日子；别急。"});
    EXPECT_EQ(sentences.at("预产期只是估算的日子"), (std::vector<int>{1, 2}));
}

TEST(ShippedContent, EveryTipFitsThePopupAndNamesOnlyItsOwnDay)
{
    const std::vector<std::string> tips = ShippedRows("tips.txt", kTips);
    for (std::size_t day = 1; day <= tips.size(); ++day) {
        const std::string& tip = tips[day - 1];
        EXPECT_GE(Characters(tip), 60u) << "day " << day << ": " << tip;
        EXPECT_LE(Characters(tip), 85u) << "day " << day << ": " << tip;
        for (const int named : NamedDays(tip))
            EXPECT_EQ(named, static_cast<int>(day)) << "day " << day << ": " << tip;
    }
}

TEST(ShippedContent, EveryWarningSignSaysToActNow)
{
    const std::vector<std::string> tips = ShippedRows("tips.txt", kTips);
    for (std::size_t day = 1; day <= tips.size(); ++day)
        EXPECT_EQ(WarningWithoutActNow(tips[day - 1]), "")
            << "day " << day << ": " << tips[day - 1];
}

TEST(ShippedContent, BabyFiguresNeverShrinkFromWeekToWeek)
{
    const std::vector<std::string> baby = ShippedRows("baby.txt", kWeeks);
    EXPECT_EQ(ShrinkingFigures(baby), std::vector<std::string>{});
    // The check above sees a figure only where it can read one.
    for (std::size_t week = 4; week <= baby.size(); ++week) {
        const Figures figures = ReadFigures(baby[week - 1]);
        EXPECT_GT(figures.lengthFromCm, 0) << "week " << week << ": " << baby[week - 1];
        if (week >= 8) {
            EXPECT_GT(figures.weightG, 0) << "week " << week << ": " << baby[week - 1];
        }
    }
}

TEST(ShippedContent, OnePopupNeverSaysTheSameThingTwice)
{
    const std::vector<std::string> tips = ShippedRows("tips.txt", kTips);
    const std::vector<std::string> baby = ShippedRows("baby.txt", kWeeks);
    for (std::size_t day = 1; day <= tips.size(); ++day) {
        const std::size_t week = (day + 6) / 7;
        EXPECT_EQ(RepeatedBabyPieces(tips[day - 1], baby[week - 1]), std::vector<std::string>{})
            << "day " << day << " repeats week " << week;
    }
    for (const auto& [sentence, days] : SentencesByDay(tips))
        EXPECT_EQ(days.size(), 1u) << sentence << " on days " << ::testing::PrintToString(days);
}

} // namespace
