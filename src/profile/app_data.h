#pragma once

// The application object's shared fields: the profile and the calendar. The application
// class (src/app) builds on this plain object, so that the lower modules (profile, remind,
// the windows) read and write the fields without depending on a module above them. The
// parts only the application makes are its own, handed to the windows that use them.

#include <cstdint>
#include <string>

class TiXmlDocument;

class CTavroAppData
{
public:
    TiXmlDocument* profileDoc = nullptr;
    std::int64_t dueTime = 0;
    std::int32_t daysToDue = 0;
    std::int32_t daysPregnant = 0;
    std::int32_t pregnancyWeek = 0;
    std::int32_t dayOfWeek = 0;
    bool firstRun = false;
    bool updatePending = false;
    bool restartMode = false;
    std::wstring programDir;
    std::wstring macText;
    // A stored due date that the first-run setup offers when the profile kept one without a
    // usable setup mark; 0 when there is none. Not counted until the user confirms it.
    std::int64_t setupDueTime = 0;
};

// The process's application object. The application class installs itself at
// construction; until then (and in tests) a default object stands in.
CTavroAppData& TheApp();
void SetTheApp(CTavroAppData* app);
