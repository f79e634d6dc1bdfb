// Our page for failed loads: who gets it, and that the failed address cannot break out of
// the retry link.

#include "web/error_page.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(BrowserErrorPage, ReplacesUnreachableAndServerErrorsOnly)
{
    struct Case
    {
        int status;
        bool replaced;
    };
    const Case cases[] = {{0, true},    {500, true},  {503, true}, {599, true},
                          {400, false}, {404, false}, {499, false}};
    for (const Case& c : cases) {
        const std::string page = BrowserErrorPage("http://127.0.0.1:1/a", c.status);
        EXPECT_EQ(!page.empty(), c.replaced) << c.status;
        if (c.replaced) {
            EXPECT_NE(page.find("暂时无法打开页面"), std::string::npos);
            EXPECT_NE(page.find("href=\"http://127.0.0.1:1/a\""), std::string::npos);
        }
    }
}

TEST(BrowserErrorPage, TheRetryLinkHoldsOnlyAnEscapedWebAddress)
{
    struct Case
    {
        std::string url;
        std::string link; // the retry link's markup, empty when there must be none
    };
    const Case cases[] = {
        {"http://h/quelmo/index.php?year=2015&&month=3&&day=7&&mac=00-1A",
         "href=\"http://h/quelmo/index.php?year=2015&amp;&amp;month=3&amp;&amp;day=7&amp;&amp;"
         "mac=00-1A\""},
        {"http://h/\"><script>alert(1)</script>",
         "href=\"http://h/&quot;&gt;&lt;script&gt;alert(1)&lt;/script&gt;\""},
        {"https://h/'x'", "href=\"https://h/&#39;x&#39;\""},
        {"javascript:alert(1)", ""},
        {"data:text/html,<b>", ""},
        {"", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url);
        const std::string page = BrowserErrorPage(c.url, 0);
        EXPECT_EQ(page.find("<script>alert"), std::string::npos);
        EXPECT_EQ(page.find("javascript:"), std::string::npos);
        if (c.link.empty()) {
            EXPECT_EQ(page.find("href="), std::string::npos);
        } else {
            EXPECT_NE(page.find(c.link), std::string::npos);
        }
    }
}

} // namespace
