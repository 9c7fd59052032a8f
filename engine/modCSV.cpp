#include "engine/modCSV.h"

namespace tessaly {

modCSV::modCSV(Reporter& reporter) : reporter_(reporter) {}
modCSV::~modCSV() = default;

}  // namespace tessaly
