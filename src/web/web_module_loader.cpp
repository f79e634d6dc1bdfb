#include "web/web_module_loader.h"

#include "web/remote_web_module.h"

#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QLibrary>
#include <QLoggingCategory>
#include <QOpenGLContext>
#include <QStringList>
#include <QThread>

// Exported by QtGui but declared only in a private header. The engine shares its textures
// through this context and crashes when it is missing at load time.
QT_BEGIN_NAMESPACE
Q_GUI_EXPORT void qt_gl_set_global_share_context(QOpenGLContext* context);
Q_GUI_EXPORT QOpenGLContext* qt_gl_global_share_context();
QT_END_NAMESPACE

Q_LOGGING_CATEGORY(lcWeb, "tavro.web")

namespace {

IWebModule* g_module = nullptr;
QOpenGLContext* g_shareContext = nullptr;

void DeleteShareContext()
{
    if (qt_gl_global_share_context() == g_shareContext)
        qt_gl_set_global_share_context(nullptr);
    delete g_shareContext;
    g_shareContext = nullptr;
}

} // namespace

void EnsureGlobalShareContext()
{
    if (qt_gl_global_share_context())
        return;
    auto* context = new QOpenGLContext;
    context->setFormat(QSurfaceFormat::defaultFormat());
    // A context that cannot be made current (no OpenGL on this system) still serves: the engine
    // only needs the object to exist and falls back to software drawing.
    context->create();
    g_shareContext = context;
    qt_gl_set_global_share_context(context);
    // Runs while the GUI application still exists, before Qt's windowing system goes away.
    qAddPostRoutine(DeleteShareContext);
}

IWebModule* OpenWebModule(const QStringList& dirs, QString* error)
{
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()) ||
        QThread::currentThread() != QCoreApplication::instance()->thread()) {
        if (error)
            *error = QStringLiteral("the web module needs the GUI thread of a running application");
        return nullptr;
    }
    EnsureGlobalShareContext();

    QStringList failures;
    for (const QString& dir : dirs) {
        QLibrary library(QDir(dir).filePath(QLatin1String(kWebModuleBaseName)));
        // The engine cannot be unloaded safely; it stays for the rest of the process.
        library.setLoadHints(QLibrary::PreventUnloadHint);
        if (!library.load()) {
            failures.append(library.errorString());
            continue;
        }
        auto entry = reinterpret_cast<TavroWebModuleEntry>(library.resolve(kWebModuleEntryName));
        if (!entry) {
            failures.append(library.errorString());
            continue;
        }
        if (IWebModule* module = entry(kWebModuleInterfaceVersion))
            return module;
        failures.append(
            QStringLiteral("%1: built for another interface version").arg(library.fileName()));
    }
    if (error)
        *error = failures.isEmpty() ? QStringLiteral("no folder to look in")
                                    : failures.join(QStringLiteral("; "));
    return nullptr;
}

IWebModule* LoadWebModule(const QString& fallbackDir)
{
    if (g_module)
        return g_module;
    QStringList dirs;
    if (QCoreApplication::instance())
        dirs.append(QCoreApplication::applicationDirPath());
    if (!fallbackDir.isEmpty() && !dirs.contains(fallbackDir))
        dirs.append(fallbackDir);
    for (const QString& dir : dirs) {
        const QString program = QDir(dir).filePath(QLatin1String(kPageProgramName));
        if (UsePageProcess(program)) {
            g_module = RemoteWebModule(program);
            return g_module;
        }
    }
    QString error;
    g_module = OpenWebModule(dirs, &error);
    if (!g_module)
        qCWarning(lcWeb).noquote() << "tavro: cannot load the web module:" << error;
    return g_module;
}

IWebModule* LoadedWebModule() { return g_module; }

void DestroyWebViews()
{
    if (g_module)
        g_module->DestroyAllViews();
}
