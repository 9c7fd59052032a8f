#include "platform/names.h"
#include "storage/dao.h"
#include "storage/jet_database.h"

namespace tessaly::dao {

std::shared_ptr<Database> Workspace::CreateDatabase(const std::string& path,
                                                    const std::string& locale, int /*options*/) {
  // The file records one collating order, General for English.
  if (!locale.empty() && !SameName(locale, dbLangGeneral)) {
    throw Failure(err::kInvalidArgument, "Locale '" + locale + "' is not supported; use '" +
                                             std::string(dbLangGeneral) + "'.");
  }
  return std::make_shared<jet::JetDatabase>(path);
}

std::shared_ptr<Workspace> DBEngine::CreateWorkspace(const std::string& /*name*/,
                                                     const std::string& /*user*/,
                                                     const std::string& /*password*/,
                                                     int /*type*/) {
  return std::make_shared<Workspace>();
}

}  // namespace tessaly::dao
