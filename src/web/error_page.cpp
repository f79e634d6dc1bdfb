#include "web/error_page.h"

#include "host/html_escape.h"

namespace {

// The skin's palette (Skin/Default.skn): cream panel, rose accents, rounded corners. The
// card has a fixed size so that the retry button always sits at the same place in the
// middle of the page (the end-to-end tests click it there).
constexpr const char* kStyle = R"(
html, body { margin: 0; height: 100%; overflow: hidden; }
body { font-family: "Noto Sans CJK SC", "Source Han Sans SC", "Microsoft YaHei", sans-serif;
       background: #FFFDFB; color: #5A3E44; display: flex; align-items: center;
       justify-content: center; }
.card { position: relative; box-sizing: border-box; width: 360px; height: 300px;
        padding: 34px 28px 0; text-align: center; background: #FFF8F3;
        border: 1px solid #F1D3C9; border-radius: 18px; }
.mark { width: 56px; height: 56px; margin: 0 auto 16px; border-radius: 28px;
        background: #FCE3E4; color: #E0607A; font-size: 30px; line-height: 56px; }
h1 { margin: 0 0 10px; font-size: 18px; color: #D85A72; }
p { margin: 0 0 24px; font-size: 13px; line-height: 1.7; color: #8A6A70; }
a.retry { position: absolute; left: 100px; bottom: 30px; width: 160px; height: 40px;
          line-height: 40px;
          border-radius: 20px; color: #FFFFFF; font-size: 15px; font-weight: bold;
          text-decoration: none; background: linear-gradient(#F79AA6, #E66A80); }
a.retry:hover { background: linear-gradient(#F9A9B3, #EA7A8E); }
)";

} // namespace

bool IsRetryableAddress(const std::string& url)
{
    return url.rfind("http://", 0) == 0 || url.rfind("https://", 0) == 0;
}

std::string BrowserErrorPage(const std::string& url, int httpStatus)
{
    if (httpStatus != 0 && httpStatus < 500)
        return {};
    const std::string target = IsRetryableAddress(url) ? HtmlEscape(url) : std::string();
    std::string page = "<!DOCTYPE html><html lang=\"zh-CN\"><head><meta charset=\"utf-8\">"
                       "<title>Tavro</title><style>";
    page += kStyle;
    page += "</style></head><body><div class=\"card\"><div class=\"mark\">!</div>"
            "<h1>";
    page += kErrorPageTitle;
    page += "</h1><p>";
    page += kErrorPageLines[0];
    page += "<br>";
    page += kErrorPageLines[1];
    page += "</p>";
    if (!target.empty())
        page +=
            "<a class=\"retry\" id=\"retry\" href=\"" + target + "\">" + kErrorPageRetry + "</a>";
    page += "</div></body></html>";
    return page;
}
