#pragma once

// The user's profile, Release/conf/userdata.xml below the program folder: whether setup
// is done ("first" on the root element), whether an update waits ("needup") and the due
// date ("year", "month", "day" on the root's first child element). Elements are found by
// position; their names are never looked at. Everything else in the file survives a save.

#include "profile/app_data.h"
#include "profile/calendar.h"

#include <optional>
#include <string>

class TiXmlDocument;

// Reads the profile into the application object: macText first, then the flags and the
// due date (through SetDueDate; Expired when the stored date has passed, which the caller
// acts on). A
// missing or unreadable profile, or one whose stored date is invalid, starts the first-run
// setup. So does one whose "first" is absent, negative or not a number. During setup the
// stored date, when valid, is left in setupDueTime (uncounted) for the setup window to offer.
// Works on app.profileDoc when it is set.
DueDateState LoadProfile(CTavroAppData& app);

// Writes the application object back into the profile, replacing the file atomically.
// Without a due date of its own (during setup, or none ever set) the stored date values
// are left as they are. A missing profile (and a missing conf folder) is written afresh;
// an unreadable one is first kept beside it as "userdata.xml.unreadable". Only when the
// file cannot be written at all does the user see the path and "打开失败".
void SaveProfile(CTavroAppData& app);

// The steps behind the two operations, on a document in memory.
DueDateState ApplyProfileDocument(CTavroAppData& app, const TiXmlDocument& doc);
// Sets the attributes a save writes, creating the root and date elements when missing.
void UpdateProfileDocument(const CTavroAppData& app, TiXmlDocument& doc);
// Updates the document and returns the text a save writes. The text always reads back
// with the state written: a document that would not (the XML library prints some damaged
// content, such as invalid UTF-8, in a form it cannot parse again) is replaced by a fresh
// one, so that a save never turns a readable profile into an unreadable one.
std::string SerializeProfile(const CTavroAppData& app, TiXmlDocument& doc);

// The profile's path in the machine's narrow encoding; empty when it cannot be formed.
std::string ProfilePath(const CTavroAppData& app);

// The "%d" reading of an attribute text: leading white space, an optional sign, decimal
// digits, anything after them ignored. Nothing when there are no digits. Values beyond
// int saturate.
std::optional<int> ScanInt(const char* text);
