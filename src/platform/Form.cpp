#include "platform/Form.h"

namespace Larkhill {

Form::Form(QWidget* parent) : QWidget(parent) {}

void Form::Load() {
  if (mLoaded)
    return;
  // Marked first, so that a load handler that asks for its own frame does not load twice.
  mLoaded = true;
  Form_Load();
}

void Form::Unload() {
  hide();
  mLoaded = false;
}

} // namespace Larkhill
