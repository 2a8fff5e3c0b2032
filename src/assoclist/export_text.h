#pragma once
// The rows of the list of associations as text for the clipboard and as a CSV file. Cells go
// out as the list shows them (escaped and cut, see cell_text.h).

#include <span>
#include <string>

#include "assoclist/assoc_rows.h"

namespace assoclist {

// Tab-separated text: the column headings, then one line per row in the given order; every
// line ends with CR LF.
std::wstring TabSeparatedText(std::span<const AssocRow* const> rows);

// The bytes of a CSV file: UTF-8 after its byte-order mark, the column headings, then one line
// per row in the given order; every line ends with CR LF. A cell that begins with "=", "+", "-"
// or "@" gets a leading "'", so that a spreadsheet takes it as text, not as a formula. A field
// that holds a comma, a quotation mark, CR or LF is put in quotation marks, its own quotation
// marks doubled.
std::string CsvBytes(std::span<const AssocRow* const> rows);

}  // namespace assoclist
