#include "web/browser_host.h"

#include "web/error_page.h"
#include "web/external_script.h"
#include "web/imp_idispatch.h"

BrowserHost MakeBrowserHost(IDispatch* external)
{
    BrowserHost host;
    host.showMessage = [](const std::wstring& text, const std::wstring& caption, BoxIcon icon) {
        CurrentServices().messageBox->Show(text, caption, icon);
    };
    host.errorPage = [](const std::string& url, int httpStatus) {
        return BrowserErrorPage(url, httpStatus);
    };
    if (external)
        host.externalScript = BuildExternalScript(*external, {CImpIDispatch::kMemberName});
    return host;
}
