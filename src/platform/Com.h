#pragma once

#include "platform/Export.h"
#include <QString>
#include <functional>
#include <memory>

namespace LARKHILL_API Larkhill {

/**
 * COM in miniature. Every interface derives virtually from IUnknown so that a
 * type test is a dynamic_pointer_cast; objects are shared pointers, as COM
 * references are counted, and none is an empty pointer.
 */
class IUnknown {
public:
  virtual ~IUnknown() = default;
};

template <class T> using Ref = std::shared_ptr<T>;

/** Casts a reference to another interface of the same object; none when it has no such interface. */
template <class To, class From> Ref<To> QueryInterface(const Ref<From>& from) {
  return std::dynamic_pointer_cast<To>(from);
}

/**
 * The classes that can be created by ProgID. Classes of this process register
 * a factory; a class found only in the per-user registry is loaded from the
 * library recorded there, which must export
 * `extern "C" IUnknown* LarkhillCreateObject(const char* clsid)`.
 */
namespace ComClasses {

using Factory = std::function<Ref<IUnknown>()>;

/** Registers a class of this process under its ProgID and CLSID (braced GUID). */
void registerClass(const QString& progId, const QString& clsid, Factory factory);
/** Removes a class of this process. */
void unregisterClass(const QString& progId);

/**
 * Creates an object by ProgID (letter case ignored): first from the classes of
 * this process, then through the per-user registry. Raises 429 ActiveX
 * component can't create object when the class is unknown or cannot be loaded.
 */
Ref<IUnknown> createObject(const QString& progId);

/** The per-user registry file: $XDG_CONFIG_HOME/LarkhillGIS-COM/classes.ini. */
QString registryPath();

/** Records a class in the per-user registry: ProgID, CLSID and the library that holds it. */
void registerInRegistry(const QString& progId, const QString& clsid, const QString& libraryPath);
/** Removes a class from the per-user registry. */
void unregisterFromRegistry(const QString& progId);
/** The CLSID recorded for a ProgID, or empty text. */
QString registeredClsid(const QString& progId);
/** The library recorded for a ProgID, or empty text. */
QString registeredLibrary(const QString& progId);

} // namespace ComClasses

} // namespace Larkhill
