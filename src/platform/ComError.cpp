#include "platform/ComError.h"

namespace Larkhill {

namespace RuntimeError {

QString text(int32_t number) {
  switch (number) {
  case Overflow: return QStringLiteral("Overflow");
  case TypeMismatch: return QStringLiteral("Type mismatch");
  case BadFileNameOrNumber: return QStringLiteral("Bad file name or number");
  case FileNotFound: return QStringLiteral("File not found");
  case BadFileMode: return QStringLiteral("Bad file mode");
  case FileAlreadyOpen: return QStringLiteral("File already open");
  case FileAlreadyExists: return QStringLiteral("File already exists");
  case DiskFull: return QStringLiteral("Disk full");
  case InputPastEndOfFile: return QStringLiteral("Input past end of file");
  case PermissionDenied: return QStringLiteral("Permission denied");
  case PathFileAccessError: return QStringLiteral("Path/File access error");
  case PathNotFound: return QStringLiteral("Path not found");
  case ObjectVariableNotSet: return QStringLiteral("Object variable or With block variable not set");
  case InvalidUseOfNull: return QStringLiteral("Invalid use of Null");
  case CantCreateObject: return QStringLiteral("ActiveX component can't create object");
  default: return QStringLiteral("Application-defined or object-defined error");
  }
}

void raise(int32_t number) { throw ComError(number, text(number)); }

} // namespace RuntimeError

} // namespace Larkhill
