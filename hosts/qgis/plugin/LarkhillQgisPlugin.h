#pragma once

#include "qgis/ui/CommandButton.h"

#include "mapdata/HostInterface.h"

#include <qgisplugin.h>

#include <QObject>
#include <memory>

class QgisInterface;

namespace LarkhillQgis {
using namespace Larkhill;

/**
 * The plugin that the QGIS application loads from its plugin path. It puts the
 * parcel search command on a toolbar of QGIS's main window, hands the command
 * the running application (QGIS's project, map canvas, main window and status
 * bar seen through the host interface) and takes everything away again when
 * QGIS unloads it. The command also has an entry in QGIS's Plugins menu.
 */
class LarkhillQgisPlugin : public QObject, public QgisPlugin {
  Q_OBJECT
public:
  static const QString PluginName;
  static const QString PluginDescription;
  static const QString PluginCategory;
  static const QString PluginVersion;
  /** The plugin's scalable icon, a resource of the plugin library. */
  static const QString PluginIcon;

  explicit LarkhillQgisPlugin(QgisInterface* iface);
  ~LarkhillQgisPlugin() override;

  void initGui() override;
  void unload() override;

  /** The button on QGIS's toolbar (none before initGui and after unload). */
  LarkhillQgis::CommandButton* button() const { return mButton.get(); }

private:
  QgisInterface* mIface;
  std::unique_ptr<LarkhillQgis::CommandButton> mButton;
  Ref<IUnknown> mApplication;
  /** The submenu of QGIS's Plugins menu that holds the command. */
  QString mMenuName;
};

} // namespace LarkhillQgis
