#include "assoc/change_policy.h"

#include <algorithm>
#include <iterator>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "assoc/assoc_texts.h"
#include "assoc/reg_paths.h"
#include "assoc/reg_value.h"
#include "assoc/safety.h"
#include "common/text.h"

namespace assoc {

namespace {

using TLinkExtention::TFileTypeKept;

// Where a key lies, by the key names that lead to it.
enum class Area { Classes, FileExts, OpenSaveMru, UrlAssociations };

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

// A step's key as the policy sees it: its area, the first key name below the area's root (an
// extension or a file type), and the names below that.
struct Place {
  Area area = Area::Classes;
  std::wstring_view head;
  std::vector<std::wstring_view> below;
};

std::optional<Place> PlaceOf(std::wstring_view key) {
  const std::vector<std::wstring_view> names = KeyNames(key);
  for (const AreaRoot& root : kAreas) {
    const std::vector<std::wstring_view> prefix = KeyNames(root.path);
    if (names.size() <= prefix.size()) continue;
    if (!std::equal(prefix.begin(), prefix.end(), names.begin(),
                    [](std::wstring_view a, std::wstring_view b) { return common::EqualNoCase(a, b); }))
      continue;
    return Place{root.area, names[prefix.size()], {names.begin() + prefix.size() + 1, names.end()}};
  }
  return std::nullopt;
}

// True for an area's root or a key above one.
bool IsRoot(std::wstring_view key) {
  const std::vector<std::wstring_view> names = KeyNames(key);
  return std::any_of(std::begin(kAreas), std::end(kAreas), [&](const AreaRoot& root) {
    const std::vector<std::wstring_view> prefix = KeyNames(root.path);
    return names.size() <= prefix.size() &&
           std::equal(names.begin(), names.end(), prefix.begin(),
                      [](std::wstring_view a, std::wstring_view b) { return common::EqualNoCase(a, b); });
  });
}

std::wstring TextOf(const TValueState& state) {
  return TextOfValue(TRawValue{state.Type, state.Data}).value_or(L"");
}

bool Writes(const TChangeStep& step) { return step.Kind == TStepKind::CreateKey || step.Kind == TStepKind::SetValue; }

// True when a step of plan makes the classes key of scheme a protocol (sets its "URL Protocol").
bool MadeProtocol(const TChangePlan& plan, std::wstring_view scheme) {
  return std::any_of(plan.Steps.begin(), plan.Steps.end(), [&](const TChangeStep& step) {
    const std::optional<Place> place = PlaceOf(step.Key);
    return place && place->area == Area::Classes && place->below.empty() && SameKeyName(place->head, scheme) &&
           step.Kind == TStepKind::SetValue && SameKeyName(step.Value, L"URL Protocol");
  });
}


class PolicyCheck {
 public:
  explicit PolicyCheck(const TChangePlan& plan) : plan_(plan) {}

  std::optional<TPolicyRefusal> Run() {
    // First the extensions the plan is about (its subject, and those whose keys it touches) and
    // the file types they name.
    About(plan_.Subject);
    for (const std::wstring& extension : plan_.Extensions) About(extension);
    for (const std::wstring& scheme : plan_.Protocols)
      if (IsPlausibleScheme(scheme)) protocols_.insert(FoldName(scheme));
    for (const TChangeStep& step : plan_.Steps)
      if (const std::optional<Place> place = PlaceOf(step.Key)) About(place->head);
    for (const TChangeStep& step : plan_.Steps) {
      const std::optional<Place> place = PlaceOf(step.Key);
      if (place && place->area == Area::Classes && place->below.empty() && IsPlausibleExtension(place->head) &&
          step.Kind == TStepKind::SetValue && step.Value.empty())
        Name(TextOf(step.After), std::wstring(place->head));
    }
    for (const TChangeStep& step : plan_.Steps)
      if (std::optional<std::wstring> reason = Refusal(step)) return TPolicyRefusal{step.Key, std::move(*reason)};
    return std::nullopt;
  }

 private:
  void About(std::wstring_view name) {
    if (!IsPlausibleExtension(name)) return;
    const std::wstring extension(name);
    if (extensions_.insert(FoldName(extension)).second) unread_.push_back(extension);
  }

  // What the extensions name in the registry, read once a file type key needs it: a plan of
  // extension keys alone reads nothing more.
  void ReadNames() {
    for (const std::wstring& extension : unread_) {
      for (const wchar_t* classes : {L"", L"Software\\Classes\\"}) {
        const HKEY root = *classes ? HKEY_CURRENT_USER : HKEY_CLASSES_ROOT;
        if (std::optional<std::wstring> named = ReadRegText(root, classes + extension, L"")) Name(*named, extension);
      }
    }
    unread_.clear();
  }

  void Name(const std::wstring& fileType, const std::wstring& extension) {
    if (!fileType.empty()) fileTypes_.emplace(FoldName(fileType), extension);
  }

  std::optional<std::wstring> Refusal(const TChangeStep& step) {
    // The keys that hold the records may be created where they are missing, and nothing more.
    if (IsRoot(step.Key)) {
      if (step.Kind == TStepKind::CreateKey) return std::nullopt;
      return std::wstring(texts::kPolicyRoot);
    }
    const std::optional<Place> place = PlaceOf(step.Key);
    if (!place) return std::wstring(texts::kPolicyOutside);
    const bool extension = !place->head.empty() && place->head[0] == L'.';
    if (place->area == Area::UrlAssociations) return ChoiceRefusal(step, *place);
    if (place->area == Area::Classes && !extension && protocols_.count(FoldName(place->head)))
      return ProtocolRefusal(step, *place);
    if (place->area != Area::Classes || extension) {
      if (!IsPlausibleExtension(place->head)) return std::wstring(texts::kPolicyBadExtension);
      // An extension that starts programs changes only by a change about it, never in passing.
      if (StartsPrograms(place->head) && !SameKeyName(place->head, plan_.Subject))
        return std::wstring(texts::kPolicyProgramExtension);
      if (place->area == Area::FileExts && !place->below.empty() && IsChoiceKey(step.Key) &&
          step.Kind != TStepKind::DeleteKey)
        return std::wstring(texts::kPolicyChoice);
      return std::nullopt;
    }
    return FileTypeRefusal(step, *place);
  }

  std::optional<std::wstring> FileTypeRefusal(const TChangeStep& step, const Place& place) {
    const std::wstring fileType(place.head);
    if (!fileTypes_.count(FoldName(fileType))) ReadNames();
    if (!fileTypes_.count(FoldName(fileType))) return std::wstring(texts::kPolicyNotNamed);
    if (const std::optional<std::wstring> guarded = GuardReason(GuardOfFileType(fileType))) return guarded;
    // What the plan itself would make of the key: a protocol or a COM class's ProgID.
    if (place.below.empty() && Writes(step) && SameKeyName(step.Value, L"URL Protocol"))
      return GuardReason(TFileTypeKept::Protocol);
    if (!place.below.empty() && SameKeyName(place.below.front(), L"CLSID") && Writes(step))
      return GuardReason(TFileTypeKept::ComClass);
    if (place.below.empty() && step.Kind == TStepKind::DeleteKey) return SharedRefusal(fileType);
    return std::nullopt;
  }

  // The user's choice of a protocol's handler: only that of a protocol the plan is about, and
  // only removed.
  std::optional<std::wstring> ChoiceRefusal(const TChangeStep& step, const Place& place) const {
    if (!protocols_.count(FoldName(place.head))) return std::wstring(texts::kPolicyNotProtocol);
    if (IsChoiceKey(step.Key) && step.Kind != TStepKind::DeleteKey) return std::wstring(texts::kPolicyChoice);
    return std::nullopt;
  }

  // A protocol's own key and what lies below it. The key must be a protocol's now or become one
  // by the plan; a COM class's ProgID stays out of reach, and a protocol the system serves may
  // have its verbs changed but is never removed.
  std::optional<std::wstring> ProtocolRefusal(const TChangeStep& step, const Place& place) const {
    if (!IsProtocolKey(place.head) && !MadeProtocol(plan_, place.head)) return std::wstring(texts::kPolicyNotProtocol);
    if (GuardOfFileType(place.head) == TFileTypeKept::ComClass ||
        (!place.below.empty() && SameKeyName(place.below.front(), L"CLSID") && Writes(step)))
      return GuardReason(TFileTypeKept::ComClass);
    const bool removesProtocol = place.below.empty() && (step.Kind == TStepKind::DeleteKey ||
                                                         (step.Kind == TStepKind::DeleteValue &&
                                                          SameKeyName(step.Value, L"URL Protocol")));
    if (removesProtocol && IsSystemClassKey(place.head)) return GuardReason(TFileTypeKept::SystemKey);
    return std::nullopt;
  }

  static std::optional<std::wstring> GuardReason(TFileTypeKept kept) {
    switch (kept) {
      case TFileTypeKept::No:
        return std::nullopt;
      case TFileTypeKept::Protocol:
        return std::wstring(texts::kPolicyProtocol);
      case TFileTypeKept::ComClass:
        return std::wstring(texts::kPolicyComClass);
      default:
        return std::wstring(texts::kPolicySystemKey);
    }
  }

  // A file type that an extension the plan does not touch, or another extension's choice,
  // still names.
  std::optional<std::wstring> SharedRefusal(const std::wstring& fileType) {
    if (!namers_) {
      namers_.emplace();
      wchar_t name[257];
      for (DWORD index = 0;; ++index) {
        DWORD length = 257;
        const LONG result = RegEnumKeyExW(HKEY_CLASSES_ROOT, index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (result == ERROR_NO_MORE_ITEMS) break;
        if (result != ERROR_SUCCESS || length == 0 || name[0] != L'.') continue;
        const std::wstring extension(name, length);
        if (extensions_.count(FoldName(extension))) continue;
        if (std::optional<std::wstring> named = ReadRegText(HKEY_CLASSES_ROOT, extension, L""))
          namers_->emplace(FoldName(*named), extension);
      }
    }
    if (const auto other = namers_->find(FoldName(fileType)); other != namers_->end())
      return texts::PolicyShared(other->second);
    for (const std::wstring& chooser : ChoicesNaming(fileType, L""))
      if (!extensions_.count(FoldName(chooser))) return texts::PolicyChosen(chooser);
    return std::nullopt;
  }

  const TChangePlan& plan_;
  std::unordered_set<std::wstring> extensions_;
  std::vector<std::wstring> unread_;
  std::unordered_map<std::wstring, std::wstring> fileTypes_;
  std::optional<std::unordered_map<std::wstring, std::wstring>> namers_;
  std::unordered_set<std::wstring> protocols_;
};

}  // namespace

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

std::optional<TPolicyRefusal> CheckPlan(const TChangePlan& plan) { return PolicyCheck(plan).Run(); }

void NoteExtensions(const TRegDocument& document, TChangePlan& plan) {
  std::unordered_set<std::wstring> noted;
  for (const TRegKey& section : document.Keys) {
    const std::optional<Place> place = PlaceOf(section.Path);
    if (!place || !IsPlausibleExtension(place->head) || !noted.insert(FoldName(place->head)).second) continue;
    plan.Extensions.emplace_back(place->head);
  }
  // A protocol's keys: those of a scheme that is a protocol now, or that the file makes one.
  std::unordered_set<std::wstring> made;
  for (const TRegKey& section : document.Keys) {
    const std::optional<Place> place = PlaceOf(section.Path);
    if (!place || place->area != Area::Classes || !place->below.empty()) continue;
    for (const TRegValue& value : section.Values)
      if (!section.Remove && !value.Remove && SameKeyName(value.Name, L"URL Protocol")) made.insert(FoldName(place->head));
  }
  std::unordered_set<std::wstring> schemes;
  for (const TRegKey& section : document.Keys) {
    const std::optional<Place> place = PlaceOf(section.Path);
    if (!place || (place->area != Area::Classes && place->area != Area::UrlAssociations) ||
        !IsPlausibleScheme(place->head) || schemes.count(FoldName(place->head)))
      continue;
    if (place->area == Area::Classes && !made.count(FoldName(place->head)) && !IsProtocolKey(place->head)) continue;
    schemes.insert(FoldName(place->head));
    plan.Protocols.emplace_back(place->head);
  }
}

}  // namespace assoc
