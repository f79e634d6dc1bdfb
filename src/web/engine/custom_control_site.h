#pragma once

// The page of every browser view, holding the host policy: script alerts in the program's
// own box, no scroll bars, window.external from the program, and script errors kept quiet
// when the view is silent.

#include "web/web_module.h"

#include <QWebEnginePage>

class CCustomControlSite : public QWebEnginePage
{
public:
    CCustomControlSite(const BrowserHost& host, QObject* parent);

    void SetSilent(bool silent) { m_bSilent = silent; }
    bool IsSilent() const { return m_bSilent; }
    // The host's page for a failed load of `url`; empty when the engine's outcome stays.
    std::string ErrorPage(const std::string& url, int httpStatus) const;

protected:
    void javaScriptAlert(const QUrl& securityOrigin, const QString& msg) override;
    // The box has an OK button only, so a confirm is always answered yes.
    bool javaScriptConfirm(const QUrl& securityOrigin, const QString& msg) override;
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message,
                                  int lineNumber, const QString& sourceID) override;

private:
    void ShowMessage(const QString& text);

    BrowserHost m_host;
    bool m_bSilent = false;
};
