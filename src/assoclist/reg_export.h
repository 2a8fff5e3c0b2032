#pragma once
// Rows of the list written out as one registry file that carries their associations to another
// machine: the keys of their extensions and file types, or of their protocols, as they are now.

#include <span>
#include <string>

#include "assoclist/assoc_rows.h"

namespace assoclist {

// The registry file's bytes (see assoc::WriteRegFile) holding, for each row in order, a
// snapshot (assoc::AppendKeySnapshot) of HKEY_CLASSES_ROOT\<key>, and for an extension also of
// the file type its key names now when that key exists; a key only once, letter case aside.
// Raises Exception naming a key that cannot be read completely.
std::string RegExportBytes(std::span<const AssocRow* const> rows);

}  // namespace assoclist
