#pragma once

#include "sim/SimHost.h"
#include "support/Fixtures.h"
#include "support/QtPrinters.h"

using namespace Larkhill;

/**
 * A component test on a fresh simulated host: the application is installed
 * (application reference and modeless frames), gApplication and gDocument
 * point at it, and the call journal starts empty with no failures armed.
 */
class SimHostTest : public ComponentTest {
protected:
  void SetUp() override;
  void TearDown() override;

  /** Starts again on a new simulated host: new application, empty journal, no messages. */
  void restart();

  /** The focus map. */
  Ref<SimMap> map() const { return mApp->map(); }
  /** The status bar's progress bar. */
  Ref<SimStepProgressor> progressor() const { return mApp->progressor(); }

  Ref<SimApplication> mApp;
};
