#pragma once

// What the program says about a conversion, in the window's panels and on the
// command line alike.

#include <cstdint>
#include <string>

#include "engine/modCSV.h"
#include "platform/reporter.h"

namespace tessaly::status {

inline constexpr const char* kTranslationComplete = "Translation complete.";
inline constexpr const char* kTranslationIncomplete = "Translation incomplete.";
inline constexpr const char* kMdbFileSaved = "MDB file saved.";

// "Converting… 37%" (percent of the export's bytes).
std::string Converting(uint64_t done, uint64_t total);

// "Cards written: 198016, cards failed: 1984 (Company 812, BusinessPhone 640)."
std::string RunCounts(const RunSummary& run);

// The "MDBfile" panel's short form: "199 cards, 4 refused", "1 card".
std::string CardCounts(const RunSummary& run);

// "Line 4 of contacts.csv": where a message about a line of the export points.
std::string LineOf(const LineRef& where);

}  // namespace tessaly::status
