// The live-window registry: which window objects are alive (for the checked handle
// functions, from any thread) and which windows exist (for finding owned ones), with the
// posting, sending and deleting that must check it.

#include "ui/wnd.h"

#include "ui/wnd_private.h"

#include <QCoreApplication>

#include <mutex>
#include <unordered_set>
#include <vector>

namespace {

// Window objects alive, for the checked handle functions (any thread).
std::mutex g_liveMutex;
std::unordered_set<const CWnd*> g_live;

// Windows that exist, for finding owned windows (user-interface thread only).
std::vector<WndImpl*> g_windows;

} // namespace

void RegisterWindow(WndImpl* impl) { g_windows.push_back(impl); }

void UnregisterWindow(WndImpl* impl) { std::erase(g_windows, impl); }

std::vector<CWnd*> OwnedWindows(const CWnd* owner)
{
    std::vector<CWnd*> owned;
    for (WndImpl* other : g_windows)
        if (other->owner == owner && other->self)
            owned.push_back(other->self);
    return owned;
}

CWnd::CWnd() : m_pImpl(std::make_shared<WndImpl>())
{
    m_pImpl->self = this;
    std::lock_guard lock(g_liveMutex);
    g_live.insert(this);
}

CWnd::~CWnd()
{
    {
        std::lock_guard lock(g_liveMutex);
        g_live.erase(this);
    }
    if (m_pImpl->exists)
        DestroyWindow();
    m_pImpl->self = nullptr;
    m_pImpl->deleteSelf = false;
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    return WndImpl::Deliver(m_pImpl, message, wParam, lParam);
}

bool CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    return m_pImpl->Post(message, wParam, lParam);
}

bool WndImpl::Post(UINT message, WPARAM wParam, LPARAM lParam)
{
    std::lock_guard lock(postMutex);
    if (!postTarget)
        return false;
    QCoreApplication::postEvent(postTarget, new WndMessageEvent(message, wParam, lParam));
    return true;
}

void DeleteWnd(CWnd* wnd)
{
    if (!wnd)
        return;
    if (wnd->m_pImpl->depth > 0)
        wnd->m_pImpl->deleteSelf = true;
    else
        delete wnd;
}

void ReleaseDestroyedWindows()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

bool IsWindow(HWND wnd)
{
    std::lock_guard lock(g_liveMutex);
    return wnd && g_live.count(wnd) && wnd->IsWindow();
}

bool PostMessage(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    // Held while posting so that the object cannot be deleted half-way.
    std::lock_guard lock(g_liveMutex);
    return wnd && g_live.count(wnd) && wnd->PostMessage(message, wParam, lParam);
}

LRESULT SendMessage(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    {
        std::lock_guard lock(g_liveMutex);
        if (!wnd || !g_live.count(wnd))
            return 0;
    }
    return wnd->SendMessage(message, wParam, lParam);
}
