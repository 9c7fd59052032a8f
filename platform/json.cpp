#include "platform/json.h"

#include <charconv>

namespace tessaly::json {

ParseError::ParseError(const std::string& message, size_t line, size_t column)
    : std::runtime_error("line " + std::to_string(line) + ", column " + std::to_string(column) +
                         ": " + message),
      line_(line),
      column_(column) {}

std::optional<int64_t> Value::AsInt64() const {
  if (kind_ != Kind::Number || text_.find_first_of(".eE") != std::string::npos) return {};
  int64_t value = 0;
  const char* end = text_.data() + text_.size();
  auto [ptr, ec] = std::from_chars(text_.data(), end, value);
  if (ec != std::errc() || ptr != end) return {};
  return value;
}

const Value* Value::Find(std::string_view key) const {
  for (const auto& [name, value] : members_) {
    if (name == key) return &value;
  }
  return nullptr;
}

class Parser {
 public:
  explicit Parser(std::string_view doc) : doc_(doc) {}

  Value ParseDocument() {
    SkipSpace();
    Value value = ParseValue(0);
    SkipSpace();
    if (pos_ != doc_.size()) Fail("unexpected text after the value");
    return value;
  }

 private:
  [[noreturn]] void Fail(const std::string& message) const {
    size_t line = 1;
    size_t column = 1;
    for (size_t i = 0; i < pos_ && i < doc_.size(); ++i) {
      if (doc_[i] == '\n') {
        ++line;
        column = 1;
      } else {
        ++column;
      }
    }
    throw ParseError(message, line, column);
  }

  bool AtEnd() const { return pos_ >= doc_.size(); }
  char Peek() const { return AtEnd() ? '\0' : doc_[pos_]; }

  void SkipSpace() {
    while (Peek() == ' ' || Peek() == '\t' || Peek() == '\n' || Peek() == '\r') {
      ++pos_;
    }
  }

  void Expect(char c) {
    if (Peek() != c) Fail(std::string("expected '") + c + "'");
    ++pos_;
  }

  Value ParseValue(size_t depth) {
    if (AtEnd()) Fail("unexpected end of the document");
    Value value;
    switch (Peek()) {
      case '{':
        ParseObject(value, depth + 1);
        break;
      case '[':
        ParseArray(value, depth + 1);
        break;
      case '"':
        value.kind_ = Value::Kind::String;
        value.text_ = ParseString();
        break;
      case 't':
        ParseWord("true");
        value.kind_ = Value::Kind::Bool;
        value.bool_ = true;
        break;
      case 'f':
        ParseWord("false");
        value.kind_ = Value::Kind::Bool;
        break;
      case 'n':
        ParseWord("null");
        break;
      default:
        value.kind_ = Value::Kind::Number;
        value.text_ = ParseNumber();
        break;
    }
    return value;
  }

  void ParseWord(std::string_view word) {
    if (doc_.substr(pos_, word.size()) != word) Fail("unknown word");
    pos_ += word.size();
  }

  void ParseObject(Value& value, size_t depth) {
    if (depth > kMaxDepth) Fail("nested too deeply");
    value.kind_ = Value::Kind::Object;
    ++pos_;
    SkipSpace();
    if (Peek() == '}') {
      ++pos_;
      return;
    }
    for (;;) {
      SkipSpace();
      if (Peek() != '"') Fail("expected a member name");
      std::string name = ParseString();
      if (value.Find(name) != nullptr) Fail("duplicate member \"" + name + "\"");
      SkipSpace();
      Expect(':');
      SkipSpace();
      Value member = ParseValue(depth);
      value.members_.emplace_back(std::move(name), std::move(member));
      SkipSpace();
      if (Peek() == ',') {
        ++pos_;
        continue;
      }
      Expect('}');
      return;
    }
  }

  void ParseArray(Value& value, size_t depth) {
    if (depth > kMaxDepth) Fail("nested too deeply");
    value.kind_ = Value::Kind::Array;
    ++pos_;
    SkipSpace();
    if (Peek() == ']') {
      ++pos_;
      return;
    }
    for (;;) {
      SkipSpace();
      value.items_.push_back(ParseValue(depth));
      SkipSpace();
      if (Peek() == ',') {
        ++pos_;
        continue;
      }
      Expect(']');
      return;
    }
  }

  std::string ParseNumber() {
    const size_t start = pos_;
    auto digits = [this] {
      const size_t from = pos_;
      while (Peek() >= '0' && Peek() <= '9') ++pos_;
      return pos_ - from;
    };
    if (Peek() == '-') ++pos_;
    if (Peek() == '0') {
      ++pos_;
    } else if (digits() == 0) {
      Fail("expected a value");
    }
    if (Peek() == '.') {
      ++pos_;
      if (digits() == 0) Fail("expected digits after '.'");
    }
    if ((Peek() == 'e' || Peek() == 'E')) {
      ++pos_;
      if (Peek() == '+' || Peek() == '-') ++pos_;
      if (digits() == 0) Fail("expected digits in the exponent");
    }
    return std::string(doc_.substr(start, pos_ - start));
  }

  uint32_t ParseHex4() {
    if (doc_.size() - pos_ < 4) Fail("truncated \\u escape");
    uint32_t code = 0;
    for (int i = 0; i < 4; ++i) {
      const char c = doc_[pos_++];
      uint32_t digit = 0;
      if (c >= '0' && c <= '9') {
        digit = static_cast<uint32_t>(c - '0');
      } else if (c >= 'a' && c <= 'f') {
        digit = static_cast<uint32_t>(c - 'a' + 10);
      } else if (c >= 'A' && c <= 'F') {
        digit = static_cast<uint32_t>(c - 'A' + 10);
      } else {
        Fail("bad \\u escape");
      }
      code = code * 16 + digit;
    }
    return code;
  }

  static void AppendUtf8(std::string& out, uint32_t code) {
    if (code < 0x80) {
      out += static_cast<char>(code);
    } else if (code < 0x800) {
      out += static_cast<char>(0xC0 | (code >> 6));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      out += static_cast<char>(0xE0 | (code >> 12));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (code >> 18));
      out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    }
  }

  // Copies one UTF-8 sequence, rejecting overlong forms, surrogates and values
  // beyond U+10FFFF.
  void CopyUtf8Sequence(std::string& out) {
    const auto lead = static_cast<unsigned char>(doc_[pos_]);
    size_t length = 0;
    uint32_t code = 0;
    uint32_t minimum = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
      code = lead & 0x1Fu;
      minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      code = lead & 0x0Fu;
      minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      code = lead & 0x07u;
      minimum = 0x10000;
    } else {
      Fail("invalid UTF-8");
    }
    if (doc_.size() - pos_ < length) Fail("invalid UTF-8");
    for (size_t i = 1; i < length; ++i) {
      const auto next = static_cast<unsigned char>(doc_[pos_ + i]);
      if ((next & 0xC0) != 0x80) Fail("invalid UTF-8");
      code = (code << 6) | (next & 0x3Fu);
    }
    if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
      Fail("invalid UTF-8");
    }
    out.append(doc_.substr(pos_, length));
    pos_ += length;
  }

  std::string ParseString() {
    ++pos_;  // the opening quote
    std::string out;
    for (;;) {
      if (AtEnd()) Fail("unterminated string");
      const auto c = static_cast<unsigned char>(doc_[pos_]);
      if (c == '"') {
        ++pos_;
        return out;
      }
      if (c < 0x20) Fail("control character in a string");
      if (c >= 0x80) {
        CopyUtf8Sequence(out);
        continue;
      }
      ++pos_;
      if (c != '\\') {
        out += static_cast<char>(c);
        continue;
      }
      if (AtEnd()) Fail("unterminated string");
      const char e = doc_[pos_++];
      switch (e) {
        case '"':
        case '\\':
        case '/':
          out += e;
          break;
        case 'b':
          out += '\b';
          break;
        case 'f':
          out += '\f';
          break;
        case 'n':
          out += '\n';
          break;
        case 'r':
          out += '\r';
          break;
        case 't':
          out += '\t';
          break;
        case 'u': {
          uint32_t code = ParseHex4();
          if (code >= 0xDC00 && code <= 0xDFFF) Fail("lone low surrogate");
          if (code >= 0xD800 && code <= 0xDBFF) {
            if (doc_.substr(pos_, 2) != "\\u") Fail("lone high surrogate");
            pos_ += 2;
            const uint32_t low = ParseHex4();
            if (low < 0xDC00 || low > 0xDFFF) Fail("lone high surrogate");
            code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
          }
          AppendUtf8(out, code);
          break;
        }
        default:
          Fail("bad escape");
      }
    }
  }

  std::string_view doc_;
  size_t pos_ = 0;
};

Value Parse(std::string_view document) {
  return Parser(document).ParseDocument();
}

}  // namespace tessaly::json
