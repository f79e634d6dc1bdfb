#include "update/version_list.h"

#include "update/update_worker.h"

#include <tinyxml.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <set>

namespace {

// An attribute's whole value: a character reference such as "&#0;" puts a NUL into the
// value, which the plain lookup would cut the text at.
std::optional<std::string> WholeAttribute(const TiXmlElement* element, std::string_view name)
{
    for (const TiXmlAttribute* a = element->FirstAttribute(); a; a = a->Next()) {
        if (name == a->Name())
            return std::string(a->ValueStr().c_str(), a->ValueStr().size());
    }
    return std::nullopt;
}

bool IsLowerHex64(std::string_view text)
{
    return text.size() == 64 && std::all_of(text.begin(), text.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
           });
}

std::optional<std::uint64_t> ParseSize(std::string_view text)
{
    // 18 digits cannot overflow, and no file comes near it.
    if (text.empty() || text.size() > 18 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    std::uint64_t size = 0;
    for (const char c : text)
        size = size * 10 + static_cast<std::uint64_t>(c - '0');
    return size;
}

std::optional<int> Digits(std::string_view text, std::size_t at, std::size_t count)
{
    int value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return std::nullopt;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

std::string Lower(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

VersionListReading Refused(std::string why) { return {std::nullopt, std::move(why)}; }

} // namespace

std::optional<std::int64_t> ParseUtcTime(std::string_view text)
{
    // YYYY-MM-DDTHH:MM:SSZ
    if (text.size() != 20 || text[4] != '-' || text[7] != '-' || text[10] != 'T' ||
        text[13] != ':' || text[16] != ':' || text[19] != 'Z')
        return std::nullopt;
    const auto year = Digits(text, 0, 4);
    const auto month = Digits(text, 5, 2);
    const auto day = Digits(text, 8, 2);
    const auto hour = Digits(text, 11, 2);
    const auto minute = Digits(text, 14, 2);
    const auto second = Digits(text, 17, 2);
    if (!year || !month || !day || !hour || !minute || !second || *hour > 23 || *minute > 59 ||
        *second > 59)
        return std::nullopt;
    using namespace std::chrono;
    const year_month_day date{std::chrono::year(*year), std::chrono::month(unsigned(*month)),
                              std::chrono::day(unsigned(*day))};
    if (!date.ok())
        return std::nullopt;
    const auto days = sys_days(date).time_since_epoch().count();
    return static_cast<std::int64_t>(days) * 86400 + *hour * 3600 + *minute * 60 + *second;
}

std::string FormatUtcTime(std::int64_t seconds)
{
    using namespace std::chrono;
    const std::int64_t dayCount = (seconds >= 0 ? seconds : seconds - 86399) / 86400;
    const std::int64_t inDay = seconds - dayCount * 86400;
    const year_month_day date{sys_days(days(dayCount))};
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02dZ", int(date.year()),
                  unsigned(date.month()), unsigned(date.day()), int(inDay / 3600),
                  int(inDay / 60 % 60), int(inDay % 60));
    return text;
}

VersionListReading ReadSignedVersionList(std::string_view bytes, const IsFolderOnDisk& isFolder)
{
    TiXmlDocument doc;
    ParseServerList(doc, bytes);
    const TiXmlElement* root = doc.FirstChildElement();
    if (!root)
        return Refused("the list is not XML");
    SignedVersionList list;
    list.version = WholeAttribute(root, "v").value_or("");
    if (!CompareVersions(list.version, list.version))
        return Refused("the list's version \"" + list.version + "\" is not dotted numbers");
    const auto made = ParseUtcTime(WholeAttribute(root, "made").value_or(""));
    const auto expires = ParseUtcTime(WholeAttribute(root, "expires").value_or(""));
    if (!made || !expires || *expires < *made)
        return Refused("the list does not say when it was made and until when it holds");
    list.made = *made;
    list.expires = *expires;

    // Lowercase, as Windows compares: a file may not also be a folder of another entry.
    std::set<std::string> filePaths;
    std::set<std::string> folderPaths;
    for (const TiXmlElement* e = root->FirstChildElement(); e; e = e->NextSiblingElement()) {
        ListedFile file;
        file.p = WholeAttribute(e, "p").value_or("");
        const auto relative = InstallableListPath(file.p, isFolder);
        if (!relative)
            return Refused("refused path \"" + file.p + "\"");
        file.relative = *relative;
        file.v = WholeAttribute(e, "v").value_or("");
        file.sha256 = WholeAttribute(e, "sha256").value_or("");
        if (!IsLowerHex64(file.sha256))
            return Refused("\"" + file.p + "\" has no SHA-256");
        const auto size = ParseSize(WholeAttribute(e, "size").value_or(""));
        if (!size)
            return Refused("\"" + file.p + "\" has no size");
        file.size = *size;
        const std::string lower = Lower(file.relative);
        filePaths.insert(lower);
        for (std::size_t slash = lower.find('/'); slash != std::string::npos;
             slash = lower.find('/', slash + 1))
            folderPaths.insert(lower.substr(0, slash));
        list.totalBytes += file.size;
        list.files.push_back(std::move(file));
    }
    for (const std::string& folder : folderPaths) {
        if (filePaths.count(folder))
            return Refused("\"" + folder + "\" is listed both as a file and as a folder");
    }
    return {std::move(list), {}};
}
