#include "platform/CodePage.h"

#include <cstdint>

namespace Larkhill {

namespace CodePage {

namespace {

// The characters of bytes 0x80 to 0x9F; the other bytes are their own code points.
constexpr char16_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

bool isContinuation(uint8_t byte) { return (byte & 0xC0) == 0x80; }

} // namespace

std::optional<QString> fromUtf8(const QByteArray& bytes) {
  const auto* data = reinterpret_cast<const uint8_t*>(bytes.constData());
  const qsizetype size = bytes.size();
  qsizetype i = 0;
  if (size >= 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF)
    i = 3;
  QString text;
  text.reserve(size - i);
  while (i < size) {
    const uint8_t lead = data[i];
    if (lead < 0x80) {
      text.append(QChar(char16_t(lead)));
      ++i;
      continue;
    }
    // The length of the sequence and the range its second byte must be in
    // (narrower than 80..BF after E0, ED, F0 and F4, which rules out overlong
    // forms, surrogates and code points above U+10FFFF).
    int length = 0;
    uint8_t low = 0x80, high = 0xBF;
    uint32_t codePoint = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
      codePoint = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      codePoint = lead & 0x0F;
      if (lead == 0xE0)
        low = 0xA0;
      else if (lead == 0xED)
        high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      codePoint = lead & 0x07;
      if (lead == 0xF0)
        low = 0x90;
      else if (lead == 0xF4)
        high = 0x8F;
    } else {
      return std::nullopt;
    }
    if (size - i < length || data[i + 1] < low || data[i + 1] > high)
      return std::nullopt;
    for (int k = 1; k < length; ++k) {
      if (!isContinuation(data[i + k]))
        return std::nullopt;
      codePoint = (codePoint << 6) | (data[i + k] & 0x3F);
    }
    if (codePoint >= 0x10000) {
      text.append(QChar(QChar::highSurrogate(codePoint)));
      text.append(QChar(QChar::lowSurrogate(codePoint)));
    } else {
      text.append(QChar(char16_t(codePoint)));
    }
    i += length;
  }
  return text;
}

QString fromWindows1252(const QByteArray& bytes) {
  QString text(bytes.size(), Qt::Uninitialized);
  QChar* out = text.data();
  for (const char c : bytes) {
    const auto byte = uint8_t(c);
    *out++ = QChar(byte >= 0x80 && byte < 0xA0 ? kWindows1252High[byte - 0x80] : char16_t(byte));
  }
  return text;
}

} // namespace CodePage

} // namespace Larkhill
