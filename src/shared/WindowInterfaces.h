#pragma once

#include "platform/Export.h"
#include "platform/Com.h"

#include <QObject>
#include <QPointer>

namespace LARKHILL_API Larkhill {

class IModelessFrame;

/**
 * What the command and the windows know of each other: the search window as
 * the shared state holds it, and the factory that makes the windows. The
 * command installs the component's own windows; tests of the command install
 * a factory of their own.
 */
class ISearchWindow {
public:
  virtual ~ISearchWindow() = default;
  /** The host frame around the window, created (and the window loaded) on first use. */
  virtual Ref<IModelessFrame> Frame() = 0;
  /** Unloads the window: hides its frame and drops what it loaded. */
  virtual void Unload() = 0;
  /**
   * Loads the list anew where what it shows can no longer be read (a list
   * served by a data source whose last read failed); does nothing otherwise.
   */
  virtual void RefreshList() {}
};

/**
 * A handle on the search window that does not own it: it gives none once the
 * window has been deleted. The window is a QObject (a form, or a test's stub);
 * its frame owns it.
 */
class SearchWindowHandle {
public:
  SearchWindowHandle() = default;
  /** A handle on `window`, which must also be a QObject (none otherwise). */
  SearchWindowHandle(ISearchWindow* window)
      : mObject(dynamic_cast<QObject*>(window)), mWindow(mObject ? window : nullptr) {}

  ISearchWindow* get() const { return mObject ? mWindow : nullptr; }
  ISearchWindow* operator->() const { return get(); }
  explicit operator bool() const { return get() != nullptr; }
  /** The window as a QObject, or null. */
  QObject* object() const { return mObject.data(); }
  /** Lets go of the window without deleting it. */
  void reset() {
    mObject.clear();
    mWindow = nullptr;
  }

private:
  QPointer<QObject> mObject;
  ISearchWindow* mWindow = nullptr;
};

class IWindowFactory {
public:
  virtual ~IWindowFactory() = default;
  /**
   * A new search window object, not loaded. Its frame owns it once it has
   * one; until then it is released with releaseWindow.
   */
  virtual ISearchWindow* createSearchWindow() = 0;
  /** Loads the configuration window and shows it modally; returns when it has closed. */
  virtual void showConfigWindowModal() = 0;
};

/** Installs the window factory (null: none); the caller keeps ownership. */
void installWindowFactory(IWindowFactory* factory);
/** True when a factory is installed. */
bool windowFactoryInstalled();
/** The factory in use; raises 91 Object variable not set when none is installed. */
IWindowFactory& windowFactory();

/**
 * Deletes a window of the component together with the frame that owns it: a
 * form that sits in a frame goes with the frame's window, any other object on
 * its own. `later` defers the delete to the event loop, for a window released
 * inside one of its own handlers. A null object is ignored.
 */
void releaseWindow(QObject* window, bool later);

} // namespace Larkhill
