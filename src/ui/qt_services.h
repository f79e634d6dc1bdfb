#pragma once

// The real, Qt-backed services: message boxes, the shell, popup menus, the
// notification-area icon and the pointer.

#include "host/services.h"
#include "ui/ui_services.h"

#include <QPointer>

#include <map>

class QSystemTrayIcon;

class QtMessageBox : public IMessageBox
{
public:
    void Show(const std::wstring& text, const std::wstring& caption, BoxIcon icon) override;
    void CloseAll() override;

private:
    bool m_closing = false;
};

class QtShell : public IShell
{
public:
    void OpenUrl(const std::wstring& url) override;
    bool StartProgram(const std::wstring& path) override;
};

class QtPopupMenu : public IPopupMenu
{
public:
    UINT Track(const std::vector<MenuItem>& items, QPoint screenPos, CWnd* owner) override;
};

class QtTrayIcon : public ITrayIcon
{
public:
    ~QtTrayIcon() override;
    bool Add(UINT id, const QString& tip, const QIcon& icon, CWnd* notify) override;
    bool Remove(UINT id) override;

private:
    // Parented to the application, so they go with it if nobody removes them.
    std::map<UINT, QPointer<QSystemTrayIcon>> m_icons;
};

class QtCursor : public ICursor
{
public:
    QPoint Pos() const override;
};

// The Qt-backed ui services (also what CurrentUiServices falls back to).
UiServices QtUiServices();

// Installs the Qt-backed message box and shell over host's defaults (keeping the clock,
// network probe and process exit in force) and the Qt-backed ui services. Call once a
// QApplication exists.
void InstallQtServices();
