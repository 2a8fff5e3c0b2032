#include "assoc/file_type.h"

#include <shlwapi.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <unordered_map>

#include "assoc/assoc_texts.h"
#include "assoc/change_policy.h"
#include "assoc/command_program.h"
#include "assoc/file_type_texts.h"
#include "assoc/reg_key.h"
#include "assoc/reg_paths.h"
#include "assoc/reg_value.h"
#include "assoc/safety.h"
#include "assoc/user_hive.h"
#include "common/exception.h"
#include "common/field_limits.h"
#include "common/handles.h"
#include "common/local_files.h"
#include "common/text.h"

namespace assoc {

namespace {

// The longest verb name the window takes.
constexpr size_t kLongestVerb = 64;
// The most names of a shell key's default value that count: a planted value of many thousand
// names would otherwise cost as many openings of keys for every reading of the type.
constexpr size_t kMostListed = 64;
// The most verbs, and Open with entries, read of one key: a planted key of millions of
// sub-keys would otherwise keep the window from opening.
constexpr size_t kMostRead = 1000;

std::wstring Text(HKEY root, const std::wstring& key, const std::wstring& name) {
  return ReadRegText(root, key, name).value_or(L"");
}

// The names of the sub-keys, or of the values, of an open key, in the registry's order; at most
// most of them, and none from the first that cannot be read on.
std::vector<std::wstring> Names(HKEY key, bool values, size_t most = kMostRead) {
  std::vector<std::wstring> names;
  wchar_t name[16384];
  for (DWORD index = 0; names.size() < most; ++index) {
    DWORD length = static_cast<DWORD>(std::size(name));
    const LONG result = values ? RegEnumValueW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr)
                               : RegEnumKeyExW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (result == ERROR_MORE_DATA) continue;  // longer than any name: passed over
    if (result != ERROR_SUCCESS) break;
    names.emplace_back(name, length);
  }
  return names;
}

// Opens the key at path below root for reading, one name at a time and never through a link;
// empty when it is missing, a link or cannot be read.
common::UniqueHKey OpenBelow(HKEY root, const std::wstring& path, REGSAM access = KEY_READ) {
  common::UniqueHKey key;
  if (OpenRegKeyBelow(root, path, access, key) != ERROR_SUCCESS) key.reset();
  return key;
}

// The names of root\key's sub-keys or values (see Names); empty when it cannot be opened.
std::vector<std::wstring> Names(HKEY root, const std::wstring& key, bool values) {
  const common::UniqueHKey open = OpenBelow(root, key, values ? KEY_QUERY_VALUE : KEY_ENUMERATE_SUB_KEYS);
  return open ? Names(open.get(), values) : std::vector<std::wstring>{};
}

// A text of the form "@file,-id" as the shell shows it; the text itself when it is not one or
// cannot be loaded.
std::wstring Resolved(const std::wstring& text) {
  if (text.empty() || text[0] != L'@') return text;
  wchar_t loaded[1024] = {};
  if (SHLoadIndirectString(text.c_str(), loaded, static_cast<UINT>(std::size(loaded)), nullptr) != S_OK) return text;
  return loaded;
}

// Opens HKEY_CLASSES_ROOT\path for reading values and sub-keys (see OpenBelow).
common::UniqueHKey OpenClasses(const std::wstring& path) { return OpenBelow(HKEY_CLASSES_ROOT, path); }

// True when the open key has a sub-key name, also one that cannot be opened or is a link (it is
// listed all the same).
bool HasChild(HKEY key, const std::wstring& name) {
  common::UniqueHKey child;
  return OpenRegChild(key, name, KEY_QUERY_VALUE, child) != ERROR_FILE_NOT_FOUND;
}

// The verb name below the open "shell" key, read with one opening of its key and one of its
// command key, so that a type of many verbs opens at once.
TVerb ReadVerb(HKEY shell, const std::wstring& name, TVerbSource source) {
  TVerb verb;
  verb.Name = verb.Original = name;
  verb.Source = source;
  common::UniqueHKey key;
  if (OpenRegChild(shell, name, KEY_READ, key) != ERROR_SUCCESS) return verb;
  const std::wstring mui = ReadRegText(key.get(), L"MUIVerb").value_or(L"");
  verb.CaptionIsMui = !mui.empty();
  verb.Caption = Resolved(mui.empty() ? ReadRegText(key.get(), L"").value_or(L"") : mui);
  verb.Extended = HasRegValue(key.get(), L"Extended");
  common::UniqueHKey command;
  if (OpenRegChild(key.get(), L"command", KEY_QUERY_VALUE, command) == ERROR_SUCCESS) {
    verb.Command = ReadRegText(command.get(), L"").value_or(L"");
    verb.Delegated = HasRegValue(command.get(), L"DelegateExecute");
  }
  if (!verb.Delegated) verb.Delegated = HasChild(key.get(), L"DropTarget");
  return verb;
}

// The verbs below HKEY_CLASSES_ROOT\key\shell, and the shell key's default value.
std::wstring ReadVerbs(const std::wstring& key, TVerbSource source, std::vector<TVerb>& verbs) {
  const common::UniqueHKey shell = OpenClasses(key + L"\\shell");
  if (!shell) return {};
  for (const std::wstring& name : Names(shell.get(), false)) verbs.push_back(ReadVerb(shell.get(), name, source));
  return ReadRegText(shell.get(), L"").value_or(L"");
}

// The program a command starts, found once per command for one reading of a type.
class ProgramFinder {
 public:
  void Find(const std::wstring& command, TOpenWithEntry& entry) {
    auto [found, fresh] = found_.try_emplace(command);
    if (fresh) {
      found->second.second = common::FileState::Missing;
      if (const std::optional<CommandProgram> program = ParseCommandProgram(command)) {
        const std::optional<std::wstring> located = LocateProgram(*program);
        found->second.first = located.value_or(program->path);
        found->second.second = located ? common::CheckFile(*located, drives_) : common::FileState::Missing;
      }
    }
    entry.Program = found->second.first;
    entry.Exists = found->second.second == common::FileState::Found;
    entry.Unchecked = found->second.second == common::FileState::NotLocal;
  }

 private:
  std::unordered_map<std::wstring, std::pair<std::wstring, common::FileState>> found_;
  common::LocalDrives drives_;
};

// The command of the verb the open key of a file type or an application runs on a double click
// (ChooseDefaultVerb), read without reading its other verbs and opening the verb's key once;
// nothing when it has no verb or that verb has no command.
std::optional<std::wstring> DefaultCommand(HKEY type) {
  const common::UniqueHKey shell = OpenBelow(type, L"shell");
  if (!shell) return std::nullopt;
  common::UniqueHKey verbKey;
  std::wstring opened;
  const std::wstring verb = ChooseDefaultVerb(
      ReadRegText(shell.get(), L"").value_or(L""),
      [&](const std::wstring& name) {
        opened = name;
        return OpenRegChild(shell.get(), name, KEY_QUERY_VALUE, verbKey) != ERROR_FILE_NOT_FOUND;
      },
      [&] {
        const std::vector<std::wstring> first = Names(shell.get(), false, 1);
        return first.empty() ? std::wstring() : first.front();
      });
  if (verb.empty()) return std::nullopt;
  if (verb != opened) verbKey.reset();
  if (!verbKey && OpenRegChild(shell.get(), verb, KEY_QUERY_VALUE, verbKey) != ERROR_SUCCESS) return std::nullopt;
  return ReadRegText(verbKey.get(), L"command", L"");
}

// The program an Open with entry starts: a file type's default verb, or an application's.
void FindProgram(TOpenWithEntry& entry, ProgramFinder& finder) {
  std::wstring command;
  if (entry.Place == TOpenWithPlace::UserList) {
    if (const common::UniqueHKey application = OpenClasses(L"Applications\\" + entry.Name))
      command = DefaultCommand(application.get()).value_or(L"");
    if (command.empty()) command = entry.Name;
  } else {
    common::UniqueHKey type;
    const LONG opened = entry.Name.find(L'\\') == std::wstring::npos
                            ? OpenRegChild(HKEY_CLASSES_ROOT, entry.Name, KEY_READ, type)
                            : ERROR_INVALID_NAME;
    entry.TypeMissing = opened == ERROR_FILE_NOT_FOUND || opened == ERROR_INVALID_NAME;
    if (entry.TypeMissing) return;
    if (type) command = DefaultCommand(type.get()).value_or(L"");
  }
  finder.Find(command, entry);
}

void ReadOpenWith(const std::wstring& extension, std::vector<TOpenWithEntry>& entries) {
  ProgramFinder finder;
  const auto add = [&](TOpenWithPlace place, const std::wstring& name, const std::wstring& value) {
    TOpenWithEntry entry;
    entry.Place = place;
    entry.Name = name;
    entry.Value = value;
    FindProgram(entry, finder);
    entries.push_back(std::move(entry));
  };
  for (const std::wstring& name : Names(HKEY_CLASSES_ROOT, extension + L"\\OpenWithProgids", true))
    if (!name.empty()) add(TOpenWithPlace::Classes, name, name);
  const HKEY userRoot = UserRoot();
  if (!userRoot) return;
  const std::wstring user = std::wstring(paths::kFileExtsKey) + L"\\" + extension;
  for (const std::wstring& name : Names(userRoot, user + L"\\OpenWithProgids", true))
    if (!name.empty()) add(TOpenWithPlace::UserProgIds, name, name);
  for (const std::wstring& value : Names(userRoot, user + L"\\OpenWithList", true)) {
    // One letter each; MRUList gives their order.
    if (value.size() != 1) continue;
    const std::wstring program = Text(userRoot, user + L"\\OpenWithList", value);
    if (!program.empty() && program.find(L'\\') == std::wstring::npos) add(TOpenWithPlace::UserList, program, value);
  }
}

// The EditFlags value of an open type key as the window shows it: a number in hex, or the first
// bytes of another kind; nothing when there is none.
std::optional<std::wstring> EditFlagsText(HKEY key) {
  const std::optional<TRawValue> raw = ReadRawValue(key, L"EditFlags");
  if (!raw) return std::nullopt;
  if (raw->Data.size() >= 4 && (raw->Type == REG_DWORD || raw->Type == REG_BINARY)) {
    DWORD flags = 0;
    std::memcpy(&flags, raw->Data.data(), 4);
    wchar_t text[16];
    std::swprintf(text, std::size(text), L"0x%08X", static_cast<unsigned>(flags));
    return text;
  }
  std::wstring hex;
  for (unsigned char byte : raw->Data.substr(0, 16)) {
    wchar_t two[4];
    std::swprintf(two, std::size(two), L"%02X", byte);
    hex += (hex.empty() ? L"" : L" ") + std::wstring(two);
  }
  return hex;
}

// Sets a REG_SZ value to text, or removes it when text is empty.
void SetOrDelete(TPlanBuilder& builder, const std::wstring& key, const std::wstring& name,
                 const std::wstring& text) {
  if (text.empty()) {
    builder.DeleteValue(key, name);
  } else {
    builder.SetText(key, name, text);
  }
}

// Sets value name of key to text, keeping the value's type when it is REG_EXPAND_SZ.
void SetKeepingType(TPlanBuilder& builder, const std::wstring& key, const std::wstring& name,
                    const std::wstring& text) {
  const TValueState now = builder.ValueOf(key, name);
  builder.SetText(key, name, text, now.Exists && now.Type == REG_EXPAND_SZ ? REG_EXPAND_SZ : REG_SZ);
}

// The names of type's own verbs, in its order.
std::vector<std::wstring> OwnVerbNames(const TFileType& type) {
  std::vector<std::wstring> names;
  for (const TVerb& verb : type.Verbs)
    if (verb.Source == TVerbSource::Type) names.push_back(verb.Name);
  return names;
}

// True when a and b name the same keys in the same order.
bool SameNames(const std::vector<std::wstring>& a, const std::vector<std::wstring>& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](const std::wstring& x, const std::wstring& y) { return SameKeyName(x, y); });
}

// The shell key's default value that makes the verb the window shows as edited's default the
// one that runs once edited is written: edited.DefaultVerb, unless its verbs leave the choice to
// the registry's order (no name listed exists, nor open) and their names changed, which may
// change that order: then the verb the window shows.
std::wstring DefaultValueToWrite(const TFileType& before, const TFileType& edited) {
  const std::vector<std::wstring> names = OwnVerbNames(edited);
  if (names.empty() || SameNames(names, OwnVerbNames(before))) return edited.DefaultVerb;
  const bool byName = !ChooseDefaultVerb(
                           edited.DefaultVerb,
                           [&](const std::wstring& name) {
                             return std::any_of(names.begin(), names.end(),
                                                [&](const std::wstring& verb) { return SameKeyName(verb, name); });
                           },
                           [] { return std::wstring(); })
                           .empty();
  return byName ? edited.DefaultVerb : names.front();
}

const TVerb* FindVerb(const std::vector<TVerb>& verbs, const std::wstring& original) {
  for (const TVerb& verb : verbs)
    if (verb.Source == TVerbSource::Type && !original.empty() && SameKeyName(verb.Original, original)) return &verb;
  return nullptr;
}

// Writes what edited says of a verb whose key is path, where before (when given) is what it was.
void PlanVerb(TPlanBuilder& builder, const std::wstring& path, const TVerb& edited, const TVerb* before) {
  builder.EnsureKey(path);
  if (!before || edited.Caption != before->Caption) {
    builder.DeleteValue(path, L"MUIVerb");
    SetOrDelete(builder, path, L"", edited.Caption);
  }
  if (!before || edited.Command != before->Command) {
    builder.EnsureKey(path + L"\\command");
    SetKeepingType(builder, path + L"\\command", L"", edited.Command);
  }
  if (!before || edited.Extended != before->Extended) {
    if (edited.Extended) {
      builder.SetText(path, L"Extended", L"");
    } else {
      builder.DeleteValue(path, L"Extended");
    }
  }
}

// A verb's key and the keys below it (command, ddeexec, ...), each with its values, as a rename
// carries them: paths relative to the verb's key (empty for itself), parents first.
using TVerbTree = std::vector<std::pair<std::wstring, std::vector<TRegValue>>>;

// The tree at path (a path with its root spelled out) as the registry holds it, read through
// builder; at most kMostRead keys.
TVerbTree ReadVerbTree(TPlanBuilder& builder, const std::wstring& path) {
  TVerbTree tree;
  std::vector<std::wstring> pending = {L""};
  while (!pending.empty() && tree.size() < kMostRead) {
    const std::wstring relative = std::move(pending.back());
    pending.pop_back();
    const std::wstring key = relative.empty() ? path : path + L"\\" + relative;
    tree.emplace_back(relative, builder.Values(key));
    for (const std::wstring& name : builder.SubKeyNames(key)) {
      if (tree.size() + pending.size() >= kMostRead) break;
      pending.push_back(relative.empty() ? name : relative + L"\\" + name);
    }
  }
  return tree;
}

void WriteVerbTree(TPlanBuilder& builder, const std::wstring& path, const TVerbTree& tree) {
  for (const auto& [relative, values] : tree) {
    const std::wstring key = relative.empty() ? path : path + L"\\" + relative;
    builder.EnsureKey(key);
    for (const TRegValue& value : values) builder.SetValue(key, value.Name, value.Type, value.Data);
  }
}

}  // namespace

std::wstring ChooseDefaultVerb(std::wstring_view listed, const std::function<bool(const std::wstring&)>& has,
                               const std::function<std::wstring()>& first) {
  bool openAsked = false;
  size_t counted = 0;
  while (!listed.empty() && counted < kMostListed) {
    const size_t cut = listed.find_first_of(L", ");
    const std::wstring_view name = listed.substr(0, cut);
    listed.remove_prefix(cut == std::wstring_view::npos ? listed.size() : cut + 1);
    if (name.empty()) continue;
    ++counted;
    const bool keyName = name.size() <= common::kMaxExtensionLength &&
                         name.find_first_of(std::wstring_view(L"\\\0", 2)) == std::wstring_view::npos;
    if (!keyName) continue;
    const std::wstring verb(name);
    if (has(verb)) return verb;
    openAsked = openAsked || SameKeyName(verb, L"open");
  }
  if (!openAsked && has(L"open")) return L"open";
  return first();
}

std::wstring DefaultVerbAmong(std::wstring_view listed, const std::vector<std::wstring>& verbs) {
  const auto find = [&](const std::wstring& name) {
    return std::find_if(verbs.begin(), verbs.end(), [&](const std::wstring& verb) { return SameKeyName(verb, name); });
  };
  const std::wstring chosen = ChooseDefaultVerb(
      listed, [&](const std::wstring& name) { return find(name) != verbs.end(); },
      [&] { return verbs.empty() ? std::wstring() : verbs.front(); });
  return chosen.empty() ? chosen : *find(chosen);
}

std::wstring ClassesPath(std::wstring_view key) {
  return std::wstring(paths::kClassesRootPath) + L"\\" + std::wstring(key);
}

TFileType ReadFileType(const TTypeTarget& target) {
  TFileType type;
  type.Target = target;
  const bool plausible = target.Protocol ? IsPlausibleScheme(target.Name)
                                         : IsPlausibleExtension(target.Name);
  if (!plausible) throw Exception(texts::kWrongExtension);
  type.TypeKey = target.Name;
  if (!target.Protocol) {
    const std::wstring named = FileTypeKeyOf(target.Name);
    if (!named.empty() && JudgeFileTypeKeyByName(named) != TLinkExtention::TFileTypeKept::KeyPath) {
      type.TypeKey = named;
      type.OwnType = true;
    }
  }
  type.DefaultVerb = ReadVerbs(type.TypeKey, TVerbSource::Type, type.Verbs);
  if (const common::UniqueHKey key = OpenClasses(type.TypeKey)) {
    if (type.OwnType || target.Protocol) type.Description = ReadRegText(key.get(), L"").value_or(L"");
    type.Icon = ReadRegText(key.get(), L"DefaultIcon", L"").value_or(L"");
    if (HasRegValue(key.get(), L"AlwaysShowExt")) {
      type.Display = TExtensionDisplay::Always;
    } else if (HasRegValue(key.get(), L"NeverShowExt")) {
      type.Display = TExtensionDisplay::Never;
    }
    type.EditFlags = EditFlagsText(key.get());
  }
  if (target.Protocol) return type;

  type.PerceivedType = Text(HKEY_CLASSES_ROOT, target.Name, L"PerceivedType");
  type.ContentType = Text(HKEY_CLASSES_ROOT, target.Name, L"Content Type");
  ReadVerbs(L"SystemFileAssociations\\" + target.Name, TVerbSource::Extension, type.Verbs);
  if (!type.PerceivedType.empty() && type.PerceivedType.find(L'\\') == std::wstring::npos)
    ReadVerbs(L"SystemFileAssociations\\" + type.PerceivedType, TVerbSource::Perceived, type.Verbs);
  ReadOpenWith(target.Name, type.OpenWith);
  return type;
}

std::wstring EffectiveDefaultVerb(const TFileType& type) {
  return DefaultVerbAmong(type.DefaultVerb, OwnVerbNames(type));
}

std::wstring VerbNameProblem(std::wstring_view name, const std::vector<std::wstring>& other) {
  if (name.empty()) return texts::kVerbNameMissing;
  const bool allowed = name.size() <= kLongestVerb && std::all_of(name.begin(), name.end(), [](wchar_t c) {
                         return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') ||
                                c == L'_' || c == L'-';
                       });
  if (!allowed) return texts::kVerbNameInvalid;
  for (const std::wstring& taken : other)
    if (SameKeyName(taken, name)) return texts::kVerbNameTaken;
  return {};
}

TChangePlan PlanFileTypeEdit(const TFileType& before, const TFileType& edited) {
  TChangePlan plan;
  plan.Operation = TChangeOperation::EditFileType;
  plan.Subject = before.Target.Name;
  if (before.Target.Protocol) plan.Protocols.push_back(before.Target.Name);
  // The window is the type's, whichever of its extensions opened it; the preview names the others.
  plan.SharedTypesAllowed = true;
  TPlanBuilder builder(plan);
  const std::wstring typePath = ClassesPath(before.TypeKey);
  const std::wstring shell = typePath + L"\\shell";

  // Verbs removed, or renamed: every old key goes first, then the renamed ones come back under
  // their new names whole, so that names may pass from one verb to another.
  // A new name in letter case only names the same key, which stays.
  std::vector<std::pair<std::wstring, TVerbTree>> moved;
  for (const TVerb& old : before.Verbs) {
    if (old.Source != TVerbSource::Type) continue;
    const TVerb* now = FindVerb(edited.Verbs, old.Original);
    if (now && SameKeyName(now->Name, old.Original)) continue;
    const std::wstring path = shell + L"\\" + old.Original;
    if (now) moved.emplace_back(shell + L"\\" + now->Name, ReadVerbTree(builder, path));
    builder.DeleteTree(path);
  }
  for (const auto& [path, tree] : moved) WriteVerbTree(builder, path, tree);
  for (const TVerb& verb : edited.Verbs) {
    if (verb.Source != TVerbSource::Type) continue;
    const TVerb* old = FindVerb(before.Verbs, verb.Original);
    if (old && *old == verb) continue;
    PlanVerb(builder, shell + L"\\" + verb.Name, verb, old);
  }
  if (const std::wstring value = DefaultValueToWrite(before, edited); value != before.DefaultVerb)
    SetOrDelete(builder, shell, L"", value);

  if ((before.OwnType || before.Target.Protocol) && edited.Description != before.Description)
    builder.SetText(typePath, L"", edited.Description);
  if (edited.Icon != before.Icon) {
    if (edited.Icon.empty()) {
      builder.DeleteTree(typePath + L"\\DefaultIcon");
    } else {
      SetKeepingType(builder, typePath + L"\\DefaultIcon", L"", edited.Icon);
    }
  }
  if (edited.Display != before.Display) {
    if (edited.Display == TExtensionDisplay::Always) {
      builder.SetText(typePath, L"AlwaysShowExt", L"");
    } else {
      builder.DeleteValue(typePath, L"AlwaysShowExt");
    }
    if (edited.Display == TExtensionDisplay::Never) {
      builder.SetText(typePath, L"NeverShowExt", L"");
    } else {
      builder.DeleteValue(typePath, L"NeverShowExt");
    }
  }
  if (before.Target.Protocol) return plan;

  const std::wstring extension = ClassesPath(before.Target.Name);
  if (edited.PerceivedType != before.PerceivedType)
    SetOrDelete(builder, extension, L"PerceivedType", edited.PerceivedType);
  if (edited.ContentType != before.ContentType) SetOrDelete(builder, extension, L"Content Type", edited.ContentType);

  const std::wstring user =
      std::wstring(paths::kFileExtsPath) + L"\\" + before.Target.Name;
  const HKEY userRoot = UserRoot();
  std::wstring order =
      userRoot ? Text(userRoot, std::wstring(paths::kFileExtsKey) + L"\\" + before.Target.Name + L"\\OpenWithList",
                      L"MRUList")
               : std::wstring();
  const std::wstring orderBefore = order;
  for (const TOpenWithEntry& entry : before.OpenWith) {
    if (std::find(edited.OpenWith.begin(), edited.OpenWith.end(), entry) != edited.OpenWith.end()) continue;
    switch (entry.Place) {
      case TOpenWithPlace::Classes:
        builder.DeleteValue(extension + L"\\OpenWithProgids", entry.Value);
        break;
      case TOpenWithPlace::UserProgIds:
        builder.DeleteValue(user + L"\\OpenWithProgids", entry.Value);
        break;
      case TOpenWithPlace::UserList:
        builder.DeleteValue(user + L"\\OpenWithList", entry.Value);
        std::erase_if(order, [&](wchar_t c) { return std::towlower(c) == std::towlower(entry.Value[0]); });
        break;
    }
  }
  if (order != orderBefore) builder.SetText(user + L"\\OpenWithList", L"MRUList", order);
  return plan;
}

}  // namespace assoc
