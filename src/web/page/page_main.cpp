// TavroPage: the page process. The program starts it when it first shows a page and ends it
// a while after the last page went; it holds the browser engine, so that the program itself
// never does. Its one argument is the program's process id.

#include "web/page/page_server.h"
#include "web/page_process.h"
#include "web/web_module_loader.h"

#include <QApplication>
#include <QLoggingCategory>

#include <cstdlib>
#include <string>

int main(int argc, char* argv[])
{
    const int parent = argc > 1 ? std::atoi(argv[1]) : 0;
    if (parent <= 0 || !TieToParent(parent))
        return 2;
    // The engine shares its textures through one context, made before the application.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    // The program's window is the one the user sees; this one never quits on its own.
    QApplication::setQuitOnLastWindowClosed(false);
    QString error;
    IWebModule* module = OpenWebModule({QCoreApplication::applicationDirPath()}, &error);
    if (!module) {
        qWarning().noquote() << "tavro: the page process cannot load the web module:" << error;
        return 1;
    }
    int code = 0;
    {
        CPageServer server(*module, kPageChannelFd);
        code = QApplication::exec();
    }
    return code;
}
