#include "storage/text_compression.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tessaly::jet {
namespace {

std::vector<uint8_t> Stored(std::u16string_view text, bool compress = true) {
  std::vector<uint8_t> out;
  AppendStoredText(text, compress, out);
  return out;
}

TEST(TextCompression, RoundTripsAndCompressesOnlyWhenShorterAndSafe) {
  struct Case {
    std::u16string text;
    bool compressed;
  };
  const std::vector<Case> cases = {
      {u"", false},
      {u"a", false},  // marker would make it longer
      {u"ab", false},
      {u"abc", true},
      {u"Caf\u00e9 \u20ac 5 \u20ac\u20ac x", true},
      {u"\u20ac\u20ac\u20ac\u20ac", false},
      {u"ab\u20acab\u20acab", false},  // switching back and forth gains nothing
      {u"abc\u20acabc\u20acabc", true},
      {u"x\u0100y abc def", false},  // low byte zero: not writable compressed
      {std::u16string(u"abc\0def", 7), false},
      {u"\u00ff\u00fe abc", true},
      {std::u16string(3000, u'q'), true},
  };
  for (const Case& c : cases) {
    const std::vector<uint8_t> bytes = Stored(c.text);
    const bool compressed = bytes.size() >= 2 && bytes[0] == 0xff && bytes[1] == 0xfe;
    EXPECT_EQ(compressed, c.compressed) << bytes.size();
    EXPECT_LE(bytes.size(), c.text.size() * 2);
    EXPECT_TRUE(DecodeStoredText(bytes.data(), bytes.size()) == c.text);
    const std::vector<uint8_t> plain = Stored(c.text, false);
    EXPECT_EQ(plain.size(), c.text.size() * 2);
    EXPECT_TRUE(DecodeStoredText(plain.data(), plain.size()) == c.text);
  }
  EXPECT_EQ(Stored(u"Abcd").size(), 6u);
}

}  // namespace
}  // namespace tessaly::jet
