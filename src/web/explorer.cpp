#include "web/explorer.h"

#include "web/browser_host.h"
#include "web/web_module_loader.h"

CExplorer1::~CExplorer1() { DestroyWindow(); }

bool CExplorer1::Create(const QString& windowName, const QRect& rect, QWidget* parent, int id,
                        IDispatch* external)
{
    DestroyWindow();
    IWebModule* module = LoadWebModule();
    if (!module || !parent)
        return false;
    IBrowserView* view = module->CreateView(parent, rect, MakeBrowserHost(external));
    if (!view)
        return false;
    m_pView = view;
    m_pWidget = view->Widget();
    m_pWidget->setObjectName(windowName);
    m_nId = id;
    if (m_onLoadFinished)
        view->SetLoadFinished(m_onLoadFinished);
    return true;
}

void CExplorer1::DestroyWindow()
{
    if (IBrowserView* view = View()) {
        if (IWebModule* module = LoadedWebModule())
            module->DestroyView(view);
    }
    m_pView = nullptr;
    m_pWidget.clear();
    m_nId = 0;
}

bool CExplorer1::IsWindow() const { return View() != nullptr; }

QWidget* CExplorer1::GetWidget() const { return m_pWidget.data(); }

IBrowserView* CExplorer1::View() const { return m_pWidget ? m_pView : nullptr; }

void CExplorer1::Navigate(const QString& url)
{
    if (IBrowserView* view = View())
        view->Navigate(url);
}

void CExplorer1::SetSilent(bool silent)
{
    if (IBrowserView* view = View())
        view->SetSilent(silent);
}

int CExplorer1::GetReadyState() const
{
    const IBrowserView* view = View();
    return view ? view->ReadyState() : READYSTATE_UNINITIALIZED;
}

void CExplorer1::SetOnLoadFinished(std::function<void(bool ok)> callback)
{
    m_onLoadFinished = std::move(callback);
    if (IBrowserView* view = View())
        view->SetLoadFinished(m_onLoadFinished);
}
