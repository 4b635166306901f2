#include "platform/Com.h"

#include "platform/ComError.h"

#include <QDir>
#include <QMap>
#include <QSettings>
#include <QStandardPaths>
#include <dlfcn.h>

namespace Larkhill {

namespace {

struct ClassEntry {
  QString progId;
  QString clsid;
  ComClasses::Factory factory;
};

QMap<QString, ClassEntry>& classes() {
  static QMap<QString, ClassEntry> sClasses;
  return sClasses;
}

// The per-user registry file. It is UTF-8 in both builds: Qt 6 reads and
// writes INI files as UTF-8, Qt 5 only when told (otherwise it writes \x
// escapes and misreads a Qt 6 build's non-ASCII library path). Both read the
// escapes that Qt 5 builds wrote before.
class Registry : public QSettings {
public:
  Registry() : QSettings(ComClasses::registryPath(), QSettings::IniFormat) {
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    setIniCodec("UTF-8");
#endif
  }
};

QString key(const QString& progId) { return progId.toLower(); }

} // namespace

namespace ComClasses {

void registerClass(const QString& progId, const QString& clsid, Factory factory) {
  classes().insert(key(progId), {progId, clsid, std::move(factory)});
}

void unregisterClass(const QString& progId) { classes().remove(key(progId)); }

QString registryPath() {
  QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
  if (config.isEmpty())
    config = QDir::homePath() + QStringLiteral("/.config");
  return config + QStringLiteral("/LarkhillGIS-COM/classes.ini");
}

void registerInRegistry(const QString& progId, const QString& clsid, const QString& libraryPath) {
  QDir().mkpath(QFileInfo(registryPath()).absolutePath());
  Registry settings;
  settings.setValue(QStringLiteral("ProgID/%1/CLSID").arg(key(progId)), clsid);
  settings.setValue(QStringLiteral("CLSID/%1/InprocServer32").arg(clsid), libraryPath);
  settings.setValue(QStringLiteral("CLSID/%1/ProgID").arg(clsid), progId);
  settings.sync();
}

void unregisterFromRegistry(const QString& progId) {
  Registry settings;
  const QString clsid = settings.value(QStringLiteral("ProgID/%1/CLSID").arg(key(progId))).toString();
  settings.remove(QStringLiteral("ProgID/%1").arg(key(progId)));
  if (!clsid.isEmpty())
    settings.remove(QStringLiteral("CLSID/%1").arg(clsid));
  settings.sync();
}

QString registeredClsid(const QString& progId) {
  return Registry().value(QStringLiteral("ProgID/%1/CLSID").arg(key(progId))).toString();
}

QString registeredLibrary(const QString& progId) {
  const QString clsid = registeredClsid(progId);
  if (clsid.isEmpty())
    return QString();
  return Registry().value(QStringLiteral("CLSID/%1/InprocServer32").arg(clsid)).toString();
}

Ref<IUnknown> createObject(const QString& progId) {
  auto it = classes().find(key(progId));
  if (it != classes().end())
    return it->factory();
  const QString clsid = registeredClsid(progId);
  const QString library = registeredLibrary(progId);
  if (clsid.isEmpty() || library.isEmpty())
    RuntimeError::raise(RuntimeError::CantCreateObject);
  // The library stays loaded for the life of the process, as an in-process server does.
  void* handle = dlopen(QFile::encodeName(library).constData(), RTLD_NOW | RTLD_GLOBAL);
  if (!handle)
    RuntimeError::raise(RuntimeError::CantCreateObject);
  using CreateFunction = IUnknown* (*)(const char*);
  auto create = reinterpret_cast<CreateFunction>(dlsym(handle, "LarkhillCreateObject"));
  if (!create)
    RuntimeError::raise(RuntimeError::CantCreateObject);
  IUnknown* object = create(clsid.toLatin1().constData());
  if (!object)
    RuntimeError::raise(RuntimeError::CantCreateObject);
  return Ref<IUnknown>(object);
}

} // namespace ComClasses

} // namespace Larkhill
