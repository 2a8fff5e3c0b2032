#include "assoc/change_plan.h"

#include <algorithm>
#include <iterator>
#include <unordered_set>

#include "assoc/assoc_texts.h"
#include "assoc/change_policy.h"
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

namespace {

// How many values of a key are looked up along the list before they are indexed.
constexpr size_t kIndexedFrom = 8;

}  // namespace

size_t TPlanBuilder::KeyRecord::Find(const std::wstring& name) const {
  if (at) {
    const auto found = at->find(FoldName(name));
    return found == at->end() ? values.size() : found->second;
  }
  for (size_t i = 0; i < values.size(); ++i)
    if (common::EqualNoCase(values[i].first, name)) return i;
  return values.size();
}

void TPlanBuilder::KeyRecord::Clear() {
  values.clear();
  at.reset();
}

TPlanBuilder::KeyRecord* TPlanBuilder::Record(const std::wstring& key) {
  const auto found = keys_.find(FoldName(key));
  return found == keys_.end() ? nullptr : &found->second;
}

const TChangeStep* TPlanBuilder::Planned(KeyRecord* record, const std::wstring& name) const {
  if (!record) return nullptr;
  const size_t at = record->Find(name);
  return at == record->values.size() ? nullptr : &plan_.Steps[record->values[at].second];
}

void TPlanBuilder::Plan(const std::wstring& key, const std::wstring& name, size_t step) {
  KeyRecord& record = keys_[FoldName(key)];
  const size_t at = record.Find(name);
  if (at < record.values.size()) {
    record.values[at].second = step;
    return;
  }
  record.values.emplace_back(name, step);
  if (record.at) {
    record.at->emplace(FoldName(name), at);
  } else if (record.values.size() > kIndexedFrom) {
    record.at = std::make_unique<std::unordered_map<std::wstring, size_t>>();
    for (size_t i = 0; i < record.values.size(); ++i) record.at->emplace(FoldName(record.values[i].first), i);
  }
}

LONG TPlanBuilder::Open(const std::wstring& key, HKEY& handle) {
  if (key != openPath_) {
    openPath_ = key;
    open_ = nullptr;
    openResult_ = cursor_.Open(key, open_);
    if (tick_ && ++reads_ % 256 == 0) tick_();
  }
  if (openResult_ == kKeyIsLink) {
    openPath_.clear();
    throw EPolicyRefused(texts::ChangeRefused(cursor_.LinkFound(), texts::kPolicyLink));
  }
  if (openResult_ == ERROR_INVALID_NAME) openResult_ = ERROR_FILE_NOT_FOUND;
  if (openResult_ != ERROR_SUCCESS && openResult_ != ERROR_FILE_NOT_FOUND) {
    openPath_.clear();
    CannotRead(key);
  }
  handle = open_;
  return openResult_;
}

bool TPlanBuilder::KeyExists(const std::wstring& key) {
  if (const KeyRecord* record = Record(key); record && record->state) return *record->state == KeyState::Fresh;
  HKEY opened = nullptr;
  return Open(key, opened) == ERROR_SUCCESS;
}

TValueState TPlanBuilder::ValueOf(const std::wstring& key, const std::wstring& name) {
  KeyRecord* record = Record(key);
  if (const TChangeStep* planned = Planned(record, name)) return planned->After;
  if (record && record->state) return {};
  HKEY opened = nullptr;
  if (Open(key, opened) != ERROR_SUCCESS) return {};
  const std::optional<TRawValue> value = ReadRawValue(opened, name);
  if (!value) return {};
  return TValueState{true, value->Type, value->Data};
}

void TPlanBuilder::EnsureKey(const std::wstring& key) {
  // The missing keys from the first one on the way down, without recursion.
  std::vector<std::wstring> missing;
  for (std::wstring at = key; !KeyExists(at);) {
    missing.push_back(at);
    const std::wstring parent = ParentPath(at);
    // The roots themselves always exist.
    if (parent.size() == at.size() || parent.find(L'\\') == std::wstring::npos) break;
    at = parent;
  }
  for (auto k = missing.rbegin(); k != missing.rend(); ++k) {
    TChangeStep step;
    step.Kind = TStepKind::CreateKey;
    step.Key = *k;
    plan_.Steps.push_back(std::move(step));
    KeyRecord& record = keys_[FoldName(*k)];
    record.state = KeyState::Fresh;
    record.Clear();
  }
}

void TPlanBuilder::SetValue(const std::wstring& key, const std::wstring& name, DWORD type, std::string data) {
  EnsureKey(key);
  TValueState before = ValueOf(key, name);
  if (before.Exists && before.Type == type && before.Data == data) return;
  TChangeStep step;
  step.Kind = TStepKind::SetValue;
  step.Key = key;
  step.Value = name;
  step.Before = std::move(before);
  step.After = TValueState{true, type, std::move(data)};
  plan_.Steps.push_back(std::move(step));
  Plan(key, name, plan_.Steps.size() - 1);
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
  Plan(key, name, plan_.Steps.size() - 1);
}

std::vector<TRegValue> TPlanBuilder::Values(const std::wstring& key) {
  KeyRecord* record = Record(key);
  std::vector<TRegValue> result;
  if (!record || !record->state) {
    HKEY opened = nullptr;
    if (Open(key, opened) == ERROR_SUCCESS) result = ReadKeyValues(opened, key);
  }
  if (!record || record->values.empty()) return result;
  // What the plan set or removed replaces the registry's value of that name, or comes after them.
  std::vector<TRegValue> merged;
  merged.reserve(result.size() + record->values.size());
  std::vector<bool> listed(record->values.size(), false);
  for (TRegValue& value : result) {
    const size_t at = record->Find(value.Name);
    if (at == record->values.size()) {
      merged.push_back(std::move(value));
      continue;
    }
    listed[at] = true;
    const TValueState& planned = plan_.Steps[record->values[at].second].After;
    if (planned.Exists) merged.push_back(ValueFrom(value.Name, planned));
  }
  for (size_t at = 0; at < record->values.size(); ++at) {
    const TValueState& planned = plan_.Steps[record->values[at].second].After;
    if (!listed[at] && planned.Exists) merged.push_back(ValueFrom(record->values[at].first, planned));
  }
  return merged;
}

std::vector<std::wstring> TPlanBuilder::SubKeyNames(const std::wstring& key) {
  std::vector<std::wstring> names;
  if (const KeyRecord* record = Record(key); record && record->state) return names;
  HKEY opened = nullptr;
  if (Open(key, opened) != ERROR_SUCCESS) return names;
  for (std::wstring& name : ReadSubKeyNames(opened, key)) {
    if (const KeyRecord* below = Record(key + L"\\" + name); below && below->state == KeyState::Gone) continue;
    names.push_back(std::move(name));
  }
  return names;
}

void TPlanBuilder::DeleteSubTree(const std::wstring& key) {
  // Depth first, each key after the keys below it, without recursion: a stack of the keys whose
  // sub-keys are being removed, each with the names still to visit.
  struct Pending {
    std::wstring path;
    std::vector<std::wstring> names;
    size_t next = 0;
  };
  std::vector<Pending> stack;
  stack.push_back({key, SubKeyNames(key)});
  while (!stack.empty()) {
    Pending& top = stack.back();
    if (top.next < top.names.size()) {
      std::wstring sub = top.path + L"\\" + top.names[top.next++];
      std::vector<std::wstring> names = SubKeyNames(sub);
      stack.push_back({std::move(sub), std::move(names)});
      continue;
    }
    TChangeStep step;
    step.Kind = TStepKind::DeleteKey;
    step.Key = top.path;
    step.Values = Values(top.path);
    plan_.Steps.push_back(std::move(step));
    KeyRecord& gone = keys_[FoldName(top.path)];
    gone.state = KeyState::Gone;
    gone.Clear();
    stack.pop_back();
  }
}

void TPlanBuilder::DeleteTree(const std::wstring& key) {
  // A root holds everything else: no plan removes one.
  if (key.find(L'\\') == std::wstring::npos) throw EPolicyRefused(texts::ChangeRefused(key, texts::kPolicyRoot));
  if (KeyExists(key)) DeleteSubTree(key);
}

void TPlanBuilder::DeleteKeyIfLeaf(const std::wstring& key) {
  if (!KeyExists(key)) return;
  if (const KeyRecord* record = Record(key); !record || !record->state) {
    HKEY opened = nullptr;
    Open(key, opened);
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
    if (removals_.empty()) return last;
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
      std::wstring name = FoldName(value->Name);
      if (const auto found = at.find(name); found != at.end()) {
        result[found->second].second = value;
      } else {
        at.emplace(name, result.size());
        result.emplace_back(std::move(name), value);
      }
    }
    return result;
  }

  // The keys below a removal: each stays when the file gives it back (with exactly the values the
  // file gives) or holds a key below it, and goes with its sub-keys otherwise. Walked with a stack
  // of its own, whatever the depth.
  void Walk(const std::wstring& start) {
    std::vector<std::wstring> pending{start};
    while (!pending.empty()) {
      const std::wstring path = std::move(pending.back());
      pending.pop_back();
      if (!builder_.KeyExists(path)) continue;
      const std::wstring folded = FoldName(path);
      const auto entry = keys_.find(folded);
      const bool live = entry != keys_.end() && Live(entry->second);
      if (!live && !implied_.count(folded)) {
        builder_.DeleteTree(path);
        continue;
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
      std::vector<std::wstring> names = builder_.SubKeyNames(path);
      // In the registry's order: the first name is taken first.
      for (auto name = names.rbegin(); name != names.rend(); ++name) pending.push_back(path + L"\\" + *name);
    }
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
