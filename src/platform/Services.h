#pragma once

#include "platform/Export.h"
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

class QDialog;
class QWidget;

namespace LARKHILL_API Larkhill {

/**
 * The small services through which the component reaches the desktop: message
 * boxes, the application's mouse pointer, modal windows and the shell. Each has a
 * Qt implementation, used unless another one is installed, and a recording one
 * that tests and scripted sessions install so that nothing ever blocks.
 */

/** Shows a modal message with only an OK button, no icon and the default title. */
class IMessageBoxService {
public:
  virtual ~IMessageBoxService() = default;
  /** Shows the text and returns when the user has closed the box. */
  virtual void show(const QString& text) = 0;
};

/** The two settings of the application's mouse pointer that the component uses. */
enum class MousePointer { Default, Hourglass };

/** Sets the application-wide mouse pointer. */
class IMousePointerService {
public:
  virtual ~IMousePointerService() = default;
  virtual void setPointer(MousePointer pointer) = 0;
};

/** Opens an address through the desktop, as the Windows shell's "Open" verb does. */
class IShellService {
public:
  virtual ~IShellService() = default;
  /** Opens the file or address; the result, as the component uses it, is ignored. */
  virtual void execute(QWidget* owner, const QString& verb, const QString& file,
                       const QString& parameters, const QString& directory, int showCommand) = 0;
};

/** Shows a dialog modally: returns only when the dialog has been closed or hidden. */
class IModalService {
public:
  virtual ~IModalService() = default;
  virtual void showModal(QDialog* window) = 0;
};

/** The default title of the component's message boxes. */
QString messageBoxTitle();

/** Shows a message box through the installed service. */
void MsgBox(const QString& text);

/** Sets the application's mouse pointer through the installed service. */
void setMousePointer(MousePointer pointer);

/** Opens an address through the installed shell service; returns nothing. */
void ShellExecuteA(QWidget* owner, const QString& verb, const QString& file,
                   const QString& parameters, const QString& directory, int showCommand);

/** Shows a dialog modally through the installed service. */
void showModal(QDialog* window);

/**
 * Installs services; a null pointer restores the Qt implementation. The caller
 * keeps ownership and must keep the service alive while it is installed.
 */
void installMessageBoxService(IMessageBoxService* service);
void installMousePointerService(IMousePointerService* service);
void installShellService(IShellService* service);
void installModalService(IModalService* service);

/** Records every message instead of showing it; an optional callback sees each one. */
class RecordingMessageBoxService : public IMessageBoxService {
public:
  void show(const QString& text) override {
    texts.append(text);
    if (onShow)
      onShow(text);
  }
  QStringList texts;
  std::function<void(const QString&)> onShow;
};

/** Records the pointer settings; `current` is the pointer a user would see. */
class RecordingMousePointerService : public IMousePointerService {
public:
  void setPointer(MousePointer pointer) override {
    current = pointer;
    history.push_back(pointer);
  }
  MousePointer current = MousePointer::Default;
  std::vector<MousePointer> history;
};

/** Records each shell call. */
class RecordingShellService : public IShellService {
public:
  struct Call {
    QWidget* owner;
    QString verb, file, parameters, directory;
    int showCommand;
  };
  void execute(QWidget* owner, const QString& verb, const QString& file, const QString& parameters,
               const QString& directory, int showCommand) override {
    calls.push_back({owner, verb, file, parameters, directory, showCommand});
  }
  std::vector<Call> calls;
};

} // namespace Larkhill
