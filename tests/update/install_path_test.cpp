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
    const struct
    {
        std::string p;
        const char* installed; // null: refused
    } cases[] = {
        {"Release\\Tavro", "Release/Tavro"},
        {"Skin/a b.svg", "Skin/a b.svg"},
        {"Release\\Update", "Release/Update"},
        {"Release\\updater.txt", "Release/updater.txt"},
        {"", nullptr},
        {".", nullptr},
        {"Release\\.\\x", nullptr},
        {"Release\\.", nullptr},
        {".\\Release\\x", nullptr},
        {"Release\\", nullptr},
        {"Release\\\\x", nullptr},
        {"..\\x", nullptr},
        {"Release\\..\\..\\x", nullptr},
        {"a\\..\\b", nullptr},
        {"\\x", nullptr},
        {"/etc/passwd", nullptr},
        {"C:\\Windows\\x", nullptr},
        {"c:x", nullptr},
        {"Release\\Tavro:stream", nullptr},
        {"\\\\server\\share\\x", nullptr},
        {"Release\\conf.\\userdata.xml", nullptr},
        {"Release\\x ", nullptr},
        {"Release\\a\tb", nullptr},
        {"Release\\a\x7f", nullptr},
        {"Release\\Tavro\0.txt"s, nullptr},
        {"Release\\conf\\userdata.xml", nullptr},
        {"release\\CONF\\other.xml", nullptr},
        {"Release\\version.xml", nullptr},
        {"Release\\version.xml.sig", nullptr},
        {"Release\\update.journal.part", nullptr},
        {"Release\\update.log", nullptr},
        {"Release\\update.kept\\Release\\Tavro", nullptr},
        {"Release\\Update.staging\\Release\\Tavro", nullptr},
        {"Release\\Update\\Release\\Tavro", nullptr},
        {"Release\\data", nullptr},
        {"Skin", nullptr},
    };
    for (const auto& c : cases) {
        const auto installed = InstallableListPath(c.p, isFolder);
        EXPECT_EQ(installed.has_value(), c.installed != nullptr) << c.p;
        EXPECT_EQ(IsInstallablePath(c.p, isFolder), c.installed != nullptr) << c.p;
        if (installed && c.installed) {
            EXPECT_EQ(*installed, c.installed) << c.p;
        }
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

std::string List(const std::string& root, const std::string& files)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n<version " + root + ">" + files +
           "</version>";
}

std::string Entry(const std::string& p, const std::string& size = "5",
                  const std::string& hash = kHash)
{
    return "<file p=\"" + p + "\" v=\"2\" sha256=\"" + hash + "\" size=\"" + size + "\" />";
}

TEST(InstallPath, SignedListCarriesTimesAndSizesAndRefusesABadPathWhole)
{
    const std::string fresh =
        "v=\"4.0.1\" made=\"2026-12-01T00:00:00Z\" expires=\"2027-03-01T00:00:00Z\"";
    const struct
    {
        const char* what;
        std::string bytes;
        bool read;
        std::uint64_t total;
    } cases[] = {
        {"two files", List(fresh, Entry("Release\\Tavro", "5") + Entry("Skin\\a.svg", "7")), true,
         12},
        {"no files", List(fresh, ""), true, 0},
        {"not XML", "<version", false, 0},
        {"no version", List("made=\"2026-12-01T00:00:00Z\" expires=\"2027-03-01T00:00:00Z\"", ""),
         false, 0},
        {"a version that is not numbers",
         List("v=\"4.0.1-a\" made=\"2026-12-01T00:00:00Z\" expires=\"2027-03-01T00:00:00Z\"", ""),
         false, 0},
        {"no made time", List("v=\"4.0.1\" expires=\"2027-03-01T00:00:00Z\"", ""), false, 0},
        {"a time without its zone",
         List("v=\"4.0.1\" made=\"2026-12-01T00:00:00\" expires=\"2027-03-01T00:00:00Z\"", ""),
         false, 0},
        {"a day that does not exist",
         List("v=\"4.0.1\" made=\"2026-02-30T00:00:00Z\" expires=\"2027-03-01T00:00:00Z\"", ""),
         false, 0},
        {"expiring before it was made",
         List("v=\"4.0.1\" made=\"2027-12-01T00:00:00Z\" expires=\"2027-03-01T00:00:00Z\"", ""),
         false, 0},
        {"a file without a size", List(fresh, Entry("Release\\Tavro", "")), false, 0},
        {"a negative size", List(fresh, Entry("Release\\Tavro", "-1")), false, 0},
        {"a file without a hash", List(fresh, Entry("Release\\Tavro", "5", "")), false, 0},
        {"a refused path among good ones",
         List(fresh, Entry("Release\\Tavro") + Entry("Release\\conf\\userdata.xml")), false, 0},
        {"a NUL reference in a path", List(fresh, Entry("Release\\Tavro&#0;.txt")), false, 0},
        {"a file that is also a folder of another",
         List(fresh, Entry("Release\\data") + Entry("Release\\DATA\\x")), false, 0},
    };
    for (const auto& c : cases) {
        const auto reading = ReadSignedVersionList(c.bytes);
        EXPECT_EQ(reading.list.has_value(), c.read) << c.what << ": " << reading.refusal;
        EXPECT_EQ(reading.refusal.empty(), c.read) << c.what;
        if (reading.list && c.read) {
            EXPECT_EQ(reading.list->totalBytes, c.total) << c.what;
            EXPECT_EQ(FormatUtcTime(reading.list->made), "2026-12-01T00:00:00Z") << c.what;
            EXPECT_EQ(FormatUtcTime(reading.list->expires), "2027-03-01T00:00:00Z") << c.what;
        }
    }
}

} // namespace
