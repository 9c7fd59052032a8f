#pragma once

#include <algorithm>
#include <string_view>

namespace tessaly {

// Names of tables, fields and registry keys compare without regard to case, the
// ASCII letters' only: what the names allow, and the same in every locale.
inline bool SameName(std::string_view a, std::string_view b) {
  auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [&](char x, char y) { return fold(x) == fold(y); });
}

}  // namespace tessaly
