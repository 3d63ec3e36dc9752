// One QApplication for every GUI test (the tests run offscreen).
#include <QApplication>

#include <gtest/gtest.h>

namespace {

class TQtEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        static int argc = 1;
        static char name[] = "porukana_gui_tests";
        static char* argv[] = {name, nullptr};
        QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);   // as the window run-time does
        app_ = new QApplication(argc, argv);
        QApplication::setQuitOnLastWindowClosed(false);
    }
    void TearDown() override
    {
        delete app_;
        app_ = nullptr;
    }

private:
    QApplication* app_ = nullptr;
};

::testing::Environment* const kQtEnvironment = ::testing::AddGlobalTestEnvironment(new TQtEnvironment);

}   // namespace
