#pragma once

#include "platform/Export.h"
#include <QByteArray>
#include <QString>
#include <optional>

namespace LARKHILL_API Larkhill {

/**
 * Text from the bytes of the two code pages the component's files come in,
 * decoded the same way whatever Qt the component is built against: UTF-8,
 * which this platform writes, and Windows-1252, which older Windows installs
 * wrote.
 */
namespace CodePage {

/**
 * The text of bytes that are well-formed UTF-8 (no overlong forms, no
 * surrogates, nothing above U+10FFFF, no sequence cut short at the end), or
 * none. One byte order mark at the very start is dropped; noncharacters such
 * as U+FFFF are text like any other.
 */
std::optional<QString> fromUtf8(const QByteArray& bytes);

/**
 * The text of Windows-1252 bytes: every byte is one character. The five bytes
 * the code page leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) become the
 * control characters of the same number, as Windows itself reads them.
 */
QString fromWindows1252(const QByteArray& bytes);

} // namespace CodePage

} // namespace Larkhill
