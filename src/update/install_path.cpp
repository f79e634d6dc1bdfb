#include "update/install_path.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <vector>

namespace {

std::string Lower(std::string_view text)
{
    std::string lower(text);
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

bool StartsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

// Names below "Release/" that belong to the program's own bookkeeping, lowercase. A path
// equal to one of them, below it, or (for the files) one of its temporary siblings such as
// "update.journal.part" is refused.
constexpr std::array<std::string_view, 7> kReservedInRelease = {
    "conf",           // the user's profile
    "version.xml",    // the installed list, written by the updater
    "update.staging", // the worker's staging folder
    "update",         // the staging folder's name on Windows; refused only as a folder
    "update.journal", // the updater's journal
    "update.kept",    // files the updater keeps to roll back
    "update.log",     // the update log
};

bool Reserved(const std::vector<std::string_view>& parts)
{
    if (parts.size() < 2 || Lower(parts[0]) != "release")
        return false;
    const std::string name = Lower(parts[1]);
    for (const std::string_view reserved : kReservedInRelease) {
        if (reserved == "update") {
            // "Release/Update" is the updater program itself and may be replaced.
            if (name == reserved && parts.size() > 2)
                return true;
            continue;
        }
        if (name == reserved || StartsWith(name, std::string(reserved) + "."))
            return true;
    }
    return false;
}

bool PartAllowed(std::string_view part)
{
    if (part.empty() || part == "." || part == "..")
        return false;
    if (part.back() == '.' || part.back() == ' ')
        return false;
    return std::none_of(part.begin(), part.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7f || c == ':';
    });
}

std::optional<std::vector<std::string_view>> DigitRuns(std::string_view version)
{
    std::vector<std::string_view> runs;
    std::size_t start = 0;
    for (;;) {
        const std::size_t dot = version.find('.', start);
        const std::string_view run = version.substr(start, dot - start);
        if (run.empty() ||
            !std::all_of(run.begin(), run.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return std::nullopt;
        // Leading zeros do not count, so runs compare by length first, then digit by digit,
        // without any limit on their size.
        const std::size_t first = std::min(run.find_first_not_of('0'), run.size());
        runs.push_back(run.substr(first));
        if (dot == std::string_view::npos)
            return runs;
        start = dot + 1;
    }
}

std::vector<std::string_view> Parts(std::string_view path)
{
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t slash = path.find('/', start);
        parts.push_back(path.substr(start, slash - start));
        if (slash == std::string_view::npos)
            return parts;
        start = slash + 1;
    }
}

std::string ForwardSlashes(std::string_view listPath)
{
    std::string path(listPath);
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

} // namespace

bool IsProgramOwnPath(std::string_view listPath)
{
    return Reserved(Parts(ForwardSlashes(listPath)));
}

std::optional<std::string> InstallableListPath(std::string_view listPath,
                                               const IsFolderOnDisk& isFolder)
{
    const std::string path = ForwardSlashes(listPath);
    const std::vector<std::string_view> parts = Parts(path);
    // An empty part also refuses a leading '/' (absolute), "//server" and a trailing '/'.
    if (!std::all_of(parts.begin(), parts.end(), PartAllowed) || Reserved(parts))
        return std::nullopt;
    if (isFolder && isFolder(path))
        return std::nullopt;
    return path;
}

std::optional<int> CompareVersions(std::string_view a, std::string_view b)
{
    const auto runsA = DigitRuns(a);
    const auto runsB = DigitRuns(b);
    if (!runsA || !runsB)
        return std::nullopt;
    const std::size_t count = std::max(runsA->size(), runsB->size());
    for (std::size_t i = 0; i < count; ++i) {
        const std::string_view x = i < runsA->size() ? (*runsA)[i] : std::string_view();
        const std::string_view y = i < runsB->size() ? (*runsB)[i] : std::string_view();
        if (x.size() != y.size())
            return x.size() < y.size() ? -1 : 1;
        if (const int order = x.compare(y); order != 0)
            return order < 0 ? -1 : 1;
    }
    return 0;
}
