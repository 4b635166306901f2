#pragma once

#include "mapdata/HostInterface.h"
#include "sim/SimGeometry.h"
#include "sim/SimJournal.h"
#include "sim/SimLayers.h"
#include "sim/SimModelessFrame.h"
#include "sim/SimTable.h"

#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

namespace Larkhill {

/**
 * The simulated host: an in-memory application with one document, its focus
 * map, an optional page layout, a recording status bar and modeless frames.
 * Every operation goes through SimJournal, which counts it and fails it on
 * demand. Tests build a map in a few lines:
 *
 *   auto app = std::make_shared<SimApplication>();
 *   auto parcels = app->map()->add(SimFeatureLayer::make("Parcels", {{"PIN",
 * esriFieldTypeString}})); parcels->addRow({"R-1"}, SimGeometry::polygon(100, 200, 110, 220));
 *   app->map()->add(SimGroupLayer::make("Cadastre", {SimFeatureLayer::make("Lots", {})}));
 */

/** What a view was asked to do: the extents set, in order, the refreshes and the marks. */
class SimView : public IActiveView, public IFeatureHighlight {
public:
  Ref<IEnvelope> Extent() override;
  void setExtent(const Ref<IEnvelope>& extent) override;
  void Refresh() override;
  void HighlightFeature(const Ref<IFeatureLayer>& layer, const Ref<IFeature>& feature) override;

  /** The extent now shown. */
  SimEnvelope extent{0, 0, 100, 100};
  /** Each extent set, in order. */
  std::vector<SimEnvelope> extentsSet;
  int refreshCount = 0;
  /** Each feature marked, in order, as "<layer> feature <object id>". */
  QStringList highlights;
};

/** A map: top-level layers in order; a map is also the active view of itself. */
class SimMap : public IMap, public SimView, public std::enable_shared_from_this<SimMap> {
public:
  int32_t LayerCount() override;
  Ref<ILayer> Layer(int32_t index) override;
  Ref<IMap> FocusMap() override;

  /** Appends a top-level layer and returns it, typed as given. */
  template <class T> Ref<T> add(const Ref<T>& layer) {
    layers.push_back(layer);
    return layer;
  }

  std::vector<Ref<ILayer>> layers;
};

/** The page layout: a view of its own whose focus map is the document's map. */
class SimPageLayout : public IPageLayout, public SimView {
public:
  explicit SimPageLayout(Ref<SimMap> map) : map(std::move(map)) {}
  Ref<IMap> FocusMap() override;
  Ref<SimMap> map;
};

/** The open document. The active view is the page layout when there is one, else the map. */
class SimDocument : public IMxDocument {
public:
  Ref<IMap> FocusMap() override;
  Ref<IActiveView> ActiveView() override;

  /** Makes a page layout around the focus map the active view, and returns it. */
  Ref<SimPageLayout> usePageLayout();

  /** The focus map; none makes FocusMap fail as an unset object does. */
  Ref<SimMap> map;
  /** The active view when it is not the map (a page layout). */
  Ref<IActiveView> activeView;
};

/** The status bar's progress bar: keeps its settings and records every call in order. */
class SimStepProgressor : public IStepProgressor {
public:
  void setMinRange(int32_t value) override;
  void setMaxRange(int32_t value) override;
  void setStepValue(int32_t value) override;
  void setPosition(int32_t value) override;
  void setMessage(const QString& message) override;
  void Show() override;
  void Step() override;
  void Hide() override;

  /** "MinRange 1", "MaxRange 25", "StepValue 2", "Position 1", "Message Loading... ", "Show",
   * "Step", "Hide". */
  QStringList calls;
  int32_t minRange = 0, maxRange = 0, stepValue = 0, position = 0;
  QString message;
  bool visible = false;
  int stepCount = 0;
};

class SimStatusBar : public IStatusBar {
public:
  Ref<IStepProgressor> ProgressBar() override;
  void setStatusMessage(int32_t pane, const QString& message) override;
  Ref<SimStepProgressor> progressor = std::make_shared<SimStepProgressor>();
  /** Each text shown in a pane, in order, as "<pane>: <text>". */
  QStringList messages;
};

class SimApplication : public IApplication {
public:
  SimApplication();
  Ref<IMxDocument> Document() override;
  Ref<IStatusBar> StatusBar() override;

  /** The focus map of the document. */
  Ref<SimMap> map() const { return document ? document->map : nullptr; }
  /** The progress bar of the status bar. */
  Ref<SimStepProgressor> progressor() const { return statusBar->progressor; }

  Ref<SimDocument> document;
  Ref<SimStatusBar> statusBar;
};

/** A hook that does not offer the application interface. */
class SimForeignHook : public IUnknown {};

namespace SimHost {
/**
 * Registers the host classes: the application-reference object gives
 * `application`, and the modeless frame class makes SimModelessFrame.
 */
void install(const Ref<SimApplication>& application);
/** Registers the modeless frame class only. */
void installFrames();
/** Removes the host classes and forgets the frames. */
void uninstall();
/** The frames made since the host classes were installed and still alive, oldest first. */
std::vector<Ref<SimModelessFrame>> frames();
/** The frame made last (none when none is alive). */
Ref<SimModelessFrame> lastFrame();
} // namespace SimHost

} // namespace Larkhill
