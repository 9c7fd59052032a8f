#pragma once

// How a stored value reads in the list of converted records.

#include <string>

#include "storage/dao.h"

namespace tessaly {

// Null is empty; a date takes the general date form; text stands as it is.
std::u16string CellText(const dao::Value& value);

// A list cell is one line: each line break of a note (CR LF, or a lone CR or LF)
// shows as a return mark.
void MarkLineBreaks(std::u16string& text);

}  // namespace tessaly
