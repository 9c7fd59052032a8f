#pragma once

// The saved card table as other tools must find it, and where each column's value
// comes from in the export, written out apart from the product's own table.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tessaly::test {

struct ExpectedColumn {
  const char* name;
  const char* type;  // as the readers name it: "text", "datetime" or "memo"
  int16_t size;      // characters, text only
  int column;        // export column, from 1
  int extension;     // export column joined as " x<text>" when not empty; 0: none
};

inline constexpr std::array<ExpectedColumn, 41> kExpectedColumns = {{
    {"Title", "text", 55, 1, 0},
    {"FirstName", "text", 55, 2, 0},
    {"MiddleName", "text", 55, 4, 0},
    {"LastName", "text", 55, 3, 0},
    {"Company", "text", 55, 18, 0},
    {"Department", "text", 55, 5, 0},
    {"JobTitle", "text", 55, 19, 0},
    {"BusinessStreet", "text", 55, 22, 0},
    {"BusinessStreet2", "text", 55, 23, 0},
    {"BusinessCity", "text", 55, 24, 0},
    {"BusinessState", "text", 55, 25, 0},
    {"BusinessPostalCode", "text", 15, 26, 0},
    {"BusinessCountry", "text", 55, 27, 0},
    {"HomeStreet", "text", 55, 7, 0},
    {"HomeStreet2", "text", 55, 8, 0},
    {"HomeCity", "text", 55, 9, 0},
    {"HomeState", "text", 55, 10, 0},
    {"HomePostalCode", "text", 55, 11, 0},
    {"HomeCountry", "text", 55, 12, 0},
    {"OtherStreet", "text", 55, 37, 0},
    {"OtherStreet2", "text", 55, 38, 0},
    {"OtherCity", "text", 55, 39, 0},
    {"OtherState", "text", 55, 40, 0},
    {"OtherPostalCode", "text", 15, 41, 0},
    {"OtherCountry", "text", 55, 42, 0},
    {"BusinessFax", "text", 31, 30, 31},
    {"BusinessPhone", "text", 31, 28, 29},
    {"HomeFax", "text", 31, 15, 16},
    {"HomePhone", "text", 31, 13, 14},
    {"OtherFax", "text", 31, 45, 46},
    {"OtherPhone", "text", 31, 43, 44},
    {"Anniversary", "datetime", 0, 36, 0},
    {"AssistantsName", "text", 55, 20, 0},
    {"Birthday", "datetime", 0, 35, 0},
    {"Categories", "text", 255, 33, 0},
    {"GovernmentIDNumber", "text", 55, 6, 0},
    {"Notes", "memo", 0, 47, 0},
    {"Profession", "text", 55, 34, 0},
    {"ReferredBy", "text", 55, 21, 0},
    {"Spouse", "text", 55, 32, 0},
    {"User1", "text", 55, 17, 0},
}};

inline bool IsTextColumn(size_t position) {
  return std::string_view(kExpectedColumns[position].type) == "text";
}
inline bool IsDateColumn(size_t position) {
  return std::string_view(kExpectedColumns[position].type) == "datetime";
}

}  // namespace tessaly::test
