#pragma once

// A small strict JSON reader (RFC 8259) for the few data files the program reads.
// No extensions: no comments, no trailing commas, no duplicate keys, UTF-8 only.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tessaly::json {

class ParseError : public std::runtime_error {
 public:
  ParseError(const std::string& message, size_t line, size_t column);
  size_t Line() const { return line_; }
  size_t Column() const { return column_; }

 private:
  size_t line_;
  size_t column_;
};

class Value {
 public:
  enum class Kind { Null, Bool, Number, String, Array, Object };
  using Member = std::pair<std::string, Value>;

  Kind GetKind() const { return kind_; }
  bool IsNull() const { return kind_ == Kind::Null; }
  bool IsBool() const { return kind_ == Kind::Bool; }
  bool IsNumber() const { return kind_ == Kind::Number; }
  bool IsString() const { return kind_ == Kind::String; }
  bool IsArray() const { return kind_ == Kind::Array; }
  bool IsObject() const { return kind_ == Kind::Object; }

  bool AsBool() const { return bool_; }
  // The literal of a number, or the decoded UTF-8 text of a string.
  const std::string& Text() const { return text_; }
  // A number written without fraction or exponent that fits in 64 bits.
  std::optional<int64_t> AsInt64() const;
  const std::vector<Value>& Items() const { return items_; }
  // Members in the order of the document.
  const std::vector<Member>& Members() const { return members_; }
  const Value* Find(std::string_view key) const;

 private:
  friend class Parser;
  Kind kind_ = Kind::Null;
  bool bool_ = false;
  std::string text_;
  std::vector<Value> items_;
  std::vector<Member> members_;
};

inline constexpr size_t kMaxDepth = 64;

// Throws ParseError on anything that is not exactly one JSON value, optionally
// surrounded by white space.
Value Parse(std::string_view document);

}  // namespace tessaly::json
