#include "session/status_texts.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "engine/card_table.h"
#include "platform/file.h"

namespace tessaly::status {

namespace {

// " (Company 812, BusinessPhone 640)": most refusals first, then by name; "" for none.
std::string RefusalsByField(const std::array<int64_t, kRowRefusal + 1>& counts) {
  std::vector<std::pair<int64_t, std::string>> fields;
  for (size_t p = 0; p < counts.size(); ++p) {
    if (counts[p] > 0) fields.emplace_back(counts[p], p < kRowRefusal ? kCardFields[p].name : "row");
  }
  if (fields.empty()) return {};
  std::sort(fields.begin(), fields.end(), [](const auto& a, const auto& b) {
    return a.first != b.first ? a.first > b.first : a.second < b.second;
  });
  std::string text = " (";
  for (const auto& [count, name] : fields) {
    if (text.size() > 2) text += ", ";
    text += name + " " + std::to_string(count);
  }
  return text + ")";
}

}  // namespace

std::string Converting(uint64_t done, uint64_t total) {
  const uint64_t percent = total == 0 ? 100 : std::min<uint64_t>(100, done * 100 / total);
  return "Converting\u2026 " + std::to_string(percent) + "%";
}

std::string RunCounts(const RunSummary& run) {
  return "Cards written: " + std::to_string(run.cardsWritten) +
         ", cards failed: " + std::to_string(run.cardsFailed) +
         RefusalsByField(run.fieldFailures) + ".";
}

std::string CardCounts(const RunSummary& run) {
  std::string text =
      std::to_string(run.cardsWritten) + (run.cardsWritten == 1 ? " card" : " cards");
  if (run.cardsFailed > 0) text += ", " + std::to_string(run.cardsFailed) + " refused";
  return text;
}

std::string LineOf(const LineRef& where) {
  return "Line " + std::to_string(where.line) + " of " + NameOf(where.file);
}

}  // namespace tessaly::status
