#pragma once

#include "command/ICommand.h"

#include <QAction>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QToolBar>
#include <functional>

class QMainWindow;

namespace LarkhillQgis {
using namespace Larkhill;

/**
 * One toolbar command as a host shows it: creates the command by its ProgID,
 * and puts its picture, caption and tooltip on a button of a toolbar named
 * after its category. The command learns of the running application once
 * (OnCreate) and of every press of the button (OnClick); it is reached only
 * through ICommand. A failure of a press that the command does not report
 * itself is shown in a message, so that it never unwinds into the host's event
 * loop. remove() takes away everything the button added. Both the map
 * application and the plugin put their commands on toolbars through it.
 */
class CommandButton : public QObject {
  Q_OBJECT
public:
  /** Makes the toolbar that will hold the button, given its name. */
  using ToolBarMaker = std::function<QToolBar*(const QString& name)>;

  /** A button for the main window; toolbars are made by `makeToolBar`, or else added to the window.
   */
  explicit CommandButton(QMainWindow* mainWindow, ToolBarMaker makeToolBar = {});
  ~CommandButton() override;

  /**
   * Creates the command by ProgID, builds the button and hands the command
   * the hook. Returns false, with the reason in error(), when the class cannot
   * be created or is no command; nothing is added then.
   */
  bool install(const QString& progId, const Ref<IUnknown>& hook);

  /**
   * Removes the button, and its toolbar when no other button is left on it,
   * and releases the command. Safe to call twice.
   */
  void remove();

  QString error() const { return mError; }
  QAction* action() const { return mAction; }
  QToolBar* toolBar() const { return mToolBar; }
  const Ref<ICommand>& command() const { return mCommand; }

private:
  void pressed();

  QMainWindow* mMainWindow;
  ToolBarMaker mMakeToolBar;
  Ref<ICommand> mCommand;
  QPointer<QToolBar> mToolBar;
  QPointer<QAction> mAction;
  QString mError;
};

} // namespace LarkhillQgis
