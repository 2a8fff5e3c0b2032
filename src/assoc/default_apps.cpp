#include "assoc/default_apps.h"

#include <windows.h>
// After windows.h, which it needs.
#include <xmllite.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <iterator>
#include <map>
#include <set>

#include "assoc/command_program.h"
#include "assoc/default_apps_texts.h"
#include "assoc/default_apps_xml.h"
#include "assoc/enforced_types.h"
#include "assoc/reg_paths.h"
#include "assoc/reg_value.h"
#include "assoc/safety.h"
#include "assoc/user_hive.h"
#include "common/handles.h"
#include "common/text.h"

namespace assoc::defaults {

namespace {

constexpr std::wstring_view kApplications = L"Applications\\";
// The longest application name taken; a longer one is passed over for the next source.
constexpr size_t kLongestName = 1024;
// VS_VERSIONINFO counts its length in a WORD.
constexpr DWORD kLargestVersionBlock = 0xFFFF;

// The keys of the user's choice in the order they win.
constexpr const wchar_t* kChoiceKeys[] = {L"UserChoiceLatest", L"UserChoice"};

// Ordinal order with letter case ignored, as the registry compares names.
struct NoCaseLess {
  bool operator()(std::wstring_view a, std::wstring_view b) const noexcept {
    return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
           CSTR_LESS_THAN;
  }
};

bool StartsWithNoCase(std::wstring_view text, std::wstring_view prefix) {
  return text.size() >= prefix.size() && SameKeyName(text.substr(0, prefix.size()), prefix);
}

// True when key, opened with REG_OPTION_OPEN_LINK, is a registry link.
bool IsLinkKey(HKEY key) noexcept {
  DWORD type = REG_NONE;
  return RegQueryValueExW(key, L"SymbolicLinkValue", nullptr, &type, nullptr, nullptr) == ERROR_SUCCESS &&
         type == REG_LINK;
}

// Opens path (names separated by "\") below base, one name at a time and never through a
// registry link: a program of the user can make a key it may write a link to any other key,
// and the elevated tool would read the target in its place. Null when a key is missing or a
// link, or a name is empty or too long.
common::UniqueHKey OpenBelow(HKEY base, std::wstring_view path, REGSAM access = KEY_QUERY_VALUE) {
  common::UniqueHKey current;
  if (!base) return current;
  for (;;) {
    const size_t end = path.find(L'\\');
    const std::wstring name(path.substr(0, end));
    if (name.empty() || name.size() > kLongestKeyName) return {};
    common::UniqueHKey next;
    const REGSAM want = end == std::wstring_view::npos ? access | KEY_QUERY_VALUE : KEY_QUERY_VALUE;
    if (RegOpenKeyExW(current ? current.get() : base, name.c_str(), REG_OPTION_OPEN_LINK, want, next.put()) !=
            ERROR_SUCCESS ||
        IsLinkKey(next.get()))
      return {};
    current = std::move(next);
    if (end == std::wstring_view::npos) return current;
    path.remove_prefix(end + 1);
  }
}

// The names of the sub-keys of key (none for a null key); a name longer than any key name
// Windows accepts is passed over.
template <typename Visit>
void ForEachSubKey(HKEY key, Visit visit) {
  if (!key) return;
  wchar_t name[kKeyNameBuffer];
  for (DWORD index = 0;; ++index) {
    DWORD length = static_cast<DWORD>(std::size(name));
    const LONG result = RegEnumKeyExW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (result == ERROR_MORE_DATA) continue;
    if (result != ERROR_SUCCESS) return;
    visit(std::wstring(name, length));
  }
}

// True for a file type name that names a key of its own that the file can hold: one name, or
// Applications\<name>, of 1 to 255 characters each.
bool IsUsableProgId(std::wstring_view progId) {
  if (!IsXmlText(progId)) return false;
  if (StartsWithNoCase(progId, kApplications)) progId.remove_prefix(kApplications.size());
  return !progId.empty() && progId.size() <= kLongestKeyName && progId.find(L'\\') == std::wstring_view::npos;
}

// True for a fully qualified path on a drive of this computer ("C:\..."), which may be examined:
// not a network share, a mapped network drive or a device's name space.
bool IsLocalFullPath(std::wstring_view path) {
  if (path.size() < 4 || !((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z')) ||
      path[1] != L':' || path[2] != L'\\' || path.find(L':', 2) != std::wstring_view::npos)
    return false;
  const wchar_t root[] = {path[0], L':', L'\\', L'\0'};
  const UINT type = GetDriveTypeW(root);
  return type == DRIVE_FIXED || type == DRIVE_REMOVABLE || type == DRIVE_CDROM || type == DRIVE_RAMDISK;
}

enum class LocalFile { Plain, Missing, Other };

// What is at a local path: a plain file, nothing, or something else that is not examined (a
// folder, a link, a device, or what cannot be opened). The path's last name is never followed.
LocalFile Examine(const std::wstring& path) {
  const common::UniqueFileHandle file(
      CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                  OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!file) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? LocalFile::Missing : LocalFile::Other;
  }
  BY_HANDLE_FILE_INFORMATION information{};
  if (GetFileType(file.get()) != FILE_TYPE_DISK || !GetFileInformationByHandle(file.get(), &information) ||
      (information.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)))
    return LocalFile::Other;
  return LocalFile::Plain;
}

// name when it can stand for a program in the file: not empty, not longer than kLongestName,
// not an indirect string ("@...", which only loading a module would turn into a name), and a
// text the file can hold.
std::wstring Readable(std::wstring name) {
  return name.empty() || name.size() > kLongestName || name.front() == L'@' || !IsXmlText(name) ? std::wstring() : name;
}

std::wstring Readable(std::optional<std::wstring> name) { return Readable(name.value_or(std::wstring())); }

// FileDescription, else ProductName, of the version block of the program at path (a local
// file), in its first language; empty when it has neither.
std::wstring VersionName(const std::wstring& path) {
  DWORD unused = 0;
  const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &unused);
  if (size == 0 || size > kLargestVersionBlock) return {};
  std::vector<std::byte> block(size);
  if (!GetFileVersionInfoW(path.c_str(), 0, size, block.data())) return {};
  DWORD translation = MAKELONG(0x0409, 1200);
  void* value = nullptr;
  UINT length = 0;
  if (VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", &value, &length) && length >= sizeof translation)
    std::memcpy(&translation, value, sizeof translation);
  for (const wchar_t* key : {L"FileDescription", L"ProductName"}) {
    wchar_t query[64];
    std::swprintf(query, std::size(query), L"\\StringFileInfo\\%04X%04X\\%ls",
                  static_cast<unsigned>(LOWORD(translation)), static_cast<unsigned>(HIWORD(translation)), key);
    if (!VerQueryValueW(block.data(), query, &value, &length) || !value) continue;
    // The text runs to its first NUL, whatever length the query reports, but never past the block.
    const auto* text = static_cast<const wchar_t*>(value);
    const auto* end = reinterpret_cast<const wchar_t*>(block.data() + block.size());
    if (text < reinterpret_cast<const wchar_t*>(block.data()) || text >= end) continue;
    std::wstring name = Readable(std::wstring(text, wcsnlen(text, static_cast<size_t>(end - text))));
    if (!name.empty()) return name;
  }
  return {};
}

// What a file type (ProgId) stands for on this machine.
struct ProgramFacts {
  bool exists = false;          // a key of that name in the user's or the machine's classes
  std::wstring program;         // the file its open command starts, expanded; empty: none
  bool programMissing = false;  // program is a local full path where no file is
  std::wstring name;            // the application's name; empty when it starts nothing known
};

// The registry as the export and the check read it: the keys below which everything is looked
// up, opened once, and what each file type stands for, read once.
class Machine {
 public:
  Machine()
      : fileExts_(OpenBelow(UserRoot(), paths::kFileExtsKey, KEY_ENUMERATE_SUB_KEYS)),
        urlAssociations_(OpenBelow(UserRoot(), paths::kUrlAssociationsKey, KEY_ENUMERATE_SUB_KEYS)) {
    // Windows itself makes the user's classes key a link to the user's classes hive; it is
    // followed as the system made it, and nothing below it is.
    constexpr REGSAM kAccess = KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS;
    common::UniqueHKey holder;
    if (const HKEY user = OpenUserClassesRoot(holder);
        !user || RegOpenKeyExW(user, L"", 0, kAccess, userClasses_.put()) != ERROR_SUCCESS)
      userClasses_.reset();
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, paths::kClassesKey, 0, kAccess, machineClasses_.put()) != ERROR_SUCCESS)
      machineClasses_.reset();
  }

  std::optional<DefaultApp> DefaultAppOf(std::wstring_view identifier) {
    if (!IsValidIdentifier(identifier)) return std::nullopt;
    const std::wstring progId = identifier.front() == L'.' ? ExtensionProgId(identifier) : ProtocolProgId(identifier);
    if (progId.empty()) return std::nullopt;
    const ProgramFacts& facts = FactsOf(progId);
    if (facts.name.empty() || facts.programMissing) return std::nullopt;
    return DefaultApp{std::wstring(identifier), progId, facts.name};
  }

  // What the machine's classic record names for identifier: the file type of the extension's
  // key, or the protocol's own key; empty when there is none.
  std::wstring ClassicRecordOf(std::wstring_view identifier) {
    if (identifier.front() == L'.')
      return ReadRegText(OpenBelow(machineClasses_.get(), identifier).get(), L"").value_or(std::wstring());
    return IsProtocol(machineClasses_.get(), identifier) ? std::wstring(identifier) : std::wstring();
  }

  const ProgramFacts& FactsOf(const std::wstring& progId) {
    const auto [known, added] = facts_.try_emplace(progId);
    ProgramFacts& facts = known->second;
    if (!added || !IsUsableProgId(progId) || !KeyExists(progId)) return facts;
    facts.exists = true;
    const std::wstring open = progId + L"\\shell\\open";
    std::optional<CommandProgram> program;
    if (const std::optional<std::wstring> command = Text(open + L"\\command", L""))
      program = ParseCommandProgram(*command);
    const bool application = StartsWithNoCase(progId, kApplications);
    // A packaged app's file type starts no file; its Application key says whose it is.
    const bool packaged = KeyExists(progId + L"\\Application");
    if (!program && !application && !packaged) return facts;

    const LocalFile file =
        program && !program->bare && IsLocalFullPath(program->path) ? Examine(program->path) : LocalFile::Other;
    if (program) facts.program = program->path;
    facts.programMissing = file == LocalFile::Missing;
    const std::wstring applicationKey = application ? progId
                                        : program ? std::wstring(kApplications) + common::ExtractFileName(program->path)
                                                  : L"";
    std::wstring name = Readable(Text(open, L"FriendlyAppName"));
    if (name.empty() && IsUsableProgId(applicationKey)) name = Readable(Text(applicationKey, L"FriendlyAppName"));
    if (name.empty() && packaged) name = Readable(Text(progId + L"\\Application", L"ApplicationName"));
    if (name.empty() && file == LocalFile::Plain) name = VersionName(program->path);
    if (name.empty() && program) name = Readable(common::ExtractFileName(program->path));
    if (name.empty() && application) name = Readable(progId.substr(kApplications.size()));
    facts.name = name.empty() ? progId : name;
    return facts;
  }

  // Every identifier the machine has a record of, each once (letter case aside), sorted.
  std::set<std::wstring, NoCaseLess> Identifiers() const {
    std::set<std::wstring, NoCaseLess> identifiers;
    // The two trees that HKEY_CLASSES_ROOT merges on Windows (under Wine it shows the machine's).
    for (HKEY classes : {userClasses_.get(), machineClasses_.get()})
      ForEachSubKey(classes, [&](std::wstring name) {
        if (name.front() == L'.' || IsProtocol(classes, name)) identifiers.insert(std::move(name));
      });
    ForEachSubKey(fileExts_.get(), [&](std::wstring name) {
      if (name.front() == L'.') identifiers.insert(std::move(name));
    });
    ForEachSubKey(urlAssociations_.get(), [&](std::wstring name) { identifiers.insert(std::move(name)); });
    return identifiers;
  }

 private:
  static bool IsProtocol(HKEY classes, std::wstring_view scheme) {
    return HasRegValue(OpenBelow(classes, scheme).get(), L"URL Protocol");
  }

  // The file type Explorer takes for extension, in assoc::ResolveAssociation's order: the
  // user's choice; for an enforced extension without one nothing (Windows' own default app);
  // else the per-user class record, else the machine's. Read here rather than through the
  // resolver, which follows registry links.
  std::wstring ExtensionProgId(std::wstring_view extension) const {
    std::wstring progId = ChoiceOf(fileExts_.get(), extension);
    if (!progId.empty() || IsEnforcedHere(extension)) return progId;
    for (HKEY classes : {userClasses_.get(), machineClasses_.get()}) {
      progId = ReadRegText(OpenBelow(classes, extension).get(), L"").value_or(L"");
      if (!progId.empty()) break;
    }
    return progId;
  }

  // The handler of scheme: the user's choice, else the protocol's own key.
  std::wstring ProtocolProgId(std::wstring_view scheme) const {
    std::wstring progId = ChoiceOf(urlAssociations_.get(), scheme);
    if (progId.empty() && (IsProtocol(userClasses_.get(), scheme) || IsProtocol(machineClasses_.get(), scheme)))
      progId = scheme;
    return progId;
  }

  // The user's choice below records (FileExts or UrlAssociations) for name: UserChoiceLatest's
  // ProgId value, else its ProgId sub-key's, else UserChoice's ProgId value; empty when none
  // names one.
  static std::wstring ChoiceOf(HKEY records, std::wstring_view name) {
    for (const wchar_t* choice : kChoiceKeys) {
      const std::wstring path = std::wstring(name) + L"\\" + choice;
      std::wstring progId = ReadRegText(OpenBelow(records, path).get(), L"ProgId").value_or(L"");
      if (progId.empty() && choice == kChoiceKeys[0])
        progId = ReadRegText(OpenBelow(records, path + L"\\ProgId").get(), L"ProgId").value_or(L"");
      if (!progId.empty()) return progId;
    }
    return {};
  }

  // The text of value name of classes key path, per user first, then for the machine.
  std::optional<std::wstring> Text(const std::wstring& path, const wchar_t* name) const {
    for (HKEY classes : {userClasses_.get(), machineClasses_.get()})
      if (std::optional<std::wstring> text = ReadRegText(OpenBelow(classes, path).get(), name)) return text;
    return std::nullopt;
  }

  bool KeyExists(const std::wstring& path) const {
    return OpenBelow(userClasses_.get(), path) || OpenBelow(machineClasses_.get(), path);
  }

  common::UniqueHKey userClasses_;
  common::UniqueHKey machineClasses_;
  common::UniqueHKey fileExts_;
  common::UniqueHKey urlAssociations_;
  std::map<std::wstring, ProgramFacts, NoCaseLess> facts_;
};

bool IsAsciiLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

bool IsSchemeCharacter(wchar_t c) {
  return IsAsciiLetter(c) || (c >= L'0' && c <= L'9') || c == L'+' || c == L'-' || c == L'.';
}

Finding At(FindingKind kind, const XmlNode& node, std::wstring identifier = {}) {
  Finding finding;
  finding.kind = kind;
  finding.identifier = std::move(identifier);
  finding.line = node.line;
  finding.column = node.column;
  return finding;
}

// Judges the elements of a file that was read, in its order.
class Judge {
 public:
  explicit Judge(CheckResult& result) : result_(result) {}

  void Root(const XmlNode& root) {
    for (const XmlAttribute& attribute : root.attributes) {
      if (attribute.name != L"Version") {
        Unknown(root, attribute);
        continue;
      }
      NewerWindowsOnly(root, attribute.name);
      const std::wstring_view value = attribute.value;
      if (value.empty() || value.size() > 9 ||
          !std::all_of(value.begin(), value.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; }))
        BadValue(root, attribute, L"");
    }
  }

  void Association(const XmlNode& node) {
    CheckedApp row;
    row.line = node.line;
    std::optional<std::wstring> suggested;
    std::wstring* const fields[] = {&row.asked.identifier, &row.asked.progId, &row.asked.applicationName};
    for (const XmlAttribute& attribute : node.attributes) {
      const auto field = std::find(std::begin(kFields), std::end(kFields), attribute.name);
      if (field != std::end(kFields))
        *fields[field - std::begin(kFields)] = attribute.value;
      else if (attribute.name == L"Suggested")
        suggested = attribute.value;
      else
        Unknown(node, attribute);
    }
    const std::wstring& identifier = row.asked.identifier;
    for (size_t i = 0; i < std::size(kFields); ++i) {
      if (!fields[i]->empty()) continue;
      Finding finding = At(FindingKind::MissingAttribute, node, identifier);
      finding.asked = kFields[i];
      Add(std::move(finding));
    }
    if (suggested) {
      NewerWindowsOnly(node, L"Suggested");
      if (*suggested == L"false")
        Add(At(FindingKind::AppliedAtEverySignIn, node, identifier));
      else if (*suggested != L"true")
        BadValue(node, XmlAttribute{L"Suggested", *suggested}, identifier);
    }
    if (!identifier.empty()) JudgeIdentifier(node, row);
    if (!row.asked.progId.empty()) JudgeProgId(node, row);
    result_.associations.push_back(std::move(row));
  }

  void Add(Finding finding) { result_.findings.push_back(std::move(finding)); }

 private:
  static constexpr std::wstring_view kFields[] = {L"Identifier", L"ProgId", L"ApplicationName"};

  void JudgeIdentifier(const XmlNode& node, CheckedApp& row) {
    const std::wstring& identifier = row.asked.identifier;
    if (!IsValidIdentifier(identifier)) {
      Add(At(FindingKind::BadIdentifier, node, identifier));
      return;
    }
    const auto [first, added] = seen_.try_emplace(identifier, node.line);
    if (!added) {
      Finding finding = At(FindingKind::Duplicate, node, identifier);
      finding.here = std::to_wstring(first->second);
      finding.asked = first->first;
      Add(std::move(finding));
      return;
    }
    row.here = machine_.DefaultAppOf(identifier);
    if (identifier.front() == L'.' ? IsEnforcedHere(identifier) : IsEnforcedProtocolHere(identifier))
      Add(At(FindingKind::Protected, node, identifier));
  }

  void JudgeProgId(const XmlNode& node, const CheckedApp& row) {
    const ProgramFacts& facts = machine_.FactsOf(row.asked.progId);
    if (facts.exists && !facts.programMissing) return;
    Finding finding =
        At(facts.exists ? FindingKind::ProgramMissing : FindingKind::ProgIdMissing, node, row.asked.identifier);
    finding.asked = row.asked.progId;
    finding.here = facts.exists ? facts.program : row.here ? row.here->progId : L"";
    Add(std::move(finding));
  }

  void Unknown(const XmlNode& node, const XmlAttribute& attribute) {
    Finding finding = At(FindingKind::UnknownAttribute, node);
    finding.asked = attribute.name;
    finding.here = node.name;
    Add(std::move(finding));
  }

  void BadValue(const XmlNode& node, const XmlAttribute& attribute, const std::wstring& identifier) {
    Finding finding = At(FindingKind::BadValue, node, identifier);
    finding.asked = attribute.name;
    finding.here = attribute.value;
    Add(std::move(finding));
  }

  // The note on an attribute only Windows 11 22H2 and later read, at its first use.
  void NewerWindowsOnly(const XmlNode& node, const std::wstring& name) {
    if (!newerNoted_.insert(name).second) return;
    Finding finding = At(FindingKind::NewerWindowsOnly, node);
    finding.asked = name;
    Add(std::move(finding));
  }

  CheckResult& result_;
  Machine machine_;
  std::map<std::wstring, unsigned, NoCaseLess> seen_;  // identifier as first written, and its line
  std::set<std::wstring> newerNoted_;
};

Finding FileFinding(FindingKind kind, std::wstring here = {}) {
  Finding finding;
  finding.kind = kind;
  finding.here = std::move(here);
  return finding;
}

CheckResult Refused(Finding finding) {
  CheckResult result;
  result.findings.push_back(std::move(finding));
  return result;
}

}  // namespace

bool IsValidIdentifier(std::wstring_view identifier) noexcept {
  if (identifier.empty() || identifier.size() > kLongestKeyName || !IsXmlText(identifier)) return false;
  if (identifier.front() == L'.')
    return identifier.size() >= 2 && identifier.back() != L'.' && identifier.back() != L' ' &&
           identifier.find_first_of(L"\\/:*?\"<>|", 1) == std::wstring_view::npos;
  return IsAsciiLetter(identifier.front()) && std::all_of(identifier.begin(), identifier.end(), IsSchemeCharacter);
}

std::optional<DefaultApp> CurrentDefaultApp(std::wstring_view identifier) { return Machine().DefaultAppOf(identifier); }

std::vector<DefaultApp> CollectDefaultApps(ExportScope scope) {
  Machine machine;
  std::vector<DefaultApp> apps;
  for (const std::wstring& identifier : machine.Identifiers()) {
    std::optional<DefaultApp> app = machine.DefaultAppOf(identifier);
    if (!app) continue;
    if (scope == ExportScope::Changed && SameKeyName(app->progId, machine.ClassicRecordOf(identifier))) continue;
    apps.push_back(std::move(*app));
  }
  return apps;
}

std::string DefaultAppsXml(const std::vector<DefaultApp>& apps) { return WriteXml(apps); }

CheckResult CheckDefaultAppsFile(const std::wstring& path) {
  // The file itself, never what a link at its place points to.
  const common::UniqueFileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                                  FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file) return Refused(FileFinding(FindingKind::CannotRead, common::SystemMessageText(GetLastError())));
  BY_HANDLE_FILE_INFORMATION information{};
  if (GetFileType(file.get()) != FILE_TYPE_DISK || !GetFileInformationByHandle(file.get(), &information) ||
      (information.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)))
    return Refused(FileFinding(FindingKind::NotPlainFile));
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size))
    return Refused(FileFinding(FindingKind::CannotRead, common::SystemMessageText(GetLastError())));
  if (static_cast<unsigned long long>(size.QuadPart) > kLargestCheckedFile)
    return Refused(FileFinding(FindingKind::TooLarge, std::to_wstring(size.QuadPart)));
  std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
  DWORD read = 0;
  size_t total = 0;
  while (total < bytes.size() &&
         ReadFile(file.get(), bytes.data() + total, static_cast<DWORD>(bytes.size() - total), &read, nullptr) &&
         read > 0)
    total += read;
  if (total < bytes.size())
    return Refused(FileFinding(FindingKind::CannotRead, common::SystemMessageText(GetLastError())));
  return CheckDefaultAppsBytes(bytes);
}

CheckResult CheckDefaultAppsBytes(std::string_view bytes) {
  XmlFile file = ReadXml(bytes);
  if (file.refusal) return Refused(std::move(*file.refusal));
  // Windows' reader refuses a file without a root element as ending early; Wine's lets it pass.
  if (file.nodes.empty()) {
    Finding finding = FileFinding(FindingKind::Malformed);
    finding.code = static_cast<HRESULT>(MX_E_INPUTEND);
    return Refused(std::move(finding));
  }
  const XmlNode& root = file.nodes.front();
  if (root.name != L"DefaultAssociations") {
    Finding finding = At(FindingKind::NotDefaultAssociations, root);
    finding.asked = root.name;
    return Refused(std::move(finding));
  }
  CheckResult result;
  Judge judge(result);
  judge.Root(root);
  for (auto node = std::next(file.nodes.begin()); node != file.nodes.end(); ++node) {
    if (node->text) {
      Finding finding = At(FindingKind::UnexpectedText, *node);
      finding.asked = node->name;
      judge.Add(std::move(finding));
    } else if (node->depth == 1 && node->name == L"Association") {
      judge.Association(*node);
    } else {
      Finding finding = At(FindingKind::UnknownElement, *node);
      finding.asked = node->name;
      judge.Add(std::move(finding));
    }
  }
  result.nothingWrong = std::none_of(result.findings.begin(), result.findings.end(),
                                     [](const Finding& f) { return SeverityOf(f.kind) == Severity::Problem; });
  return result;
}

}  // namespace assoc::defaults
