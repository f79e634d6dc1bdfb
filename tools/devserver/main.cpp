// devserver: serves the desktop server (dated page, feedback page, update files), the
// maker's home page and the mobile site on loopback, each on its own port.
//
//   devserver [--port N] [--update-dir DIR] [--log FILE] [--ready-file FILE]
//             [--page-delay-ms N] [--page-status CODE]
//
// With --port N the three listen on N, N+1 and N+2; without it the system picks free
// ports. The addresses are printed, and written to --ready-file as shell assignments
// (TAVRO_DESKTOP_SERVER=... TAVRO_HOME_PAGE=... TAVRO_MOBILE_SITE=...) once all three
// listen. Every request is logged as "<site> <method> <path>[?query]". The dated page can
// be made to answer late or fail (see dated_route.h), also while the server runs. The home
// page takes the dated page's query too and, for a due date that has passed, says what the
// days after it bring. --help prints this usage (options.cpp).

#include "dated_route.h"
#include "host/file_io.h"
#include "options.h"
#include "pages.h"

#include <httplib.h>

#include <csignal>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Far above any file of an update; what is larger is not ours.
constexpr std::size_t kMaxServedBytes = std::size_t{1} << 30;

std::mutex g_logMutex;
std::ofstream g_log;

// httplib splits the query into params; the program's raw query (with its doubled '&') is
// what the log shows and the pages read.
std::string RawQuery(const httplib::Request& req)
{
    const auto q = req.target.find('?');
    return q == std::string::npos ? std::string() : req.target.substr(q + 1);
}

void Log(const std::string& site, const httplib::Request& req)
{
    std::string line = site + " " + req.method + " " + req.path;
    if (const std::string query = RawQuery(req); !query.empty())
        line += "?" + query;
    std::lock_guard<std::mutex> lock(g_logMutex);
    std::cout << line << std::endl;
    if (g_log.is_open())
        g_log << line << std::endl;
}

void ServeHtml(httplib::Response& res, const std::string& html)
{
    res.set_content(html, "text/html; charset=utf-8");
}

// A file below the update folder, refusing anything that climbs out of it.
bool ServeUpdateFile(const fs::path& root, const std::string& relative, httplib::Response& res)
{
    if (root.empty() || relative.empty())
        return false;
    const fs::path path = fs::weakly_canonical(root / relative);
    const fs::path base = fs::weakly_canonical(root);
    const auto rel = path.lexically_relative(base);
    if (rel.empty() || *rel.begin() == "..")
        return false;
    // A folder or a FIFO under the root is not a file to serve.
    const auto data = ReadWholeFile(path.string(), kMaxServedBytes);
    if (!data)
        return false;
    res.set_content(*data, path.extension() == ".xml" ? "text/xml; charset=utf-8"
                                                      : "application/octet-stream");
    return true;
}

int Listen(httplib::Server& server, int port)
{
    if (port > 0)
        return server.bind_to_port("127.0.0.1", port) ? port : -1;
    return server.bind_to_any_port("127.0.0.1");
}

// The dated page, the feedback page and the update files.
void AddDesktopRoutes(httplib::Server& desktop, devserver::PageBehaviour& pageBehaviour,
                      const fs::path& updateDir)
{
    devserver::AddDatedPageRoutes(desktop, pageBehaviour,
                                  [](const httplib::Request& req) { Log("desktop", req); });
    auto feedback = [](const httplib::Request& req, httplib::Response& res) {
        Log("desktop", req);
        ServeHtml(res, devserver::FeedbackPage());
    };
    desktop.Get("/tavro_fankui/", feedback);
    desktop.Post("/tavro_fankui/", feedback);
    desktop.Get(R"(/quelmo/Bin/(.+))",
                [updateDir](const httplib::Request& req, httplib::Response& res) {
                    Log("desktop", req);
                    if (!ServeUpdateFile(updateDir, req.matches[1], res))
                        res.status = 404;
                });
    desktop.set_error_handler([](const httplib::Request& req, httplib::Response& res) {
        if (res.status == 404 && req.path.rfind("/quelmo/Bin/", 0) != 0)
            Log("desktop", req);
    });
}

// The shell assignments of the three addresses, printed and, when asked, written to a file
// that appears whole (written beside it, then renamed).
void AnnounceAddresses(int desktopPort, int homePort, int mobilePort, const std::string& readyFile)
{
    const std::string lines =
        "TAVRO_DESKTOP_SERVER=http://127.0.0.1:" + std::to_string(desktopPort) +
        "\nTAVRO_HOME_PAGE=http://127.0.0.1:" + std::to_string(homePort) +
        "\nTAVRO_MOBILE_SITE=http://127.0.0.1:" + std::to_string(mobilePort) + "\n";
    std::cout << lines << std::flush;
    if (!readyFile.empty()) {
        const std::string tmp = readyFile + ".tmp";
        std::ofstream(tmp) << lines;
        fs::rename(tmp, readyFile);
    }
}

} // namespace

int main(int argc, char** argv)
{
    std::string error;
    const std::optional<devserver::Options> options =
        devserver::ReadOptions(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!options) {
        std::cerr << "devserver: " << error << "\n" << devserver::kUsage;
        return 2;
    }
    if (options->help) {
        std::cout << devserver::kUsage;
        return 0;
    }
    devserver::PageBehaviour pageBehaviour;
    for (const auto& [arg, value] : options->pageOptions) {
        if (!devserver::ReadPageOption(arg, value, pageBehaviour)) {
            std::cerr << "devserver: bad value for " << arg << "\n";
            return 2;
        }
    }
    if (!options->logFile.empty())
        g_log.open(options->logFile, std::ios::app);

    httplib::Server desktop, home, mobile;
    AddDesktopRoutes(desktop, pageBehaviour, options->updateDir);
    home.Get(".*", [](const httplib::Request& req, httplib::Response& res) {
        Log("home", req);
        ServeHtml(res, devserver::HomePage(RawQuery(req), devserver::Today(std::time(nullptr))));
    });
    mobile.Get(".*", [](const httplib::Request& req, httplib::Response& res) {
        Log("mobile", req);
        ServeHtml(res, devserver::MobilePage());
    });

    const int port = options->port;
    const int desktopPort = Listen(desktop, port);
    const int homePort = Listen(home, port ? port + 1 : 0);
    const int mobilePort = Listen(mobile, port ? port + 2 : 0);
    if (desktopPort <= 0 || homePort <= 0 || mobilePort <= 0) {
        std::cerr << "devserver: cannot listen on 127.0.0.1"
                  << (port ? " ports " + std::to_string(port) + "-" + std::to_string(port + 2)
                           : std::string())
                  << "\n";
        return 1;
    }
    std::thread homeThread([&] { home.listen_after_bind(); });
    std::thread mobileThread([&] { mobile.listen_after_bind(); });
    AnnounceAddresses(desktopPort, homePort, mobilePort, options->readyFile);

    desktop.listen_after_bind();
    home.stop();
    mobile.stop();
    homeThread.join();
    mobileThread.join();
    return 0;
}
