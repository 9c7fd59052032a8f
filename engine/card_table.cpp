#include <array>

#include "engine/engine_failure.h"
#include "engine/modCSV.h"

namespace tessaly {

namespace {

using dao::dbDate;
using dao::dbMemo;
using dao::dbText;

// The table is the saved file's format: other tools and the views rely on this
// order, these types and sizes.
const std::array<const char*, 41> kFieldNames = {
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

const std::array<int32_t, 41> kFieldTypes = {
    dbText, dbText, dbText, dbText, dbText, dbText, dbText, dbText, dbText, dbText, dbText,
    dbText, dbText, dbText, dbText, dbText, dbText, dbText, dbText, dbText, dbText, dbText,
    dbText, dbText, dbText, dbText, dbText, dbText, dbText, dbText, dbText, dbDate, dbText,
    dbDate, dbText, dbText, dbMemo, dbText, dbText, dbText, dbText,
};

const std::array<int16_t, 41> kFieldSizes = {
    55, 55, 55, 55, 55, 55, 55, 55, 55, 55, 55, 15, 55, 55,  55, 55,  55, 55, 55, 55, 55,
    55, 55, 15, 55, 31, 31, 31, 31, 31, 31, 31, 55, 31, 255, 55, 255, 55, 55, 55, 55,
};

}  // namespace

bool modCSV::CreateCardTable() {
  bool result = false;
  try {
    if (!mDb) throw Failure(kObjectNotSet, "Object variable or With block variable not set");
    std::shared_ptr<dao::TableDef> table = mDb->CreateTableDef("tblCardData");
    for (size_t p = 0; p < kFieldNames.size(); ++p) {
      std::shared_ptr<dao::Field> field =
          table->CreateField(kFieldNames[p], static_cast<int16_t>(kFieldTypes[p]), kFieldSizes[p]);
      if (field->Type() != dao::dbDate) field->SetAllowZeroLength(true);
      table->FieldsAppend(field);
    }
    mDb->TableDefsAppend(table);
    result = true;
  } catch (...) {
    ReportCaught(reporter_, Icon::Critical);
  }
  return result;
}

}  // namespace tessaly
