#include "pages.h"

#include <cstdlib>
#include <sstream>

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

bool ParseInt(const std::string& text, int& value)
{
    if (text.empty() || text.size() > 6)
        return false;
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (*end != '\0')
        return false;
    value = static_cast<int>(v);
    return true;
}

const char* kStyle = R"(
<style>
  html, body { margin: 0; padding: 0; overflow: hidden; }
  body { font-family: "Noto Sans CJK SC", sans-serif; color: #5b4a48;
         background: linear-gradient(160deg, #fff6ef 0%, #fde8e4 55%, #f7e3ef 100%);
         height: 100vh; box-sizing: border-box; padding: 28px 32px; }
  h1 { font-size: 24px; margin: 0 0 6px; color: #c0626b; font-weight: 600; }
  .sub { font-size: 13px; color: #9a8583; margin-bottom: 22px; }
  .card { background: rgba(255,255,255,.82); border-radius: 18px; padding: 20px 22px;
          box-shadow: 0 6px 18px rgba(192,98,107,.12); margin-bottom: 16px; }
  .big { font-size: 44px; color: #d9777f; font-weight: 700; line-height: 1.1; }
  .row { display: flex; gap: 16px; }
  .row .card { flex: 1; }
  .label { font-size: 13px; color: #9a8583; margin-top: 4px; }
  .bar { height: 10px; background: #f6dcd9; border-radius: 5px; overflow: hidden; margin-top: 12px; }
  .bar span { display: block; height: 100%; background: linear-gradient(90deg, #f2a7a0, #d9777f); }
  .note { font-size: 12px; color: #a89593; line-height: 1.6; }
  a { color: #c0626b; }
</style>)";

std::string Page(const std::string& title, const std::string& body)
{
    return "<!DOCTYPE html><html lang=\"zh-CN\"><head><meta charset=\"utf-8\"><title>" +
           HtmlEscape(title) + "</title>" + kStyle + "</head><body>" + body + "</body></html>";
}

} // namespace

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
    if (due.year < 1900 || due.month < 1 || due.month > 12 || due.day < 1 || due.day > 31)
        return std::nullopt;
    return due;
}

int DaysBetween(const DueDate& today, const DueDate& due)
{
    return static_cast<int>(DaysFromCivil(due.year, due.month, due.day) -
                            DaysFromCivil(today.year, today.month, today.day));
}

std::string HtmlEscape(const std::string& text)
{
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

DueDate Today(std::time_t now)
{
    std::tm local{};
    localtime_r(&now, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

std::string DatedPage(const std::optional<DueDate>& due, const std::string& mac,
                      const DueDate& today)
{
    if (!due) {
        return Page("Tavro", "<h1>还没有预产期</h1><div class=\"sub\">请在 Tavro "
                             "的设置里填写预产期，这里就会显示你的孕期日历。</div>");
    }
    const int daysToDue = DaysBetween(today, *due);
    const int daysPregnant = 280 - daysToDue;
    std::ostringstream body;
    body << "<h1>你好，准妈妈</h1><div class=\"sub\">预产期 " << due->year << " 年 " << due->month
         << " 月 " << due->day << " 日</div>";
    if (daysToDue < 0) {
        body << "<div class=\"card\"><div class=\"big\">宝宝来啦</div><div class=\"label\">"
                "预产期已经过去，愿你和宝宝一切安好。</div></div>";
    } else if (daysPregnant < 1) {
        body << "<div class=\"card\"><div class=\"big\">" << daysToDue
             << "</div><div class=\"label\">天后到预产期，孕期日历还没开始。</div></div>";
    } else {
        const int week = (daysPregnant - 1) / 7;
        const int day = (daysPregnant - 1) % 7 + 1;
        const int percent = daysPregnant * 100 / 280;
        body << "<div class=\"row\"><div class=\"card\"><div class=\"big\">" << daysToDue
             << "</div><div class=\"label\">天后到预产期</div></div>"
             << "<div class=\"card\"><div class=\"big\">" << week
             << "<span style=\"font-size:22px\">周</span>" << day
             << "<span style=\"font-size:22px\">天</span></div><div class=\"label\">孕期第 "
             << daysPregnant << " 天</div></div></div>"
             << "<div class=\"card\"><div class=\"label\">孕期进度 " << percent
             << "%</div><div class=\"bar\"><span style=\"width:" << percent
             << "%\"></span></div></div>";
    }
    body << "<div class=\"card note\">每天的小贴士会出现在桌面的浮窗里。这里的内容只是一般性的"
            "孕期知识，不能代替医生的诊断和建议；身体有任何不适，请及时就医。"
            "<br>设备："
         << HtmlEscape(mac.empty() ? "未知" : mac) << "</div>";
    return Page("Tavro", body.str());
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

std::string HomePage()
{
    return Page("Tavro", "<h1>Tavro</h1><div class=\"sub\">陪你走过孕期的每一天。</div>"
                         "<div class=\"card note\">这是本地开发服务器上的主页。</div>");
}

std::string MobilePage()
{
    return Page("Tavro 手机版",
                "<h1>Tavro 手机版</h1><div class=\"sub\">在手机上也能看孕期日历。</div>");
}

} // namespace devserver
