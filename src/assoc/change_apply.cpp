#include "assoc/change_apply.h"

#include <algorithm>
#include <utility>

#include "assoc/assoc_texts.h"
#include "assoc/reg_key.h"
#include "assoc/reg_value.h"
#include "common/handles.h"
#include "common/text.h"

namespace assoc {

namespace {

// The keys the steps of one plan walk, kept open while it applies, since its steps come key by
// key.
thread_local TKeyCursor* t_cursor = nullptr;

bool Holds(HKEY key, const std::wstring& name, const TValueState& expected) {
  const std::optional<TRawValue> value = ReadRawValue(key, name);
  if (!value) return !expected.Exists;
  return expected.Exists && value->Type == expected.Type && value->Data == expected.Data;
}

// True when key holds exactly values (in any order) and no sub-key.
bool HoldsOnly(HKEY key, const std::wstring& path, const std::vector<TRegValue>& values) {
  DWORD subKeys = 0, count = 0;
  if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &count, nullptr, nullptr, nullptr,
                       nullptr) != ERROR_SUCCESS ||
      subKeys != 0 || count != values.size())
    return false;
  std::vector<TRegValue> found;
  try {
    found = ReadKeyValues(key, path);
  } catch (const Exception&) {
    return false;
  }
  if (found.size() != values.size()) return false;
  auto byName = [](const TRegValue& a, const TRegValue& b) { return FoldName(a.Name) < FoldName(b.Name); };
  std::vector<TRegValue> expected = values;
  std::sort(found.begin(), found.end(), byName);
  std::sort(expected.begin(), expected.end(), byName);
  return std::equal(found.begin(), found.end(), expected.begin(), [](const TRegValue& a, const TRegValue& b) {
    return common::EqualNoCase(a.Name, b.Name) && a.Type == b.Type && a.Data == b.Data;
  });
}

LONG RealWriteStep(const TChangeStep& step) {
  TKeyCursor local;
  TKeyCursor& cursor = t_cursor ? *t_cursor : local;
  HKEY key = nullptr;
  switch (step.Kind) {
    case TStepKind::CreateKey: {
      bool created = false;
      const LONG opened = cursor.Open(step.Key, key, 0, true, &created);
      if (opened != ERROR_SUCCESS) return opened;
      return created ? ERROR_SUCCESS : kStateChanged;
    }
    case TStepKind::SetValue:
    case TStepKind::DeleteValue: {
      const LONG opened = cursor.Open(step.Key, key, KEY_SET_VALUE);
      if (opened == ERROR_FILE_NOT_FOUND) return kStateChanged;
      if (opened != ERROR_SUCCESS) return opened;
      if (!Holds(key, step.Value, step.Before)) return kStateChanged;
      if (step.Kind == TStepKind::DeleteValue) return RegDeleteValueW(key, step.Value.c_str());
      // For text types the API adds a terminator that the count leaves out when the character
      // after the data is a NUL: a non-NUL one stops it.
      const std::string padded = step.After.Data + "\xFF\xFF";
      return RegSetValueExW(key, step.Value.c_str(), 0, step.After.Type, reinterpret_cast<const BYTE*>(padded.data()),
                            static_cast<DWORD>(step.After.Data.size()));
    }
    case TStepKind::DeleteKey: {
      const LONG opened = cursor.Open(step.Key, key, DELETE | KEY_ENUMERATE_SUB_KEYS);
      if (opened == ERROR_FILE_NOT_FOUND) return kStateChanged;
      if (opened != ERROR_SUCCESS) return opened;
      if (!HoldsOnly(key, step.Key, step.Values)) return kStateChanged;
      const LONG removed = DeleteOpenKey(key);
      cursor.Forget();
      return removed;
    }
  }
  return ERROR_INVALID_PARAMETER;
}

TChangeStep Setting(const std::wstring& key, const std::wstring& name, const TValueState& before,
                    const TValueState& after) {
  TChangeStep step;
  step.Kind = after.Exists ? TStepKind::SetValue : TStepKind::DeleteValue;
  step.Key = key;
  step.Value = name;
  step.Before = before;
  step.After = after;
  return step;
}

}  // namespace

common::Seam<LONG(const TChangeStep&)> WriteStep(&RealWriteStep);

std::vector<TChangeStep> UndoSteps(const TChangeStep& step) {
  switch (step.Kind) {
    case TStepKind::CreateKey: {
      TChangeStep removal;
      removal.Kind = TStepKind::DeleteKey;
      removal.Key = step.Key;
      return {removal};
    }
    case TStepKind::SetValue:
      return {Setting(step.Key, step.Value, step.After, step.Before)};
    case TStepKind::DeleteValue:
      return {Setting(step.Key, step.Value, TValueState{}, step.Before)};
    case TStepKind::DeleteKey: {
      TChangeStep creation;
      creation.Kind = TStepKind::CreateKey;
      creation.Key = step.Key;
      std::vector<TChangeStep> steps{creation};
      for (const TRegValue& value : step.Values)
        steps.push_back(Setting(step.Key, value.Name, TValueState{}, TValueState{true, value.Type, value.Data}));
      return steps;
    }
  }
  return {};
}

void ApplyPlan(const TChangePlan& plan, const std::function<void(size_t, size_t)>& progress) {
  TKeyCursor cursor;
  struct Keep {
    explicit Keep(TKeyCursor* c) : previous(std::exchange(t_cursor, c)) {}
    ~Keep() { t_cursor = previous; }
    TKeyCursor* previous;
  } keep(&cursor);
  const size_t total = plan.Steps.size();
  for (size_t done = 0; done < total; ++done) {
    const TChangeStep& step = plan.Steps[done];
    const LONG result = WriteStep(step);
    if (result == ERROR_SUCCESS) {
      if (progress && (done + 1) % 256 == 0) progress(done + 1, total);
      continue;
    }
    const std::wstring failure = result == kStateChanged
                                     ? texts::KeyChangedSincePlanned(step.Key)
                                     : texts::StepFailed(step, common::SystemMessageText(result));
    // Back to where the plan started, the latest step first.
    std::vector<std::wstring> left;
    for (size_t k = done; k-- > 0;) {
      for (const TChangeStep& undo : UndoSteps(plan.Steps[k])) {
        if (const LONG undone = WriteStep(undo); undone != ERROR_SUCCESS)
          left.push_back(texts::StepLeft(plan.Steps[k], common::SystemMessageText(undone)));
      }
    }
    throw EChangeFailed(result == kStateChanged && left.empty() ? failure : texts::ChangeFailed(failure, left), result,
                        left.empty());
  }
  if (progress) progress(total, total);
}

}  // namespace assoc
