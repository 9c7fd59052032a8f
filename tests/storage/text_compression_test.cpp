#include "storage/text_compression.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "tests/support/jet_file_check.h"

namespace tessaly::jet {
namespace {

using test::DecodeJetText;

std::vector<uint8_t> Stored(std::u16string_view text, bool compress = true) {
  std::vector<uint8_t> out;
  AppendStoredText(text, compress, out);
  return out;
}

bool IsCompressed(const std::vector<uint8_t>& bytes) {
  return bytes.size() >= 2 && bytes[0] == 0xff && bytes[1] == 0xfe;
}

// The lenient rule: a zero byte switches only where a character would start.
std::u16string DecodeSwitchingAtBoundaries(const std::vector<uint8_t>& bytes) {
  std::u16string text;
  bool oneByte = true;
  size_t i = 2;
  while (i < bytes.size()) {
    if (bytes[i] == 0) {
      oneByte = !oneByte;
      ++i;
    } else if (oneByte) {
      text.push_back(bytes[i++]);
    } else if (i + 1 < bytes.size()) {
      text.push_back(static_cast<char16_t>(bytes[i] | bytes[i + 1] << 8));
      i += 2;
    } else {
      break;
    }
  }
  return text;
}

std::u16string Plain(const std::vector<uint8_t>& bytes) {
  std::u16string text;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2)
    text.push_back(static_cast<char16_t>(bytes[i] | bytes[i + 1] << 8));
  return text;
}

// The stored form by the rule, one character at a time: compressed (runs of one-
// and two-byte characters, a zero byte between them) when no character has a zero
// low byte and that is shorter than plain, or when plain would start like it.
std::vector<uint8_t> StoredByTheRule(std::u16string_view text) {
  bool compressible = true;
  for (char16_t c : text) compressible = compressible && (c & 0xff) != 0;
  const bool mustCompress = compressible && !text.empty() && text[0] == 0xfeff;
  if (compressible && (text.size() > 1 || mustCompress)) {
    std::vector<uint8_t> out = {0xff, 0xfe};
    bool narrow = true;
    for (char16_t c : text) {
      if ((c < 0x100) != narrow) {
        out.push_back(0);
        narrow = !narrow;
      }
      out.push_back(static_cast<uint8_t>(c));
      if (!narrow) out.push_back(static_cast<uint8_t>(c >> 8));
    }
    if (out.size() < text.size() * 2 || mustCompress) return out;
  }
  std::vector<uint8_t> plain;
  for (char16_t c : text) {
    plain.push_back(static_cast<uint8_t>(c));
    plain.push_back(static_cast<uint8_t>(c >> 8));
  }
  return plain;
}

TEST(TextCompression, CompressesOnlyWhenShorterAndUnambiguous) {
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
      {u"x\u0100y abc def", false},  // a zero low byte cannot be written compressed
      {u"abc def \u4e00", false},
      {u"abc def \u2000", false},
      {std::u16string(u"abc\0def", 7), false},
      {u"\u00ff\u00fe abc", true},
      {u"R\u00e9union pr\u00e9vue \u2014 \u201ccaf\u00e9\u201d \u2026 ok", true},
      {u"Soci\u00e9t\u00e9 G\u00e9n\u00e9rale \u20ac \u0152uvres \u00c6r\u00f8 \u0160\u00e1rka "
       u"\u017d",
       true},
      {std::u16string(3000, u'q'), true},
      // Plain, these would start with the compressed form's mark.
      {u"\ufeff", true},
      {u"\ufeff\u20ac", true},
  };
  for (const Case& c : cases) {
    const std::vector<uint8_t> bytes = Stored(c.text);
    EXPECT_EQ(IsCompressed(bytes), c.compressed) << bytes.size();
    if (c.text.empty() || c.text[0] != 0xfeff) {
      EXPECT_LE(bytes.size(), c.text.size() * 2);
    }
    EXPECT_TRUE(DecodeStoredText(bytes.data(), bytes.size()) == c.text);
    const std::vector<uint8_t> plain = Stored(c.text, false);
    EXPECT_TRUE(DecodeStoredText(plain.data(), plain.size()) == c.text);
  }
  EXPECT_TRUE(StoredTextIsAmbiguous(u"\ufeff\u0100"));
  EXPECT_FALSE(StoredTextIsAmbiguous(u"\u0100\ufeff"));
  EXPECT_EQ(Stored(u"Abcd").size(), 6u);
}

// Random mixes of the kinds of character that matter: ASCII, Latin-1, wide
// characters with a zero byte and wide ones without. Whatever form is chosen,
// both reading rules and our own decoder must give the text back.
TEST(TextCompression, EveryReaderDecodesRandomTextsAlike) {
  const std::u16string ascii = u"aZ09 .,-'\r\n";
  const std::u16string latin1 = u"\u00e9\u00c6\u00f8\u00ff\u00a0\u0081\u00b5";
  const std::u16string withZeroByte = u"\u0100\u2000\u4e00";
  const std::u16string withoutZeroByte = u"\u20ac\u201c\u201d\u2014\u0152\u017d\u2122\ufeff";
  const std::u16string* pools[] = {&ascii, &latin1, &withZeroByte, &withoutZeroByte};
  std::mt19937 random(20261206);
  size_t compressedCount = 0;
  for (int n = 0; n < 20000; ++n) {
    // Mostly narrow texts with a few wide characters, as names and notes are.
    const int wideShare = static_cast<int>(random() % 4);
    const size_t length = random() % 70;
    const bool allowZeroByte = random() % 3 == 0;
    std::u16string text;
    for (size_t i = 0; i < length; ++i) {
      size_t pool = random() % 2;
      if (static_cast<int>(random() % 8) < wideShare) pool = allowZeroByte ? 2 + random() % 2 : 3;
      const std::u16string& chars = *pools[pool];
      text.push_back(chars[random() % chars.size()]);
    }
    if (StoredTextIsAmbiguous(text)) continue;  // refused by the engine
    const std::vector<uint8_t> bytes = Stored(text);
    ASSERT_LE(bytes.size(), MaxStoredTextSize(text.size()));
    ASSERT_TRUE(bytes == StoredByTheRule(text)) << n;
    if (IsCompressed(bytes)) {
      ++compressedCount;
      ASSERT_TRUE(DecodeJetText(bytes.data(), bytes.size()) == text) << n;  // the strict rule
      ASSERT_TRUE(DecodeSwitchingAtBoundaries(bytes) == text) << n;
    } else {
      ASSERT_EQ(bytes.size(), text.size() * 2);
      ASSERT_TRUE(Plain(bytes) == text) << n;
    }
    ASSERT_TRUE(DecodeStoredText(bytes.data(), bytes.size()) == text) << n;
  }
  EXPECT_GT(compressedCount, 10000u);
}

// Bytes that only a lenient reader decodes as intended must not pass our own
// decoder silently: a narrow character written inside a two-byte run.
TEST(TextCompression, OwnDecoderSwitchesAtEveryZeroByte) {
  const std::vector<uint8_t> ambiguous = {0xff, 0xfe, 'a', 'b', 0, 0xac, 0x20, 'c', 0};
  EXPECT_TRUE(DecodeSwitchingAtBoundaries(ambiguous) == u"ab\u20acc");
  EXPECT_TRUE(DecodeStoredText(ambiguous.data(), ambiguous.size()) == u"ab\u20ac");
}

}  // namespace
}  // namespace tessaly::jet
