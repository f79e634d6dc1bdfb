#include "ui/qt_services.h"

#include "ui/wnd.h"

#include <QApplication>
#include <QCursor>
#include <QDesktopServices>
#include <QMenu>
#include <QMessageBox>
#include <QProcess>
#include <QSystemTrayIcon>
#include <QUrl>
#include <QWidget>

void QtMessageBox::Show(const std::wstring& text, const std::wstring& caption, BoxIcon icon)
{
    if (m_closing)
        return;
    QMessageBox::Icon qtIcon = QMessageBox::NoIcon;
    switch (icon) {
    case BoxIcon::None:
        break;
    case BoxIcon::Information:
        qtIcon = QMessageBox::Information;
        break;
    case BoxIcon::Warning:
        qtIcon = QMessageBox::Warning;
        break;
    case BoxIcon::Error:
        qtIcon = QMessageBox::Critical;
        break;
    }
    QMessageBox box(qtIcon, QString::fromStdWString(caption), QString::fromStdWString(text),
                    QMessageBox::Ok);
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    box.exec();
}

void QtMessageBox::CloseAll()
{
    m_closing = true;
    // Boxes shown from inside another box's nested loop are closed as well.
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible())
            box->done(QMessageBox::Ok);
    }
}

void QtShell::OpenUrl(const std::wstring& url)
{
    QDesktopServices::openUrl(QUrl(QString::fromStdWString(url)));
}

bool QtShell::StartProgram(const std::wstring& path)
{
    return QProcess::startDetached(QString::fromStdWString(path), {});
}

UINT QtPopupMenu::Track(const std::vector<MenuItem>& items, QPoint screenPos, CWnd* owner)
{
    QMenu menu(owner ? owner->GetWidget() : nullptr);
    // Screen readers say whose menu opened.
    menu.setAccessibleName(QStringLiteral("Tavro"));
    std::map<QAction*, UINT> ids;
    for (const MenuItem& item : items) {
        QAction* action = menu.addAction(item.text);
        action->setEnabled(item.enabled);
        ids[action] = item.id;
    }
    QAction* chosen = menu.exec(screenPos);
    const auto it = ids.find(chosen);
    return it == ids.end() ? 0 : it->second;
}

QtTrayIcon::~QtTrayIcon()
{
    for (auto& [id, icon] : m_icons)
        delete icon.data();
}

bool QtTrayIcon::Add(UINT id, const QString& tip, const QIcon& icon, CWnd* notify)
{
    Remove(id);
    auto* tray = new QSystemTrayIcon(icon, QCoreApplication::instance());
    tray->setToolTip(tip);
    // The window is looked up again at every click: it may be gone by then.
    QObject::connect(tray, &QSystemTrayIcon::activated, tray,
                     [id, notify = SafeHwnd(notify)](QSystemTrayIcon::ActivationReason reason) {
                         if (const LPARAM message = TrayMouseMessage(reason))
                             ::PostMessage(notify, WM_TRAYICON, id, message);
                     });
    // Shown even without a notification area: at a start at login the panel may come up
    // after the program, and Qt puts the icon there once it appears.
    tray->show();
    m_icons[id] = tray;
    return QSystemTrayIcon::isSystemTrayAvailable();
}

bool QtTrayIcon::Remove(UINT id)
{
    const auto it = m_icons.find(id);
    if (it == m_icons.end())
        return false;
    delete it->second.data();
    m_icons.erase(it);
    return true;
}

QPoint QtCursor::Pos() const { return QCursor::pos(); }

UiServices QtUiServices()
{
    // Never destroyed: tray icons die with the application they are parented to.
    static auto* menu = new QtPopupMenu;
    static auto* tray = new QtTrayIcon;
    static auto* cursor = new QtCursor;
    return UiServices{menu, tray, cursor};
}

void InstallQtServices()
{
    static QtMessageBox messageBox;
    static QtShell shell;
    Services services = CurrentServices();
    services.messageBox = &messageBox;
    services.shell = &shell;
    InstallServices(services);
    InstallUiServices(QtUiServices());
}
