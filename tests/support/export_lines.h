#pragma once

// Lines of an export as the tests write them.

#include <map>
#include <string>
#include <vector>

namespace tessaly::test {

// A record line of 47 quoted columns: column n holds cols[n] or is empty.
inline std::string RecordLine(const std::map<int, std::string>& cols) {
  std::string line = "\"";
  for (int n = 1; n <= 47; ++n)
    line += (n > 1 ? "\",\"" : "") + (cols.contains(n) ? cols.at(n) : "");
  return line + "\"";
}

// The first line of a card whose last column goes on over the next lines.
inline std::string OpenRecordLine(const std::map<int, std::string>& cols) {
  std::string line = RecordLine(cols);
  line.pop_back();
  return line;
}

// A header line naming column n prefix + n.
inline std::string HeaderLine(const std::string& prefix = "Field") {
  std::map<int, std::string> names;
  for (int n = 1; n <= 47; ++n) names[n] = prefix + std::to_string(n);
  return RecordLine(names);
}

inline std::string Crlf(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& line : lines) text += line + "\r\n";
  return text;
}

}  // namespace tessaly::test
