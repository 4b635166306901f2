#pragma once

#include <QWidget>

/**
 * A window of the component, as a form of the classic desktop toolkit: it is
 * created first and loaded later, on first use, when its load handler runs
 * once. Unloading hides the window and lets it be loaded anew.
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

protected:
  /** The load handler; a form overrides it with its own load work. */
  virtual void Form_Load() {}

private:
  bool mLoaded = false;
};
