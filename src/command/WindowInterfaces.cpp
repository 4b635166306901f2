#include "command/WindowInterfaces.h"

namespace {
IWindowFactory* sInstalled = nullptr;
}

void installWindowFactory(IWindowFactory* factory) { sInstalled = factory; }

IWindowFactory& windowFactory() { return sInstalled ? *sInstalled : defaultWindowFactory(); }
