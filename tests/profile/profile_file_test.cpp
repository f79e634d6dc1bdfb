#include "profile/profile_file.h"

#include "fake_services.h"
#include "host/host_utils.h"
#include "host/text_codec.h"
#include "host/xml_text.h"
#include "profile/calendar.h"
#include "scoped_time_zone.h"
#include "temp_program_dir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <tinyxml.h>

namespace {

const char* const kProfile = "Release/conf/userdata.xml";

class ProfileTest : public ::testing::Test
{
protected:
    ScopedTimeZone zone{"Asia/Shanghai"};
    FakeServices fakes;
    TempProgramDir dir;
    CTavroAppData app;

    void SetUp() override
    {
        fakes.clock.Set(MakeLocalDate(2026, 6, 10) + 12 * 3600);
        app.programDir = dir.WidePath();
    }
    void WriteProfile(const std::string& xml) { dir.Write(kProfile, xml); }
    std::string ReadProfile() const { return dir.Read(kProfile); }

    // A profile with the given root attributes and a date child with the given attributes.
    static std::string Profile(const std::string& root, const std::string& date)
    {
        return "<userdata " + root + "><date " + date + " /></userdata>";
    }
    // Loads a fresh application object from the file as it stands.
    CTavroAppData Reload()
    {
        CTavroAppData loaded;
        loaded.programDir = app.programDir;
        LoadProfile(loaded);
        return loaded;
    }
};

} // namespace

TEST_F(ProfileTest, AfterSetupTheDateAndFlagsAreRead)
{
    WriteProfile(Profile("needup=\"0\" first=\"250\"", "year=\"2026\" month=\"9\" day=\"1\""));
    LoadProfile(app);
    EXPECT_FALSE(app.firstRun);
    EXPECT_FALSE(app.updatePending);
    EXPECT_EQ(app.dueTime, MakeLocalDate(2026, 9, 1));
    EXPECT_EQ(app.daysToDue, 83);
    EXPECT_EQ(app.daysPregnant, 197);
    EXPECT_EQ(app.pregnancyWeek, 29);
    EXPECT_EQ(app.dayOfWeek, 1);
    EXPECT_EQ(app.macText, GetMacText());
    EXPECT_TRUE(fakes.messageBox.shown.empty());
}

TEST_F(ProfileTest, FirstZeroIsAFirstRunWhateverTheDateHolds)
{
    WriteProfile(Profile("first=\"0\" needup=\"0\"", "year=\"1999\" month=\"1\" day=\"1\""));
    LoadProfile(app);
    EXPECT_TRUE(app.firstRun);
    EXPECT_EQ(app.dueTime, 0);
    EXPECT_TRUE(fakes.processExit.codes.empty());
}

TEST_F(ProfileTest, AProfileWithoutAUsableSetupMarkStartsSetupOfferingTheStoredDate)
{
    // "first" absent, negative or not a number: setup starts, the date is kept for it.
    for (const char* first :
         {"", "first=\"-1\"", "first=\"abc\"", "first=\"\"", "first=\"-\"", "first=\"+x1\""}) {
        WriteProfile(
            Profile(std::string(first) + " needup=\"1\"", "year=\"2026\" month=\"9\" day=\"1\""));
        CTavroAppData loaded = Reload();
        EXPECT_TRUE(loaded.firstRun) << first;
        EXPECT_EQ(loaded.setupDueTime, MakeLocalDate(2026, 9, 1)) << first;
        EXPECT_EQ(loaded.dueTime, 0) << first << ": not counted before it is confirmed";
        EXPECT_EQ(loaded.daysPregnant, 0) << first;
        EXPECT_TRUE(loaded.updatePending) << first;
    }
    // Nothing to offer when the stored date makes no date, or is already over (the
    // setup window then starts at today; expiry applies only to a confirmed date).
    for (const auto& [date, offered] : std::vector<std::pair<std::string, std::int64_t>>{
             {"year=\"2026\" month=\"13\" day=\"1\"", 0},
             {"year=\"0\" month=\"0\" day=\"0\"", 0},
             {"year=\"2020\" month=\"1\" day=\"1\"", MakeLocalDate(2020, 1, 1)}}) {
        WriteProfile(Profile("first=\"-1\"", date));
        CTavroAppData loaded = Reload();
        EXPECT_TRUE(loaded.firstRun) << date;
        EXPECT_EQ(loaded.setupDueTime, offered) << date;
        EXPECT_TRUE(fakes.processExit.codes.empty()) << date;
    }
}

TEST_F(ProfileTest, NeedupAboveZeroMeansAnUpdateWaits)
{
    for (const auto& [needup, pending] :
         std::vector<std::pair<std::string, bool>>{{"needup=\"2\"", true},
                                                   {"needup=\"1\"", true},
                                                   {"needup=\" 7up\"", true},
                                                   {"needup=\"0\"", false},
                                                   {"needup=\"-3\"", false},
                                                   {"needup=\"yes\"", false},
                                                   {"", false}}) {
        WriteProfile(Profile(needup + " first=\"0\"", ""));
        EXPECT_EQ(Reload().updatePending, pending) << needup;
    }
}

TEST_F(ProfileTest, FirstPositiveWithoutADateChildLeavesTheDateAlone)
{
    WriteProfile("<userdata first=\"1\" needup=\"0\"><!-- no date --></userdata>");
    LoadProfile(app);
    EXPECT_FALSE(app.firstRun);
    EXPECT_EQ(app.dueTime, 0);
    EXPECT_EQ(app.daysPregnant, 0);
}

TEST_F(ProfileTest, LeadingDigitsAreTheNumber)
{
    WriteProfile(
        Profile("first=\"12abc\" needup=\"0x\"", "year=\" 2026AD\" month=\"+9th\" day=\"1.5\""));
    LoadProfile(app);
    EXPECT_FALSE(app.firstRun);
    EXPECT_FALSE(app.updatePending);
    EXPECT_EQ(app.dueTime, MakeLocalDate(2026, 9, 1));
}

TEST_F(ProfileTest, AStoredDateThatCannotBeCountedStartsTheSetupAndKeepsTheFile)
{
    // Today is 10 June 2026; the pickers offer due dates up to 16 March 2027. What setup
    // then offers is the stored date, or its month's last day for a day past the month's end
    // (the setup window keeps it within the dates it offers).
    for (const auto& [date, offered] : std::vector<std::pair<std::string, std::int64_t>>{
             {"year=\"2026\" month=\"13\" day=\"1\"", 0},
             {"month=\"9\" day=\"1\"", 0},
             {"year=\"2026\" month=\"9\" day=\"x\"", 0},
             {"year=\"1800\" month=\"1\" day=\"1\"", 0},
             {"year=\"2099\" month=\"2\" day=\"30\"", MakeLocalDate(2099, 2, 28)},
             {"year=\"2026\" month=\"9\" day=\"31\"", MakeLocalDate(2026, 9, 30)},
             {"year=\"2027\" month=\"3\" day=\"17\"", MakeLocalDate(2027, 3, 17)}}) {
        const std::string stored = Profile("first=\"250\" needup=\"0\"", date);
        WriteProfile(stored);
        CTavroAppData loaded = Reload();
        EXPECT_TRUE(loaded.firstRun) << date;
        EXPECT_EQ(loaded.dueTime, 0) << date;
        EXPECT_EQ(loaded.setupDueTime, offered) << date;
        EXPECT_EQ(loaded.daysPregnant, 0) << date << ": nothing negative is ever counted";
        EXPECT_EQ(loaded.pregnancyWeek, 0) << date;
        EXPECT_EQ(ReadProfile(), stored) << date << ": kept until the user confirms a date";
    }
    // The latest date the pickers offer is still counted.
    WriteProfile(Profile("first=\"250\" needup=\"0\"", "year=\"2027\" month=\"3\" day=\"16\""));
    EXPECT_FALSE(Reload().firstRun);
    EXPECT_TRUE(fakes.messageBox.shown.empty());
    EXPECT_TRUE(fakes.processExit.codes.empty());
}

TEST_F(ProfileTest, AnExpiredStoredDateIsReportedByTheLoad)
{
    WriteProfile(Profile("first=\"250\" needup=\"0\"", "year=\"2026\" month=\"6\" day=\"9\""));
    EXPECT_EQ(LoadProfile(app), DueDateState::Expired);
    EXPECT_EQ(app.daysToDue, -1);
    EXPECT_TRUE(fakes.messageBox.shown.empty());
    EXPECT_TRUE(fakes.processExit.codes.empty());
}

TEST_F(ProfileTest, AMissingOrUnreadableProfileStartsTheSetup)
{
    EXPECT_TRUE(Reload().firstRun); // no file at all
    for (const char* content :
         {"", "not xml", "<userdata first=\"250\"", "<!-- only -->", "<?xml version=\"1.0\"?>"}) {
        WriteProfile(content);
        EXPECT_TRUE(Reload().firstRun) << content;
    }
    // A folder where the file should be.
    std::filesystem::remove(dir.Sub(kProfile));
    std::filesystem::create_directories(dir.Sub(kProfile));
    EXPECT_TRUE(Reload().firstRun);
    EXPECT_TRUE(fakes.messageBox.shown.empty());
}

TEST_F(ProfileTest, TheInstalledProfileIsAFirstRun)
{
    std::ifstream installed(TAVRO_SOURCE_DIR "/package/Release/conf/userdata.xml");
    std::stringstream content;
    content << installed.rdbuf();
    ASSERT_FALSE(content.str().empty());
    WriteProfile(content.str());
    LoadProfile(app);
    EXPECT_TRUE(app.firstRun);
    EXPECT_FALSE(app.updatePending);
}

TEST_F(ProfileTest, TheApplicationsDocumentHoldsTheFileAfterwards)
{
    WriteProfile(Profile("first=\"0\" needup=\"0\"", "") + "<!-- tail -->");
    TiXmlDocument doc;
    app.profileDoc = &doc;
    LoadProfile(app);
    ASSERT_NE(doc.FirstChildElement(), nullptr);
    EXPECT_STREQ(doc.FirstChildElement()->Attribute("first"), "0");
    app.firstRun = false;
    app.dueTime = MakeLocalDate(2026, 9, 1);
    SaveProfile(app);
    EXPECT_STREQ(doc.FirstChildElement()->Attribute("first"), "250");
}

TEST_F(ProfileTest, SaveWritesTheStateAndKeepsEverythingElse)
{
    WriteProfile("<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n"
                 "<!-- written by the installer -->\n"
                 "<userdata skin=\"pink\" first=\"0\">\n"
                 "    <date month=\"0\" note=\"keep\" />\n"
                 "    <extra a=\"1\">text</extra>\n"
                 "</userdata>\n");
    app.firstRun = false;
    app.updatePending = true;
    SetDueDate(app, MakeLocalDate(2026, 9, 1));
    SaveProfile(app);

    TiXmlDocument doc;
    ASSERT_TRUE(ParseXmlText(doc, ReadProfile()));
    const TiXmlElement* root = doc.FirstChildElement();
    ASSERT_NE(root, nullptr);
    std::vector<std::string> rootAttributes;
    for (const TiXmlAttribute* a = root->FirstAttribute(); a; a = a->Next())
        rootAttributes.push_back(std::string(a->Name()) + "=" + a->Value());
    EXPECT_EQ(rootAttributes, (std::vector<std::string>{"skin=pink", "first=250", "needup=1"}));
    const TiXmlElement* date = root->FirstChildElement();
    ASSERT_NE(date, nullptr);
    std::vector<std::string> dateAttributes;
    for (const TiXmlAttribute* a = date->FirstAttribute(); a; a = a->Next())
        dateAttributes.push_back(std::string(a->Name()) + "=" + a->Value());
    EXPECT_EQ(dateAttributes,
              (std::vector<std::string>{"month=9", "note=keep", "year=2026", "day=1"}));
    const std::string saved = ReadProfile();
    EXPECT_NE(saved.find("<!-- written by the installer -->"), std::string::npos);
    EXPECT_NE(saved.find("<extra a=\"1\">text</extra>"), std::string::npos);
    EXPECT_NE(saved.find("encoding=\"UTF-8\""), std::string::npos);

    CTavroAppData loaded = Reload();
    EXPECT_FALSE(loaded.firstRun);
    EXPECT_TRUE(loaded.updatePending);
    EXPECT_EQ(loaded.dueTime, app.dueTime);
}

TEST_F(ProfileTest, NeedupTwoIsWrittenBackAsOne)
{
    WriteProfile(Profile("first=\"250\" needup=\"2\"", "year=\"2026\" month=\"9\" day=\"1\""));
    LoadProfile(app);
    SaveProfile(app);
    EXPECT_EQ(ReadProfile().find("needup=\"2\""), std::string::npos);
    EXPECT_NE(ReadProfile().find("needup=\"1\""), std::string::npos);
    app.updatePending = false;
    SaveProfile(app);
    EXPECT_NE(ReadProfile().find("needup=\"0\""), std::string::npos);
}

TEST_F(ProfileTest, QuittingBeforeSetupKeepsItAFirstRun)
{
    WriteProfile(Profile("first=\"0\" needup=\"0\"", "year=\"0\" month=\"0\" day=\"0\""));
    LoadProfile(app);
    ASSERT_TRUE(app.firstRun);
    SaveProfile(app);
    CTavroAppData next = Reload();
    EXPECT_TRUE(next.firstRun);
    EXPECT_TRUE(fakes.processExit.codes.empty());
}

TEST_F(ProfileTest, ASaveWithoutADueDateOfItsOwnLeavesTheStoredDate)
{
    // Setup not done, a setup mark that is unusable, or a date never set: the save must not
    // mark setup as done with the 1970 default date (expired at the next start) nor write
    // that date over the stored one.
    struct Case
    {
        const char* root;
        bool firstRun;
    };
    for (const Case& c :
         {Case{"first=\"0\"", true}, Case{"needup=\"0\"", true}, Case{"first=\"-1\"", true},
          Case{"first=\"abc\"", true}, Case{"first=\"1\"", false}}) {
        WriteProfile(Profile(c.root, "year=\"2026\" month=\"9\" day=\"1\" note=\"n\""));
        CTavroAppData loaded;
        loaded.programDir = app.programDir;
        loaded.firstRun = c.firstRun;
        SaveProfile(loaded);
        const std::string saved = ReadProfile();
        EXPECT_NE(saved.find("year=\"2026\" month=\"9\" day=\"1\""), std::string::npos)
            << c.root << ": " << saved;
        EXPECT_NE(saved.find("first=\"0\""), std::string::npos) << c.root << ": " << saved;
        CTavroAppData next = Reload();
        EXPECT_TRUE(next.firstRun) << c.root;
        EXPECT_EQ(next.setupDueTime, MakeLocalDate(2026, 9, 1)) << c.root;
        EXPECT_TRUE(fakes.processExit.codes.empty()) << c.root;
    }
}

TEST_F(ProfileTest, AnUnreadableProfileIsKeptAsideOnceBeforeAFreshOneIsWritten)
{
    std::string utf16 = "\xFF\xFE";
    for (char c : Profile("first=\"250\"", "year=\"2026\" month=\"9\" day=\"1\"")) {
        utf16 += c;
        utf16 += '\0';
    }
    const std::string oversized = Profile("first=\"250\"", "year=\"2026\" month=\"9\" day=\"1\"") +
                                  "<!--" + std::string(2 << 20, 'x') + "-->";
    for (const std::string& content : {utf16, oversized, std::string("<userdata first=")}) {
        const std::filesystem::path aside = dir.Sub(std::string(kProfile) + ".unreadable");
        std::filesystem::remove(aside);
        WriteProfile(content);
        CTavroAppData loaded = Reload();
        ASSERT_TRUE(loaded.firstRun);
        SaveProfile(loaded);
        ASSERT_TRUE(std::filesystem::exists(aside)) << content.size();
        EXPECT_EQ(dir.Read(std::string(kProfile) + ".unreadable"), content);
        EXPECT_TRUE(Reload().firstRun);

        // The fresh profile reads, so later saves keep nothing more.
        loaded.firstRun = false;
        SetDueDate(loaded, MakeLocalDate(2026, 10, 1));
        SaveProfile(loaded);
        EXPECT_EQ(Reload().dueTime, MakeLocalDate(2026, 10, 1));
        EXPECT_EQ(dir.Read(std::string(kProfile) + ".unreadable"), content);
        EXPECT_FALSE(std::filesystem::exists(aside.string() + "-2"));
    }
    // A copy kept earlier is never replaced by a later one.
    WriteProfile("garbage");
    SaveProfile(app);
    EXPECT_EQ(dir.Read(std::string(kProfile) + ".unreadable-2"), "garbage");
    EXPECT_EQ(dir.Read(std::string(kProfile) + ".unreadable"), "<userdata first=");
    EXPECT_TRUE(fakes.messageBox.shown.empty());
}

TEST_F(ProfileTest, AMissingConfFolderIsCreatedBySave)
{
    std::filesystem::create_directories(dir.Sub("Release"));
    app.firstRun = false;
    SetDueDate(app, MakeLocalDate(2026, 12, 24));
    SaveProfile(app);
    EXPECT_TRUE(fakes.messageBox.shown.empty());
    const CTavroAppData next = Reload();
    EXPECT_FALSE(next.firstRun);
    EXPECT_EQ(next.dueTime, MakeLocalDate(2026, 12, 24));
}

TEST_F(ProfileTest, AFifoInPlaceOfTheProfileIsRefusedWithoutWaiting)
{
    std::filesystem::create_directories(dir.Sub("Release/conf"));
    ASSERT_EQ(mkfifo(dir.Sub(kProfile).c_str(), 0600), 0);
    LoadProfile(app);
    EXPECT_TRUE(app.firstRun);
    // The save puts a real profile in its place; a FIFO holds nothing worth keeping.
    SaveProfile(app);
    EXPECT_TRUE(std::filesystem::is_regular_file(dir.Sub(kProfile)));
    EXPECT_FALSE(std::filesystem::exists(dir.Sub(std::string(kProfile) + ".unreadable")));
    EXPECT_TRUE(Reload().firstRun);
}

TEST_F(ProfileTest, AMissingProfileIsWrittenAfresh)
{
    std::filesystem::create_directories(dir.Sub("Release/conf"));
    LoadProfile(app);
    ASSERT_TRUE(app.firstRun);
    SaveProfile(app);
    EXPECT_TRUE(fakes.messageBox.shown.empty());
    EXPECT_TRUE(Reload().firstRun);

    // Setup done: the fresh file now carries the date.
    app.firstRun = false;
    SetDueDate(app, MakeLocalDate(2026, 12, 24));
    SaveProfile(app);
    CTavroAppData next = Reload();
    EXPECT_FALSE(next.firstRun);
    EXPECT_EQ(next.dueTime, MakeLocalDate(2026, 12, 24));
}

TEST_F(ProfileTest, ADamagedProfileIsReplacedOnSave)
{
    for (const char* content : {"<userdata first=\"250\"", "<!-- no root -->", "garbage"}) {
        WriteProfile(content);
        CTavroAppData loaded = Reload();
        ASSERT_TRUE(loaded.firstRun);
        SaveProfile(loaded);
        EXPECT_TRUE(Reload().firstRun) << content;
        TiXmlDocument doc;
        ParseXmlText(doc, ReadProfile());
        ASSERT_NE(doc.FirstChildElement(), nullptr) << content;
        EXPECT_NE(doc.FirstChildElement()->FirstChildElement(), nullptr) << content;
    }
    EXPECT_TRUE(fakes.messageBox.shown.empty());
}

TEST_F(ProfileTest, ARootWithoutChildGetsADateElement)
{
    WriteProfile("<userdata first=\"250\" needup=\"0\"><!-- c --></userdata>");
    app.firstRun = false;
    SetDueDate(app, MakeLocalDate(2026, 7, 4));
    SaveProfile(app);
    EXPECT_EQ(Reload().dueTime, MakeLocalDate(2026, 7, 4));
    EXPECT_NE(ReadProfile().find("<!-- c -->"), std::string::npos);
}

TEST_F(ProfileTest, ASaveNeverLeavesAProfileThatCannotBeReadBack)
{
    // The XML library reads this (an unquoted value that starts a broken UTF-8 sequence)
    // but prints it in a form it cannot parse again.
    const std::string damaged = "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>"
                                "<userdata first=\"250\" needup=\"0\">"
                                "<date year=\"2026\" month=\"9\" day=\"1\" /><u i=\xEC/>"
                                "</userdata>";
    WriteProfile(damaged);
    TiXmlDocument loaded;
    ASSERT_TRUE(ParseXmlText(loaded, damaged));

    app.firstRun = false;
    SetDueDate(app, MakeLocalDate(2026, 8, 8));
    SaveProfile(app);
    const CTavroAppData next = Reload();
    EXPECT_FALSE(next.firstRun);
    EXPECT_EQ(next.dueTime, MakeLocalDate(2026, 8, 8));
    EXPECT_TRUE(fakes.messageBox.shown.empty());
}

TEST_F(ProfileTest, AProfileThatCannotBeWrittenShowsThePathThenOpenFailed)
{
    app.programDir = dir.WidePath() + L"/没有";
    SaveProfile(app);
    const std::wstring path = dir.WidePath() + L"/没有/Release/conf/userdata.xml";
    EXPECT_EQ(fakes.messageBox.Texts(), (std::vector<std::wstring>{path, L"打开失败"}));
    EXPECT_FALSE(std::filesystem::exists(dir.Sub("没有")));
}

TEST_F(ProfileTest, AFolderInThePlaceOfTheFileIsLeftAlone)
{
    dir.Write(std::string(kProfile) + "/inside", "kept");
    SaveProfile(app);
    EXPECT_EQ(fakes.messageBox.Texts().size(), 2u);
    EXPECT_EQ(dir.Read(std::string(kProfile) + "/inside"), "kept");
}

TEST(ScanInt, ReadsLikePercentD)
{
    EXPECT_EQ(ScanInt("42"), 42);
    EXPECT_EQ(ScanInt("  \t\n-17x"), -17);
    EXPECT_EQ(ScanInt("+8"), 8);
    EXPECT_EQ(ScanInt("007"), 7);
    EXPECT_EQ(ScanInt("12abc"), 12);
    EXPECT_EQ(ScanInt("2147483647"), 2147483647);
    EXPECT_EQ(ScanInt("-2147483648"), -2147483647 - 1);
    EXPECT_EQ(ScanInt("99999999999999999999999"), 2147483647);
    EXPECT_EQ(ScanInt("-99999999999999999999999"), -2147483647 - 1);
    for (const char* none : {"", "abc", "-", "+", "+-1", "- 1", " x1", "\xE4\xB8\x80"})
        EXPECT_EQ(ScanInt(none), std::nullopt) << none;
    EXPECT_EQ(ScanInt(nullptr), std::nullopt);
}

TEST(ProfilePath, IsTheProgramFolderPlusTheFixedTail)
{
    CTavroAppData app;
    app.programDir = L"/home/妈妈/Tavro";
    EXPECT_EQ(ProfilePath(app), WideToAnsi(L"/home/妈妈/Tavro/Release/conf/userdata.xml"));
}
