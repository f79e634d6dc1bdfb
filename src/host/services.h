#pragma once

// Effects the program's logic has on the world, behind interfaces that tests replace
// with recording fakes. The defaults here are console fallbacks, so nothing is silently
// swallowed before the window framework installs the real, Qt-backed ones.

#include "host/scoped_install.h"

#include <cstdint>
#include <string>

enum class BoxIcon
{
    None,
    Information,
    Warning,
    Error
};

// "Now" as seconds since 1970-01-01 00:00 UTC. Domain code never reads the system clock.
class IClock
{
public:
    virtual ~IClock() = default;
    virtual std::int64_t Now() const = 0;
};

// A modal message box with an OK button only; returns when the user has closed it.
class IMessageBox
{
public:
    virtual ~IMessageBox() = default;
    virtual void Show(const std::wstring& text, const std::wstring& caption, BoxIcon icon) = 0;
    // The program is ending (a logout's SIGTERM): every open box is closed as if answered,
    // and later boxes return at once, so that shutdown runs before the SIGKILL that follows.
    virtual void CloseAll() {}
};

// Opening a page in the user's browser and starting a program by full path, both
// without waiting. Failures are not reported to the user.
class IShell
{
public:
    virtual ~IShell() = default;
    virtual void OpenUrl(const std::wstring& url) = 0;
    virtual bool StartProgram(const std::wstring& path) = 0;
};

// Ends the process at once, without running shutdown code. The real one never returns;
// a fake records the code and throws, so the caller's flow stops as it would for real.
class IProcessExit
{
public:
    virtual ~IProcessExit() = default;
    virtual void Exit(int code) = 0;
};

// Whether any network connection is up.
class INetworkProbe
{
public:
    virtual ~INetworkProbe() = default;
    virtual bool IsNetworkAlive() = 0;
};

struct Services
{
    IClock* clock = nullptr;
    IMessageBox* messageBox = nullptr;
    IShell* shell = nullptr;
    IProcessExit* processExit = nullptr;
    INetworkProbe* network = nullptr;
};

// The services in force. Never null: unset entries fall back to the console defaults.
const Services& CurrentServices();

// Replaces the services in force (null entries select the defaults) and returns the
// previous set, so that a test can put it back.
Services InstallServices(const Services& services);

// Installs a set of services for the lifetime of the object.
using ScopedServices = ScopedInstall<Services, InstallServices>;

// The end of a program whose due date has passed: tells the user in a box, then, once the
// box is closed, opens the home page and ends the process with code 0. The page is told the
// due date (year, month and day, as the dated page is), so that it can say what follows it.
void EndExpired(std::int64_t dueTime);
