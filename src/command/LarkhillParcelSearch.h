#pragma once

#include "platform/Export.h"
#include "command/ICommand.h"
#include "mapdata/HostInterface.h"

namespace LARKHILL_API Larkhill {

/**
 * The toolbar command: answers the host's questions from constants, sets up
 * the shared state once in OnCreate, and on each click shows the search window
 * when the tool is configured, or else the configuration window. Created by
 * ProgID "LarkhillGIS.LarkhillParcelSearch".
 */
class LarkhillParcelSearch : public ICommand {
public:
  static const QString ProgID;
  static const QString CLSID;

  ~LarkhillParcelSearch() override;

  bool Enabled() override;
  bool Checked() override;
  QString Name() override;
  QString Caption() override;
  QString Tooltip() override;
  QString Message() override;
  QString HelpFile() override;
  int32_t HelpContextID() override;
  int32_t Bitmap() override;
  QString Category() override;
  void OnCreate(const Ref<IUnknown>& hook) override;
  void OnClick() override;

  /** Registers the class by ProgID in this process (done when the library loads). */
  static void registerClass();

private:
  Ref<IApplication> mApplication;
};

extern "C" {
/** Creates the command for a CLSID (the in-process server's entry); null for another CLSID. */
IUnknown* LarkhillCreateObject(const char* clsid);
/** Records the command class in the per-user registry; returns 0 on success. */
int DllRegisterServer();
/** Removes the command class from the per-user registry; returns 0. */
int DllUnregisterServer();
}

} // namespace Larkhill
