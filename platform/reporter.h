#pragma once

#include <cstdint>
#include <string>

#include "platform/failure.h"

namespace tessaly {

enum class Icon { None, Critical, Exclamation, Information };

// The line of the export a message is about.
struct LineRef {
  std::string file;  // the export as it was named when opened
  int64_t line = 0;  // from 1
};

// The card of the export a message is about.
struct CardRef {
  std::string file;     // the export as it was named when opened
  int64_t ordinal = 0;  // 1 for the export's first card
  int64_t line = 0;     // the line its record line is on, from 1
  std::string name;     // first and last name, else the company; may be empty; UTF-8
};

// Where user-facing messages go: a message box in the window, stderr in the
// converter, a recorder in tests. Texts are UTF-8.
class Reporter {
 public:
  virtual ~Reporter() = default;
  virtual void Show(const std::string& text, Icon icon) = 0;
  // A card the database refused, `text` in the common form. Returns false when the
  // user asks to see no more card messages during this conversion.
  virtual bool ShowCard(const std::string& text, Icon icon, const CardRef& card);
  // A message about one line of the export (one that does not parse).
  virtual void ShowAt(const std::string& text, Icon icon, const LineRef& where);
};

// "Err ", the number in signed decimal, one blank, the description.
std::string CommonErrorText(const Failure& failure);

inline void ReportFailure(Reporter& reporter, const Failure& failure, Icon icon) {
  reporter.Show(CommonErrorText(failure), icon);
}

}  // namespace tessaly
