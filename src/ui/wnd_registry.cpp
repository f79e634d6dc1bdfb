// The live-window registry: which window objects are alive (for the checked handle
// functions, from any thread) and which windows exist (for finding owned ones), with the
// posting, sending and deleting that must check it.

#include "ui/wnd.h"

#include "ui/wnd_private.h"

#include <QCoreApplication>

#include <mutex>
#include <unordered_map>
#include <vector>

namespace {

// Window objects alive by handle, for the checked handle functions (any thread). The
// handles come from a counter, never from the objects' addresses, which are reused.
std::mutex g_liveMutex;
std::unordered_map<std::uint64_t, CWnd*> g_live;
std::uint64_t g_lastHandle = 0;

// The live object a handle names, or null; the caller holds g_liveMutex.
CWnd* LiveWindow(HWND wnd)
{
    const auto found = g_live.find(wnd.Id());
    return found == g_live.end() ? nullptr : found->second;
}

// Windows that exist, for finding owned windows (user-interface thread only).
std::vector<WndImpl*> g_windows;

} // namespace

void RegisterWindow(WndImpl* impl) { g_windows.push_back(impl); }

void UnregisterWindow(WndImpl* impl) { std::erase(g_windows, impl); }

std::vector<HWND> OwnedWindows(const CWnd* owner)
{
    std::vector<HWND> owned;
    for (WndImpl* other : g_windows)
        if (other->owner == owner && other->self)
            owned.push_back(other->self->GetSafeHwnd());
    return owned;
}

CWnd::CWnd() : m_pImpl(std::make_shared<WndImpl>())
{
    m_pImpl->self = this;
    std::lock_guard lock(g_liveMutex);
    m_hWnd = HWND(++g_lastHandle);
    g_live.emplace(m_hWnd.Id(), this);
}

CWnd::~CWnd()
{
    {
        std::lock_guard lock(g_liveMutex);
        g_live.erase(m_hWnd.Id());
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

CWnd* CWnd::FromHandle(HWND wnd)
{
    std::lock_guard lock(g_liveMutex);
    return LiveWindow(wnd);
}

bool IsWindow(HWND wnd)
{
    std::lock_guard lock(g_liveMutex);
    const CWnd* live = LiveWindow(wnd);
    return live && live->IsWindow();
}

bool PostMessage(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    // Held while posting so that the object cannot be deleted half-way.
    std::lock_guard lock(g_liveMutex);
    CWnd* live = LiveWindow(wnd);
    return live && live->PostMessage(message, wParam, lParam);
}

LRESULT SendMessage(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CWnd* live = nullptr;
    {
        std::lock_guard lock(g_liveMutex);
        live = LiveWindow(wnd);
    }
    return live ? live->SendMessage(message, wParam, lParam) : 0;
}
