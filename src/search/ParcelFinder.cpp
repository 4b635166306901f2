#include "search/ParcelFinder.h"

#include "config/ConfigFile.h"
#include "mapdata/HostInterface.h"
#include "platform/ComError.h"
#include "search/ListSnapshot.h"
#include "search/SortedListModel.h"
#include "search/frmMain.h"
#include "shared/LarkhillGIS_Public.h"

namespace Larkhill {

namespace ParcelFinder {

namespace {

frmMain* searchWindow() {
  return dynamic_cast<frmMain*>(gSearchWindow.get());
}

} // namespace

void refreshApplication() {
  if (!gAppRef)
    gAppRef = ComClasses::createObject(HostClasses::AppRef);
  gApplication = QueryInterface<IApplication>(gAppRef);
  if (!gApplication)
    RuntimeError::raise(RuntimeError::TypeMismatch);
  gDocument = gApplication->Document();
}

std::shared_ptr<const ListSnapshot> loadedList() {
  frmMain* window = searchWindow();
  if (!window)
    return nullptr;
  if (!window->isLoaded()) {
    try {
      if (ConfigFile::count(gConfigFile) != 2)
        return nullptr;
      refreshApplication();
    } catch (const ComError&) {
      // An unreadable configuration is reported at the next press of the command.
      return nullptr;
    }
    // The frame's first use loads the window and its list; the frame stays hidden.
    if (!window->Frame())
      return nullptr;
    window = searchWindow();
    if (!window)
      return nullptr;
  }
  return window->listModel().snapshot();
}

bool show(const QString& value, int ordinal) {
  frmMain* window = searchWindow();
  if (!window || !window->isLoaded())
    return false;
  const SortedListModel& list = window->listModel();
  const std::shared_ptr<const ListSnapshot> snapshot = list.snapshot();
  const int first = snapshot->entries().findExact(value);
  if (first < 0)
    return false;
  int run = first;
  int sharing = 0;
  snapshot->entries().sameTextRun(first, run, sharing);
  // A row that is no longer there (the list was reloaded) leaves the first.
  const int row = ordinal >= 1 && ordinal <= sharing ? first + ordinal - 1 : first;
  window->showEntry(row);
  return true;
}

} // namespace ParcelFinder

} // namespace Larkhill
