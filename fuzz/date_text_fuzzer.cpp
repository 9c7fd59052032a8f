// Date texts: what is accepted lies in the range of a Jet date and reads back the
// same from its general form.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz/fuzz_check.h"
#include "storage/date_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tessaly::dao;
  // Latin-1 widening reaches every form the parser knows and a few characters past it.
  const std::u16string text(data, data + size);
  const std::optional<double> value = ParseDateText(text);
  if (!value) return 0;
  FUZZ_CHECK(std::isfinite(*value));
  const DateParts parts = SplitJetDate(*value);
  FUZZ_CHECK(parts.year >= 100 && parts.year <= 9999);
  const std::string general = FormatGeneralDate(*value);
  const std::optional<double> again = ParseDateText(std::u16string(general.begin(), general.end()));
  FUZZ_CHECK(again.has_value());
  FUZZ_CHECK(SplitJetDate(*again) == parts);
  return 0;
}
