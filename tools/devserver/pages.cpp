#include "pages.h"

#include "host/html_escape.h"
#include "week_content.h"

#include <cstdlib>
#include <sstream>
#include <vector>

namespace devserver {
namespace {

// Days since 1970-01-01 of a proleptic Gregorian date; exact for any year, no time zone.
long DaysFromCivil(int y, int m, int d)
{
    y -= m <= 2;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const long yoe = y - era * 400;
    const long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

int DaysInMonth(int year, int month)
{
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

bool ParseInt(const std::string& text, int& value)
{
    if (text.empty() || text.size() > 6 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (*end != '\0')
        return false;
    value = static_cast<int>(v);
    return true;
}

// The skin's palette (Skin/Default.skn): cream panels, rose accents, rounded corners. Sized
// for the main window's page area (599 x 583) without scrolling.
const char* kStyle = R"(
<style>
  html, body { margin: 0; padding: 0; overflow: hidden; }
  body { font-family: "Noto Sans CJK SC", "Source Han Sans SC", "Microsoft YaHei", sans-serif;
         color: #5A3E44; background: #FFFDFB; height: 100vh; box-sizing: border-box;
         padding: 18px 22px; font-size: 13px; }
  h1 { font-size: 20px; margin: 0; color: #D85A72; font-weight: bold; }
  .head { display: flex; align-items: baseline; justify-content: space-between; }
  .sub { font-size: 13px; color: #8A6A70; margin: 4px 0 14px; }
  .badge { font-size: 11px; color: #B39A9E; border: 1px solid #F1D3C9; border-radius: 10px;
           padding: 1px 8px; }
  .badge.inside { color: #E0607A; border-color: #F2B6BF; background: #FFF1F2; }
  .card { background: #FFF8F3; border: 1px solid #F1D3C9; border-radius: 12px;
          padding: 12px 16px; margin-bottom: 10px; }
  .row { display: flex; gap: 10px; }
  .row .card { flex: 1; }
  .big { font-size: 36px; color: #E0607A; font-weight: bold; line-height: 1.15; }
  .big small { font-size: 18px; font-weight: normal; }
  .label { font-size: 12px; color: #8A6A70; margin-top: 2px; }
  .heading { font-size: 13px; color: #E0607A; font-weight: bold; margin-bottom: 6px; }
  .bar { height: 8px; background: #F7E7E0; border-radius: 4px; overflow: hidden; margin-top: 8px; }
  .bar span { display: block; height: 100%; background: linear-gradient(90deg, #F7A0AB, #E66A80); }
  ul { margin: 0; padding-left: 18px; line-height: 1.6; }
  .text { line-height: 1.65; }
  .note { font-size: 11px; color: #B39A9E; line-height: 1.6; }
  a { color: #E0607A; }
</style>)";

} // namespace

std::string Page(const std::string& title, const std::string& body)
{
    return "<!DOCTYPE html><html lang=\"zh-CN\"><head><meta charset=\"utf-8\"><title>" +
           HtmlEscape(title) + "</title>" + kStyle + "</head><body>" + body + "</body></html>";
}

std::string QueryValue(const std::string& query, const std::string& key)
{
    std::size_t pos = 0;
    while (pos <= query.size()) {
        std::size_t end = query.find('&', pos);
        if (end == std::string::npos)
            end = query.size();
        const std::string pair = query.substr(pos, end - pos);
        const std::size_t eq = pair.find('=');
        if (eq != std::string::npos && pair.substr(0, eq) == key)
            return pair.substr(eq + 1);
        pos = end + 1;
    }
    return {};
}

std::optional<DueDate> ParseDueDateQuery(const std::string& query)
{
    DueDate due;
    if (!ParseInt(QueryValue(query, "year"), due.year) ||
        !ParseInt(QueryValue(query, "month"), due.month) ||
        !ParseInt(QueryValue(query, "day"), due.day))
        return std::nullopt;
    if (due.year < 1900 || due.year > 9999 || due.month < 1 || due.month > 12 || due.day < 1 ||
        due.day > DaysInMonth(due.year, due.month))
        return std::nullopt;
    return due;
}

int DaysBetween(const DueDate& today, const DueDate& due)
{
    return static_cast<int>(DaysFromCivil(due.year, due.month, due.day) -
                            DaysFromCivil(today.year, today.month, today.day));
}

DueDate Today(std::time_t now)
{
    std::tm local{};
    localtime_r(&now, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

PageAnswer DatedPage(const std::string& query, const DueDate& today)
{
    const std::optional<DueDate> due = ParseDueDateQuery(query);
    if (!due) {
        return {400, Page("请求有误", "<h1>请求有误</h1><div class=\"sub\">这个地址缺少预产期，"
                                      "或者年、月、日不是一个真实的日期。</div>"
                                      "<div class=\"card note\">需要的参数：year、month、day "
                                      "和 mac，例如 year=2015&amp;&amp;month=3&amp;&amp;day=7"
                                      "&amp;&amp;mac=00-1A-2B-3C-4D-5E。</div>")};
    }
    const std::string mac = QueryValue(query, "mac");
    const int daysToDue = DaysBetween(today, *due);
    const int daysPregnant = 280 - daysToDue;
    std::ostringstream body;
    body << "<div class=\"head\"><h1>你好，准妈妈</h1><span class=\"badge\" id=\"where\">"
            "在浏览器中打开</span></div><div class=\"sub\">预产期 "
         << due->year << " 年 " << due->month << " 月 " << due->day << " 日</div>";
    if (daysToDue < 0) {
        body << "<div class=\"card\"><div class=\"big\">宝宝来啦</div><div class=\"label\">"
                "预产期已经过去，愿你和宝宝一切安好。</div></div>";
    } else if (daysPregnant < 1) {
        body << "<div class=\"card\"><div class=\"big\">" << daysToDue
             << "</div><div class=\"label\">天后到预产期，孕期日历还没开始。</div></div>";
    } else {
        const int weeksDone = daysPregnant / 7;
        const int days = daysPregnant % 7;
        const int week = (daysPregnant + 6) / 7; // week n holds days 7n-6 to 7n
        const int percent = daysPregnant * 100 / 280;
        body << "<div class=\"row\"><div class=\"card\"><div class=\"big\" id=\"days\">"
             << daysToDue << "<small> 天</small></div><div class=\"label\">距离预产期</div></div>"
             << "<div class=\"card\"><div class=\"big\" id=\"age\">" << weeksDone
             << "<small> 周 + </small>" << days
             << "<small> 天</small></div><div class=\"label\">孕期第 " << daysPregnant
             << " 天 · 第 " << week << " 周</div></div></div>"
             << "<div class=\"card\"><div class=\"label\">孕期进度 " << percent
             << "%</div><div class=\"bar\"><span style=\"width:" << percent
             << "%\"></span></div></div>"
             << "<div class=\"card\"><div class=\"heading\">第 " << week
             << " 周的宝宝</div><div class=\"text\" id=\"development\">"
             << HtmlEscape(WeekDevelopment(week)) << "</div></div>"
             << "<div class=\"card\"><div class=\"heading\">这段时间的产检</div>";
        const std::vector<std::string> checkUps = CheckUps(weeksDone);
        if (checkUps.empty()) {
            body << "<div class=\"text\" id=\"checkups\">这几周没有固定的检查项目，"
                    "按医生约好的时间去就好。</div>";
        } else {
            body << "<ul id=\"checkups\">";
            for (const std::string& item : checkUps)
                body << "<li>" << HtmlEscape(item) << "</li>";
            body << "</ul>";
        }
        body << "</div>";
    }
    body << "<div class=\"note\">这里的内容只是一般性的孕期知识，不能代替医生的诊断和建议；"
            "检查的时间和项目请遵医嘱。设备："
         << HtmlEscape(mac.empty() ? "未知" : mac)
         << "</div>"
         // The program answers window.external.ruzAzudir with true; a browser does not.
         << "<script>if (window.external && window.external.ruzAzudir === true) {"
            "var b = document.getElementById('where'); b.textContent = '在 Tavro 中打开';"
            "b.className = 'badge inside'; }</script>";
    return {200, Page("Tavro", body.str())};
}

std::string FeedbackPage()
{
    return Page("提点意见",
                "<h1>提点意见</h1><div class=\"sub\">你的每一条建议我们都会认真看。</div>"
                "<div class=\"card\"><form method=\"post\" action=\"/tavro_fankui/\">"
                "<textarea name=\"text\" rows=\"8\" style=\"width:100%;border-radius:10px;"
                "border:1px solid #f0c9c5;padding:8px\"></textarea><br><br>"
                "<button type=\"submit\">提交</button></form></div>");
}

std::string HomePage(const std::string& query, const DueDate& today)
{
    std::ostringstream body;
    body << "<h1>Tavro</h1><div class=\"sub\">陪你走过孕期的每一天。</div>";
    const std::optional<DueDate> due = ParseDueDateQuery(query);
    if (due && DaysBetween(today, *due) < 0) {
        // The same facts as the last week's tips, for whom the calendar has ended.
        body << "<div class=\"card\" id=\"after-due\"><div class=\"heading\">预产期 " << due->year
             << " 年 " << due->month << " 月 " << due->day << " 日已经过去 "
             << -DaysBetween(today, *due)
             << " 天</div><ul><li>宝宝还没来的话，产检会变得更密：胎心监护和羊水检查会多做几次。"
                "</li><li>满41周前后，医生通常会和你讨论是否引产；满42周起一般会住院引产。</li>"
                "<li>胎动明显减少，请立即去医院。</li></ul></div>";
    }
    body << "<div class=\"card note\">这是本地开发服务器上的主页。这里的内容只是一般性的孕期"
            "知识，不能代替医生的诊断和建议。</div>";
    return Page("Tavro", body.str());
}

std::string MobilePage()
{
    return Page("Tavro 手机版",
                "<h1>Tavro 手机版</h1><div class=\"sub\">在手机上也能看孕期日历。</div>");
}

} // namespace devserver
