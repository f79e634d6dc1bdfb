#include "dated_route.h"

#include "pages.h"

#include <chrono>
#include <ctime>
#include <string>
#include <thread>

namespace devserver {
namespace {

int ToNumber(const std::string& text)
{
    if (text.empty() || text.size() > 9 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return -1;
    return std::stoi(text);
}

} // namespace

void AddDatedPageRoutes(httplib::Server& server, PageBehaviour& behaviour, RequestLog log)
{
    server.Get("/quelmo/index.php",
               [&behaviour, log](const httplib::Request& req, httplib::Response& res) {
                   log(req);
                   if (const int delay = behaviour.delayMs.load(); delay > 0)
                       std::this_thread::sleep_for(std::chrono::milliseconds(delay));
                   if (const int status = behaviour.failStatus.load(); status > 0) {
                       res.status = status;
                       res.set_content(Page("服务器出错", "<h1>服务器暂时不可用</h1>"),
                                       "text/html; charset=utf-8");
                       return;
                   }
                   // httplib splits the query on single '&'; the raw text is read instead.
                   const auto q = req.target.find('?');
                   const std::string query = q == std::string::npos ? "" : req.target.substr(q + 1);
                   const PageAnswer answer = DatedPage(query, Today(std::time(nullptr)));
                   res.status = answer.status;
                   res.set_content(answer.html, "text/html; charset=utf-8");
               });
    server.Get("/devserver/page", [&behaviour, log](const httplib::Request& req,
                                                    httplib::Response& res) {
        log(req);
        const int delay = req.has_param("delay") ? ToNumber(req.get_param_value("delay")) : 0;
        const int status = req.has_param("status") ? ToNumber(req.get_param_value("status")) : 0;
        if (delay < 0 || (status != 0 && (status < 100 || status > 599))) {
            res.status = 400;
            res.set_content("delay: milliseconds; status: 100-599 or 0\n", "text/plain");
            return;
        }
        if (req.has_param("delay"))
            behaviour.delayMs = delay;
        if (req.has_param("status"))
            behaviour.failStatus = status;
        res.set_content("delay=" + std::to_string(behaviour.delayMs.load()) +
                            " status=" + std::to_string(behaviour.failStatus.load()) + "\n",
                        "text/plain");
    });
}

bool ReadPageOption(const std::string& arg, const std::string& value, PageBehaviour& behaviour)
{
    const int number = ToNumber(value);
    if (arg == "--page-delay-ms" && number >= 0) {
        behaviour.delayMs = number;
        return true;
    }
    if (arg == "--page-status" && number >= 100 && number <= 599) {
        behaviour.failStatus = number;
        return true;
    }
    return false;
}

} // namespace devserver
