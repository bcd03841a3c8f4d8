// One main for every test program: a QApplication (offscreen or Xvfb, as the
// test runner sets it up) around GoogleTest.
#include <QApplication>
#include <gtest/gtest.h>

#include "app/Application.h"

int main(int argc, char **argv)
{
    corvix::PrepareQtBeforeApplication();
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
