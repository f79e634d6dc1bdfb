// The main() of every unit test program. Window tests need a platform plugin even where
// there is no display, and CTest's discovery runs without the test's environment, so the
// offscreen platform is chosen here when nothing else is. Programs that link Qt Widgets
// define TAVRO_TEST_WITH_QT and get a QApplication for the whole run.

#include <gtest/gtest.h>

#include <cstdlib>

#ifdef TAVRO_TEST_WITH_QT
#include <QApplication>
#endif

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::testing::InitGoogleTest(&argc, argv);
#ifdef TAVRO_TEST_WITH_QT
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
#endif
    return RUN_ALL_TESTS();
}
