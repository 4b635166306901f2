#include "sim/SimHost.h"

#include "platform/ComError.h"

Ref<IMap> SimDocument::FocusMap() {
  if (!map)
    RuntimeError::raise(RuntimeError::ObjectVariableNotSet);
  return map;
}

Ref<IActiveView> SimDocument::ActiveView() { return activeView; }

Ref<ILayer> SimMap::Layer(int32_t index) {
  if (index < 0 || index >= LayerCount())
    throw ComError(-2147024809, QStringLiteral("The parameter is incorrect."));
  return layers[static_cast<size_t>(index)];
}

SimApplication::SimApplication() : document(std::make_shared<SimDocument>()) {
  document->map = std::make_shared<SimMap>();
}

namespace SimHost {

void install(const Ref<SimApplication>& application) {
  ComClasses::registerClass(HostClasses::AppRef, QStringLiteral("{SIM-APPREF}"),
                            [application] { return Ref<IUnknown>(application); });
}

void uninstall() {
  ComClasses::unregisterClass(HostClasses::AppRef);
  ComClasses::unregisterClass(HostClasses::ModelessFrame);
}

} // namespace SimHost
