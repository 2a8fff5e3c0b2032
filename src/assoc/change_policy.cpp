#include "assoc/change_policy.h"

#include <algorithm>
#include <iterator>
#include <memory>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "assoc/assoc_texts.h"
#include "assoc/reg_key.h"
#include "assoc/reg_paths.h"
#include "assoc/reg_value.h"
#include "assoc/safety.h"
#include "assoc/type_users.h"
#include "assoc/user_hive.h"
#include "common/text.h"

namespace assoc {

namespace {

using Area = TKeyArea;

struct AreaRoot {
  Area area;
  const wchar_t* path;
};
constexpr AreaRoot kAreas[] = {
    {Area::Classes, paths::kClassesRootPath},
    {Area::Classes, paths::kUserClassesPath},
    {Area::Classes, paths::kMachineClassesPath},
    {Area::FileExts, paths::kFileExtsPath},
    {Area::OpenSaveMru, paths::kOpenSaveMruPath},
    {Area::UrlAssociations, paths::kUrlAssociationsPath},
};

constexpr wchar_t kSystemFileAssociations[] = L"SystemFileAssociations";
constexpr wchar_t kApplicationsKey[] = L"Applications";
constexpr wchar_t kUrlProtocol[] = L"URL Protocol";

bool SameNames(const std::vector<std::wstring_view>& a, const std::vector<std::wstring_view>& b, size_t count) {
  return std::equal(a.begin(), a.begin() + count, b.begin(), [](std::wstring_view x, std::wstring_view y) {
    return common::EqualNoCase(x, y);
  });
}

using Place = TKeyPlace;

std::optional<Place> PlaceOf(std::wstring_view key) {
  const std::vector<std::wstring_view> names = KeyNames(key);
  for (const AreaRoot& root : kAreas) {
    const std::vector<std::wstring_view> prefix = KeyNames(root.path);
    if (names.size() <= prefix.size() || !SameNames(prefix, names, prefix.size())) continue;
    return Place{root.area, names[prefix.size()], {names.begin() + prefix.size() + 1, names.end()}};
  }
  return std::nullopt;
}

// True for an area's root or a key above one: it holds the keys of every association.
bool IsRoot(std::wstring_view key) {
  const std::vector<std::wstring_view> names = KeyNames(key);
  return std::any_of(std::begin(kAreas), std::end(kAreas), [&](const AreaRoot& root) {
    const std::vector<std::wstring_view> prefix = KeyNames(root.path);
    return names.size() <= prefix.size() && SameNames(names, prefix, names.size());
  });
}

bool IsExtensionName(std::wstring_view name) { return !name.empty() && name[0] == L'.'; }

// What one step or one line of a file does to a key.
enum class Act { CreateKey, SetValue, DeleteValue, Remove };

struct Action {
  Act act = Act::CreateKey;
  std::wstring_view value;  // SetValue, DeleteValue: the value's name
  DWORD type = REG_NONE;    // SetValue: what it becomes
  std::string_view data;
};

std::optional<std::wstring> TextOf(const Action& action) {
  if (action.type != REG_SZ && action.type != REG_EXPAND_SZ) return std::nullopt;
  return TextOfValue(TRawValue{action.type, std::string(action.data)});
}

// What the classes hold now of a name below the classes roots, read once per name from the merged
// view and both trees (a per-user twin can hide the machine's key in the merged view).
struct Facts {
  bool exists = false;
  bool protocol = false;  // a "URL Protocol" value
  bool comClass = false;  // a CLSID sub-key
};

// The three classes trees opened once, and what they hold of each name asked, read once.
class ClassesFacts {
 public:
  ClassesFacts() {
    roots_[0] = HKEY_CLASSES_ROOT;
    roots_[1] = OpenUserClassesRoot(user_);
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, paths::kClassesKey, 0, KEY_READ, machine_.put()) == ERROR_SUCCESS)
      roots_[2] = machine_.get();
  }

  const Facts& Of(std::wstring_view name) {
    std::wstring folded = FoldName(name);
    const auto found = facts_.find(folded);
    if (found != facts_.end()) return found->second;
    Facts facts;
    for (HKEY root : roots_) {
      if (!root) continue;
      common::UniqueHKey key;
      const LONG opened = OpenRegKeyBelow(root, name, KEY_READ, key);
      if (opened != ERROR_SUCCESS) {
        // A link is something: never a new key.
        facts.exists = facts.exists || opened == kKeyIsLink;
        continue;
      }
      facts.exists = true;
      facts.protocol = facts.protocol || HasRegValue(key.get(), kUrlProtocol);
      common::UniqueHKey clsid;
      facts.comClass = facts.comClass || OpenRegKeyBelow(key.get(), L"CLSID", KEY_QUERY_VALUE, clsid) == ERROR_SUCCESS;
    }
    return facts_.emplace(std::move(folded), facts).first->second;
  }

  // The file types an extension's key names now in the three trees, letter case folded.
  std::vector<std::wstring> TypesNamedBy(std::wstring_view extension) {
    std::vector<std::wstring> types;
    for (HKEY root : roots_) {
      common::UniqueHKey key;
      if (!root || OpenRegKeyBelow(root, extension, KEY_QUERY_VALUE, key) != ERROR_SUCCESS) continue;
      const std::wstring type = ReadRegText(key.get(), L"").value_or(L"");
      if (!type.empty()) types.push_back(FoldName(type));
    }
    return types;
  }

 private:
  common::UniqueHKey user_, machine_;
  HKEY roots_[3] = {};
  std::unordered_map<std::wstring, Facts> facts_;
};

// Which file types an extension may name, with the program types read once.
class TypeRule {
 public:
  explicit TypeRule(ClassesFacts& facts) : facts_(facts) {}

  // Why an extension may not name fileType; nothing when it may.
  std::optional<std::wstring> Refusal(std::wstring_view fileType) {
    using TLinkExtention::TFileTypeKept;
    if (fileType.empty()) return std::nullopt;
    switch (JudgeFileTypeKeyByName(fileType)) {
      case TFileTypeKept::KeyPath:
      case TFileTypeKept::Extention:
        return std::wstring(texts::kPolicyNotAssociation);
      case TFileTypeKept::SystemKey:
        return std::wstring(texts::kPolicySystemKey);
      default:
        break;
    }
    if (fileType.find(L'\0') != std::wstring_view::npos) return std::wstring(texts::kPolicyNotAssociation);
    if (ProgramTypes().count(FoldName(fileType))) return std::wstring(texts::kPolicyProgramType);
    const Facts& facts = facts_.Of(fileType);
    if (facts.comClass) return std::wstring(texts::kPolicyComClass);
    if (facts.protocol) return std::wstring(texts::kPolicyProtocol);
    return std::nullopt;
  }

 private:
  // The file types the program extensions name in every classes tree, letter case folded.
  const std::unordered_set<std::wstring>& ProgramTypes() {
    if (!programTypes_) {
      programTypes_.emplace();
      for (std::wstring_view extension : kProgramExtensions)
        for (std::wstring& type : facts_.TypesNamedBy(extension)) programTypes_->insert(std::move(type));
    }
    return *programTypes_;
  }
  ClassesFacts& facts_;
  std::optional<std::unordered_set<std::wstring>> programTypes_;
};

// The judge of keys against the associations a change is about, for the sections of a registry
// file before anything below them is read, and for the steps of a plan.
class Judge {
 public:
  explicit Judge(const TChangePlan& plan) : plan_(plan) {
    const bool fromFile = plan.Operation == TChangeOperation::Import || plan.Operation == TChangeOperation::Restore;
    if (!fromFile && IsPlausibleExtension(plan.Subject)) toolSubject_ = FoldName(plan.Subject);
    if (!fromFile) AddExtension(plan.Subject);
    for (const std::wstring& e : plan.Extensions) AddExtension(e);
    for (const std::wstring& p : plan.Protocols)
      if (IsPlausibleScheme(p)) protocols_.insert(FoldName(p));
    for (const std::wstring& a : plan.Applications) applications_.insert(FoldName(a));
  }

  void AddExtension(std::wstring_view extension) {
    if (!IsPlausibleExtension(extension)) return;
    if (extensions_.insert(FoldName(extension)).second) {
      subjectNames_.emplace_back(extension);
      unread_.emplace_back(extension);
    }
  }
  void AddProtocol(std::wstring_view scheme) {
    if (protocols_.insert(FoldName(scheme)).second) subjectNames_.emplace_back(scheme);
  }
  void AddApplication(std::wstring_view name) { applications_.insert(FoldName(name)); }
  // A file type the change makes extension name.
  void Names(const std::wstring& fileType, std::wstring_view extension) {
    if (!fileType.empty()) named_.emplace(FoldName(fileType), std::wstring(extension));
  }
  // True when an extension of the change names fileType: as the change sets it, or - read only
  // when that does not tell - in the registry now.
  bool IsNamed(std::wstring_view fileType) {
    const std::wstring folded = FoldName(fileType);
    if (named_.count(folded)) return true;
    for (const std::wstring& extension : unread_)
      for (std::wstring& type : facts_.TypesNamedBy(extension)) named_.emplace(std::move(type), extension);
    unread_.clear();
    return named_.count(folded) != 0;
  }
  bool IsProtocolSubject(std::wstring_view scheme) const { return protocols_.count(FoldName(scheme)) != 0; }
  bool IsExtensionSubject(std::wstring_view extension) const { return extensions_.count(FoldName(extension)) != 0; }
  // The change makes name a protocol (sets its "URL Protocol").
  void MakesProtocol(std::wstring_view name) { madeProtocols_.insert(FoldName(name)); }

  const Facts& FactsOf(std::wstring_view name) { return facts_.Of(name); }

  // Why key may not be acted on as action; nothing when it may.
  std::optional<std::wstring> Refusal(std::wstring_view key, const Action& action) {
    // The records of an account that is not signed in are not there to change.
    if (!userLoaded_ && SameKeyName(KeyNames(key).front(), L"HKEY_CURRENT_USER"))
      return std::wstring(texts::kPolicyHiveNotLoaded);
    if (IsRoot(key)) {
      if (action.act == Act::CreateKey) return std::nullopt;
      return std::wstring(texts::kPolicyRoot);
    }
    const std::optional<Place> place = PlaceOf(key);
    if (!place) return std::wstring(texts::kPolicyOutside);
    switch (place->Area) {
      case Area::FileExts:
      case Area::OpenSaveMru:
        if (const auto refused = ExtensionRefusal(place->Head)) return refused;
        if (place->Area == Area::FileExts && IsChoiceKey(key) && action.act != Act::Remove)
          return std::wstring(texts::kPolicyChoice);
        return std::nullopt;
      case Area::UrlAssociations:
        if (!IsProtocolSubject(place->Head)) return std::wstring(texts::kPolicyNotProtocol);
        if (IsChoiceKey(key) && action.act != Act::Remove) return std::wstring(texts::kPolicyChoice);
        return std::nullopt;
      case Area::Classes:
        break;
    }
    if (IsExtensionName(place->Head)) {
      if (const auto refused = ExtensionRefusal(place->Head)) return refused;
      // What the extension names, as its default value or in its Open with list.
      if (action.act == Act::SetValue && place->Below.empty() && action.value.empty())
        return types_.Refusal(TextOf(action).value_or(L""));
      if (action.act == Act::SetValue && place->Below.size() == 1 && SameKeyName(place->Below[0], L"OpenWithProgids"))
        return types_.Refusal(action.value);
      return std::nullopt;
    }
    if (SameKeyName(place->Head, kSystemFileAssociations)) {
      // The verbs Windows adds for one extension are that extension's; a perceived type's are no
      // association's.
      if (place->Below.empty()) return std::wstring(texts::kPolicySystemKey);
      if (!IsExtensionName(place->Below[0])) return std::wstring(texts::kPolicyPerceivedType);
      return ExtensionRefusal(place->Below[0]);
    }
    if (SameKeyName(place->Head, kApplicationsKey)) {
      if (place->Below.empty()) return std::wstring(texts::kPolicySystemKey);
      if (!IsPlausibleApplication(place->Below[0])) return std::wstring(texts::kPolicyBadApplication);
      if (!applications_.count(FoldName(place->Below[0]))) return std::wstring(texts::kPolicyNotSubject);
      return std::nullopt;
    }
    if (IsSystemClassKey(place->Head)) return std::wstring(texts::kPolicySystemKey);
    const Facts& facts = FactsOf(place->Head);
    // A file cannot make a key that is there already a protocol.
    if (madeProtocols_.count(FoldName(place->Head)) && facts.exists && !facts.protocol)
      return std::wstring(texts::kPolicyProtocolDisguise);
    if (facts.protocol || IsProtocolSubject(place->Head)) return ProtocolRefusal(*place, action, facts);
    return TypeKeyRefusal(*place, action, facts);
  }

 private:
  std::optional<std::wstring> ExtensionRefusal(std::wstring_view extension) const {
    if (!IsPlausibleExtension(extension)) return std::wstring(texts::kPolicyBadExtension);
    if (!IsExtensionSubject(extension)) return std::wstring(texts::kPolicyNotSubject);
    // An extension that starts programs changes only by a change the user made about it.
    if (StartsPrograms(extension) && FoldName(extension) != toolSubject_)
      return std::wstring(texts::kPolicyProgramExtension);
    return std::nullopt;
  }

  // A protocol's own key and what lies below it: a protocol now, or a new key the change makes
  // one; never a COM class's ProgID, and a protocol the system serves is never removed.
  std::optional<std::wstring> ProtocolRefusal(const Place& place, const Action& action, const Facts& facts) const {
    if (!IsProtocolSubject(place.Head)) return std::wstring(texts::kPolicyProtocol);
    if (!facts.protocol) {
      if (facts.exists) return std::wstring(texts::kPolicyProtocolDisguise);
      if (!IsPlausibleScheme(place.Head) || !madeProtocols_.count(FoldName(place.Head)))
        return std::wstring(texts::kPolicyNotProtocol);
    }
    const bool writes = action.act == Act::CreateKey || action.act == Act::SetValue;
    if (facts.comClass || (!place.Below.empty() && SameKeyName(place.Below.front(), L"CLSID") && writes))
      return std::wstring(texts::kPolicyComClass);
    const bool removesProtocol =
        place.Below.empty() && (action.act == Act::Remove ||
                                (action.act == Act::DeleteValue && SameKeyName(action.value, kUrlProtocol)));
    if (removesProtocol && IsSystemClassKey(place.Head)) return std::wstring(texts::kPolicySystemKey);
    return std::nullopt;
  }

  // A file type's key: one that an extension of the change names and that an extension may name,
  // not shared with anything outside the change unless the user agreed, and removed only when
  // nothing outside the change names it.
  std::optional<std::wstring> TypeKeyRefusal(const Place& place, const Action& action, const Facts& facts) {
    const std::wstring type(place.Head);
    if (!IsNamed(type)) {
      const std::vector<TTypeReference> others = Users().Others(type, subjectNames_);
      return others.empty() ? std::wstring(texts::kPolicyNotAssociation) : texts::PolicyUsedBy(others.front());
    }
    if (const auto refused = types_.Refusal(type)) return refused;
    const bool writes = action.act == Act::CreateKey || action.act == Act::SetValue;
    if (place.Below.empty() && writes && SameKeyName(action.value, kUrlProtocol))
      return std::wstring(facts.exists ? texts::kPolicyProtocolDisguise : texts::kPolicyProtocol);
    if (!place.Below.empty() && SameKeyName(place.Below.front(), L"CLSID") && writes)
      return std::wstring(texts::kPolicyComClass);
    const bool removesType = place.Below.empty() && action.act == Act::Remove;
    if (!removesType && plan_.SharedTypesAllowed) return std::nullopt;
    const std::vector<TTypeReference> others = Users().Others(type, subjectNames_);
    if (!others.empty()) return texts::PolicyUsedBy(others.front());
    return std::nullopt;
  }

  const TTypeUsers& Users() {
    if (!users_) users_ = std::make_unique<TTypeUsers>();
    return *users_;
  }

  const TChangePlan& plan_;
  std::wstring toolSubject_;
  std::unordered_set<std::wstring> extensions_, protocols_, applications_, madeProtocols_;
  std::vector<std::wstring> subjectNames_;  // the extensions and protocols, as spelled
  std::unordered_multimap<std::wstring, std::wstring> named_;  // file type -> an extension naming it
  std::vector<std::wstring> unread_;  // extensions whose file types in the registry are not read yet
  ClassesFacts facts_;
  std::unique_ptr<TTypeUsers> users_;
  TypeRule types_{facts_};
  bool userLoaded_ = UserRoot() != nullptr;
};

// The actions of one section of a registry file: its removal, or its creation and each value.
std::vector<Action> ActionsOf(const TRegKey& section) {
  if (section.Remove) return {Action{Act::Remove}};
  std::vector<Action> actions{Action{Act::CreateKey}};
  for (const TRegValue& value : section.Values)
    actions.push_back(value.Remove ? Action{Act::DeleteValue, value.Name}
                                   : Action{Act::SetValue, value.Name, value.Type, value.Data});
  return actions;
}

Action ActionOf(const TChangeStep& step) {
  switch (step.Kind) {
    case TStepKind::CreateKey:
      return Action{Act::CreateKey};
    case TStepKind::SetValue:
      return Action{Act::SetValue, step.Value, step.After.Type, step.After.Data};
    case TStepKind::DeleteValue:
      return Action{Act::DeleteValue, step.Value};
    case TStepKind::DeleteKey:
      break;
  }
  return Action{Act::Remove};
}

void AddOnce(std::vector<std::wstring>& list, std::unordered_set<std::wstring>& seen, std::wstring_view name) {
  if (seen.insert(FoldName(name)).second) list.emplace_back(name);
}

}  // namespace

std::optional<TKeyPlace> PlaceOfKey(std::wstring_view key) { return PlaceOf(key); }

bool IsPlausibleExtension(std::wstring_view extension) noexcept {
  if (!IsExtensionKeyName(extension)) return false;
  if (extension.back() == L'.' || extension.back() == L' ') return false;
  return std::none_of(extension.begin(), extension.end(),
                      [](wchar_t c) { return c < 0x20 || std::wstring_view(L"<>:\"/\\|?*").find(c) != std::wstring_view::npos; });
}

bool IsPlausibleScheme(std::wstring_view scheme) noexcept {
  const auto letter = [](wchar_t c) { return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z'); };
  if (scheme.empty() || scheme.size() > kLongestScheme || !letter(scheme[0])) return false;
  return std::all_of(scheme.begin(), scheme.end(), [&](wchar_t c) {
    return letter(c) || (c >= L'0' && c <= L'9') || c == L'+' || c == L'-' || c == L'.';
  });
}

bool IsPlausibleApplication(std::wstring_view name) noexcept {
  constexpr std::wstring_view kExe = L".exe";
  if (name.size() <= kExe.size() || !SameKeyName(name.substr(name.size() - kExe.size()), kExe)) return false;
  return std::none_of(name.begin(), name.end(),
                      [](wchar_t c) { return c < 0x20 || std::wstring_view(L"<>:\"/\\|?*").find(c) != std::wstring_view::npos; });
}

std::optional<std::wstring> FileTypeRefusal(std::wstring_view fileType) {
  ClassesFacts facts;
  return TypeRule(facts).Refusal(fileType);
}

struct TPolicyCheck::State {
  explicit State(const TChangePlan& plan) : judge(plan) {}
  Judge judge;
};

TPolicyCheck::TPolicyCheck(const TChangePlan& plan) : state_(std::make_unique<State>(plan)) {}

TPolicyCheck::~TPolicyCheck() = default;

std::optional<TPolicyRefusal> TPolicyCheck::Survey(const TRegDocument& document, TChangePlan& plan) {
  Judge& judge = state_->judge;
  std::unordered_set<std::wstring> extensions, protocols, applications, fileTypes;
  for (const std::wstring& e : plan.Extensions) extensions.insert(FoldName(e));
  for (const std::wstring& p : plan.Protocols) protocols.insert(FoldName(p));

  // First what the file is about: its extensions, protocols and application registrations, and
  // the file types its extensions name.
  for (const TRegKey& section : document.Keys) {
    const std::optional<Place> place = PlaceOf(section.Path);
    if (!place) continue;
    std::wstring_view extension;
    if (place->Area == Area::FileExts || place->Area == Area::OpenSaveMru) extension = place->Head;
    if (place->Area == Area::Classes && IsExtensionName(place->Head)) extension = place->Head;
    if (place->Area == Area::Classes && SameKeyName(place->Head, kSystemFileAssociations) && !place->Below.empty() &&
        IsExtensionName(place->Below[0]))
      extension = place->Below[0];
    if (!extension.empty() && IsPlausibleExtension(extension)) {
      AddOnce(plan.Extensions, extensions, extension);
      judge.AddExtension(extension);
      if (place->Area == Area::Classes && IsExtensionName(place->Head) && place->Below.empty() && !section.Remove)
        for (const TRegValue& value : section.Values)
          if (value.Name.empty() && !value.Remove)
            judge.Names(TextOfValue(TRawValue{value.Type, value.Data}).value_or(L""), extension);
      continue;
    }
    if (place->Area == Area::UrlAssociations && IsPlausibleScheme(place->Head)) {
      AddOnce(plan.Protocols, protocols, place->Head);
      judge.AddProtocol(place->Head);
      continue;
    }
    if (place->Area != Area::Classes) continue;
    if (SameKeyName(place->Head, kApplicationsKey)) {
      if (!place->Below.empty() && IsPlausibleApplication(place->Below[0])) {
        AddOnce(plan.Applications, applications, place->Below[0]);
        judge.AddApplication(place->Below[0]);
      }
      continue;
    }
    if (IsSystemClassKey(place->Head) || SameKeyName(place->Head, kSystemFileAssociations)) continue;
    // A protocol now, or a new key the file makes one.
    const Facts& facts = judge.FactsOf(place->Head);
    const bool makes = !section.Remove && place->Below.empty() &&
                       std::any_of(section.Values.begin(), section.Values.end(), [](const TRegValue& v) {
                         return !v.Remove && SameKeyName(v.Name, kUrlProtocol);
                       });
    if (makes) judge.MakesProtocol(place->Head);
    if (IsPlausibleScheme(place->Head) && (facts.protocol || (makes && !facts.exists))) {
      AddOnce(plan.Protocols, protocols, place->Head);
      judge.AddProtocol(place->Head);
    }
  }
  // Then the file types: the keys of a name that an extension of the file names.
  for (const TRegKey& section : document.Keys) {
    const std::optional<Place> place = PlaceOf(section.Path);
    if (!place || place->Area != Area::Classes || IsExtensionName(place->Head) || IsSystemClassKey(place->Head) ||
        judge.IsProtocolSubject(place->Head) || !judge.IsNamed(place->Head))
      continue;
    AddOnce(plan.FileTypes, fileTypes, place->Head);
  }
  // Every section judged by what it does, before any key below it is read. A section that a later
  // removal of its key or of a key above it takes back does nothing, and the removal of a key that
  // is not there removes nothing (both are what an undo of a change that never came about holds):
  // should the key come meanwhile, the plan's steps are judged again.
  std::unordered_map<std::wstring, size_t> lastRemoval;
  for (size_t i = 0; i < document.Keys.size(); ++i)
    if (document.Keys[i].Remove) lastRemoval[FoldName(document.Keys[i].Path)] = i;
  const auto takenBack = [&](size_t index) {
    if (lastRemoval.empty()) return false;
    std::wstring prefix;
    for (std::wstring_view name : KeyNames(document.Keys[index].Path)) {
      prefix += (prefix.empty() ? L"" : L"\\") + FoldName(name);
      if (const auto found = lastRemoval.find(prefix); found != lastRemoval.end() && found->second > index) return true;
    }
    return false;
  };
  for (size_t index = 0; index < document.Keys.size(); ++index) {
    const TRegKey& section = document.Keys[index];
    if (!section.Remove && takenBack(index)) continue;
    if (section.Remove && !IsRoot(section.Path)) {
      common::UniqueHKey key;
      if (OpenRegKey(section.Path, KEY_QUERY_VALUE, key) == ERROR_FILE_NOT_FOUND) continue;
    }
    for (const Action& action : ActionsOf(section)) {
      // An empty section makes nothing: only its values and removals act.
      if (action.act == Act::CreateKey && IsRoot(section.Path)) continue;
      if (std::optional<std::wstring> reason = judge.Refusal(section.Path, action)) {
        int line = section.Line;
        if (action.act == Act::SetValue || action.act == Act::DeleteValue)
          for (const TRegValue& value : section.Values)
            if (value.Name.data() == action.value.data()) line = value.Line;
        return TPolicyRefusal{section.Path, std::move(*reason), line};
      }
    }
  }
  return std::nullopt;
}

std::optional<TPolicyRefusal> TPolicyCheck::Steps(const TChangePlan& plan) {
  Judge& judge = state_->judge;
  for (const TChangeStep& step : plan.Steps) {
    const std::optional<Place> place = PlaceOf(step.Key);
    if (!place || place->Area != Area::Classes || !place->Below.empty()) continue;
    if (step.Kind == TStepKind::SetValue && step.Value.empty() && IsExtensionName(place->Head) &&
        judge.IsExtensionSubject(place->Head))
      judge.Names(TextOfValue(TRawValue{step.After.Type, step.After.Data}).value_or(L""), place->Head);
    if (step.Kind == TStepKind::SetValue && SameKeyName(step.Value, kUrlProtocol)) judge.MakesProtocol(place->Head);
  }
  for (const TChangeStep& step : plan.Steps)
    if (std::optional<std::wstring> reason = judge.Refusal(step.Key, ActionOf(step)))
      return TPolicyRefusal{step.Key, std::move(*reason), 0};
  return std::nullopt;
}

std::optional<TPolicyRefusal> SurveyDocument(const TRegDocument& document, TChangePlan& plan) {
  return TPolicyCheck(plan).Survey(document, plan);
}

std::optional<TPolicyRefusal> CheckPlan(const TChangePlan& plan) { return TPolicyCheck(plan).Steps(plan); }

}  // namespace assoc
