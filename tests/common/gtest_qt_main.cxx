// One main for every test program: around GoogleTest, a QCoreApplication for
// the core's tests (no display at all), a QApplication for the window tests
// (offscreen or Xvfb, as the test runner sets it up).
#include <gtest/gtest.h>

#include <QTemporaryDir>

#ifdef CORVIX_CORE_TEST
#include <QCoreApplication>
using TestApplication = QCoreApplication;
#else
#include "app/Application.h"

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>

#include <vector>
using TestApplication = QApplication;
#endif

int main(int argc, char **argv)
{
#ifndef CORVIX_CORE_TEST
    corvix::PrepareQtBeforeApplication();
    // The browser tests run with the program's renderer memory bound.
    std::vector<char *> arguments(argv, argv + argc);
    corvix::CapRendererMemory(arguments);
    // And through the program's network guard.
    corvix::RouteEngineThroughGuard(arguments);
    int appArgc = static_cast<int>(arguments.size());
    arguments.push_back(nullptr);
    TestApplication app(appArgc, arguments.data());
#else
    TestApplication app(argc, argv);
#endif
    // What the program keeps in the user's settings folder goes to a folder
    // of this run, never into the settings of the user who runs the tests.
    QTemporaryDir settings;
    qputenv("XDG_CONFIG_HOME", settings.path().toLocal8Bit());
#ifndef CORVIX_CORE_TEST
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());
#endif
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
