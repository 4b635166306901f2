#include "platform/Services.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QMessageBox>
#include <QUrl>
#include <QWidget>

namespace Larkhill {

namespace {

class QtMessageBoxService : public IMessageBoxService {
public:
  void show(const QString& text) override {
    QMessageBox box(QMessageBox::NoIcon, messageBoxTitle(), text, QMessageBox::Ok,
                    QApplication::activeWindow());
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::Ok);
    box.exec();
  }
};

class QtMousePointerService : public IMousePointerService {
public:
  void setPointer(MousePointer pointer) override {
    // One override at most, so repeated hourglass calls need one restore only.
    if (pointer == MousePointer::Hourglass) {
      if (!mBusy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
      mBusy = true;
    } else if (mBusy) {
      QApplication::restoreOverrideCursor();
      mBusy = false;
    }
  }

private:
  bool mBusy = false;
};

class QtShellService : public IShellService {
public:
  void execute(QWidget*, const QString&, const QString& file, const QString&, const QString&,
               int) override {
    QDesktopServices::openUrl(QUrl::fromUserInput(file));
  }
};

class QtModalService : public IModalService {
public:
  void showModal(QDialog* window) override { window->exec(); }
};

QtMessageBoxService sQtMessageBox;
QtMousePointerService sQtMousePointer;
QtShellService sQtShell;
QtModalService sQtModal;

IMessageBoxService* sMessageBox = nullptr;
IMousePointerService* sMousePointer = nullptr;
IShellService* sShell = nullptr;
IModalService* sModal = nullptr;

} // namespace

QString messageBoxTitle() { return QStringLiteral("LarkhillGIS"); }

void MsgBox(const QString& text) { (sMessageBox ? sMessageBox : &sQtMessageBox)->show(text); }

void setMousePointer(MousePointer pointer) {
  (sMousePointer ? sMousePointer : &sQtMousePointer)->setPointer(pointer);
}

void ShellExecuteA(QWidget* owner, const QString& verb, const QString& file,
                   const QString& parameters, const QString& directory, int showCommand) {
  (sShell ? sShell : &sQtShell)->execute(owner, verb, file, parameters, directory, showCommand);
}

void showModal(QDialog* window) { (sModal ? sModal : &sQtModal)->showModal(window); }

void installMessageBoxService(IMessageBoxService* service) { sMessageBox = service; }
void installMousePointerService(IMousePointerService* service) { sMousePointer = service; }
void installShellService(IShellService* service) { sShell = service; }
void installModalService(IModalService* service) { sModal = service; }

} // namespace Larkhill
