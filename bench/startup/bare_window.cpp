// The yardstick for the program's start: a plain Qt window of the widget's size, shown at
// once.   bare_window WIDTH HEIGHT

#include <QApplication>
#include <QWidget>

#include <cstdlib>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QWidget window;
    window.resize(argc > 2 ? std::atoi(argv[1]) : 104, argc > 2 ? std::atoi(argv[2]) : 104);
    window.show();
    return QApplication::exec();
}
