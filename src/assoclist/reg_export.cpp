#include "assoclist/reg_export.h"

#include <unordered_set>

#include "assoc/reg_paths.h"
#include "assoc/reg_snapshot.h"
#include "assoc/reg_value.h"
#include "assoclist/assoc_table.h"

namespace assoclist {

std::string RegExportBytes(std::span<const AssocRow* const> rows) {
  assoc::TRegDocument document;
  std::unordered_set<std::wstring> written;
  const auto snapshot = [&](const std::wstring& key) {
    const std::wstring path = std::wstring(assoc::paths::kClassesRootPath) + L"\\" + key;
    if (!assoc::RegKeyExists(path) || !written.insert(FoldCase(key)).second) return;
    assoc::AppendKeySnapshot(path, document);
  };
  for (const AssocRow* row : rows) {
    snapshot(row->key);
    if (row->kind != RowKind::Extension) continue;
    const std::optional<std::wstring> fileType = assoc::ReadRegText(HKEY_CLASSES_ROOT, row->key, L"");
    // A file type that is no single key name (or climbs with "\") is not carried along.
    if (fileType && !fileType->empty() && fileType->size() <= 255 && fileType->find(L'\\') == std::wstring::npos)
      snapshot(*fileType);
  }
  return assoc::WriteRegFile(document);
}

}  // namespace assoclist
