#include "command/ComponentWindows.h"

#include "config/frmConfig.h"
#include "search/frmMain.h"

namespace Larkhill {

ISearchWindow* ComponentWindows::createSearchWindow() { return new frmMain; }

void ComponentWindows::showConfigWindowModal() { frmConfig::showModalWindow(); }

ComponentWindows& ComponentWindows::instance() {
  // Stateless: it owns no window, so it may outlive the application.
  static ComponentWindows sWindows;
  return sWindows;
}

} // namespace Larkhill
