#pragma once

#include <array>
#include <cstdint>

#include "storage/dao.h"

namespace tessaly {

// The table is the saved file's format: other tools and the views rely on this
// order, these types and sizes.
inline constexpr std::array<const char*, 41> kCardFieldNames = {
    "Title",           "FirstName",      "MiddleName",    "LastName",
    "Company",         "Department",     "JobTitle",      "BusinessStreet",
    "BusinessStreet2", "BusinessCity",   "BusinessState", "BusinessPostalCode",
    "BusinessCountry", "HomeStreet",     "HomeStreet2",   "HomeCity",
    "HomeState",       "HomePostalCode", "HomeCountry",   "OtherStreet",
    "OtherStreet2",    "OtherCity",      "OtherState",    "OtherPostalCode",
    "OtherCountry",    "BusinessFax",    "BusinessPhone", "HomeFax",
    "HomePhone",       "OtherFax",       "OtherPhone",    "Anniversary",
    "AssistantsName",  "Birthday",       "Categories",    "GovernmentIDNumber",
    "Notes",           "Profession",     "ReferredBy",    "Spouse",
    "User1",
};

inline constexpr std::array<int16_t, 41> kCardFieldTypes = [] {
  std::array<int16_t, 41> types{};
  types.fill(dao::dbText);
  types[31] = dao::dbDate;  // Anniversary
  types[33] = dao::dbDate;  // Birthday
  types[36] = dao::dbMemo;  // Notes
  return types;
}();

inline constexpr std::array<int16_t, 41> kCardFieldSizes = {
    55, 55, 55, 55, 55, 55, 55, 55, 55, 55, 55, 15, 55, 55,  55, 55,  55, 55, 55, 55, 55,
    55, 55, 15, 55, 31, 31, 31, 31, 31, 31, 31, 55, 31, 255, 55, 255, 55, 55, 55, 55,
};

}  // namespace tessaly
