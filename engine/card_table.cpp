#include "engine/card_table.h"

#include "engine/engine_failure.h"
#include "engine/modCSV.h"

namespace tessaly {

bool modCSV::CreateCardTable() {
  return Trap(*reporter_, Icon::Critical, [&] {
    if (!db_) throw ObjectNotSet("no card database");
    std::shared_ptr<dao::TableDef> table = db_->CreateTableDef(kCardTableName);
    for (const CardField& card : kCardFields) {
      std::shared_ptr<dao::Field> field = table->CreateField(card.name, card.type, card.size);
      if (field->Type() != dao::dbDate) field->SetAllowZeroLength(true);
      table->FieldsAppend(field);
    }
    db_->TableDefsAppend(table);
    return true;
  });
}

}  // namespace tessaly
