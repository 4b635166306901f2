#pragma once

#include "mapdata/HostInterface.h"

#include <QString>
#include <vector>

/**
 * The simulated host: an in-memory application with one document and its
 * focus map. `install` makes it the application that the host's
 * application-reference object gives.
 */
class SimDocument : public IMxDocument {
public:
  Ref<IMap> FocusMap() override;
  Ref<IActiveView> ActiveView() override;
  Ref<IMap> map;
  Ref<IActiveView> activeView;
};

class SimMap : public IMap {
public:
  int32_t LayerCount() override { return static_cast<int32_t>(layers.size()); }
  Ref<ILayer> Layer(int32_t index) override;
  std::vector<Ref<ILayer>> layers;
};

class SimApplication : public IApplication {
public:
  SimApplication();
  Ref<IMxDocument> Document() override { return document; }
  Ref<IStatusBar> StatusBar() override { return statusBar; }
  Ref<SimDocument> document;
  Ref<IStatusBar> statusBar;
};

/** A hook that does not offer the application interface. */
class SimForeignHook : public IUnknown {};

namespace SimHost {
/** Registers the host classes so that the application-reference object gives `application`. */
void install(const Ref<SimApplication>& application);
/** Removes the host classes. */
void uninstall();
} // namespace SimHost
