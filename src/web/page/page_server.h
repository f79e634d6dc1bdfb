#pragma once

// The page process's side of the channel: one browser view of the web module, in a window
// that sits inside the program's page area, driven by the program's messages.

#include "web/page_link.h"
#include "web/web_module.h"

#include <memory>

class CPageHolder;
class QWindow;

class CPageServer
{
public:
    CPageServer(IWebModule& module, int fd);
    ~CPageServer();

private:
    void OnMessage(const PageMessage& message);
    void Configure(const PageMessage& message);
    void Attach(const PageMessage& message);
    void Detach();
    void Resize(int width, int height);
    void Send(PageMessageKind kind, std::vector<std::string> fields = {});
    BrowserHost MakeHost();

    IWebModule& m_module;
    PageLink m_link;
    std::unique_ptr<CPageHolder> m_holder;
    IBrowserView* m_view = nullptr;
    // The program's page area while the page sits inside it.
    QWindow* m_container = nullptr;
    bool m_waitingForAlert = false;
};
