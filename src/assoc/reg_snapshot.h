#pragma once
// Registry keys into a registry file's sections: what an export saves. Paths start with the
// root spelled out ("HKEY_CURRENT_USER\Software\...").

#include <string_view>

#include "assoc/reg_file.h"

namespace assoc {

// Appends the key at path as it is now: "[-path]", and when the key exists, "[path]" with all
// its values in the registry's order and then each sub-key the same way, depth first. Restoring
// these sections gives back exactly this tree: names, types and bytes. The key's own name is
// written as the registry stores it, whatever letter case path uses. Keys are opened one name at
// a time and never through a registry link. Raises Exception naming the key when path has an
// unknown root, or when the key or one in its tree cannot be read completely, is a link (or lies
// below one) or lies deeper than kMaxKeyDepth; the document may then hold part of the tree.
void AppendKeySnapshot(std::wstring_view path, TRegDocument& document);

// False only when the key at path, or one above it, is missing: a link, or a key that cannot be
// opened, is there for AppendKeySnapshot to refuse.
bool RegKeyExists(std::wstring_view path) noexcept;

}  // namespace assoc
