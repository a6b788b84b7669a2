#include "ui/qt_test_app.h"

#include <QApplication>

#include <cstdlib>

namespace rk::test {

void EnsureQtApplication() {
    static int argc = 1;
    static char name[] = "ravelkeep-test";
    static char* argv[] = {name, nullptr};
    // Kept for the whole run: tests create and destroy windows freely.
    static QApplication* application = [] {
        if (std::getenv("QT_QPA_PLATFORM") == nullptr)
            setenv("QT_QPA_PLATFORM", "offscreen", 1);
        return new QApplication(argc, argv);
    }();
    (void)application;
}

} // namespace rk::test
