#pragma once
// Registry keys into a registry file's sections and back: what a backup saves and what a
// restore writes. Paths start with the root spelled out ("HKEY_CURRENT_USER\Software\...").

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

// Writes document into the registry in file order: each removal takes its key with the sub-keys
// (a missing key is no fault), each section creates its key with any missing parents and then
// sets or removes its values. Raises Exception naming the key at the first step that fails, and
// for a removal of a root itself; the steps before it stay done.
void ApplyRegDocument(const TRegDocument& document);

}  // namespace assoc
