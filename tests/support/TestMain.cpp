// The main of every test binary built with the support library: a QApplication
// (offscreen under CTest), recording services, and GoogleTest.
#include "support/Fixtures.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
