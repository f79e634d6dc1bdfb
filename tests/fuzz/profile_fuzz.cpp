// Feeds arbitrary bytes to the profile reader, then checks that whatever the file held, a
// save followed by a load gives back the state that was saved.

#include "fake_services.h"
#include "host/xml_text.h"
#include "profile/calendar.h"
#include "profile/profile_file.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <tinyxml.h>

namespace {

void Check(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    setenv("TZ", "Asia/Shanghai", 1);
    tzset();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FakeServices fakes;
    fakes.clock.Set(MakeLocalDate(2026, 6, 10) + 12 * 3600);

    TiXmlDocument doc;
    ParseXmlText(doc, std::string_view(reinterpret_cast<const char*>(data), size));

    CTavroAppData read;
    if (ApplyProfileDocument(read, doc) == DueDateState::Expired)
        Check(read.daysToDue < 0, "expired without a past date");
    if (read.daysToDue >= 0 && read.dueTime != 0) {
        Check(read.dayOfWeek >= 1 && read.dayOfWeek <= 7, "day of week out of range");
        Check(read.daysPregnant == TERM_DAYS - read.daysToDue, "days pregnant");
    }

    // Whatever else a readable document holds, the state written into it reads back
    // unchanged. An unreadable one is replaced on save, as SaveProfile does.
    if (doc.Error() || !doc.FirstChildElement())
        doc.Clear();
    CTavroAppData saved;
    saved.firstRun = size % 2 == 0;
    saved.updatePending = size % 3 == 0;
    saved.dueTime = MakeLocalDate(2026, 9, 1);
    TiXmlDocument again;
    Check(ParseXmlText(again, SerializeProfile(saved, doc)), "a saved profile does not parse");
    CTavroAppData reread;
    ApplyProfileDocument(reread, again);
    Check(reread.firstRun == saved.firstRun, "firstRun changed");
    Check(reread.updatePending == saved.updatePending, "updatePending changed");
    if (!saved.firstRun)
        Check(reread.dueTime == saved.dueTime, "due date changed");
    return 0;
}
