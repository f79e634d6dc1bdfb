#pragma once

// The desktop server's dated page route, with the behaviour tests ask of it: answering
// late (to hold the program's loading window up) or failing with a status of their choice.

#include <httplib.h>

#include <atomic>
#include <functional>

namespace devserver {

struct PageBehaviour
{
    std::atomic<int> delayMs{0};    // wait this long before answering
    std::atomic<int> failStatus{0}; // answer with this status instead of the page (0: no)
};

using RequestLog = std::function<void(const httplib::Request&)>;

// GET /quelmo/index.php: the dated page for the program's query (400 for a query without a
// real date). GET /devserver/page?delay=MS&status=CODE changes `behaviour` while the server
// runs (either may be left out; 0 turns it off).
void AddDatedPageRoutes(httplib::Server& server, PageBehaviour& behaviour, RequestLog log);

// Reads "--page-delay-ms N" and "--page-status CODE"; false when `arg` is neither.
bool ReadPageOption(const std::string& arg, const std::string& value, PageBehaviour& behaviour);

} // namespace devserver
