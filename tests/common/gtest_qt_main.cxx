// One main for every test program: around GoogleTest, a QCoreApplication for
// the core's tests (no display at all), a QApplication for the window tests
// (offscreen or Xvfb, as the test runner sets it up).
#include <gtest/gtest.h>

#ifdef CORVIX_CORE_TEST
#include <QCoreApplication>
using TestApplication = QCoreApplication;
#else
#include "app/Application.h"

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>
using TestApplication = QApplication;
#endif

int main(int argc, char **argv)
{
#ifndef CORVIX_CORE_TEST
    corvix::PrepareQtBeforeApplication();
#endif
    TestApplication app(argc, argv);
#ifndef CORVIX_CORE_TEST
    // What the windows remember goes to a folder of this run, never into the
    // settings of the user who runs the tests.
    QTemporaryDir settings;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());
#endif
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
