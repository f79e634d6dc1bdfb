#include "web/engine/custom_control_site.h"

#include <QMessageBox>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>
#include <QWidget>

CCustomControlSite::CCustomControlSite(const BrowserHost& host, QObject* parent)
    : QWebEnginePage(parent), m_host(host)
{
    settings()->setAttribute(QWebEngineSettings::ShowScrollBars, false);
    // Every navigation asks the server again: a page shown again must be today's, not a
    // copy kept from the last time the same address was loaded.
    profile()->setHttpCacheType(QWebEngineProfile::NoCache);
    // No browser behaviour beyond the page itself: no pop-up windows, no full screen.
    settings()->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    settings()->setAttribute(QWebEngineSettings::FullScreenSupportEnabled, false);
    // The host's own page replaces a failed load; the engine's would flash up first.
    if (m_host.errorPage)
        settings()->setAttribute(QWebEngineSettings::ErrorPageEnabled, false);

    if (!m_host.externalScript.empty()) {
        // Main world and document creation: the page's own inline scripts must see it, and
        // an isolated world or a later injection point would be too late or invisible.
        QWebEngineScript script;
        script.setName(QStringLiteral("tavro-external"));
        script.setSourceCode(QString::fromStdString(m_host.externalScript));
        script.setInjectionPoint(QWebEngineScript::DocumentCreation);
        script.setWorldId(QWebEngineScript::MainWorld);
        script.setRunsOnSubFrames(true);
        scripts().insert(script);
    }
}

std::string CCustomControlSite::ErrorPage(const std::string& url, int httpStatus) const
{
    if (!m_host.errorPage)
        return {};
    return m_host.errorPage(url, httpStatus);
}

void CCustomControlSite::ShowMessage(const QString& text)
{
    if (m_host.showMessage) {
        m_host.showMessage(text.toStdWString(), kBrowserBoxCaption, BoxIcon::Error);
        return;
    }
    QMessageBox box(QMessageBox::Critical, QString::fromWCharArray(kBrowserBoxCaption), text,
                    QMessageBox::Ok, qobject_cast<QWidget*>(parent()));
    box.exec();
}

void CCustomControlSite::javaScriptAlert(const QUrl&, const QString& msg) { ShowMessage(msg); }

bool CCustomControlSite::javaScriptConfirm(const QUrl&, const QString& msg)
{
    ShowMessage(msg);
    return true;
}

void CCustomControlSite::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level,
                                                  const QString& message, int lineNumber,
                                                  const QString& sourceID)
{
    if (m_bSilent && level == ErrorMessageLevel)
        return;
    QWebEnginePage::javaScriptConsoleMessage(level, message, lineNumber, sourceID);
}
