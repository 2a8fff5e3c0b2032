#include "assoc/change_apply.h"

#include <utility>

#include "assoc/assoc_texts.h"
#include "common/handles.h"
#include "common/text.h"

namespace assoc {

namespace {

LONG Open(const std::wstring& path, REGSAM access, common::UniqueHKey& key, bool create) {
  std::wstring_view rest;
  const HKEY root = RootOfRegPath(path, &rest);
  if (!root || rest.empty() || path.find(L'\0') != std::wstring::npos) return ERROR_INVALID_NAME;
  // Windows takes key names of at most 255 characters; Wine would take one more.
  for (std::wstring_view name : KeyNames(rest))
    if (name.size() > 255) return ERROR_INVALID_NAME;
  const std::wstring subKey(rest);
  if (create)
    return RegCreateKeyExW(root, subKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr, key.put(),
                           nullptr);
  return RegOpenKeyExW(root, subKey.c_str(), 0, access, key.put());
}

// The key the last step wrote, kept open while a plan applies, since its steps come key by key.
struct OpenKey {
  std::wstring path;
  common::UniqueHKey key;
};
thread_local OpenKey* t_open = nullptr;

// The key at path opened (or created) for setting values, through open when it holds that key.
LONG OpenForWriting(OpenKey& open, const std::wstring& path, bool create, HKEY& handle) {
  if (!open.key || open.path != path) {
    common::UniqueHKey key;
    if (const LONG result = Open(path, KEY_SET_VALUE, key, create); result != ERROR_SUCCESS) return result;
    open.path = path;
    open.key = std::move(key);
  }
  handle = open.key.get();
  return ERROR_SUCCESS;
}

LONG RealWriteStep(const TChangeStep& step) {
  OpenKey local;
  OpenKey& open = t_open ? *t_open : local;
  HKEY key = nullptr;
  switch (step.Kind) {
    case TStepKind::CreateKey:
      return OpenForWriting(open, step.Key, true, key);
    case TStepKind::SetValue: {
      if (const LONG opened = OpenForWriting(open, step.Key, false, key); opened != ERROR_SUCCESS) return opened;
      // For text types the API adds a terminator that the count leaves out when the character
      // after the data is a NUL: a non-NUL one stops it.
      const std::string padded = step.After.Data + "\xFF\xFF";
      return RegSetValueExW(key, step.Value.c_str(), 0, step.After.Type, reinterpret_cast<const BYTE*>(padded.data()),
                            static_cast<DWORD>(step.After.Data.size()));
    }
    case TStepKind::DeleteValue: {
      const LONG opened = OpenForWriting(open, step.Key, false, key);
      if (opened == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
      if (opened != ERROR_SUCCESS) return opened;
      const LONG result = RegDeleteValueW(key, step.Value.c_str());
      return result == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : result;
    }
    case TStepKind::DeleteKey: {
      open = OpenKey{};
      std::wstring_view rest;
      const HKEY root = RootOfRegPath(step.Key, &rest);
      if (!root || rest.empty()) return ERROR_INVALID_NAME;
      const LONG result = RegDeleteKeyW(root, std::wstring(rest).c_str());
      return result == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : result;
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
  OpenKey open;
  struct Keep {
    explicit Keep(OpenKey* o) : previous(std::exchange(t_open, o)) {}
    ~Keep() { t_open = previous; }
    OpenKey* previous;
  } keep(&open);
  const size_t total = plan.Steps.size();
  for (size_t done = 0; done < total; ++done) {
    const TChangeStep& step = plan.Steps[done];
    const LONG result = WriteStep(step);
    if (result == ERROR_SUCCESS) {
      if (progress && (done + 1) % 256 == 0) progress(done + 1, total);
      continue;
    }
    const std::wstring failure = texts::StepFailed(step, common::SystemMessageText(result));
    // Back to where the plan started, the latest step first.
    std::vector<std::wstring> left;
    for (size_t k = done; k-- > 0;) {
      for (const TChangeStep& undo : UndoSteps(plan.Steps[k])) {
        if (const LONG undone = WriteStep(undo); undone != ERROR_SUCCESS)
          left.push_back(texts::StepLeft(plan.Steps[k], common::SystemMessageText(undone)));
      }
    }
    throw EChangeFailed(texts::ChangeFailed(failure, left), result, left.empty());
  }
  if (progress) progress(total, total);
}

}  // namespace assoc
