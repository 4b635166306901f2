// The main of every test binary built with the support library: a QApplication
// (offscreen under CTest) whose widget pixels are screen pixels on Qt 5 and
// Qt 6 alike, recording services, and GoogleTest.
#include "support/Fixtures.h"
#include "platform/WindowLook.h"

#include <QApplication>
#include <gtest/gtest.h>

using namespace Larkhill;

int main(int argc, char** argv) {
  WindowLook::useScreenPixels();
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
