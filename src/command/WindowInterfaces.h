#pragma once

#include "mapdata/HostInterface.h"

#include <memory>

/**
 * What the command and the windows know of each other: the search window as
 * the shared state holds it, and the factory that makes the windows. The
 * component's own windows provide the default factory; tests of the command
 * install one of their own.
 */
class ISearchWindow {
public:
  virtual ~ISearchWindow() = default;
  /** The host frame around the window, created (and the window loaded) on first use. */
  virtual Ref<IModelessFrame> Frame() = 0;
  /** Unloads the window: hides its frame and drops what it loaded. */
  virtual void Unload() = 0;
};

class IWindowFactory {
public:
  virtual ~IWindowFactory() = default;
  /** A new search window object, not loaded. */
  virtual std::shared_ptr<ISearchWindow> createSearchWindow() = 0;
  /** Loads the configuration window and shows it modally; returns when it has closed. */
  virtual void showConfigWindowModal() = 0;
};

/** Installs the window factory (null restores the component's own); the caller keeps ownership. */
void installWindowFactory(IWindowFactory* factory);
/** The factory in use. */
IWindowFactory& windowFactory();
/** The component's own factory (the real windows), provided by the windows' code. */
IWindowFactory& defaultWindowFactory();
