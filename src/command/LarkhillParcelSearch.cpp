#include "command/LarkhillParcelSearch.h"

#include "command/ComponentWindows.h"
#include "command/InstallFolder.h"
#include "shared/LarkhillGIS_Public.h"
#include "shared/Vendor.h"
#include "command/frmResources.h"
#include "config/ConfigFile.h"
#include "platform/ComError.h"
#include "platform/FileChannel.h"
#include "platform/Required.h"
#include "platform/Services.h"
#include "search/ParcelFinder.h"

#include <dlfcn.h>

namespace Larkhill {

const QString LarkhillParcelSearch::ProgID = QStringLiteral("LarkhillGIS.LarkhillParcelSearch");
const QString LarkhillParcelSearch::CLSID = QStringLiteral("{6F1C2A8E-3B7D-4E52-9A41-0C5D2E8B7F13}");

namespace {

// A member's trap: a failure shows the member's one-line message and the member
// returns the fallback value.
template <class Result, class Body>
Result guarded(const char* message, Result fallback, Body body) {
  try {
    return body();
  } catch (const ComError&) {
    if (message)
      MsgBox(QString::fromLatin1(message));
    return fallback;
  }
}

} // namespace

LarkhillParcelSearch::~LarkhillParcelSearch() {
  // Nothing of its own: releasing mApplication is all the destruction does.
}

bool LarkhillParcelSearch::Enabled() {
  return guarded("Error: ICommand_Enabled()", false, [] { return true; });
}

bool LarkhillParcelSearch::Checked() {
  return guarded("Error: ICommand_Checked", false, [] { return false; });
}

QString LarkhillParcelSearch::Name() {
  return guarded("Error: ICommand_Name()", QString(),
                 [] { return Vendor::CompanyName + QLatin1Char('_') + Vendor::ProductName; });
}

QString LarkhillParcelSearch::Caption() {
  return guarded("Error: ICommand_Caption()", QString(), [] { return Vendor::ProductName; });
}

QString LarkhillParcelSearch::Tooltip() {
  return guarded("Error: ICommand_Tooltip()", QString(),
                 [] { return Vendor::ProductName + QStringLiteral(" - Zoom to a parcel"); });
}

QString LarkhillParcelSearch::Message() {
  return guarded("Error: ICommand_Message()", QString(),
                 [] { return Vendor::CompanyName + QStringLiteral(": ") + Vendor::WebSiteHost; });
}

QString LarkhillParcelSearch::HelpFile() {
  return guarded("Error: ICommand_HelpFile()", QString(), [] { return QString(); });
}

int32_t LarkhillParcelSearch::HelpContextID() {
  return guarded("Error: ICommand_HelpContextID()", int32_t(0), [] { return int32_t(0); });
}

int32_t LarkhillParcelSearch::Bitmap() {
  return guarded(nullptr, int32_t(0), [] { return frmResources::instance().Picture1Handle(); });
}

QString LarkhillParcelSearch::Category() {
  return guarded("Error: ICommand_Category()", QString(), [] { return Vendor::CompanyName; });
}

void LarkhillParcelSearch::OnCreate(const Ref<IUnknown>& hook) {
  guarded("Error: ICommand_OnCreate()", 0, [&] {
    mApplication = QueryInterface<IApplication>(hook);
    if (!mApplication)
      RuntimeError::raise(RuntimeError::TypeMismatch);
    // The component's own windows, unless a host or test put others in place.
    if (!windowFactoryInstalled())
      installWindowFactory(&ComponentWindows::instance());
    if (!gSearchWindow)
      gSearchWindow = windowFactory().createSearchWindow();
    gProductName = Vendor::ProductName;
    gVersion = Vendor::Version;
    LarkhillGIS_Public::fSetupInstallFolder(Vendor::CompanyName, Vendor::ProductName,
                                            QStringLiteral("config"), QString());
    return 0;
  });
}

void LarkhillParcelSearch::OnClick() {
  bool configure = false;
  try {
    ParcelFinder::refreshApplication();
    const int32_t items = ConfigFile::count(gConfigFile);
    if (items == 2)
      gConfigured = true;
    if (gConfigured) {
      // A window whose frame could not be made has reported it and gives none.
      // A press also loads anew a served list whose data source failed it (a
      // closed connection never answers again), as Configure would.
      required(gSearchWindow)->RefreshList();
      required(required(gSearchWindow)->Frame())->setVisible(true);
      return;
    }
    MsgBox(QStringLiteral("Tool is not configured.\r\nConfiguration window will now load."));
    configure = true;
  } catch (const ComError&) {
    FileChannel::close(ConfigFile::kChannel);
    // A path that cannot hold the configuration is named, and the configuration
    // window opens all the same: its Continue saves there once the path is mended.
    configure = ConfigFile::reportIfUnusable(gConfigFile);
    MsgBox(QStringLiteral("Error: ICommand_OnClick()"));
  }
  if (!configure)
    return;
  try {
    windowFactory().showConfigWindowModal();
  } catch (const ComError&) {
    FileChannel::close(ConfigFile::kChannel);
    MsgBox(QStringLiteral("Error: ICommand_OnClick()"));
  }
}

void LarkhillParcelSearch::registerClass() {
  ComClasses::registerClass(ProgID, CLSID, [] { return std::make_shared<LarkhillParcelSearch>(); });
}

namespace {
// The class can be created by ProgID as soon as the library is loaded.
const bool sRegistered = (LarkhillParcelSearch::registerClass(), true);
} // namespace

extern "C" IUnknown* LarkhillCreateObject(const char* clsid) {
  if (!clsid || QString::fromLatin1(clsid).compare(LarkhillParcelSearch::CLSID, Qt::CaseInsensitive) != 0)
    return nullptr;
  return new LarkhillParcelSearch;
}

extern "C" int DllRegisterServer() {
  Dl_info info{};
  if (!dladdr(reinterpret_cast<void*>(&LarkhillCreateObject), &info) || !info.dli_fname)
    return 1;
  ComClasses::registerInRegistry(LarkhillParcelSearch::ProgID, LarkhillParcelSearch::CLSID,
                                 QString::fromLocal8Bit(info.dli_fname));
  return 0;
}

extern "C" int DllUnregisterServer() {
  ComClasses::unregisterFromRegistry(LarkhillParcelSearch::ProgID);
  return 0;
}

} // namespace Larkhill
