#include "web/engine/browser_view.h"

#include "web/browser_keys.h"
#include "web/engine/custom_control_site.h"
#include "web/engine/custom_occ_manager.h"

#include <QChildEvent>
#include <QKeyEvent>
#include <QUrl>
#include <QWebEngineLoadingInfo>

CBrowserView::CBrowserView(CCustomOccManager& manager, const BrowserHost& host, QWidget* parent)
    : QWebEngineView(parent), m_manager(manager), m_pSite(new CCustomControlSite(host, this))
{
    setPage(m_pSite);
    setContextMenuPolicy(Qt::NoContextMenu);
    for (QObject* child : children())
        child->installEventFilter(this);
    connect(m_pSite, &QWebEnginePage::loadingChanged, this,
            [this](const QWebEngineLoadingInfo& info) {
                if (info.status() != QWebEngineLoadingInfo::LoadStartedStatus) {
                    OnLoadEnded(info);
                    return;
                }
                if (m_bErrorPageLoading)
                    return;
                m_nReadyState = READYSTATE_LOADING;
                if (QWidget* proxy = focusProxy())
                    proxy->installEventFilter(this);
            });
}

CBrowserView::~CBrowserView()
{
    m_manager.Forget(this);
    // The page outlives this part of the view; a load it abandons now must not call back.
    disconnect(m_pSite, nullptr, this, nullptr);
}

void CBrowserView::Navigate(const QString& url)
{
    // Set at once: the engine reports the start later, and a reader must not see the
    // previous page's state for the new address.
    m_nReadyState = READYSTATE_LOADING;
    m_bErrorPageLoading = false;
    m_bInvalidAddress = false;
    m_address = url;
    const QUrl address(url);
    if (address.isEmpty()) {
        load(QUrl(QStringLiteral("about:blank")));
        return;
    }
    if (address.isValid()) {
        load(address);
        return;
    }
    // No address the engine can go to (a host label over 63 characters, say). A blank page
    // reported as loaded would leave the window white: it fails like an unreachable server
    // instead, with our page and one report.
    m_bInvalidAddress = true;
    const std::string page = m_pSite->ErrorPage(url.toStdString(), 0);
    if (page.empty())
        load(QUrl(QStringLiteral("about:blank")));
    else
        m_pSite->setHtml(QString::fromStdString(page), QUrl(QStringLiteral("about:blank")));
}

void CBrowserView::OnLoadEnded(const QWebEngineLoadingInfo& info)
{
    if (m_bErrorPageLoading) {
        m_bErrorPageLoading = false;
        return;
    }
    m_nReadyState = READYSTATE_COMPLETE;
    if (m_bInvalidAddress) {
        // What loaded was our stand-in for an address that could not be loaded.
        m_bInvalidAddress = false;
        if (auto callback = m_onLoadFinished)
            callback(false);
        return;
    }
    const bool ok = info.status() == QWebEngineLoadingInfo::LoadSucceededStatus;
    if (info.status() == QWebEngineLoadingInfo::LoadFailedStatus) {
        const int httpStatus = info.errorDomain() == QWebEngineLoadingInfo::HttpStatusCodeDomain
                                   ? info.errorCode()
                                   : 0;
        // The engine answers no address for one it could not read (a retry of an invalid
        // address): the retry then offers the address last asked for.
        const bool known = info.url().isValid();
        const QString failed = known ? info.url().toString() : m_address;
        const std::string page = m_pSite->ErrorPage(failed.toStdString(), httpStatus);
        if (!page.empty()) {
            m_bErrorPageLoading = true;
            // The failed address stays the base, so the retry link is a plain navigation.
            m_pSite->setHtml(QString::fromStdString(page),
                             known ? info.url() : QUrl(QStringLiteral("about:blank")));
        }
    }
    // A copy: the callback may destroy this view, and with it the original.
    if (auto callback = m_onLoadFinished)
        callback(ok);
}

void CBrowserView::SetSilent(bool silent) { m_pSite->SetSilent(silent); }

void CBrowserView::SetLoadFinished(std::function<void(bool ok)> callback)
{
    m_onLoadFinished = std::move(callback);
}

bool CBrowserView::event(QEvent* e)
{
    // Key strokes go to the engine's own child widget, which it creates and may replace
    // later; every child is watched so that none escapes the filter.
    if (e->type() == QEvent::ChildAdded)
        static_cast<QChildEvent*>(e)->child()->installEventFilter(this);
    return QWebEngineView::event(e);
}

bool CBrowserView::eventFilter(QObject* watched, QEvent* e)
{
    const QEvent::Type type = e->type();
    if (type == QEvent::KeyPress || type == QEvent::KeyRelease ||
        type == QEvent::ShortcutOverride) {
        const auto* key = static_cast<QKeyEvent*>(e);
        const KeyStroke stroke{type == QEvent::KeyRelease ? KeyStrokeKind::Release
                                                          : KeyStrokeKind::Press,
                               key->key(), key->modifiers()};
        if (TranslateAccelerator(stroke))
            return true;
    }
    return QWebEngineView::eventFilter(watched, e);
}
