#include "assoclist/assoc_rows.h"

#include <algorithm>
#include <optional>
#include <span>
#include <unordered_set>

#include "assoc/assoc_labels.h"
#include "assoc/enforced_types.h"
#include "assoc/reg_paths.h"
#include "assoclist/assoc_table.h"
#include "assoclist/cell_text.h"
#include "common/handles.h"

namespace assoclist {

namespace {

// The longest key name Windows accepts.
constexpr size_t kMaxKeyNameLength = 255;

// True for a file type that names a key path: one or more names of 1 to 255 characters
// separated by "\" (as "Applications\x.exe").
bool NamesKey(std::wstring_view fileType) {
  if (fileType.empty()) return false;
  size_t start = 0;
  for (;;) {
    const size_t end = std::min(fileType.find(L'\\', start), fileType.size());
    if (end == start || end - start > kMaxKeyNameLength) return false;
    if (end == fileType.size()) return true;
    start = end + 1;
  }
}

// The names of the sub-keys of root\path, folded; none when the key cannot be opened.
std::unordered_set<std::wstring> SubKeyNames(HKEY root, const wchar_t* path) {
  std::unordered_set<std::wstring> names;
  common::UniqueHKey key;
  if (RegOpenKeyExW(root, path, 0, KEY_ENUMERATE_SUB_KEYS, key.put()) != ERROR_SUCCESS) return names;
  wchar_t name[kMaxKeyNameLength + 2];
  for (DWORD index = 0;; ++index) {
    DWORD length = static_cast<DWORD>(std::size(name));
    const LONG result = RegEnumKeyExW(key.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (result == ERROR_MORE_DATA) continue;  // longer than any extension or file type can be
    if (result != ERROR_SUCCESS) break;
    names.insert(FoldCase(std::wstring_view(name, length)));
  }
  return names;
}

// What the user's own records name: the extensions of the user's choices and the keys of the
// user's classes. Explorer departs from the classic record only through those (see
// assoc::ResolveAssociation), so an extension that neither names needs no resolving: Explorer
// follows its classic record.
class PerUserRecords {
 public:
  PerUserRecords()
      : choices_(SubKeyNames(HKEY_CURRENT_USER, assoc::paths::kFileExtsKey)),
        classes_(SubKeyNames(HKEY_CURRENT_USER, assoc::paths::kClassesKey)) {}

  // False when Explorer surely follows the classic record of extension (assoc::ExplorerMayDiffer
  // from the two listings).
  bool MayDecide(std::wstring_view extension) const {
    const std::wstring folded = FoldCase(extension);
    return choices_.contains(folded) || classes_.contains(folded) || assoc::IsEnforcedHere(extension);
  }

 private:
  std::unordered_set<std::wstring> choices_;
  std::unordered_set<std::wstring> classes_;
};

enum class Opened { Yes, Missing, Unreadable };

// Opens parent\path for reading values.
Opened OpenForReading(HKEY parent, const std::wstring& path, common::UniqueHKey& key) {
  const LONG result = RegOpenKeyExW(parent, path.c_str(), 0, KEY_QUERY_VALUE, key.put());
  if (result == ERROR_SUCCESS) return Opened::Yes;
  return result == ERROR_FILE_NOT_FOUND || result == ERROR_PATH_NOT_FOUND ? Opened::Missing : Opened::Unreadable;
}

// Reads the rows, with one buffer for every value that grows as needed.
class RowReader {
 public:
  AssocRow Read(std::wstring key) {
    AssocRow row;
    row.cells[kExtension] = CellText(key);
    std::optional<std::wstring> fileType;
    common::UniqueHKey extension;
    switch (OpenForReading(HKEY_CLASSES_ROOT, key, extension)) {
      case Opened::Yes:
        fileType = ReadDefault(extension.get(), row.cells[kFileType]);
        break;
      case Opened::Unreadable:
        for (int column : {kFileType, kDescription, kCommand, kIcon}) row.cells[column] = kUnreadable;
        break;
      case Opened::Missing:
        break;
    }
    if (fileType && NamesKey(*fileType)) ReadFileType(*fileType, row);
    if (perUser_.MayDecide(key)) {
      const assoc::EffectiveAssociation association = assoc::ResolveAssociation(key);
      row.cells[kExplorer] = ExplorerCell(
          association, association.source == assoc::AssocSource::UserChoice && assoc::IsChoiceProtected(key));
    }
    row.key = std::move(key);
    return row;
  }

 private:
  // Fills the cells that the file type key holds.
  void ReadFileType(const std::wstring& fileType, AssocRow& row) {
    common::UniqueHKey type;
    switch (OpenForReading(HKEY_CLASSES_ROOT, fileType, type)) {
      case Opened::Yes:
        break;
      case Opened::Unreadable:
        for (int column : {kDescription, kCommand, kIcon}) row.cells[column] = kUnreadable;
        return;
      case Opened::Missing:
        return;
    }
    ReadDefault(type.get(), row.cells[kDescription]);
    ReadSubKeyDefault(type.get(), L"shell\\open\\command", row.cells[kCommand]);
    const std::optional<std::wstring> icon = ReadSubKeyDefault(type.get(), L"DefaultIcon", row.cells[kIcon]);
    row.iconReadable = icon && !icon->empty() && *icon == row.cells[kIcon];
  }

  // The default value of parent\path into cell (see ReadDefault).
  std::optional<std::wstring> ReadSubKeyDefault(HKEY parent, const std::wstring& path, std::wstring& cell) {
    common::UniqueHKey key;
    switch (OpenForReading(parent, path, key)) {
      case Opened::Yes:
        return ReadDefault(key.get(), cell);
      case Opened::Unreadable:
        cell = kUnreadable;
        break;
      case Opened::Missing:
        break;
    }
    return std::nullopt;
  }

  // Shows the default value of key in cell (kUnreadable when it cannot be read, empty when it
  // is missing) and answers its text when it is text.
  std::optional<std::wstring> ReadDefault(HKEY key, std::wstring& cell) {
    DWORD type = REG_NONE;
    DWORD size = 0;
    LONG result;
    for (;;) {
      size = static_cast<DWORD>(buffer_.size());
      result = RegQueryValueExW(key, nullptr, nullptr, &type, buffer_.data(), &size);
      if (result != ERROR_MORE_DATA) break;
      // The value may grow between the calls: each round asks for at least twice the room.
      buffer_.resize(std::max<size_t>(size_t{size} + sizeof(wchar_t), buffer_.size() * 2));
    }
    if (result == ERROR_FILE_NOT_FOUND) return std::nullopt;
    if (result != ERROR_SUCCESS) {
      cell = kUnreadable;
      return std::nullopt;
    }
    const std::span<const BYTE> data(buffer_.data(), size);
    std::optional<std::wstring> text = ValueText(type, data);
    cell = text ? CellText(*text) : ValueCellText(type, data);
    return text;
  }

  PerUserRecords perUser_;
  std::vector<BYTE> buffer_ = std::vector<BYTE>(4096);
};

}  // namespace

std::wstring ExplorerCell(const assoc::EffectiveAssociation& association, bool choiceProtected) {
  if (!association.differs) return {};
  if (association.source == assoc::AssocSource::WindowsDefault) return assoc::SourceLabel(association);
  // A choice Windows protects is marked, since only Windows can change it.
  const std::wstring label =
      std::wstring(assoc::SourceLabel(association)) + (choiceProtected ? L"（Windows が保護）" : L"");
  return label + L"：" + CellText(association.program.empty() ? association.fileType : association.program);
}

std::vector<AssocRow> ReadAssociationRows() {
  std::vector<AssocRow> rows;
  DWORD longestName = 0;
  if (RegQueryInfoKeyW(HKEY_CLASSES_ROOT, nullptr, nullptr, nullptr, nullptr, &longestName, nullptr, nullptr,
                       nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
    return rows;
  RowReader reader;
  std::vector<wchar_t> name(std::max<size_t>(longestName, kMaxKeyNameLength) + 2);
  for (DWORD index = 0;; ++index) {
    DWORD length = static_cast<DWORD>(name.size());
    const LONG result = RegEnumKeyExW(HKEY_CLASSES_ROOT, index, name.data(), &length, nullptr, nullptr, nullptr, nullptr);
    if (result == ERROR_MORE_DATA && name.size() < 0x8000) {
      // A key with a longer name came meanwhile: the same index again with more room.
      name.resize(name.size() * 2);
      --index;
      continue;
    }
    if (result != ERROR_SUCCESS) break;
    if (length > 0 && name[0] == L'.') rows.push_back(reader.Read(std::wstring(name.data(), length)));
  }
  return rows;
}

}  // namespace assoclist
