#pragma once

// A browser view as the web module hands it out: the engine's view with the host page,
// no context menu, and the swallowed keys filtered before the page sees them.

#include "web/web_module.h"

#include <QWebEngineView>

class QWebEngineLoadingInfo;

class CCustomControlSite;
class CCustomOccManager;

class CBrowserView : public QWebEngineView, public IBrowserView
{
public:
    CBrowserView(CCustomOccManager& manager, const BrowserHost& host, QWidget* parent);
    ~CBrowserView() override;

    QWidget* Widget() override { return this; }
    void Navigate(const QString& url) override;
    void SetSilent(bool silent) override;
    int ReadyState() const override { return m_nReadyState; }
    void SetLoadFinished(std::function<void(bool ok)> callback) override;

protected:
    bool event(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void OnLoadEnded(const QWebEngineLoadingInfo& info);

    CCustomOccManager& m_manager;
    CCustomControlSite* m_pSite;
    int m_nReadyState = READYSTATE_UNINITIALIZED;
    std::function<void(bool ok)> m_onLoadFinished;
    // Our error page is loading in place of a failed page; its own load is not reported.
    bool m_bErrorPageLoading = false;
    // The address given could not be loaded at all; what loads in its place reports a failure.
    bool m_bInvalidAddress = false;
    // The address of the last navigation, as it was given.
    QString m_address;
};
