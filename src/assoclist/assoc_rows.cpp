#include "assoclist/assoc_rows.h"

#include <algorithm>
#include <optional>
#include <span>
#include <unordered_map>
#include <unordered_set>

#include "assoc/assoc_labels.h"
#include "assoc/enforced_types.h"
#include "assoc/file_type.h"
#include "assoc/reg_paths.h"
#include "assoc/user_hive.h"
#include "assoc/reg_value.h"
#include "assoc/safety.h"
#include "assoclist/assoc_table.h"
#include "assoclist/cell_text.h"
#include "assoclist/row_problems.h"
#include "common/handles.h"

namespace assoclist {

namespace {

LONG OpenKeyReal(HKEY parent, const wchar_t* path, REGSAM access, HKEY* key) {
  return RegOpenKeyExW(parent, path, 0, access, key);
}

// True for a file type that names a key path: one or more names of 1 to 255 characters
// separated by "\" (as "Applications\x.exe").
bool NamesKey(std::wstring_view fileType) {
  if (fileType.empty()) return false;
  size_t start = 0;
  for (;;) {
    const size_t end = std::min(fileType.find(L'\\', start), fileType.size());
    if (end == start || end - start > assoc::kLongestKeyName) return false;
    if (end == fileType.size()) return true;
    start = end + 1;
  }
}

// The names of the sub-keys of root\path, folded; none when the key cannot be opened.
std::unordered_set<std::wstring> SubKeyNames(HKEY root, const wchar_t* path) {
  std::unordered_set<std::wstring> names;
  common::UniqueHKey key;
  if (RegOpenKeyExW(root, path, 0, KEY_ENUMERATE_SUB_KEYS, key.put()) != ERROR_SUCCESS) return names;
  wchar_t name[assoc::kKeyNameBuffer];
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
      : choices_(SubKeyNames(assoc::UserRoot(), assoc::paths::kFileExtsKey)),
        classes_(SubKeyNames(assoc::UserRoot(), assoc::paths::kClassesKey)),
        protocolChoices_(SubKeyNames(assoc::UserRoot(), assoc::paths::kUrlAssociationsKey)) {}

  // False when Explorer surely follows the classic record of extension (assoc::ExplorerMayDiffer
  // from the two listings).
  bool MayDecide(std::wstring_view extension) const {
    const std::wstring folded = FoldCase(extension);
    return choices_.contains(folded) || classes_.contains(folded) || assoc::IsEnforcedHere(extension);
  }
  // False when the user has no FileExts record of extension.
  bool HasFileExts(std::wstring_view extension) const { return choices_.contains(FoldCase(extension)); }
  // False when the user has no UrlAssociations record of scheme.
  bool HasProtocolRecord(std::wstring_view scheme) const { return protocolChoices_.contains(FoldCase(scheme)); }

 private:
  std::unordered_set<std::wstring> choices_;
  std::unordered_set<std::wstring> classes_;
  std::unordered_set<std::wstring> protocolChoices_;
};

enum class Opened { Yes, Missing, Unreadable };

// Opens parent\path for reading values.
Opened OpenForReading(HKEY parent, const std::wstring& path, common::UniqueHKey& key,
                      REGSAM access = KEY_QUERY_VALUE) {
  const LONG result = OpenRowKey(parent, path.c_str(), access, key.put());
  if (result == ERROR_SUCCESS) return Opened::Yes;
  return result == ERROR_FILE_NOT_FOUND || result == ERROR_PATH_NOT_FOUND ? Opened::Missing : Opened::Unreadable;
}

// Reads the rows, with one buffer for every value that grows as needed.
class RowReader {
 public:
  explicit RowReader(bool checkProblems) : checkProblems_(checkProblems) {}

  AssocRow Read(std::wstring key) {
    AssocRow row;
    row.cells[kExtension] = CellText(key);
    unsigned problems = 0;
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
    if (fileType && NamesKey(*fileType)) problems |= ReadFileType(*fileType, row);
    if (perUser_.MayDecide(key)) {
      const assoc::EffectiveAssociation association = assoc::ResolveAssociation(key);
      row.cells[kExplorer] = ExplorerCell(
          association, association.source == assoc::AssocSource::UserChoice && assoc::IsChoiceProtected(key));
      if (association.source == assoc::AssocSource::UserChoice && !association.fileTypeExists)
        problems |= kNoChosenType;
    }
    if (checkProblems_ && extension && OpenWithNamesMissingType(key, extension.get())) problems |= kNoChosenType;
    Finish(row, problems);
    row.key = std::move(key);
    return row;
  }

  // The row of protocol, whose key is open; nothing when the key is no protocol's.
  std::optional<AssocRow> ReadProtocol(std::wstring scheme, HKEY key) {
    if (!assoc::HasRegValue(key, L"URL Protocol")) return std::nullopt;
    AssocRow row;
    row.kind = RowKind::Protocol;
    row.cells[kExtension] = CellText(scheme + L":");
    row.cells[kFileType] = CellText(scheme);
    unsigned problems = ReadTypeCells(key, row);
    if (perUser_.HasProtocolRecord(scheme)) {
      const std::optional<std::wstring> progId = assoc::ReadRegText(
          assoc::UserRoot(), std::wstring(assoc::paths::kUrlAssociationsKey) + L"\\" + scheme + L"\\UserChoice", L"ProgId");
      if (progId && !progId->empty()) {
        assoc::EffectiveAssociation choice;
        choice.source = assoc::AssocSource::UserChoice;
        choice.fileType = *progId;
        choice.fileTypeExists = NamesKey(*progId) && TypeExists(*progId);
        if (choice.fileTypeExists)
          choice.program = assoc::ProgramOfCommand(
              assoc::ReadRegText(HKEY_CLASSES_ROOT, *progId + L"\\shell\\open\\command", L"").value_or(L""));
        choice.differs = true;
        row.cells[kExplorer] = ExplorerCell(choice);
        if (!choice.fileTypeExists) problems |= kNoChosenType;
      }
    }
    Finish(row, problems);
    row.key = std::move(scheme);
    return row;
  }

 private:
  void Finish(AssocRow& row, unsigned problems) {
    if (checkProblems_) row.cells[kProblem] = ProblemCell(problems);
  }

  // Fills the cells that the file type key holds; answers its problems.
  unsigned ReadFileType(const std::wstring& fileType, AssocRow& row) {
    common::UniqueHKey type;
    switch (OpenForReading(HKEY_CLASSES_ROOT, fileType, type)) {
      case Opened::Yes:
        break;
      case Opened::Unreadable:
        for (int column : {kDescription, kCommand, kIcon}) row.cells[column] = kUnreadable;
        return 0;
      case Opened::Missing:
        return kNoFileType;
    }
    return ReadTypeCells(type.get(), row);
  }

  // Fills description, command and icon from an open file type or protocol key; answers the
  // problems of its default verb's program and its icon file.
  unsigned ReadTypeCells(HKEY type, AssocRow& row) {
    ReadDefault(type, row.cells[kDescription]);
    Opened openCommand = Opened::Missing;
    const std::optional<std::wstring> open =
        ReadSubKeyDefault(type, L"shell\\open\\command", row.cells[kCommand], &openCommand);
    const std::optional<std::wstring> icon = ReadSubKeyDefault(type, L"DefaultIcon", row.cells[kIcon]);
    row.iconReadable = icon && !icon->empty() && *icon == row.cells[kIcon];
    if (!checkProblems_) return 0;
    unsigned problems = 0;
    const std::optional<std::wstring> command = DefaultVerbCommand(type, open, openCommand != Opened::Missing);
    if (command) problems |= files_.ProgramProblems(*command);
    if (icon) problems |= files_.IconFileProblems(*icon);
    return problems;
  }

  // The command of the default verb (assoc::ChooseDefaultVerb, the rule the file type window
  // follows too); nothing when that verb has no command. open is the command of the open verb,
  // read for the 実行プログラム column, and openFound tells that its command key exists: a type
  // whose default is open costs no further reading of it.
  std::optional<std::wstring> DefaultVerbCommand(HKEY type, const std::optional<std::wstring>& open, bool openFound) {
    common::UniqueHKey shell;
    if (OpenForReading(type, L"shell", shell, KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS) != Opened::Yes)
      return std::nullopt;
    const std::wstring verb = assoc::ChooseDefaultVerb(
        assoc::ReadRegText(shell.get(), L"").value_or(L""),
        [&](const std::wstring& name) {
          if (openFound && assoc::SameKeyName(name, L"open")) return true;
          common::UniqueHKey key;
          return OpenForReading(shell.get(), name, key) != Opened::Missing;
        },
        [&] {
          wchar_t first[assoc::kKeyNameBuffer];
          DWORD length = static_cast<DWORD>(std::size(first));
          if (RegEnumKeyExW(shell.get(), 0, first, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            return std::wstring();
          return std::wstring(first, length);
        });
    if (verb.empty()) return std::nullopt;
    if (assoc::SameKeyName(verb, L"open")) return open;
    return assoc::ReadRegText(shell.get(), verb + L"\\command", L"");
  }

  // True when an Open with entry of extension (its OpenWithProgids, and the user's) names a
  // file type that does not exist.
  bool OpenWithNamesMissingType(const std::wstring& extension, HKEY key) {
    if (NamesMissingType(key, L"OpenWithProgids")) return true;
    if (!perUser_.HasFileExts(extension)) return false;
    common::UniqueHKey user;
    const std::wstring path = std::wstring(assoc::paths::kFileExtsKey) + L"\\" + extension;
    return OpenForReading(assoc::UserRoot(), path, user) == Opened::Yes && NamesMissingType(user.get(), L"OpenWithProgids");
  }

  // True when a value name of parent\path names a file type that does not exist.
  bool NamesMissingType(HKEY parent, const wchar_t* path) {
    common::UniqueHKey list;
    if (OpenForReading(parent, path, list) != Opened::Yes) return false;
    wchar_t name[assoc::kKeyNameBuffer];
    for (DWORD index = 0;; ++index) {
      DWORD length = static_cast<DWORD>(std::size(name));
      const LONG result = RegEnumValueW(list.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr);
      if (result == ERROR_MORE_DATA) continue;  // longer than a key name can be: names no type
      if (result != ERROR_SUCCESS) return false;
      const std::wstring type(name, length);
      if (NamesKey(type) && !TypeExists(type)) return true;
    }
  }

  // True when HKEY_CLASSES_ROOT\type exists; each type asked once.
  bool TypeExists(const std::wstring& type) {
    const std::wstring folded = FoldCase(type);
    if (auto it = types_.find(folded); it != types_.end()) return it->second;
    common::UniqueHKey key;
    const bool exists = OpenForReading(HKEY_CLASSES_ROOT, type, key) != Opened::Missing;
    types_.emplace(folded, exists);
    return exists;
  }

  // The default value of parent\path into cell (see ReadDefault); opened, when given, tells how
  // the key opened.
  std::optional<std::wstring> ReadSubKeyDefault(HKEY parent, const std::wstring& path, std::wstring& cell,
                                                Opened* opened = nullptr) {
    common::UniqueHKey key;
    const Opened result = OpenForReading(parent, path, key);
    if (opened) *opened = result;
    switch (result) {
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

  bool checkProblems_;
  PerUserRecords perUser_;
  FileChecks files_;
  std::unordered_map<std::wstring, bool> types_;
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

common::Seam<LONG(HKEY, const wchar_t*, REGSAM, HKEY*)> OpenRowKey(&OpenKeyReal);

struct RowStream::State {
  explicit State(bool checkProblems) : reader(checkProblems) {}
  RowReader reader;
  std::vector<wchar_t> name;
  DWORD index = 0;
  size_t total = 0;
  bool done = false;
};

RowStream::RowStream(bool checkProblems) : state_(std::make_unique<State>(checkProblems)) {
  DWORD keys = 0, longestName = 0;
  if (RegQueryInfoKeyW(HKEY_CLASSES_ROOT, nullptr, nullptr, nullptr, &keys, &longestName, nullptr, nullptr, nullptr,
                       nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
    state_->done = true;
    return;
  }
  state_->total = keys;
  state_->name.resize(std::max<size_t>(longestName, assoc::kLongestKeyName) + 2);
}

RowStream::~RowStream() = default;
RowStream::RowStream(RowStream&&) noexcept = default;
RowStream& RowStream::operator=(RowStream&&) noexcept = default;

size_t RowStream::Examined() const { return state_->index; }
size_t RowStream::Total() const { return std::max<size_t>(state_->total, state_->index); }

bool RowStream::Next(std::vector<AssocRow>& rows) {
  State& s = *state_;
  while (!s.done) {
    DWORD length = static_cast<DWORD>(s.name.size());
    const LONG result =
        RegEnumKeyExW(HKEY_CLASSES_ROOT, s.index, s.name.data(), &length, nullptr, nullptr, nullptr, nullptr);
    if (result == ERROR_MORE_DATA) {
      // A key with a longer name came meanwhile: the same index again with more room, up to the
      // longest name the registry allows; a key longer still is passed over.
      if (s.name.size() < 0x8000) {
        s.name.resize(s.name.size() * 2);
        continue;
      }
      ++s.index;
      return true;
    }
    if (result != ERROR_SUCCESS) {
      s.done = true;
      break;
    }
    ++s.index;
    std::wstring name(s.name.data(), length);
    if (!name.empty() && name[0] == L'.') {
      rows.push_back(s.reader.Read(std::move(name)));
    } else if (common::UniqueHKey key; !name.empty() && OpenForReading(HKEY_CLASSES_ROOT, name, key) == Opened::Yes) {
      if (std::optional<AssocRow> row = s.reader.ReadProtocol(std::move(name), key.get())) rows.push_back(std::move(*row));
    }
    return true;
  }
  return false;
}

std::vector<AssocRow> ReadAssociationRows(bool checkProblems) {
  std::vector<AssocRow> rows;
  RowStream stream(checkProblems);
  while (stream.Next(rows)) {
  }
  return rows;
}

std::optional<AssocRow> ReadAssociationRow(const std::wstring& name, bool checkProblems) {
  common::UniqueHKey key;
  if (name.empty() || name.find(L'\\') != std::wstring::npos ||
      OpenForReading(HKEY_CLASSES_ROOT, name, key) != Opened::Yes)
    return std::nullopt;
  RowReader reader(checkProblems);
  if (name[0] == L'.') return reader.Read(name);
  return reader.ReadProtocol(name, key.get());
}

}  // namespace assoclist
