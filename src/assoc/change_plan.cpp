#include "assoc/change_plan.h"

#include <algorithm>
#include <iterator>
#include <unordered_set>

#include "assoc/assoc_texts.h"
#include "assoc/reg_paths.h"
#include "assoc/reg_value.h"
#include "common/handles.h"
#include "common/text.h"

namespace assoc {

namespace {

struct OperationName {
  TChangeOperation operation;
  std::wstring_view name;
};
constexpr OperationName kOperationNames[] = {
    {TChangeOperation::Link, L"登録"},
    {TChangeOperation::Unlink, L"削除"},
    {TChangeOperation::RemoveUserChoice, L"利用者の選択の削除"},
    {TChangeOperation::Restore, L"復元"},
    {TChangeOperation::Import, L"読み込み"},
    {TChangeOperation::AddOpenWith, L"「開く」の候補の追加"},
    {TChangeOperation::EditFileType, L"ファイルタイプの変更"},
};

[[noreturn]] void CannotRead(std::wstring_view path) { throw Exception(texts::CannotReadKey(path)); }

// Opens the key at path for reading: ERROR_SUCCESS, ERROR_FILE_NOT_FOUND, or another failure.
LONG OpenForReading(const std::wstring& path, common::UniqueHKey& key) {
  std::wstring_view rest;
  const HKEY root = RootOfRegPath(path, &rest);
  if (!root || path.find(L'\0') != std::wstring::npos) return ERROR_INVALID_NAME;
  // No key of a longer name can exist on Windows (Wine would take one more character).
  for (std::wstring_view name : KeyNames(rest))
    if (name.size() > 255) return ERROR_FILE_NOT_FOUND;
  return RegOpenKeyExW(root, std::wstring(rest).c_str(), 0, KEY_READ, key.put());
}

TRegValue ValueFrom(const std::wstring& name, const TValueState& state) {
  TRegValue value;
  value.Name = name;
  value.Type = state.Type;
  value.Data = state.Data;
  return value;
}

TRegValue Removal(const std::wstring& name) {
  TRegValue value;
  value.Name = name;
  value.Remove = true;
  return value;
}

// Appends one section to document, joining it to the last one when that is the same key.
void AddSection(TRegDocument& document, const std::wstring& key, bool remove, std::vector<TRegValue> values = {}) {
  if (!remove && !document.Keys.empty() && !document.Keys.back().Remove && document.Keys.back().Path == key) {
    for (TRegValue& v : values) document.Keys.back().Values.push_back(std::move(v));
    return;
  }
  TRegKey section;
  section.Path = key;
  section.Remove = remove;
  section.Values = std::move(values);
  document.Keys.push_back(std::move(section));
}

}  // namespace

std::wstring_view ChangeOperationName(TChangeOperation operation) noexcept {
  for (const OperationName& row : kOperationNames)
    if (row.operation == operation) return row.name;
  return {};
}

std::wstring FoldName(std::wstring_view name) {
  std::wstring folded(name);
  if (!folded.empty())
    LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, name.data(), static_cast<int>(name.size()), folded.data(),
                  static_cast<int>(folded.size()), nullptr, nullptr, 0);
  return folded;
}

std::vector<std::wstring_view> KeyNames(std::wstring_view path) {
  std::vector<std::wstring_view> names;
  for (;;) {
    const size_t end = path.find(L'\\');
    names.push_back(path.substr(0, end));
    if (end == std::wstring_view::npos) return names;
    path.remove_prefix(end + 1);
  }
}

std::wstring ParentPath(std::wstring_view path) {
  const size_t cut = path.rfind(L'\\');
  return std::wstring(cut == std::wstring_view::npos ? path : path.substr(0, cut));
}

bool IsChoiceKey(std::wstring_view key) noexcept {
  const std::vector<std::wstring_view> names = KeyNames(key);
  for (const wchar_t* records : {paths::kFileExtsPath, paths::kUrlAssociationsPath}) {
    const std::vector<std::wstring_view> prefix = KeyNames(records);
    // The records' key, then the extension or scheme, then the choice's own key.
    if (names.size() < prefix.size() + 2) continue;
    if (!std::equal(prefix.begin(), prefix.end(), names.begin(),
                    [](std::wstring_view a, std::wstring_view b) { return common::EqualNoCase(a, b); }))
      continue;
    const std::wstring_view choice = names[prefix.size() + 1];
    return std::any_of(std::begin(paths::kChoiceKeys), std::end(paths::kChoiceKeys),
                       [&](const wchar_t* k) { return common::EqualNoCase(choice, k); });
  }
  return false;
}

TPlanBuilder::KeyRecord* TPlanBuilder::Record(const std::wstring& key) {
  const auto found = keys_.find(FoldName(key));
  return found == keys_.end() ? nullptr : &found->second;
}

TValueState* TPlanBuilder::Planned(KeyRecord* record, const std::wstring& name) {
  if (!record) return nullptr;
  for (auto& [planned, state] : record->values)
    if (common::EqualNoCase(planned, name)) return &state;
  return nullptr;
}

void TPlanBuilder::Plan(const std::wstring& key, const std::wstring& name, TValueState state) {
  KeyRecord& record = keys_[FoldName(key)];
  if (TValueState* planned = Planned(&record, name)) {
    *planned = std::move(state);
  } else {
    record.values.emplace_back(name, std::move(state));
  }
}

LONG TPlanBuilder::Open(const std::wstring& key, HKEY& handle) {
  if (key != openPath_) {
    openPath_ = key;
    openResult_ = OpenForReading(key, open_);
    if (tick_ && ++reads_ % 256 == 0) tick_();
  }
  handle = open_.get();
  return openResult_;
}

bool TPlanBuilder::KeyExists(const std::wstring& key) {
  if (const KeyRecord* record = Record(key); record && record->state) return *record->state == KeyState::Fresh;
  HKEY opened = nullptr;
  const LONG result = Open(key, opened);
  if (result == ERROR_SUCCESS) return true;
  if (result == ERROR_FILE_NOT_FOUND) return false;
  CannotRead(key);
}

TValueState TPlanBuilder::ValueOf(const std::wstring& key, const std::wstring& name) {
  KeyRecord* record = Record(key);
  if (const TValueState* planned = Planned(record, name)) return *planned;
  if (record && record->state) return {};
  HKEY opened = nullptr;
  const LONG result = Open(key, opened);
  if (result == ERROR_FILE_NOT_FOUND) return {};
  if (result != ERROR_SUCCESS) CannotRead(key);
  const std::optional<TRawValue> value = ReadRawValue(opened, name);
  if (!value) return {};
  return TValueState{true, value->Type, value->Data};
}

void TPlanBuilder::EnsureKey(const std::wstring& key) {
  if (KeyExists(key)) return;
  const std::wstring parent = ParentPath(key);
  // The roots themselves always exist.
  if (parent.size() != key.size() && parent.find(L'\\') != std::wstring::npos) EnsureKey(parent);
  TChangeStep step;
  step.Kind = TStepKind::CreateKey;
  step.Key = key;
  plan_.Steps.push_back(std::move(step));
  KeyRecord& record = keys_[FoldName(key)];
  record.state = KeyState::Fresh;
  record.values.clear();
}

void TPlanBuilder::SetValue(const std::wstring& key, const std::wstring& name, DWORD type, std::string data) {
  EnsureKey(key);
  TValueState after{true, type, std::move(data)};
  TValueState before = ValueOf(key, name);
  if (before == after) return;
  TChangeStep step;
  step.Kind = TStepKind::SetValue;
  step.Key = key;
  step.Value = name;
  step.Before = std::move(before);
  step.After = after;
  plan_.Steps.push_back(std::move(step));
  Plan(key, name, std::move(after));
}

void TPlanBuilder::SetText(const std::wstring& key, const std::wstring& name, std::wstring_view text, DWORD type) {
  std::string data(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
  data.append(sizeof(wchar_t), '\0');
  SetValue(key, name, type, std::move(data));
}

void TPlanBuilder::DeleteValue(const std::wstring& key, const std::wstring& name) {
  TValueState before = ValueOf(key, name);
  if (!before.Exists) return;
  TChangeStep step;
  step.Kind = TStepKind::DeleteValue;
  step.Key = key;
  step.Value = name;
  step.Before = std::move(before);
  plan_.Steps.push_back(std::move(step));
  Plan(key, name, TValueState{});
}

std::vector<TRegValue> TPlanBuilder::Values(const std::wstring& key) {
  KeyRecord* record = Record(key);
  std::vector<TRegValue> result;
  if (!record || !record->state) {
    HKEY opened = nullptr;
    const LONG found = Open(key, opened);
    if (found == ERROR_FILE_NOT_FOUND && !record) return result;
    if (found != ERROR_SUCCESS && found != ERROR_FILE_NOT_FOUND) CannotRead(key);
    if (found == ERROR_SUCCESS) result = ReadKeyValues(opened, key);
  }
  if (!record) return result;
  // What the plan set or removed replaces the registry's value of that name, or comes after them.
  std::vector<TRegValue> merged;
  std::vector<bool> listed(record->values.size(), false);
  for (TRegValue& value : result) {
    size_t at = 0;
    while (at < record->values.size() && !common::EqualNoCase(record->values[at].first, value.Name)) ++at;
    if (at == record->values.size()) {
      merged.push_back(std::move(value));
      continue;
    }
    listed[at] = true;
    if (record->values[at].second.Exists) merged.push_back(ValueFrom(value.Name, record->values[at].second));
  }
  for (size_t at = 0; at < record->values.size(); ++at)
    if (!listed[at] && record->values[at].second.Exists)
      merged.push_back(ValueFrom(record->values[at].first, record->values[at].second));
  return merged;
}

void TPlanBuilder::DeleteSubTree(const std::wstring& key) {
  const KeyRecord* record = Record(key);
  if (!record || !record->state) {
    HKEY opened = nullptr;
    if (Open(key, opened) != ERROR_SUCCESS) CannotRead(key);
    for (const std::wstring& name : ReadSubKeyNames(opened, key)) {
      const std::wstring sub = key + L"\\" + name;
      if (const KeyRecord* below = Record(sub); below && below->state == KeyState::Gone) continue;
      DeleteSubTree(sub);
    }
  }
  TChangeStep step;
  step.Kind = TStepKind::DeleteKey;
  step.Key = key;
  step.Values = Values(key);
  plan_.Steps.push_back(std::move(step));
  KeyRecord& gone = keys_[FoldName(key)];
  gone.state = KeyState::Gone;
  gone.values.clear();
}

void TPlanBuilder::DeleteTree(const std::wstring& key) {
  // A root holds everything else: no plan removes one.
  if (key.find(L'\\') == std::wstring::npos) throw Exception(texts::ChangeRefused(key, texts::kPolicyRoot));
  if (KeyExists(key)) DeleteSubTree(key);
}

void TPlanBuilder::DeleteKeyIfLeaf(const std::wstring& key) {
  if (!KeyExists(key)) return;
  if (const KeyRecord* record = Record(key); !record || !record->state) {
    HKEY opened = nullptr;
    if (Open(key, opened) != ERROR_SUCCESS) CannotRead(key);
    DWORD subKeys = 0;
    if (RegQueryInfoKeyW(opened, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, nullptr, nullptr, nullptr,
                         nullptr, nullptr) != ERROR_SUCCESS)
      CannotRead(key);
    if (subKeys != 0) return;
  }
  DeleteSubTree(key);
}

namespace {

// What a file says of one key: its path as first written, and each value with the index of the
// section that holds it.
struct FileKey {
  const std::wstring* path = nullptr;  // as first written, in the document
  int lastSection = -1;
  std::vector<std::pair<int, const TRegValue*>> values;
};

class DocumentPlanner {
 public:
  DocumentPlanner(const TRegDocument& document, TPlanBuilder& builder) : document_(document), builder_(builder) {}

  void Plan() {
    Collect();
    for (const auto& [folded, key] : order_)
      if (Live(*key)) MarkAncestors(*key->path);
    for (const std::wstring& root : removalOrder_) {
      if (HasRemovedAncestor(root)) continue;
      Walk(removalPaths_.at(root));
    }
    for (const auto& [folded, key] : order_) {
      if (visited_.count(*folded) || !Live(*key)) continue;
      const std::wstring& path = *key->path;
      builder_.EnsureKey(path);
      const bool replaced = LastRemoval(path) >= 0;
      for (const auto& [name, value] : Effective(*key)) {
        if (value->Remove) {
          if (!replaced) builder_.DeleteValue(path, value->Name);
        } else {
          builder_.SetValue(path, value->Name, value->Type, value->Data);
        }
      }
    }
  }

 private:
  void Collect() {
    for (int index = 0; index < static_cast<int>(document_.Keys.size()); ++index) {
      const TRegKey& section = document_.Keys[index];
      const std::wstring folded = FoldName(section.Path);
      if (section.Remove) {
        if (!removals_.count(folded)) {
          removalOrder_.push_back(folded);
          removalPaths_[folded] = section.Path;
        }
        removals_[folded] = index;
        continue;
      }
      auto [entry, added] = keys_.try_emplace(folded);
      if (added) {
        entry->second.path = &section.Path;
        order_.emplace_back(&entry->first, &entry->second);
      }
      entry->second.lastSection = index;
      for (const TRegValue& value : section.Values) entry->second.values.emplace_back(index, &value);
    }
  }

  // The index of the last removal of path or of a key above it; -1 when none.
  int LastRemoval(std::wstring_view path) {
    int last = -1;
    std::wstring prefix;
    for (std::wstring_view name : KeyNames(path)) {
      if (!prefix.empty()) prefix += L'\\';
      prefix += FoldName(name);
      if (const auto found = removals_.find(prefix); found != removals_.end()) last = std::max(last, found->second);
    }
    return last;
  }

  bool HasRemovedAncestor(const std::wstring& folded) {
    for (size_t cut = folded.rfind(L'\\'); cut != std::wstring::npos && cut > 0; cut = folded.rfind(L'\\', cut - 1))
      if (removals_.count(folded.substr(0, cut))) return true;
    return false;
  }

  bool Live(const FileKey& key) { return key.lastSection > LastRemoval(*key.path); }

  void MarkAncestors(const std::wstring& path) {
    for (std::wstring parent = ParentPath(path); parent.find(L'\\') != std::wstring::npos;
         parent = ParentPath(parent)) {
      if (!implied_.insert(FoldName(parent)).second) return;
    }
  }

  // The values the file leaves in key, the last of each name winning, in the order first named.
  std::vector<std::pair<std::wstring, const TRegValue*>> Effective(const FileKey& key) {
    const int removal = LastRemoval(*key.path);
    std::vector<std::pair<std::wstring, const TRegValue*>> result;
    std::unordered_map<std::wstring, size_t> at;
    for (const auto& [index, value] : key.values) {
      if (index <= removal) continue;
      const std::wstring name = FoldName(value->Name);
      if (const auto found = at.find(name); found != at.end()) {
        result[found->second].second = value;
      } else {
        at[name] = result.size();
        result.emplace_back(name, value);
      }
    }
    return result;
  }

  // A key below a removal: it stays when the file gives it back (with exactly the values the
  // file gives) or holds a key below it, and goes with its sub-keys otherwise.
  void Walk(const std::wstring& path) {
    if (!builder_.KeyExists(path)) return;
    const std::wstring folded = FoldName(path);
    const auto entry = keys_.find(folded);
    const bool live = entry != keys_.end() && Live(entry->second);
    if (!live && !implied_.count(folded)) {
      builder_.DeleteTree(path);
      return;
    }
    visited_.insert(folded);
    std::unordered_set<std::wstring> kept;
    if (live) {
      for (const auto& [name, value] : Effective(entry->second)) {
        if (value->Remove) continue;
        kept.insert(name);
        builder_.SetValue(path, value->Name, value->Type, value->Data);
      }
    }
    for (const TRegValue& value : builder_.Values(path))
      if (!kept.count(FoldName(value.Name))) builder_.DeleteValue(path, value.Name);
    common::UniqueHKey opened;
    if (OpenForReading(path, opened) != ERROR_SUCCESS) CannotRead(path);
    for (const std::wstring& name : ReadSubKeyNames(opened.get(), path)) Walk(path + L"\\" + name);
  }

  const TRegDocument& document_;
  TPlanBuilder& builder_;
  std::unordered_map<std::wstring, FileKey> keys_;
  // The keys in the order the file first names them (map nodes stay where they are).
  std::vector<std::pair<const std::wstring*, const FileKey*>> order_;
  std::unordered_map<std::wstring, int> removals_;
  std::unordered_map<std::wstring, std::wstring> removalPaths_;
  std::vector<std::wstring> removalOrder_;
  std::unordered_set<std::wstring> implied_;
  std::unordered_set<std::wstring> visited_;
};

}  // namespace

void PlanDocument(const TRegDocument& document, TPlanBuilder& builder) { DocumentPlanner(document, builder).Plan(); }

TRegDocument InverseDocument(const TChangePlan& plan, bool* choiceLost) {
  TRegDocument document;
  if (choiceLost) *choiceLost = false;
  for (auto step = plan.Steps.rbegin(); step != plan.Steps.rend(); ++step) {
    if (IsChoiceKey(step->Key)) {
      if (choiceLost && step->Kind == TStepKind::DeleteKey) *choiceLost = true;
      continue;
    }
    switch (step->Kind) {
      case TStepKind::CreateKey:
        AddSection(document, step->Key, true);
        break;
      case TStepKind::SetValue:
      case TStepKind::DeleteValue:
        AddSection(document, step->Key, false,
                   {step->Before.Exists ? ValueFrom(step->Value, step->Before) : Removal(step->Value)});
        break;
      case TStepKind::DeleteKey:
        AddSection(document, step->Key, false, step->Values);
        break;
    }
  }
  return document;
}

TRegDocument ForwardDocument(const TChangePlan& plan) {
  TRegDocument document;
  for (const TChangeStep& step : plan.Steps) {
    switch (step.Kind) {
      case TStepKind::CreateKey:
        AddSection(document, step.Key, false);
        break;
      case TStepKind::SetValue:
        AddSection(document, step.Key, false, {ValueFrom(step.Value, step.After)});
        break;
      case TStepKind::DeleteValue:
        AddSection(document, step.Key, false, {Removal(step.Value)});
        break;
      case TStepKind::DeleteKey:
        AddSection(document, step.Key, true);
        break;
    }
  }
  return document;
}

}  // namespace assoc
