// The shipped tips and baby figures, read from data/ and held to what a reader relies on: a
// tip that names a day of pregnancy is shown on that very day, every warning sign gets its
// one phrase and nothing softer, no sign is named before she can know she is pregnant, the
// weekly figures grow like a baby and leave milestones to the day's tip, and one popup never
// shows the same words twice.

#include "content_rows.h"

#include "host/file_io.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <regex>
#include <string>
#include <type_traits>
#include <vector>

namespace {

constexpr std::size_t kTips = 280;
constexpr std::size_t kWeeks = 40;

// The warning signs a tip may name, each with the one phrase every tip naming it carries.
// A sign's words count only on its days: "见红" before 37 weeks is bleeding, while a small
// show at term is named in its own words.
struct WarningSign
{
    std::string name;
    std::vector<std::string> words;
    std::string phrase;
    int fromDay = 1;
    int toDay = 280;
};

const std::string kGoNow = "请立即去医院";
const std::string kSeeToday = "请尽快就医";

const std::vector<WarningSign> kWarningSigns = {
    {"bleeding",
     {"阴道出血", "阴道流血", "出血像月经", "像月经一样", "出血很多", "出血鲜红"},
     kGoNow},
    {"a show before term", {"见红"}, kGoNow, 1, 258},
    {"fluid or waters", {"流液", "破水", "液体流出", "液体持续流出"}, kGoNow},
    {"fewer movements", {"胎动明显减少", "胎动减少", "胎动变弱", "不到10次"}, kGoNow},
    {"abdominal pain",
     {"剧烈腹痛", "剧烈或持续的腹痛", "腹痛伴", "疼痛剧烈", "持续不缓解", "上腹部疼痛",
      "下腹持续疼痛"},
     kGoNow},
    {"headache, vision, swelling", {"头痛", "视物模糊", "眼花", "冒金星", "突然肿"}, kGoNow},
    {"contractions before term",
     {"规律宫缩", "宫缩变得规律", "规律地发紧", "规律的下腹发紧"},
     kGoNow},
    {"fainting, breath, chest, calf", {"晕倒", "晕厥", "呼吸困难", "胸痛", "一侧小腿"}, kGoNow},
    {"fall or accident", {"摔倒", "摔了一跤", "撞击", "交通事故"}, kGoNow},
    {"dehydration", {"脱水", "吃不进也喝不进", "尿量明显减少"}, kGoNow},
    {"thoughts of harm", {"伤害自己", "伤害宝宝"}, kGoNow},
    {"fever, blood in urine", {"发热", "发烧", "38℃", "尿中带血"}, kGoNow},
    {"itching palms and soles", {"手掌", "脚掌"}, kSeeToday},
    {"burning urine", {"小便时疼痛", "灼热感"}, kSeeToday},
    {"a small show at term", {"足月后少量见红"}, kSeeToday},
    {"a painful red breast", {"乳房红肿"}, kSeeToday},
};

// What a tip naming a sign never says instead of, or beside, the sign's phrase.
const std::vector<std::string> kSofterWords = {"联系医生", "及时就医", "告诉医生", "请就医",
                                               "产检时问"};

// Words of a week's milestone, which belongs to the day's tip, never to a week's baby text.
const std::vector<std::string> kMilestoneWords = {"孕早期", "孕中期", "孕晚期",
                                                  "足月",   "预产期", "过期"};

// A period is due around day 28: before it she may not know she is pregnant.
constexpr int kFirstDayForSigns = 29;

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

bool NamesSign(const std::string& tip, const WarningSign& sign)
{
    for (const std::string& word : sign.words)
        if (Contains(tip, word))
            return true;
    return false;
}

// What is wrong with the words a tip of `day` uses for the signs it names: a sign without
// its phrase, a phrase of a sign it does not name, or a softer instruction beside a sign.
std::vector<std::string> SignPhraseFaults(const std::string& tip, int day)
{
    std::vector<std::string> faults;
    std::vector<std::string> allowed;
    for (const WarningSign& sign : kWarningSigns) {
        if (day < sign.fromDay || day > sign.toDay || !NamesSign(tip, sign))
            continue;
        if (!Contains(tip, sign.phrase))
            faults.push_back(sign.name + " without " + sign.phrase);
        allowed.push_back(sign.phrase);
    }
    if (allowed.empty())
        return faults;
    for (const std::string& phrase : {kGoNow, kSeeToday})
        if (Contains(tip, phrase) &&
            std::find(allowed.begin(), allowed.end(), phrase) == allowed.end())
            faults.push_back(phrase + " for no sign it names");
    for (const std::string& softer : kSofterWords)
        if (Contains(tip, softer))
            faults.push_back("a sign with " + softer);
    return faults;
}

// The signs a tip names on any day, for the days before she can know she is pregnant.
std::vector<std::string> SignsNamed(const std::string& tip)
{
    std::vector<std::string> names;
    for (const WarningSign& sign : kWarningSigns)
        if (NamesSign(tip, sign))
            names.push_back(sign.name);
    return names;
}

// "孕N周" alone, which readers take either as N completed weeks or as the Nth week.
std::vector<std::string> BareWeeks(const std::string& text)
{
    static const std::regex pattern("孕([0-9]+|(一|二|三|四|五|六|七|八|九|十)+)周(?!\\+)");
    std::vector<std::string> found;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), pattern);
         it != std::sregex_iterator(); ++it)
        found.push_back(it->str());
    return found;
}

std::vector<std::string> MilestonesNamed(const std::string& row)
{
    std::vector<std::string> found;
    for (const std::string& word : kMilestoneWords)
        if (Contains(row, word))
            found.push_back(word);
    return found;
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

// One message for each week, from the first with a weight, whose figures do not rise by a
// step a growing baby takes: the length by more than nothing and at most 2.5 cm (except into
// week 20, where the measure changes from crown-to-rump to crown-to-heel), the weight by
// more than nothing and at most double.
std::vector<std::string> ImplausibleSteps(const std::vector<std::string>& rows)
{
    constexpr std::size_t kMeasureChangeWeek = 20;
    constexpr double kMostCmPerWeek = 2.5;
    std::vector<std::string> faults;
    for (std::size_t week = 2; week <= rows.size(); ++week) {
        const Figures before = ReadFigures(rows[week - 2]);
        const Figures now = ReadFigures(rows[week - 1]);
        if (before.weightG <= 0 || now.weightG <= 0)
            continue;
        char fault[96];
        const double cm = now.lengthFromCm - before.lengthFromCm;
        if (cm <= 0 || (week != kMeasureChangeWeek && cm > kMostCmPerWeek)) {
            std::snprintf(fault, sizeof fault, "week %zu: length rises %.1f cm", week, cm);
            faults.emplace_back(fault);
        }
        if (now.weightG <= before.weightG || now.weightG > 2 * before.weightG) {
            std::snprintf(fault, sizeof fault, "week %zu: weight goes from %.0f to %.0f g", week,
                          before.weightG, now.weightG);
            faults.emplace_back(fault);
        }
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

    struct SignCase
    {
        const char* tip;
        int day;
        std::vector<std::string> faults;
    };
    const SignCase signs[] = {
        {"早期若有阴道出血，请及时就医。",
         40,
         {"bleeding without 请立即去医院", "a sign with 及时就医"}},
        {"胎动明显减少时，请立即联系医生。",
         200,
         {"fewer movements without 请立即去医院", "a sign with 联系医生"}},
        {"破水不论何时，都请立即去医院。", 250, {}},
        // Two signs with two phrases, each its own.
        {"未满37周见红，请立即去医院；足月后少量见红，请尽快就医。", 249, {}},
        // At term a show alone is not bleeding, and the urgent phrase belongs to no sign.
        {"足月后少量见红，请尽快就医；也请立即去医院。",
         265,
         {"请立即去医院 for no sign it names"}},
        {"见红了，请尽快就医。",
         230,
         {"a show before term without 请立即去医院", "请尽快就医 for no sign it names"}},
        {"摔了一跤，请立即去医院，也告诉医生。", 122, {"a sign with 告诉医生"}},
        {"刷牙出血在孕期很常见，换一把软毛牙刷，看牙时告诉医生。", 48, {}},
    };
    for (const SignCase& c : signs)
        EXPECT_EQ(SignPhraseFaults(c.tip, c.day), c.faults) << c.tip;
    EXPECT_EQ(SignsNamed("这几天如果出现阴道出血，请立即联系医生。"),
              std::vector<std::string>{"bleeding"});

    EXPECT_EQ(BareWeeks("孕四周的最后一天，孕11周到14周之前，孕11周+0天，满12周"),
              (std::vector<std::string>{"孕四周", "孕11周"}));
    EXPECT_EQ(MilestonesNamed("肺部接近成熟，很快就将进入早期足月"),
              std::vector<std::string>{"足月"});

    // A jump of 4.6 cm with 60 g, a stall and a weight that triples are no week's growth; the
    // change of measure into week 20 is.
    std::vector<std::string> weeks(19, "着床");
    for (std::size_t week = 8; week <= 19; ++week)
        weeks[week - 1] =
            "顶臀长约" + std::to_string(week) + ".0厘米，体重约" + std::to_string(week * 10) + "克";
    weeks.push_back("身长约25.6厘米，体重约300克");
    EXPECT_TRUE(ImplausibleSteps(weeks).empty())
        << ::testing::PrintToString(ImplausibleSteps(weeks));
    weeks.push_back("身长约30.2厘米，体重约360克");
    weeks.push_back("身长约30.2厘米，体重约1080克");
    EXPECT_EQ(
        ImplausibleSteps(weeks),
        (std::vector<std::string>{"week 21: length rises 4.6 cm", "week 22: length rises 0.0 cm",
                                  "week 22: weight goes from 360 to 1080 g"}));

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

struct Shipped
{
    std::vector<std::string> tips;
    std::vector<std::string> baby;
};

// One rule of the shipped content: the faults it finds, each naming its day or week.
struct ContentRule
{
    const char* name;
    std::vector<std::string> (*faults)(const Shipped&);
};

// Applies `check` to every row, alone or with its number, and names the row of each fault.
template <typename Check>
std::vector<std::string> Each(const std::vector<std::string>& rows, const char* unit, Check check)
{
    std::vector<std::string> faults;
    for (std::size_t n = 1; n <= rows.size(); ++n) {
        std::vector<std::string> found;
        if constexpr (std::is_invocable_v<Check, const std::string&>)
            found = check(rows[n - 1]);
        else
            found = check(rows[n - 1], static_cast<int>(n));
        for (const std::string& fault : found)
            faults.push_back(unit + (" " + std::to_string(n)) + ": " + fault);
    }
    return faults;
}

std::vector<std::string> Nothing() { return {}; }
std::vector<std::string> One(const std::string& fault) { return {fault}; }

const ContentRule kRules[] = {
    {"every tip fits the popup (60 to 85 characters)",
     [](const Shipped& c) {
         return Each(c.tips, "day", [](const std::string& tip) {
             const std::size_t n = Characters(tip);
             return n < 60 || n > 85 ? One(std::to_string(n) + " characters") : Nothing();
         });
     }},
    {"a tip names only its own day",
     [](const Shipped& c) {
         return Each(c.tips, "day", [](const std::string& tip, int day) {
             std::vector<std::string> faults;
             for (const int named : NamedDays(tip))
                 if (named != day)
                     faults.push_back("names day " + std::to_string(named));
             return faults;
         });
     }},
    {"every sign carries its one phrase and no other",
     [](const Shipped& c) { return Each(c.tips, "day", SignPhraseFaults); }},
    {"no warning sign before she can know she is pregnant",
     [](const Shipped& c) {
         return Each(c.tips, "day", [](const std::string& tip, int day) {
             return day < kFirstDayForSigns ? SignsNamed(tip) : Nothing();
         });
     }},
    {"no bare 孕N周 in a tip", [](const Shipped& c) { return Each(c.tips, "day", BareWeeks); }},
    {"no bare 孕N周 in a baby text",
     [](const Shipped& c) { return Each(c.baby, "week", BareWeeks); }},
    {"a baby text names no milestone",
     [](const Shipped& c) { return Each(c.baby, "week", MilestonesNamed); }},
    {"baby figures never shrink", [](const Shipped& c) { return ShrinkingFigures(c.baby); }},
    {"baby figures rise by a plausible step",
     [](const Shipped& c) { return ImplausibleSteps(c.baby); }},
    {"every week from the fourth has a length, from the eighth a weight",
     [](const Shipped& c) {
         return Each(c.baby, "week", [](const std::string& baby, int week) {
             const Figures f = ReadFigures(baby);
             return week >= 4 && (f.lengthFromCm <= 0 || (week >= 8 && f.weightG <= 0))
                        ? One("a figure is missing")
                        : Nothing();
         });
     }},
    {"a tip never repeats its week's baby text",
     [](const Shipped& c) {
         return Each(c.tips, "day", [&c](const std::string& tip, int day) {
             return RepeatedBabyPieces(tip, c.baby[static_cast<std::size_t>(day + 6) / 7 - 1]);
         });
     }},
    {"no two tips share a sentence",
     [](const Shipped& c) {
         std::vector<std::string> faults;
         for (const auto& [sentence, days] : SentencesByDay(c.tips))
             if (days.size() > 1)
                 faults.push_back(sentence + " on days " + ::testing::PrintToString(days));
         return faults;
     }},
};

TEST(ShippedContent, KeepsEveryRule)
{
    const Shipped content{ShippedRows("tips.txt", kTips), ShippedRows("baby.txt", kWeeks)};
    for (const ContentRule& rule : kRules)
        for (const std::string& fault : rule.faults(content))
            ADD_FAILURE() << rule.name << ": " << fault;
}

} // namespace
