#include "platform/FileChannel.h"

#include <gtest/gtest.h>

using namespace Larkhill;

namespace {
QString decoded(const char* bytes) { return FileChannel::decode(QByteArray(bytes)); }
QString units(std::initializer_list<char16_t> list) {
  QString text;
  for (char16_t unit : list)
    text.append(QChar(unit));
  return text;
}
} // namespace

// What counts as UTF-8 decides how an item is read; everything else is read as
// Windows-1252, byte for character.
TEST(CodePageTest, WellFormedUtf8IsReadAsUtf8) {
  EXPECT_EQ(decoded("\xef\xbb\xbf" "abc"), "abc");
  EXPECT_EQ(decoded("\xef\xbb\xbf\xef\xbb\xbf" "a"), units({0xFEFF, 'a'}));
  EXPECT_EQ(decoded("a\xef\xbf\xbf"), units({'a', 0xFFFF}));
  EXPECT_EQ(decoded("\xf0\x9f\x98\x80"), units({0xD83D, 0xDE00}));
  EXPECT_EQ(decoded("\xf4\x8f\xbf\xbf"), units({0xDBFF, 0xDFFF}));
  EXPECT_EQ(FileChannel::decode(QByteArray("a\0b", 3)), units({'a', 0, 'b'}));
}

TEST(CodePageTest, AnythingElseIsReadAsWindows1252) {
  // Overlong forms, a surrogate, past U+10FFFF, a byte no UTF-8 holds.
  EXPECT_EQ(decoded("a\xc0\xaf"), units({'a', 0xC0, 0xAF}));
  EXPECT_EQ(decoded("\xe0\x80\xaf"), units({0xE0, 0x20AC, 0xAF}));
  EXPECT_EQ(decoded("\xed\xa0\x80"), units({0xED, 0xA0, 0x20AC}));
  EXPECT_EQ(decoded("\xf4\x90\x80\x80"), units({0xF4, 0x90, 0x20AC, 0x20AC}));
  EXPECT_EQ(decoded("\xf5\x80\x80\x80"), units({0xF5, 0x20AC, 0x20AC, 0x20AC}));
  // A sequence cut short by the end of the item: an old name ending in a
  // letter of the code page.
  EXPECT_EQ(decoded("Caf\xe9"), QString::fromUtf8("Café"));
  EXPECT_EQ(decoded("\xef\xbb\xbf" "a\xe9"), QString::fromUtf8("ï»¿aé"));
  // The code page's own letters, and the undefined bytes as control characters.
  EXPECT_EQ(decoded("\x80\x81\x8a\x8d\x8f\x90\x9d\x9f\xa0\xff"),
            units({0x20AC, 0x81, 0x160, 0x8D, 0x8F, 0x90, 0x9D, 0x178, 0xA0, 0xFF}));
}
