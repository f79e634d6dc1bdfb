// The update check against a 1,000-file list with 100 changed files (the largest LARGEST
// MB, 10 by default; the other 99 share 40 MB), served on loopback, beside the `curl`
// command line fetching the same 100 files over one connection. The worker runs in a child
// process so that its peak resident memory is its own. Goals: within 1.3 times curl's time;
// peak resident memory at most 20 MiB whatever the file sizes (downloads are streamed).
//
//   bench_update [ROUNDS [LARGEST]]

#include "update/update_worker.h"
#include "update/version_list.h"

#include <httplib.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kFiles = 1000;
constexpr int kChanged = 100;
constexpr std::size_t kOthers = 40u * 1000 * 1000;
constexpr double kPeakGoalMiB = 20;

struct Run
{
    double seconds = 0;
    // User plus system time of the child: less sensitive than the wall time to other work
    // on the machine.
    double cpuSeconds = 0;
    int status = -1;
};

// Runs argv to its end; the time it took.
Run Spawn(const std::vector<std::string>& args)
{
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        execvp(argv[0], argv.data());
        _exit(127);
    }
    Run run;
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    run.cpuSeconds = seconds(usage.ru_utime) + seconds(usage.ru_stime);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The peak resident memory of this process since its exec, in KiB. (A child's ru_maxrss
// would also count the parent's pages it shared before the exec.)
long PeakResidentKiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0)
            return std::atol(line.c_str() + 6);
    }
    return -1;
}

int WorkerChild(const std::string& programDir, const std::string& base, const std::string& key,
                const std::string& peakFile)
{
    UpdateSettings settings;
    settings.programDir = fs::path(programDir).wstring();
    settings.serverBase = fs::path(base).wstring();
    settings.key = *KeyFromHex<32>(key);
    const bool ready = RunUpdateCheck(settings) == UpdateOutcome::Ready;
    std::ofstream(peakFile) << PeakResidentKiB() << "\n";
    return ready ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 6 && std::string(argv[1]) == "--worker")
        return WorkerChild(argv[2], argv[3], argv[4], argv[5]);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const std::size_t kLargest =
        std::size_t(argc > 2 ? std::max(1, std::atoi(argv[2])) : 10) * 1000 * 1000;
    const std::size_t kTotal = kLargest + kOthers;

    char pattern[] = "/tmp/tavro-bench-update-XXXXXX";
    if (!mkdtemp(pattern))
        return 1;
    const fs::path work = pattern;

    // One changed file of kLargest bytes; the other 99 share the rest of the 50 MB.
    std::map<std::string, std::string> files;
    std::string installed = "<version v=\"4.0.0\">\n";
    const auto now = static_cast<std::int64_t>(std::time(nullptr));
    std::string list = "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n<version v=\"4.0.1\" made=\"" +
                       FormatUtcTime(now) + "\" expires=\"" + FormatUtcTime(now + 86400) + "\">\n";
    for (int i = 0; i < kFiles; ++i) {
        const std::string p = "Release\\data\\f" + std::to_string(i) + ".bin";
        installed += "<file p=\"" + p + "\" v=\"1\" />\n";
        std::string content = "unchanged " + std::to_string(i);
        std::string v = "1";
        if (i % (kFiles / kChanged) == 0) {
            const std::size_t size = i == 0 ? kLargest : (kTotal - kLargest) / (kChanged - 1);
            content.assign(size, '\0');
            for (std::size_t b = 0; b < size; b += 4096)
                content[b] = static_cast<char>(i + b / 4096);
            v = "2";
        }
        list += "<file p=\"" + p + "\" v=\"" + v + "\" sha256=\"" + Sha256Hex(content) +
                "\" size=\"" + std::to_string(content.size()) + "\" />\n";
        std::string path = "/quelmo/Bin/" + p;
        std::replace(path.begin(), path.end(), '\\', '/');
        files[path] = std::move(content);
    }
    installed += "</version>\n";
    list += "</version>\n";
    PublicKey publicKey{};
    SecretKey secretKey{};
    MakeKeyPair(publicKey, secretKey);
    files["/quelmo/Bin/Release/version.xml"] = list;
    files["/quelmo/Bin/Release/version.xml.sig"] = SignList(list, secretKey);

    httplib::Server server;
    server.Get(".*", [&files](const httplib::Request& req, httplib::Response& res) {
        const auto found = files.find(req.path);
        if (found == files.end()) {
            res.status = 404;
            return;
        }
        const std::string& body = found->second;
        res.set_content_provider(body.size(), "application/octet-stream",
                                 [&body](size_t offset, size_t length, httplib::DataSink& sink) {
                                     return sink.write(body.data() + offset,
                                                       std::min<size_t>(length, 1 << 20));
                                 });
    });
    const int port = server.bind_to_any_port("127.0.0.1");
    std::thread serving([&] { server.listen_after_bind(); });
    while (!server.is_running())
        std::this_thread::yield();
    const std::string base = "http://127.0.0.1:" + std::to_string(port) + "/quelmo/";

    // curl fetches the same 100 files with one command and one connection.
    const fs::path curlConfig = work / "curl.config";
    {
        std::ofstream config(curlConfig);
        for (int i = 0; i < kFiles; i += kFiles / kChanged)
            config << "url = \"" << base << "Bin/Release/data/f" << i << ".bin\"\noutput = \""
                   << (work / "curl" / ("f" + std::to_string(i) + ".bin")).string() << "\"\n";
    }

    std::vector<double> workerTimes, curlTimes, workerCpu, curlCpu, hashTimes;
    long workerPeak = 0;
    bool ok = true;
    for (int round = 0; round < rounds; ++round) {
        const fs::path program = work / "program";
        fs::remove_all(program);
        fs::create_directories(program / "Release");
        std::ofstream(program / "Release/version.xml") << installed;
        const fs::path peakFile = work / "peak";
        const Run worker = Spawn({argv[0], "--worker", program.string(), base,
                                  ToHex(publicKey.data(), publicKey.size()), peakFile.string()});
        ok = ok && worker.status == 0;
        workerTimes.push_back(worker.seconds);
        workerCpu.push_back(worker.cpuSeconds);
        long peak = -1;
        std::ifstream(peakFile) >> peak;
        workerPeak = std::max(workerPeak, peak);

        fs::remove_all(work / "curl");
        const Run curl =
            Spawn({"curl", "--silent", "--fail", "--create-dirs", "--config", curlConfig.string()});
        ok = ok && curl.status == 0;
        curlTimes.push_back(curl.seconds);
        curlCpu.push_back(curl.cpuSeconds);
        // What the worker does beyond curl and cannot leave out: checking each file's
        // SHA-256, here with the openssl command line (which uses the CPU's SHA instructions, as
        // the worker does) over curl's files.
        std::vector<std::string> hash{"sh", "-c", "openssl dgst -sha256 \"$@\" >/dev/null",
                                      "openssl"};
        for (const auto& entry : fs::directory_iterator(work / "curl"))
            hash.push_back(entry.path().string());
        const Run hashed = Spawn(hash);
        ok = ok && hashed.status == 0;
        hashTimes.push_back(hashed.seconds);
    }
    server.stop();
    serving.join();
    fs::remove_all(work);

    const double worker = Median(workerTimes), curl = Median(curlTimes);
    const double largestMiB = kLargest / 1048576.0;
    std::printf("update check, %d-file list, %d changed files, %.1f MB (median of %d)\n", kFiles,
                kChanged, kTotal / 1e6, rounds);
    std::printf("  worker    %.3f s   cpu %.3f s   peak RSS %.1f MiB\n", worker, Median(workerCpu),
                workerPeak / 1024.0);
    std::printf("  curl      %.3f s   cpu %.3f s\n", curl, Median(curlCpu));
    std::printf("  ratio     %.2f (goal <= 1.30)\n", worker / curl);
    std::printf(
        "  curl, then openssl dgst -sha256 of its files: %.3f s (worker's ratio to it %.2f)\n",
        curl + Median(hashTimes), worker / (curl + Median(hashTimes)));
    std::printf(
        "  memory    peak RSS %.1f MiB with a largest file of %.1f MiB (goal <= %.0f MiB)\n",
        workerPeak / 1024.0, largestMiB, kPeakGoalMiB);
    if (!ok)
        std::printf("  a run FAILED: the worker did not finish ready, or curl or openssl failed\n");
    return ok ? 0 : 1;
}
