#pragma once

#include "platform/Export.h"
#include "shared/WindowInterfaces.h"

namespace LARKHILL_API Larkhill {

/**
 * The component's own windows: the search window is a new frmMain, the
 * configuration window is frmConfig shown modally. The object holds nothing;
 * the command installs it when no other factory is installed.
 */
class ComponentWindows : public IWindowFactory {
public:
  ISearchWindow* createSearchWindow() override;
  void showConfigWindowModal() override;

  /** The one factory of the component's own windows. */
  static ComponentWindows& instance();
};

} // namespace Larkhill
