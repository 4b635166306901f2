#include "command/WindowInterfaces.h"
#include "platform/ComError.h"

namespace {
// Stands in until the search and configuration windows are built: asking for a
// window fails as a class that cannot be created does.
class MissingWindows : public IWindowFactory {
public:
  std::shared_ptr<ISearchWindow> createSearchWindow() override {
    RuntimeError::raise(RuntimeError::CantCreateObject);
  }
  void showConfigWindowModal() override { RuntimeError::raise(RuntimeError::CantCreateObject); }
};
} // namespace

IWindowFactory& defaultWindowFactory() {
  static MissingWindows sFactory;
  return sFactory;
}
