#include "shared/WindowInterfaces.h"

#include "platform/Required.h"
#include "platform/Form.h"

namespace Larkhill {

namespace {
IWindowFactory* sInstalled = nullptr;
}

void installWindowFactory(IWindowFactory* factory) { sInstalled = factory; }

bool windowFactoryInstalled() { return sInstalled != nullptr; }

IWindowFactory& windowFactory() { return *required(sInstalled); }

void releaseWindow(QObject* window, bool later) {
  if (!window)
    return;
  QObject* owner = window;
  if (auto* form = qobject_cast<Form*>(window))
    owner = form->frameWindow();
  if (auto* widget = qobject_cast<QWidget*>(owner))
    widget->hide();
  if (later)
    owner->deleteLater();
  else
    delete owner;
}

} // namespace Larkhill
