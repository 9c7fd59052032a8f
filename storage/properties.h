#pragma once

// Object properties as MSysObjects.LvProp keeps them ("MR2" blocks): a list of
// property names, then per column a block of typed values. We record
// AllowZeroLength, which lives only here.

#include <cstdint>
#include <vector>

#include "storage/table_definition.h"

namespace tessaly::jet {

// The database object's: the Access version and build that made the file.
std::vector<uint8_t> BuildDatabaseProperties();
// Empty when no column has a property to record.
std::vector<uint8_t> BuildTableProperties(const TableLayout& layout);

}  // namespace tessaly::jet
