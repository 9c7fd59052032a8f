#include "engine/card_table.h"

#include "engine/engine_failure.h"
#include "engine/modCSV.h"

namespace tessaly {

bool modCSV::CreateCardTable() {
  bool result = false;
  try {
    if (!mDb) throw Failure(kObjectNotSet, "Object variable or With block variable not set");
    std::shared_ptr<dao::TableDef> table = mDb->CreateTableDef("tblCardData");
    for (const CardField& card : kCardFields) {
      std::shared_ptr<dao::Field> field = table->CreateField(card.name, card.type, card.size);
      if (field->Type() != dao::dbDate) field->SetAllowZeroLength(true);
      table->FieldsAppend(field);
    }
    mDb->TableDefsAppend(table);
    result = true;
  } catch (...) {
    ReportCaught(*reporter_, Icon::Critical);
  }
  return result;
}

}  // namespace tessaly
