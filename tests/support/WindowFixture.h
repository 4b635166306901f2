#pragma once

#include "support/SimHostFixture.h"

#include <QDialog>
#include <QPointer>
#include <QStringList>
#include <QWidget>
#include <vector>

namespace Larkhill {
class frmMain;
}
using namespace Larkhill;

/** Shows a modal window and returns at once, so that a test can drive the window itself. */
class NonBlockingModalService : public IModalService {
public:
  void showModal(QDialog* window) override {
    shown.push_back(window);
    window->show();
  }
  std::vector<QPointer<QWidget>> shown;
};

/**
 * A test of the windows on the simulated host: C: has a Program Files folder
 * and the install folder with an empty configuration file, the product name
 * and version are set, modal windows do not block, and every window is gone
 * after the test.
 */
class WindowTest : public SimHostTest {
protected:
  void SetUp() override;
  void TearDown() override;

  /** Writes the two records of the configuration file. */
  void writeConfig(const QString& layer, const QString& field);
  /** Writes raw bytes into the configuration file. */
  void writeConfigBytes(const QByteArray& bytes);
  /** The host path of the configuration file. */
  QString configHostPath() const;

  /**
   * Adds a feature layer `name` with a text field PIN holding the values, in
   * order; the feature of value i covers (10 i, 0) to (10 i + 5, 5).
   */
  Ref<SimFeatureLayer> addParcels(const QString& name, const QStringList& pins);

  /** A search window put into gSearchWindow, as the command does. */
  frmMain* newSearchWindow();
  /** The frame of a window made by the simulated host, or none. */
  static Ref<SimModelessFrame> frameOf(QWidget* window);

  /** Deletes what was deleted later, as the event loop would. */
  static void flushDeletes();

  /** The extents the focus map was zoomed to. */
  const std::vector<SimEnvelope>& zooms() const { return map()->extentsSet; }

  NonBlockingModalService mModal;
};
