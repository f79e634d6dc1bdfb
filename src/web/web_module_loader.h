#pragma once

// Loads the web module on demand. Start-up and the widget never link the browser engine:
// it adds tens of megabytes and a noticeable start delay to a process that spends most days
// without showing a page. The first page shown pays for it instead.

#include "web/web_module.h"

#include <QString>
#include <QStringList>

// The module's file name without prefix or suffix, as QLibrary takes it.
constexpr const char* kWebModuleBaseName = "tavro_webengine";

// Loads the module once per process and answers it; later calls answer the same module.
// The module is looked for next to the executable first, then in `fallbackDir` (tests run
// from their own folder). On X11, with the page process in one of those folders, the answer
// is the module that runs the engine in that process instead (see remote_web_module.h), and
// nothing is loaded. Must run on the user-interface thread after QApplication exists.
// On failure the reason is a warning of tavro.web and the answer is null; a later call tries again.
IWebModule* LoadWebModule(const QString& fallbackDir = QString());

// Opens the module from the first of `dirs` that holds a usable one, without keeping it for
// later calls. On failure answers null and, when `error` is given, why each folder failed.
IWebModule* OpenWebModule(const QStringList& dirs, QString* error = nullptr);

// The module if it has been loaded, without loading it.
IWebModule* LoadedWebModule();

// Destroys every browser view, if the module was ever loaded. The program calls it before
// its QApplication ends.
void DestroyWebViews();

// Makes the process-wide shared OpenGL context that the engine requires before it starts,
// unless one exists. Where there is no OpenGL (Qt's offscreen platform plugin) the context
// stays invalid and the engine draws in software.
void EnsureGlobalShareContext();
