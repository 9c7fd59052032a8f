#include "session/cell_text.h"

#include "storage/date_text.h"

namespace tessaly {

namespace {
constexpr char16_t kReturnMark = u'\u21b5';
}  // namespace

std::u16string CellText(const dao::Value& value) {
  if (const auto* text = std::get_if<std::u16string>(&value)) return *text;
  if (const auto* date = std::get_if<dao::JetDate>(&value)) {
    const std::string formatted = dao::FormatGeneralDate(date->days);
    return std::u16string(formatted.begin(), formatted.end());  // ASCII digits and signs
  }
  return {};
}

void MarkLineBreaks(std::u16string& text) {
  if (text.find_first_of(u"\r\n") == std::u16string::npos) return;
  std::u16string marked;
  marked.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c == u'\r' || c == u'\n') {
      marked.push_back(kReturnMark);
      if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
    } else {
      marked.push_back(c);
    }
  }
  text = std::move(marked);
}

}  // namespace tessaly
