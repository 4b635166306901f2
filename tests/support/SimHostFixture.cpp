#include "support/SimHostFixture.h"

#include "command/LarkhillGIS_Public.h"

void SimHostTest::SetUp() {
  ComponentTest::SetUp();
  restart();
}

void SimHostTest::restart() {
  SimHost::uninstall();
  SimJournal::clear();
  mMessages.texts.clear();
  mPointer.history.clear();
  mApp = std::make_shared<SimApplication>();
  SimHost::install(mApp);
  gApplication = mApp;
  gDocument = mApp->document;
}

void SimHostTest::TearDown() {
  SimHost::uninstall();
  SimJournal::clear();
  ComponentTest::TearDown();
}
