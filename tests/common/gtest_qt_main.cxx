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
using TestApplication = QApplication;
#endif

int main(int argc, char **argv)
{
#ifndef CORVIX_CORE_TEST
    corvix::PrepareQtBeforeApplication();
#endif
    TestApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
