#include "host/services.h"

#include "host/diagnostics.h"
#include "host/endpoints.h"
#include "host/services_posix.h"
#include "host/text_codec.h"

#include <ctime>

namespace {

class SystemClock : public IClock
{
public:
    std::int64_t Now() const override { return static_cast<std::int64_t>(std::time(nullptr)); }
};

// Until the window framework installs real boxes, a box is a line on the console.
class ConsoleMessageBox : public IMessageBox
{
public:
    void Show(const std::wstring& text, const std::wstring& caption, BoxIcon) override
    {
        HostWarning("[" + WideToUtf8(caption) + "] " + WideToUtf8(text));
    }
};

class ConsoleShell : public IShell
{
public:
    void OpenUrl(const std::wstring& url) override { HostWarning("open: " + WideToUtf8(url)); }
    bool StartProgram(const std::wstring& path) override
    {
        HostWarning("start: " + WideToUtf8(path));
        return SpawnDetached(WideToAnsi(path));
    }
};

class RealProcessExit : public IProcessExit
{
public:
    void Exit(int code) override { ExitProcessNow(code); }
};

class InterfaceNetworkProbe : public INetworkProbe
{
public:
    bool IsNetworkAlive() override { return AnyNetworkInterfaceUp(); }
};

SystemClock g_clock;
ConsoleMessageBox g_messageBox;
ConsoleShell g_shell;
RealProcessExit g_processExit;
InterfaceNetworkProbe g_network;

Services WithDefaults(const Services& services)
{
    return Services{
        services.clock ? services.clock : &g_clock,
        services.messageBox ? services.messageBox : &g_messageBox,
        services.shell ? services.shell : &g_shell,
        services.processExit ? services.processExit : &g_processExit,
        services.network ? services.network : &g_network,
    };
}

Services& Installed()
{
    static Services installed = WithDefaults({});
    return installed;
}

} // namespace

const Services& CurrentServices() { return Installed(); }

Services InstallServices(const Services& services)
{
    const Services previous = Installed();
    Installed() = WithDefaults(services);
    return previous;
}

void EndExpired(std::int64_t dueTime)
{
    const Services& services = CurrentServices();
    services.messageBox->Show(L"您的Tavro已经过期，去我们的网站看看吧！", L"Tavro", BoxIcon::None);
    std::wstring page = HomePage();
    const std::time_t due = static_cast<std::time_t>(dueTime);
    std::tm local{};
    if (localtime_r(&due, &local)) {
        // The doubled separators match the dated page's address.
        page += L"/?year=" + std::to_wstring(local.tm_year + 1900) + L"&&month=" +
                std::to_wstring(local.tm_mon + 1) + L"&&day=" + std::to_wstring(local.tm_mday);
    }
    services.shell->OpenUrl(page);
    services.processExit->Exit(0);
}
