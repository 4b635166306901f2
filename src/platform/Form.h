#pragma once

#include "platform/Export.h"
#include <QWidget>

namespace LARKHILL_API Larkhill {

/**
 * A window of the component, as a form of the classic desktop toolkit: it is
 * created first and loaded later, on first use, when its load handler runs
 * once. Unloading hides the window and lets it be loaded anew.
 *
 * A form starts as a top-level window that nobody owns. A host frame that
 * takes it in (IModelessFrame::Create) becomes its parent and owns it; the
 * form is then deleted with the frame's window.
 */
class Form : public QWidget {
  Q_OBJECT
public:
  explicit Form(QWidget* parent = nullptr);

  /** Runs the load handler once; later calls do nothing until the form is unloaded. */
  void Load();
  /** True once the load handler has started. */
  bool isLoaded() const { return mLoaded; }
  /** Hides the window and marks it unloaded. */
  virtual void Unload();

  /**
   * The widget whose delete releases the form: the frame's window that owns
   * it, or the form itself while no frame holds it.
   */
  QWidget* frameWindow() { return parentWidget() ? parentWidget() : this; }

protected:
  /** The load handler; a form overrides it with its own load work. */
  virtual void Form_Load() {}

private:
  bool mLoaded = false;
};

} // namespace Larkhill
