#pragma once

#include "platform/Export.h"
#include <QString>
#include <cstdint>
#include <exception>
#include <string>

namespace LARKHILL_API Larkhill {

/**
 * The one error type that host calls and platform calls throw: a 32-bit number
 * and a description, as a COM failure or a runtime error carries them.
 * Host failure codes with the high bit set are negative numbers.
 */
class ComError : public std::exception {
public:
  ComError(int32_t number, QString description)
      : mNumber(number), mDescription(std::move(description)),
        mWhat(QStringLiteral("%1: %2").arg(number).arg(mDescription).toStdString()) {}

  /** Returns the error number. */
  int32_t number() const { return mNumber; }
  /** Returns the error description, possibly empty. */
  const QString& description() const { return mDescription; }
  const char* what() const noexcept override { return mWhat.c_str(); }

private:
  int32_t mNumber;
  QString mDescription;
  std::string mWhat;
};

/** The classic runtime errors that the platform stand-ins raise. */
namespace RuntimeError {
constexpr int32_t TypeMismatch = 13;
constexpr int32_t BadFileNameOrNumber = 52;
constexpr int32_t FileNotFound = 53;
constexpr int32_t BadFileMode = 54;
constexpr int32_t FileAlreadyOpen = 55;
constexpr int32_t DiskFull = 61;
constexpr int32_t InputPastEndOfFile = 62;
constexpr int32_t PermissionDenied = 70;
constexpr int32_t PathFileAccessError = 75;
constexpr int32_t PathNotFound = 76;
constexpr int32_t FileAlreadyExists = 58;
constexpr int32_t ObjectVariableNotSet = 91;
constexpr int32_t InvalidUseOfNull = 94;
constexpr int32_t Overflow = 6;
constexpr int32_t CantCreateObject = 429;

/** Returns the classic text of a runtime error number ("File not found" for 53). */
QString text(int32_t number);

/** Throws the runtime error with its classic text. */
[[noreturn]] void raise(int32_t number);
} // namespace RuntimeError

} // namespace Larkhill
