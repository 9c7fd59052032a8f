#include "storage/dao.h"

namespace tessaly::dao {

Field::Field(std::string name, int16_t type, int16_t size)
    : name_(std::move(name)), type_(type), size_(size) {}

TableDef::TableDef(std::string name) : name_(std::move(name)) {}

std::shared_ptr<Field> TableDef::CreateField(const std::string& name, int16_t type, int16_t size) {
  return std::make_shared<Field>(name, type, size);
}

void TableDef::FieldsAppend(std::shared_ptr<Field> field) {
  fields_.push_back(std::move(field));
}

}  // namespace tessaly::dao
