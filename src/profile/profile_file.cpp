#include "profile/profile_file.h"

#include "host/file_io.h"
#include "host/host_utils.h"
#include "host/paths.h"
#include "host/services.h"
#include "host/text_codec.h"
#include "host/xml_text.h"
#include "profile/calendar.h"

#include <algorithm>
#include <climits>
#include <memory>
#include <tinyxml.h>

namespace {

// A profile is a few hundred bytes; anything far larger is not one of ours.
constexpr std::size_t kMaxProfileBytes = 1 << 20;

const wchar_t* const kProgramName = L"Tavro";
const wchar_t* const kOpenFailedText = L"打开失败";
// The name an unreadable profile is kept under, beside the fresh one.
const char* const kUnreadableSuffix = ".unreadable";

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Starts from `initial` and takes the attribute's number when it has one.
int ReadInt(const TiXmlElement& element, const char* name, int initial)
{
    return ScanInt(element.Attribute(name)).value_or(initial);
}

// Loads the file into `doc`; false when it is missing, unreadable or not XML with a root.
bool LoadDocument(const std::string& path, TiXmlDocument& doc)
{
    doc.Clear();
    const auto content = ReadWholeFile(path, kMaxProfileBytes);
    return content && ParseXmlText(doc, *content) && doc.FirstChildElement() != nullptr;
}

// Uses the application's document when there is one, so that it holds the file afterwards.
class ProfileDocument
{
public:
    explicit ProfileDocument(CTavroAppData& app)
        : m_owned(app.profileDoc ? nullptr : std::make_unique<TiXmlDocument>()),
          m_doc(app.profileDoc ? app.profileDoc : m_owned.get())
    {}
    TiXmlDocument& Get() { return *m_doc; }

private:
    std::unique_ptr<TiXmlDocument> m_owned;
    TiXmlDocument* m_doc;
};

} // namespace

std::optional<int> ScanInt(const char* text)
{
    if (!text)
        return std::nullopt;
    while (IsSpace(*text))
        ++text;
    bool negative = false;
    if (*text == '+' || *text == '-')
        negative = *text++ == '-';
    if (*text < '0' || *text > '9')
        return std::nullopt;
    long long value = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        if (value <= static_cast<long long>(INT_MAX) + 1)
            value = value * 10 + (*text - '0');
    }
    if (negative)
        value = -value;
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return static_cast<int>(value);
}

std::string ProfilePath(const CTavroAppData& app)
{
    return WideToAnsi(app.programDir + kProfileTail);
}

namespace {

// The stored date, when it makes one.
std::optional<std::int64_t> StoredDate(const TiXmlElement* date)
{
    if (!date)
        return std::nullopt;
    return ExactLocalDate(ReadInt(*date, "year", 0), ReadInt(*date, "month", 0),
                          ReadInt(*date, "day", 0));
}

// What setup offers for a stored date that is no real one: a day past its month's end
// becomes that month's last day (the setup window then keeps it within the dates it
// offers). Nothing when even the year and month make no date.
std::int64_t NearestStoredDate(const TiXmlElement* date)
{
    if (const std::optional<std::int64_t> exact = StoredDate(date))
        return *exact;
    if (!date)
        return 0;
    const int year = ReadInt(*date, "year", 0);
    const int month = ReadInt(*date, "month", 0);
    const int day = ReadInt(*date, "day", 0);
    if (day < 1)
        return 0;
    for (int last = std::min(day, 31); last >= 28; --last)
        if (const std::optional<std::int64_t> time = ExactLocalDate(year, month, last))
            return *time;
    return 0;
}

// Whether a stored due date can be counted: a real date no further ahead than the date
// pickers offer. A hand-edited one beyond that would count a negative pregnancy.
bool IsCountable(std::int64_t dueTime)
{
    try {
        return !IsBeyondOfferedDates(dueTime);
    } catch (const HResultError&) {
        // Today cannot be read: the date is taken as it is, as before.
        return true;
    }
}

} // namespace

DueDateState ApplyProfileDocument(CTavroAppData& app, const TiXmlDocument& doc)
{
    const TiXmlElement* root = doc.FirstChildElement();
    if (!root) {
        app.firstRun = true;
        return DueDateState::NotExpired;
    }
    app.updatePending = ReadInt(*root, "needup", -1) > 0;

    const std::optional<int> first = ScanInt(root->Attribute("first"));
    const TiXmlElement* date = root->FirstChildElement();
    if (!first || *first <= 0) {
        // Setup not done, or no usable setup mark (without setup the program would run on
        // an empty calendar). Setup offers the stored date when there is one (a setup left
        // before, a mark lost); it is not counted (nor taken as expired) before the user
        // confirms it.
        app.firstRun = true;
        app.setupDueTime = NearestStoredDate(date);
        return DueDateState::NotExpired;
    }

    app.firstRun = false;
    if (!date)
        return DueDateState::NotExpired;
    const std::optional<std::int64_t> dueTime = StoredDate(date);
    if (!dueTime || !IsCountable(*dueTime)) {
        // A damaged or impossible date cannot be shown or counted; asking for it again is
        // the way out. Setup starts on the offered date nearest to it, and the file keeps
        // it until the user confirms one.
        app.firstRun = true;
        app.setupDueTime = NearestStoredDate(date);
        return DueDateState::NotExpired;
    }
    try {
        return SetDueDate(app, *dueTime);
    } catch (const HResultError&) {
        // Today's date could not be read: the due date is kept, the counts stay as they were.
        return DueDateState::NotExpired;
    }
}

namespace {

// Whether the application holds a due date of its own to write. During setup, or when
// no date was ever set, it does not: 250 would make the default date count as a real,
// long expired one at the next start, and the 1970 date would replace a stored one.
bool HasOwnDueDate(const CTavroAppData& app) { return !app.firstRun && app.dueTime != 0; }

int FirstMark(const CTavroAppData& app) { return HasOwnDueDate(app) ? 250 : 0; }

} // namespace

void UpdateProfileDocument(const CTavroAppData& app, TiXmlDocument& doc)
{
    TiXmlElement* root = doc.FirstChildElement();
    if (!root) {
        doc.Clear();
        doc.LinkEndChild(new TiXmlDeclaration("1.0", "UTF-8", ""));
        root = new TiXmlElement("userdata");
        doc.LinkEndChild(root);
    }
    root->SetAttribute("first", FirstMark(app));
    root->SetAttribute("needup", app.updatePending ? 1 : 0);

    TiXmlElement* date = root->FirstChildElement();
    if (!date) {
        date = new TiXmlElement("date");
        root->LinkEndChild(date);
    }
    // Without a date of its own the save leaves the stored one, whatever it is, alone.
    if (!HasOwnDueDate(app))
        return;
    date->SetAttribute("year", YearOf(app.dueTime));
    date->SetAttribute("month", MonthOf(app.dueTime));
    date->SetAttribute("day", DayOf(app.dueTime));
}

namespace {

std::string Print(const TiXmlDocument& doc)
{
    TiXmlPrinter printer;
    doc.Accept(&printer);
    return std::string(printer.CStr(), printer.Size());
}

bool HasValue(const TiXmlElement& element, const char* name, int value)
{
    const char* text = element.Attribute(name);
    return text && std::to_string(value) == text;
}

// Whether `text` parses and carries the values UpdateProfileDocument set from `app`.
bool ReadsBack(const std::string& text, const CTavroAppData& app)
{
    TiXmlDocument check;
    if (!ParseXmlText(check, text))
        return false;
    const TiXmlElement* root = check.FirstChildElement();
    const TiXmlElement* date = root ? root->FirstChildElement() : nullptr;
    if (!date || !HasValue(*root, "first", FirstMark(app)) ||
        !HasValue(*root, "needup", app.updatePending ? 1 : 0))
        return false;
    return !HasOwnDueDate(app) || (HasValue(*date, "year", YearOf(app.dueTime)) &&
                                   HasValue(*date, "month", MonthOf(app.dueTime)) &&
                                   HasValue(*date, "day", DayOf(app.dueTime)));
}

} // namespace

std::string SerializeProfile(const CTavroAppData& app, TiXmlDocument& doc)
{
    UpdateProfileDocument(app, doc);
    std::string text = Print(doc);
    if (ReadsBack(text, app))
        return text;
    doc.Clear();
    UpdateProfileDocument(app, doc);
    return Print(doc);
}

DueDateState LoadProfile(CTavroAppData& app)
{
    app.macText = GetMacText();
    const std::string path = ProfilePath(app);
    if (path.empty())
        return DueDateState::NotExpired;
    ProfileDocument doc(app);
    if (!LoadDocument(path, doc.Get())) {
        app.firstRun = true;
        return DueDateState::NotExpired;
    }
    return ApplyProfileDocument(app, doc.Get());
}

void SaveProfile(CTavroAppData& app)
{
    const std::string path = ProfilePath(app);
    if (path.empty())
        return;
    ProfileDocument doc(app);
    bool written = false;
    // A missing conf folder would fail every save, so setup would be asked at every start.
    if (EnsureFolder(FolderOf(path))) {
        const bool readable = LoadDocument(path, doc.Get());
        // An unreadable profile is replaced by a fresh one rather than left to block every
        // save, but its bytes are kept beside it first: they may still hold a due date.
        bool keptAside = true;
        if (!readable) {
            doc.Get().Clear();
            if (IsRegularFile(path))
                keptAside = MoveAside(path, path + kUnreadableSuffix).has_value();
        }
        if (keptAside) {
            const WriteResult result = WriteFileAtomically(path, SerializeProfile(app, doc.Get()));
            // The content is in place even when the folder sync failed.
            written = result.Ok() || result.failedStep == WriteStep::SyncFolder;
            // What an earlier save killed half-way left beside the profile.
            if (written)
                RemoveStaleNewFiles(path);
        }
    }
    if (written)
        return;
    const Services& services = CurrentServices();
    services.messageBox->Show(AnsiToWide(path), kProgramName, BoxIcon::None);
    services.messageBox->Show(kOpenFailedText, kProgramName, BoxIcon::None);
}
