#include "command/WindowInterfaces.h"
#include "config/frmConfig.h"
#include "search/frmMain.h"

namespace {

// The component's own windows. A search window is deleted once control is back
// in the event loop: the last reference can go inside one of its own handlers
// (Continue in the configuration window, opened from its "Configure").
class ComponentWindows : public IWindowFactory {
public:
  std::shared_ptr<ISearchWindow> createSearchWindow() override {
    return std::shared_ptr<frmMain>(new frmMain, [](frmMain* window) {
      window->hide();
      if (window->parentWidget())
        window->setParent(nullptr);
      window->deleteLater();
    });
  }
  void showConfigWindowModal() override { frmConfig::showModalWindow(); }
};

} // namespace

IWindowFactory& defaultWindowFactory() {
  static ComponentWindows sFactory;
  return sFactory;
}
