#pragma once

// The interface between the program and the web module, the shared library that holds
// every use of the browser engine. The program loads the module only when it first shows a
// page (see web_module_loader.h), so this interface is plain abstract C++ with callbacks:
// nothing here needs the engine or meta-object code compiled on both sides.

#include "host/services.h"

#include <QString>

#include <functional>
#include <string>

class QRect;
class QWidget;

// Caption of every box a page raises; the page's own caption is never used.
constexpr const wchar_t* kBrowserBoxCaption = L"Custom Browser";

// What the program lends every browser view.
struct BrowserHost
{
    // Shows a modal box and returns when it is closed. Script alerts go here.
    std::function<void(const std::wstring& text, const std::wstring& caption, BoxIcon icon)>
        showMessage;
    // Runs in the main world of every page and frame at document creation, before the
    // page's own scripts (see external_script.h). Empty: nothing is injected.
    std::string externalScript;
    // The page shown in place of a failed load of `url` (httpStatus 0 when no HTTP status
    // came back), or empty to keep what the engine shows. Unset: the engine's outcome stays.
    std::function<std::string(const std::string& url, int httpStatus)> errorPage;
};

// Ready states, as pages and the main window know them.
constexpr int READYSTATE_UNINITIALIZED = 0;
constexpr int READYSTATE_LOADING = 1;
constexpr int READYSTATE_COMPLETE = 4;

// One browser view inside a parent widget. The view lives as long as its widget: deleting
// the widget (or its parent) destroys the view too.
class IBrowserView
{
public:
    virtual QWidget* Widget() = 0;
    // Starts loading `url`; an empty or invalid address shows an empty page.
    virtual void Navigate(const QString& url) = 0;
    // Silent: script errors are kept off the screen and out of the console.
    virtual void SetSilent(bool silent) = 0;
    // READYSTATE_UNINITIALIZED before the first navigation, READYSTATE_LOADING while a page
    // loads, READYSTATE_COMPLETE once it has finished, whether it loaded or failed.
    virtual int ReadyState() const = 0;
    // Called on the user-interface thread each time a load finishes (ok: loaded), once per
    // navigation: a load replaced by a newer one before it finished never reports. A failed
    // load that the host's error page replaces reports false once; the error page's own
    // load does not report.
    virtual void SetLoadFinished(std::function<void(bool ok)> callback) = 0;

protected:
    ~IBrowserView() = default;
};

class IWebModule
{
public:
    // A new, visible view as a child of `parent`, placed at `rect` in parent coordinates.
    virtual IBrowserView* CreateView(QWidget* parent, const QRect& rect,
                                     const BrowserHost& host) = 0;
    virtual void DestroyView(IBrowserView* view) = 0;
    // Destroys every view still alive. The engine must see its views go before the
    // application object ends.
    virtual void DestroyAllViews() = 0;
    virtual int ViewCount() const = 0;

protected:
    ~IWebModule() = default;
};

// The module's one exported entry point. It answers null when the caller was built
// against another version of this interface.
constexpr int kWebModuleInterfaceVersion = 2;
constexpr const char* kWebModuleEntryName = "TavroWebModule";
extern "C" {
using TavroWebModuleEntry = IWebModule* (*)(int interfaceVersion);
}
