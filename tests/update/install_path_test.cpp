#include "update/install_path.h"
#include "update/version_list.h"

#include <gtest/gtest.h>

#include <set>

namespace {

TEST(InstallPath, OnlyPlainRelativePathsOutsideTheProgramsOwnFilesMayBeInstalled)
{
    const std::set<std::string> folders = {"Release/data", "Skin"};
    const IsFolderOnDisk isFolder = [&folders](const std::string& relative) {
        return folders.count(relative) > 0;
    };
    using namespace std::string_literals;
    const std::pair<std::string, std::string> installable[] = {
        {"Release\\Tavro", "Release/Tavro"},
        {"Skin/a b.svg", "Skin/a b.svg"},
        {"Release\\Update", "Release/Update"},
        {"Release\\updater.txt", "Release/updater.txt"},
    };
    const std::string refused[] = {
        // Empty, dotted, doubled or trailing parts.
        "", ".", "Release\\.\\x", "Release\\.", ".\\Release\\x", "Release\\", "Release\\\\x",
        // Climbing, rooted, drive and stream names.
        "..\\x", "Release\\..\\..\\x", "a\\..\\b", "\\x", "/etc/passwd", "C:\\Windows\\x", "c:x",
        "Release\\Tavro:stream", "\\\\server\\share\\x",
        // Names a file system would change, control characters and a NUL.
        "Release\\conf.\\userdata.xml", "Release\\x ", "Release\\a\tb", "Release\\a\x7f",
        "Release\\Tavro\0.txt"s,
        // The profile, in any letter case, and the program's and updater's own files.
        "Release\\conf\\userdata.xml", "release\\CONF\\other.xml", "Release\\version.xml",
        "Release\\version.xml.sig", "Release\\update.journal.part", "Release\\update.log",
        "Release\\update.kept\\Release\\Tavro", "Release\\Update.staging\\Release\\Tavro",
        "Release\\Update\\Release\\Tavro",
        // A folder on disk.
        "Release\\data", "Skin"};
    for (const auto& [p, installed] : installable) {
        EXPECT_EQ(InstallableListPath(p, isFolder), installed) << p;
        EXPECT_TRUE(IsInstallablePath(p, isFolder)) << p;
    }
    for (const std::string& p : refused) {
        EXPECT_EQ(InstallableListPath(p, isFolder), std::nullopt) << p;
        EXPECT_FALSE(IsInstallablePath(p, isFolder)) << p;
    }
}

TEST(InstallPath, VersionsCompareAsDottedNumbers)
{
    const struct
    {
        const char* a;
        const char* b;
        std::optional<int> order;
    } cases[] = {
        {"4.0.1", "4.0.0", 1},
        {"4.0.0", "4.0.1", -1},
        {"4.0.10", "4.0.9", 1},
        {"4.0", "4.0.0", 0},
        {"4.0.01", "4.0.1", 0},
        {"10.0", "9.9.9", 1},
        {"123456789012345678901234567890.1", "123456789012345678901234567890.0", 1},
        {"4.0.1-a", "4.0.1", std::nullopt},
        {"4..1", "4.0.1", std::nullopt},
        {"", "1", std::nullopt},
        {"4.0.", "4.0", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CompareVersions(c.a, c.b), c.order) << c.a << " vs " << c.b;
        EXPECT_EQ(IsNewerVersion(c.a, c.b), c.order && *c.order > 0) << c.a << " vs " << c.b;
    }
}

const std::string kHash(64, 'a');

const char* const kMade = "2026-12-01T00:00:00Z";
const char* const kExpires = "2027-03-01T00:00:00Z";

// A list's root attributes; a null value leaves the attribute out.
std::string Root(const char* v, const char* made = kMade, const char* expires = kExpires)
{
    std::string root;
    for (const auto& [name, value] : {std::pair{"v", v}, {"made", made}, {"expires", expires}}) {
        if (value)
            root += std::string(" ") + name + "=\"" + value + "\"";
    }
    return root;
}

std::string List(const std::string& root, const std::string& files)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n<version" + root + ">" + files +
           "</version>";
}

std::string Entry(const std::string& p, const std::string& size = "5",
                  const std::string& hash = kHash)
{
    return "<file p=\"" + p + "\" v=\"2\" sha256=\"" + hash + "\" size=\"" + size + "\" />";
}

TEST(InstallPath, SignedListCarriesTimesAndSizesAndRefusesABadPathWhole)
{
    const std::string fresh = Root("4.0.1");
    const struct
    {
        const char* what;
        std::string bytes;
        std::optional<std::uint64_t> total; // none: refused
    } cases[] = {
        {"two files", List(fresh, Entry("Release\\Tavro", "5") + Entry("Skin\\a.svg", "7")), 12},
        {"no files", List(fresh, ""), 0},
        {"not XML", "<version", std::nullopt},
        {"no version", List(Root(nullptr), ""), std::nullopt},
        {"a version that is not numbers", List(Root("4.0.1-a"), ""), std::nullopt},
        {"no made time", List(Root("4.0.1", nullptr), ""), std::nullopt},
        {"a time without its zone", List(Root("4.0.1", "2026-12-01T00:00:00"), ""), std::nullopt},
        {"a day that does not exist", List(Root("4.0.1", "2026-02-30T00:00:00Z"), ""),
         std::nullopt},
        {"expiring before it was made", List(Root("4.0.1", "2027-12-01T00:00:00Z"), ""),
         std::nullopt},
        {"a file without a size", List(fresh, Entry("Release\\Tavro", "")), std::nullopt},
        {"a negative size", List(fresh, Entry("Release\\Tavro", "-1")), std::nullopt},
        {"a file without a hash", List(fresh, Entry("Release\\Tavro", "5", "")), std::nullopt},
        {"a refused path among good ones",
         List(fresh, Entry("Release\\Tavro") + Entry("Release\\conf\\userdata.xml")), std::nullopt},
        {"a NUL reference in a path", List(fresh, Entry("Release\\Tavro&#0;.txt")), std::nullopt},
        {"a file that is also a folder of another",
         List(fresh, Entry("Release\\data") + Entry("Release\\DATA\\x")), std::nullopt},
    };
    for (const auto& c : cases) {
        const auto reading = ReadSignedVersionList(c.bytes);
        EXPECT_EQ(reading.list.has_value(), c.total.has_value())
            << c.what << ": " << reading.refusal;
        EXPECT_EQ(reading.refusal.empty(), c.total.has_value()) << c.what;
        if (reading.list && c.total) {
            EXPECT_EQ(reading.list->totalBytes, *c.total) << c.what;
            EXPECT_EQ(FormatUtcTime(reading.list->made), kMade) << c.what;
            EXPECT_EQ(FormatUtcTime(reading.list->expires), kExpires) << c.what;
        }
    }
}

} // namespace
