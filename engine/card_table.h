#pragma once

// The card table, one row per field: the saved file's format (other tools and the
// views rely on this order, these types and sizes) and where each field's value
// comes from in the export.

#include <array>
#include <cstddef>
#include <cstdint>

#include "engine/card_line.h"
#include "storage/dao.h"

namespace tessaly {

inline constexpr const char* kCardTableName = "tblCardData";

struct CardField {
  const char* name;
  int16_t type;  // dao::dbText, dbDate or dbMemo
  int16_t size;
  // The export column (from 1) that fills the field, and one whose text, when
  // there is any, is joined to it as " x<text>" (a telephone extension); 0: none.
  int16_t column;
  int16_t extension;
};

inline constexpr std::array<CardField, 41> kCardFields = {{
    {"Title", dao::dbText, 55, 1, 0},
    {"FirstName", dao::dbText, 55, 2, 0},
    {"MiddleName", dao::dbText, 55, 4, 0},
    {"LastName", dao::dbText, 55, 3, 0},
    {"Company", dao::dbText, 55, 18, 0},
    {"Department", dao::dbText, 55, 5, 0},
    {"JobTitle", dao::dbText, 55, 19, 0},
    {"BusinessStreet", dao::dbText, 55, 22, 0},
    {"BusinessStreet2", dao::dbText, 55, 23, 0},
    {"BusinessCity", dao::dbText, 55, 24, 0},
    {"BusinessState", dao::dbText, 55, 25, 0},
    {"BusinessPostalCode", dao::dbText, 15, 26, 0},
    {"BusinessCountry", dao::dbText, 55, 27, 0},
    {"HomeStreet", dao::dbText, 55, 7, 0},
    {"HomeStreet2", dao::dbText, 55, 8, 0},
    {"HomeCity", dao::dbText, 55, 9, 0},
    {"HomeState", dao::dbText, 55, 10, 0},
    {"HomePostalCode", dao::dbText, 55, 11, 0},
    {"HomeCountry", dao::dbText, 55, 12, 0},
    {"OtherStreet", dao::dbText, 55, 37, 0},
    {"OtherStreet2", dao::dbText, 55, 38, 0},
    {"OtherCity", dao::dbText, 55, 39, 0},
    {"OtherState", dao::dbText, 55, 40, 0},
    {"OtherPostalCode", dao::dbText, 15, 41, 0},
    {"OtherCountry", dao::dbText, 55, 42, 0},
    {"BusinessFax", dao::dbText, 31, 30, 31},
    {"BusinessPhone", dao::dbText, 31, 28, 29},
    {"HomeFax", dao::dbText, 31, 15, 16},
    {"HomePhone", dao::dbText, 31, 13, 14},
    {"OtherFax", dao::dbText, 31, 45, 46},
    {"OtherPhone", dao::dbText, 31, 43, 44},
    {"Anniversary", dao::dbDate, 31, 36, 0},
    {"AssistantsName", dao::dbText, 55, 20, 0},
    {"Birthday", dao::dbDate, 31, 35, 0},
    {"Categories", dao::dbText, 255, 33, 0},
    {"GovernmentIDNumber", dao::dbText, 55, 6, 0},
    {"Notes", dao::dbMemo, 255, 47, 0},
    {"Profession", dao::dbText, 55, 34, 0},
    {"ReferredBy", dao::dbText, 55, 21, 0},
    {"Spouse", dao::dbText, 55, 32, 0},
    {"User1", dao::dbText, 55, 17, 0},
}};

constexpr bool SourcesAreExportColumns() {
  for (const CardField& field : kCardFields) {
    if (field.column < 1 || field.column > static_cast<int16_t>(kCardColumns)) return false;
    if (field.extension < 0 || field.extension > static_cast<int16_t>(kCardColumns)) return false;
  }
  return true;
}
static_assert(SourcesAreExportColumns());

}  // namespace tessaly
