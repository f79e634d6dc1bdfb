#include "web/engine/custom_occ_manager.h"

#include "web/engine/browser_view.h"

#include <QRect>

IBrowserView* CCustomOccManager::CreateView(QWidget* parent, const QRect& rect,
                                            const BrowserHost& host)
{
    auto* view = new CBrowserView(*this, host, parent);
    view->setGeometry(rect);
    view->show();
    m_views.insert(view);
    return view;
}

void CCustomOccManager::DestroyView(IBrowserView* view)
{
    // Only views of ours, and only while they live: a stale pointer is ignored.
    for (CBrowserView* known : m_views) {
        if (static_cast<IBrowserView*>(known) == view) {
            delete known;
            return;
        }
    }
}

void CCustomOccManager::DestroyAllViews()
{
    while (!m_views.empty())
        delete *m_views.begin();
}

extern "C" Q_DECL_EXPORT IWebModule* TavroWebModule(int interfaceVersion)
{
    if (interfaceVersion != kWebModuleInterfaceVersion)
        return nullptr;
    // Lives until the process ends; the module is never unloaded.
    static auto* manager = new CCustomOccManager;
    return manager;
}
