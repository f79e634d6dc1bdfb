#pragma once

// The web module's side of the interface: it makes every browser view with the host page
// and keeps track of them, so that all can go before the application ends.

#include "web/web_module.h"

#include <set>

class CBrowserView;

class CCustomOccManager : public IWebModule
{
public:
    CCustomOccManager() = default;
    CCustomOccManager(const CCustomOccManager&) = delete;
    CCustomOccManager& operator=(const CCustomOccManager&) = delete;

    IBrowserView* CreateView(QWidget* parent, const QRect& rect, const BrowserHost& host) override;
    void DestroyView(IBrowserView* view) override;
    void DestroyAllViews() override;
    int ViewCount() const override { return static_cast<int>(m_views.size()); }

    // A view being destroyed, whoever destroys it.
    void Forget(CBrowserView* view) { m_views.erase(view); }

private:
    std::set<CBrowserView*> m_views;
};
