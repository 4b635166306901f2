#include "qgis/ui/CommandButton.h"

#include "platform/ComError.h"
#include "platform/PictureHandles.h"
#include "platform/Services.h"

#include <QAction>
#include <QIcon>
#include <QMainWindow>
#include <QPixmap>
#include <QToolBar>
#include <exception>

namespace LarkhillQgis {
using namespace Larkhill;

CommandButton::CommandButton(QMainWindow* mainWindow, ToolBarMaker makeToolBar)
    : mMainWindow(mainWindow), mMakeToolBar(std::move(makeToolBar)) {
  if (!mMakeToolBar)
    mMakeToolBar = [this](const QString& name) { return mMainWindow->addToolBar(name); };
}

CommandButton::~CommandButton() {
  remove();
}

bool CommandButton::install(const QString& progId, const Ref<IUnknown>& hook) {
  remove();
  mError.clear();
  Ref<IUnknown> object;
  try {
    object = ComClasses::createObject(progId);
  } catch (const ComError& e) {
    mError = QStringLiteral("Cannot create %1: %2").arg(progId, e.description());
    return false;
  }
  mCommand = QueryInterface<ICommand>(object);
  if (!mCommand) {
    mError = QStringLiteral("%1 is not a toolbar command").arg(progId);
    return false;
  }

  const QString category = mCommand->Category();
  mToolBar = mMakeToolBar(category);
  // The object name lets the main window keep the toolbar's place between sessions.
  mToolBar->setObjectName(category.isEmpty() ? progId : category);
  mToolBar->setWindowTitle(category);

  mAction = new QAction(mMainWindow);
  mAction->setObjectName(mCommand->Name());
  mAction->setText(mCommand->Caption());
  mAction->setToolTip(mCommand->Tooltip());
  mAction->setStatusTip(mCommand->Message());
  const QImage picture = PictureHandles::picture(mCommand->Bitmap());
  if (!picture.isNull())
    mAction->setIcon(QIcon(QPixmap::fromImage(picture)));
  mAction->setEnabled(mCommand->Enabled());
  mAction->setCheckable(false);
  connect(mAction, &QAction::triggered, this, &CommandButton::pressed);
  mToolBar->addAction(mAction);

  mCommand->OnCreate(hook);
  return true;
}

void CommandButton::pressed() {
  if (!mCommand)
    return;
  // The command reports its own failures. Anything else must not unwind into
  // the host's event loop, which would end the whole application; it is shown.
  try {
    mCommand->OnClick();
  } catch (const std::exception& e) {
    MsgBox(QStringLiteral("Unexpected failure: %1").arg(QString::fromLocal8Bit(e.what())));
  }
}

void CommandButton::remove() {
  if (mAction) {
    if (mToolBar)
      mToolBar->removeAction(mAction);
    delete mAction;
  }
  // A toolbar that other buttons share stays for them.
  if (mToolBar && mToolBar->actions().isEmpty()) {
    if (mMainWindow)
      mMainWindow->removeToolBar(mToolBar);
    delete mToolBar;
  }
  mToolBar = nullptr;
  mCommand.reset();
}

} // namespace LarkhillQgis
