#include "platform/json.h"

#include <gtest/gtest.h>

namespace tessaly::json {
namespace {

TEST(Json, DecodesEscapesAndKeepsOrder) {
  const Value doc = Parse(
      " {\"z\": [true, false, null, -0, 1.5e-3],\n"
      "  \"a\": \"q\\\"b\\\\s\\/\\b\\f\\n\\r\\t\\u0001\\u00e9\\u20AC\\ud83d\\ude00\u00e9\"}\r\n");
  ASSERT_EQ(doc.Members().size(), 2u);
  EXPECT_EQ(doc.Members()[0].first, "z");
  const auto& items = doc.Find("z")->Items();
  ASSERT_EQ(items.size(), 5u);
  EXPECT_TRUE(items[0].AsBool());
  EXPECT_TRUE(items[2].IsNull());
  EXPECT_EQ(items[3].AsInt64(), 0);
  EXPECT_FALSE(items[4].AsInt64());
  EXPECT_EQ(doc.Find("a")->Text(), "q\"b\\s/\b\f\n\r\t\x01\u00e9\u20ac\U0001F600\u00e9");
}

TEST(Json, RejectsWhatIsNotStrictJsonAndTellsWhere) {
  const auto nested = [](size_t depth) {
    return std::string(depth, '[') + std::string(depth, ']');
  };
  EXPECT_NO_THROW(Parse(nested(kMaxDepth)));
  // clang-format off
  const std::string bad[] = {
      "", " ", "{", "[1,]", "{\"a\":1,}", "{\"a\" 1}", "{a:1}", "// c\n1",       // structure
      "01", "1.", ".5", "1e", "-", "+1", "tru", "nulls", "[1] [2]", "'a'", "NaN",  // values
      "\"a", "\"\\x\"", "\"\\u12\"", "\"\\ud800\"", "\"\\udc00\"", "\"\t\"",       // strings
      "{\"a\":1,\"a\":2}",                                                         // twice
      "\"\xC0\xAF\"", "\"\xED\xA0\x80\"", "\"\xF4\x90\x80\x80\"", "\"\xE2\x82\"",  // UTF-8
      nested(kMaxDepth + 1), std::string(100000, '[')};                           // depth
  // clang-format on
  for (const std::string& text : bad) EXPECT_THROW(Parse(text), ParseError) << text.substr(0, 80);

  // Every cut of a valid document is an error, not a crash.
  const std::string text =
      R"({"stores":[{"root":{"entryId":"A\u00e9\ud83d\ude00","n":[1.5e-3,-0,true,null]}}]})";
  ASSERT_NO_THROW(Parse(text));
  for (size_t length = 0; length < text.size(); ++length)
    EXPECT_THROW(Parse(text.substr(0, length)), ParseError) << length;

  try {
    Parse("{\n  \"a\": 1,\n  \"b\" 2\n}");
    FAIL();
  } catch (const ParseError& e) {
    EXPECT_EQ(e.Line(), 3u);
    EXPECT_EQ(e.Column(), 7u);
  }
}

}  // namespace
}  // namespace tessaly::json
