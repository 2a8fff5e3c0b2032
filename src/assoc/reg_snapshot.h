#pragma once
// Registry keys into a registry file's sections: what an export saves. Paths start with the
// root spelled out ("HKEY_CURRENT_USER\Software\...").

#include <string_view>

#include "assoc/reg_file.h"

namespace assoc {

// Appends the key at path as it is now: "[-path]", and when the key exists, "[path]" with all
// its values in the registry's order and then each sub-key the same way, depth first. Restoring
// these sections gives back exactly this tree: names, types and bytes. The key's own name is
// written as the registry stores it, whatever letter case path uses. Raises Exception naming
// the key when path has an unknown root or an existing key cannot be read completely; the
// document may then hold part of the tree.
void AppendKeySnapshot(std::wstring_view path, TRegDocument& document);

// True when the key at path exists (opened for reading only).
bool RegKeyExists(std::wstring_view path) noexcept;


}  // namespace assoc
