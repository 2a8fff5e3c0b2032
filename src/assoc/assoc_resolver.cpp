#include "assoc/assoc_resolver.h"

#include <array>

#include "assoc/enforced_types.h"
#include "assoc/reg_paths.h"
#include "assoc/reg_value.h"
#include "assoc/safety.h"
#include "assoc/user_hive.h"
#include "common/handles.h"

namespace assoc {

namespace {

// The places the resolver reads, below the target account's hive (UserRoot) and
// HKEY_LOCAL_MACHINE. Every key is opened by its whole path from the root: under Wine each open is
// a round trip to the server, so holding the parents open would cost more opens than it saves.
const std::wstring kFileExts = std::wstring(paths::kFileExtsKey) + L"\\";
const std::wstring kClasses = std::wstring(paths::kClassesKey) + L"\\";
constexpr wchar_t kApplications[] = L"Applications\\";

// The choice keys in the order they win.
constexpr std::array<const wchar_t*, 2> kChoiceKeys = {L"UserChoiceLatest", L"UserChoice"};

bool StartsWithNoCase(std::wstring_view text, std::wstring_view prefix) {
  return text.size() >= prefix.size() && SameKeyName(text.substr(0, prefix.size()), prefix);
}

// Opens base\path for reading values; null when the key is missing.
common::UniqueHKey OpenForReading(HKEY base, const std::wstring& path) {
  common::UniqueHKey key;
  if (RegOpenKeyExW(base, path.c_str(), 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS) key.reset();
  return key;
}

// The text of value name of key, up to its first NUL; false when the value is absent, is not
// REG_SZ or REG_EXPAND_SZ, or cannot be read.
bool ReadText(HKEY key, const wchar_t* name, std::wstring& text) {
  if (!key) return false;
  std::optional<std::wstring> read = ReadRegText(key, name ? name : L"");
  if (!read) return false;
  text = std::move(*read);
  return true;
}

// The default value of base\path as text; empty when absent or not text.
std::wstring DefaultText(HKEY base, const std::wstring& path) {
  std::wstring text;
  ReadText(OpenForReading(base, path).get(), nullptr, text);
  return text;
}

bool KeyExists(HKEY base, const std::wstring& path) { return static_cast<bool>(OpenForReading(base, path)); }

// True for a file type name that is a key of its own: no "\" but in Applications\<program>.
bool IsUsableFileType(std::wstring_view type) {
  if (type.empty()) return false;
  if (StartsWithNoCase(type, kApplications)) type.remove_prefix(std::size(kApplications) - 1);
  return !type.empty() && type.find(L'\\') == std::wstring_view::npos;
}

// The per-user choice: UserChoiceLatest's ProgId value, else its ProgId sub-key's, else
// UserChoice's ProgId value.
UserChoiceInfo ReadChoice(const std::wstring& extension) {
  UserChoiceInfo choice;
  for (const wchar_t* name : kChoiceKeys) {
    const std::wstring path = kFileExts + extension + L"\\" + name;
    common::UniqueHKey key = OpenForReading(UserRoot(), path);
    if (!key) continue;
    std::wstring progId;
    if ((!ReadText(key.get(), L"ProgId", progId) || progId.empty()) && name == kChoiceKeys[0])
      ReadText(OpenForReading(UserRoot(), path + L"\\ProgId").get(), L"ProgId", progId);
    if (progId.empty()) continue;
    choice.key = name;
    choice.progId = std::move(progId);
    choice.hasHash = HasRegValue(key.get(), L"Hash");
    break;
  }
  return choice;
}

// Fills what result.fileType records: whether it exists, its command, icon and program. The
// file type's records are looked up per user first, then for the machine.
void ReadFileType(EffectiveAssociation& result) {
  const HKEY roots[] = {UserRoot(), HKEY_LOCAL_MACHINE};
  const std::wstring type = kClasses + result.fileType;
  for (HKEY root : roots) result.fileTypeExists = result.fileTypeExists || KeyExists(root, type);
  if (!result.fileTypeExists) return;

  auto lookUp = [&](const std::wstring& path, std::wstring& text) {
    for (HKEY root : roots)
      if (ReadText(OpenForReading(root, path).get(), nullptr, text)) return;
  };
  lookUp(type + L"\\shell\\open\\command", result.command);
  lookUp(type + L"\\DefaultIcon", result.defaultIcon);

  result.program = ProgramOfCommand(result.command);
  if (result.program.empty() && StartsWithNoCase(result.fileType, kApplications))
    result.program = result.fileType.substr(std::size(kApplications) - 1);
}

}  // namespace

EffectiveAssociation ResolveAssociation(std::wstring_view extension) {
  EffectiveAssociation result;
  if (!IsExtensionKeyName(extension)) return result;
  const std::wstring ext(extension);

  result.classicFileType = DefaultText(HKEY_CLASSES_ROOT, ext);
  const bool classicUsable = IsUsableFileType(result.classicFileType);
  bool classicCommandFound = false;
  if (classicUsable) {
    common::UniqueHKey command =
        OpenForReading(HKEY_CLASSES_ROOT, result.classicFileType + L"\\Shell\\open\\command");
    classicCommandFound = static_cast<bool>(command);
    ReadText(command.get(), nullptr, result.classicCommand);
  }

  if (KeyExists(UserRoot(), kFileExts + ext)) result.choice = ReadChoice(ext);
  common::UniqueHKey classesHolder;
  result.userClassesFileType = DefaultText(OpenUserClassesRoot(classesHolder), ext);
  if (result.choice.progId.empty() && IsEnforcedHere(ext)) {
    // Explorer takes no classic record of this extension: without a choice, Windows decides.
    result.source = AssocSource::WindowsDefault;
    result.fileTypeExists = true;
    result.differs = true;
    return result;
  }
  if (!result.choice.progId.empty()) {
    result.source = AssocSource::UserChoice;
    result.fileType = result.choice.progId;
  } else if (!result.userClassesFileType.empty()) {
    result.source = AssocSource::UserClasses;
    result.fileType = result.userClassesFileType;
  } else {
    // No per-user record has a say: Explorer follows the classic records. (On Windows,
    // HKEY_CLASSES_ROOT already shows the user's own version of a file type key.)
    result.fileType = result.classicFileType;
    if (!result.fileType.empty()) result.source = AssocSource::MachineClasses;
    if (classicUsable) {
      result.fileTypeExists = classicCommandFound || KeyExists(HKEY_CLASSES_ROOT, result.fileType);
      result.command = result.classicCommand;
      result.defaultIcon = DefaultText(HKEY_CLASSES_ROOT, result.fileType + L"\\DefaultIcon");
      result.program = ProgramOfCommand(result.command);
    }
    return result;
  }
  if (IsUsableFileType(result.fileType)) ReadFileType(result);
  result.differs = !result.fileTypeExists || !SameKeyName(result.fileType, result.classicFileType) ||
                   result.command != result.classicCommand;
  return result;
}

bool HasUserRecords(std::wstring_view extension) {
  if (!IsExtensionKeyName(extension)) return false;
  const std::wstring ext(extension);
  common::UniqueHKey classesHolder;
  return KeyExists(UserRoot(), kFileExts + ext) || KeyExists(OpenUserClassesRoot(classesHolder), ext);
}

bool ExplorerMayDiffer(std::wstring_view extension) {
  return HasUserRecords(extension) || (IsExtensionKeyName(extension) && IsEnforcedHere(extension));
}

bool IsChoiceProtected(std::wstring_view extension) {
  if (!IsExtensionKeyName(extension)) return false;
  for (const wchar_t* name : kChoiceKeys) {
    const std::wstring path = kFileExts + std::wstring(extension) + L"\\" + name;
    // The rights a removal uses, and not the setting of values, which every choice key refuses.
    // The read right is there because Wine checks no request of standard rights alone.
    common::UniqueHKey key;
    const LONG result = RegOpenKeyExW(UserRoot(), path.c_str(), 0, KEY_QUERY_VALUE | DELETE, key.put());
    if (result == ERROR_ACCESS_DENIED) return true;
  }
  return false;
}

std::wstring ProgramOfCommand(std::wstring_view command) {
  if (!command.empty() && command.front() == L'"') {
    command.remove_prefix(1);
    return std::wstring(command.substr(0, command.find(L'"')));
  }
  return std::wstring(command.substr(0, command.find(L' ')));
}

}  // namespace assoc
