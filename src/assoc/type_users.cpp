#include "assoc/type_users.h"

#include <algorithm>

#include "assoc/change_plan.h"
#include "assoc/reg_key.h"
#include "assoc/reg_paths.h"
#include "assoc/reg_value.h"
#include "assoc/safety.h"
#include "assoc/user_hive.h"
#include "common/handles.h"

namespace assoc {

namespace {

constexpr DWORD kNameBuffer = 257;
constexpr wchar_t kRegisteredApplications[] = L"Software\\RegisteredApplications";

// The names of the sub-keys of key, in the registry's order; those it cannot list are left out.
std::vector<std::wstring> SubKeys(HKEY key) {
  std::vector<std::wstring> names;
  if (!key) return names;
  wchar_t name[kNameBuffer];
  for (DWORD index = 0;; ++index) {
    DWORD length = kNameBuffer;
    const LONG result = RegEnumKeyExW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (result == ERROR_NO_MORE_ITEMS) break;
    if (result == ERROR_SUCCESS && length > 0) names.emplace_back(name, length);
  }
  return names;
}

// The names of the values of key; those it cannot list are left out.
std::vector<std::wstring> ValueNames(HKEY key) {
  std::vector<std::wstring> names;
  if (!key) return names;
  std::wstring name(16384, L'\0');
  for (DWORD index = 0;; ++index) {
    DWORD length = static_cast<DWORD>(name.size());
    const LONG result = RegEnumValueW(key, index, name.data(), &length, nullptr, nullptr, nullptr, nullptr);
    if (result == ERROR_NO_MORE_ITEMS) break;
    if (result == ERROR_SUCCESS) names.emplace_back(name.data(), length);
  }
  return names;
}

common::UniqueHKey Child(HKEY parent, std::wstring_view path) {
  common::UniqueHKey key;
  if (!parent || OpenRegKeyBelow(parent, path, KEY_READ, key) != ERROR_SUCCESS) key.reset();
  return key;
}

std::wstring DefaultOf(HKEY key) { return key ? ReadRegText(key, L"").value_or(L"") : std::wstring(); }

// The user's choice of a FileExts or UrlAssociations record: UserChoiceLatest, else UserChoice.
std::wstring ChoiceOf(HKEY record) {
  for (const wchar_t* choice : {L"UserChoiceLatest", L"UserChoice"}) {
    const common::UniqueHKey key = Child(record, choice);
    if (!key) continue;
    if (std::optional<std::wstring> progId = ReadRegText(key.get(), L"ProgId"); progId && !progId->empty())
      return *progId;
  }
  return {};
}

bool IsServiceAccount(std::wstring_view sid) {
  return sid == L".DEFAULT" || sid == L"S-1-5-18" || sid == L"S-1-5-19" || sid == L"S-1-5-20";
}

bool EndsWith(std::wstring_view text, std::wstring_view end) {
  return text.size() >= end.size() && SameKeyName(text.substr(text.size() - end.size()), end);
}

}  // namespace

void TTypeUsers::Add(std::wstring_view type, TReferenceKind kind, std::wstring by) {
  // A name no key can have names nothing.
  if (type.empty() || type.size() > kLongestKeyName) return;
  std::vector<TTypeReference>& list = references_[FoldName(type)];
  TTypeReference reference{kind, std::move(by)};
  if (std::find(list.begin(), list.end(), reference) == list.end()) list.push_back(std::move(reference));
}

TTypeUsers::TTypeUsers() {
  // The classes: each extension's default and Open with list, and each other key's CurVer.
  common::UniqueHKey userHolder, machineHolder;
  const HKEY userClasses = OpenUserClassesRoot(userHolder);
  RegOpenKeyExW(HKEY_LOCAL_MACHINE, paths::kClassesKey, 0, KEY_READ, machineHolder.put());
  for (HKEY tree : {userClasses, machineHolder.get(), HKEY_CLASSES_ROOT}) {
    for (const std::wstring& name : SubKeys(tree)) {
      common::UniqueHKey key;
      if (OpenRegChild(tree, name, KEY_READ, key) != ERROR_SUCCESS) continue;
      if (name[0] == L'.') {
        Add(DefaultOf(key.get()), TReferenceKind::Extension, name);
        for (const std::wstring& progId : ValueNames(Child(key.get(), L"OpenWithProgids").get()))
          Add(progId, TReferenceKind::OpenWith, name);
      } else if (const common::UniqueHKey curVer = Child(key.get(), L"CurVer")) {
        Add(DefaultOf(curVer.get()), TReferenceKind::CurVer, name);
      }
    }
  }

  // The user's records: the choices and Open with lists of extensions, the choices of protocols.
  const HKEY user = UserRoot();
  const common::UniqueHKey fileExts = Child(user, paths::kFileExtsKey);
  for (const std::wstring& extension : SubKeys(fileExts.get())) {
    const common::UniqueHKey record = Child(fileExts.get(), extension);
    Add(ChoiceOf(record.get()), TReferenceKind::Choice, extension);
    for (const std::wstring& progId : ValueNames(Child(record.get(), L"OpenWithProgids").get()))
      Add(progId, TReferenceKind::OpenWith, extension);
  }
  const common::UniqueHKey urls = Child(user, paths::kUrlAssociationsKey);
  for (const std::wstring& scheme : SubKeys(urls.get()))
    Add(ChoiceOf(Child(urls.get(), scheme).get()), TReferenceKind::ProtocolChoice, scheme);

  // The applications' registered capabilities, for the machine and for the user.
  for (HKEY root : {HKEY_LOCAL_MACHINE, user}) {
    const common::UniqueHKey registered = Child(root, kRegisteredApplications);
    for (const std::wstring& application : ValueNames(registered.get())) {
      const std::optional<std::wstring> capabilities = ReadRegText(registered.get(), application);
      if (!capabilities || capabilities->empty()) continue;
      const common::UniqueHKey key = Child(root, *capabilities);
      for (const wchar_t* list : {L"FileAssociations", L"URLAssociations"}) {
        const common::UniqueHKey associations = Child(key.get(), list);
        for (const std::wstring& item : ValueNames(associations.get()))
          Add(ReadRegText(associations.get(), item).value_or(L""), TReferenceKind::Capabilities, application);
      }
    }
  }

  // The other accounts signed in: their choices and their per-user classes.
  const std::wstring own = ProcessAccountSid(), target = TargetAccount().Sid;
  for (const std::wstring& sid : SubKeys(HKEY_USERS)) {
    if (IsServiceAccount(sid) || EndsWith(sid, L"_Classes") || SameKeyName(sid, own) || SameKeyName(sid, target))
      continue;
    const common::UniqueHKey accountExts = Child(HKEY_USERS, sid + L"\\" + paths::kFileExtsKey);
    for (const std::wstring& extension : SubKeys(accountExts.get()))
      Add(ChoiceOf(Child(accountExts.get(), extension).get()), TReferenceKind::OtherAccount, sid + L": " + extension);
    const common::UniqueHKey classes = Child(HKEY_USERS, sid + L"_Classes");
    for (const std::wstring& name : SubKeys(classes.get()))
      if (name[0] == L'.')
        Add(DefaultOf(Child(classes.get(), name).get()), TReferenceKind::OtherAccount, sid + L": " + name);
  }
}

const std::vector<TTypeReference>& TTypeUsers::Of(std::wstring_view type) const {
  static const std::vector<TTypeReference> none;
  const auto found = references_.find(FoldName(type));
  return found == references_.end() ? none : found->second;
}

std::vector<TTypeReference> TTypeUsers::Others(std::wstring_view type, const std::vector<std::wstring>& subjects) const {
  std::vector<TTypeReference> others;
  for (const TTypeReference& reference : Of(type)) {
    const bool bySubject =
        reference.Kind != TReferenceKind::Capabilities && reference.Kind != TReferenceKind::CurVer &&
        reference.Kind != TReferenceKind::OtherAccount &&
        std::any_of(subjects.begin(), subjects.end(), [&](const std::wstring& s) { return SameKeyName(s, reference.By); });
    if (!bySubject) others.push_back(reference);
  }
  return others;
}

std::vector<std::wstring> TypesNamedBy(std::wstring_view extension) {
  std::vector<std::wstring> types;
  if (!IsExtensionKeyName(extension)) return types;
  const std::wstring name(extension);
  common::UniqueHKey userHolder, machineHolder;
  const HKEY userClasses = OpenUserClassesRoot(userHolder);
  RegOpenKeyExW(HKEY_LOCAL_MACHINE, paths::kClassesKey, 0, KEY_READ, machineHolder.put());
  for (HKEY tree : {userClasses, machineHolder.get(), HKEY_CLASSES_ROOT}) {
    const std::wstring type = DefaultOf(Child(tree, name).get());
    if (type.empty()) continue;
    const std::wstring folded = FoldName(type);
    if (std::find(types.begin(), types.end(), folded) == types.end()) types.push_back(folded);
  }
  return types;
}

}  // namespace assoc
