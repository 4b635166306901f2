#include "support/SimHostFixture.h"

#include "command/ComponentUnload.h"
#include "shared/LarkhillGIS_Public.h"

using namespace Larkhill;

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
  // The component goes first, as a host unloads it before it shuts down.
  ComponentUnload::unload();
  SimHost::uninstall();
  SimJournal::clear();
  ComponentTest::TearDown();
}
