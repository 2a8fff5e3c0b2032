#include "assoc/change_engine.h"

#include <atomic>
#include <cstring>
#include <cwchar>
#include <iterator>

#include "assoc/assoc_texts.h"
#include "assoc/backup_store.h"
#include "assoc/change_apply.h"
#include "assoc/change_policy.h"
#include "assoc/link_extention_base.h"
#include "assoc/reg_paths.h"
#include "assoc/reg_value.h"
#include "assoc/safety.h"
#include "assoc/shell_assoc.h"
#include "common/text.h"

namespace assoc {

namespace {

constexpr wchar_t kRedoSuffix[] = L" やり直し";

// The last change of this process, for LastChangeState. The text is built before the change
// starts; only the counters move while it applies.
struct LastChange {
  SRWLOCK lock = SRWLOCK_INIT;
  std::wstring name;      // "拡張子「.txt」の登録"
  std::wstring undoFile;  // the backup that undoes it
  std::atomic<size_t> done{0};
  std::atomic<size_t> total{0};
  std::atomic<int> state{0};  // texts::TChangeState
};
LastChange g_last;

void StartChange(const std::wstring& name, const std::wstring& undoFile, size_t total) {
  AcquireSRWLockExclusive(&g_last.lock);
  g_last.name = name;
  g_last.undoFile = undoFile;
  ReleaseSRWLockExclusive(&g_last.lock);
  g_last.done = 0;
  g_last.total = total;
  g_last.state = static_cast<int>(texts::TChangeState::Applying);
}

void EndChange(texts::TChangeState state) { g_last.state = static_cast<int>(state); }

// Applies plan while LastChangeState follows it.
void ApplyFollowed(const TChangePlan& plan, const std::wstring& name, const std::wstring& undoFile,
                   const TProgress& progress) {
  StartChange(name, undoFile, plan.Steps.size());
  try {
    ApplyPlan(plan, [&](size_t done, size_t total) {
      g_last.done = done;
      if (progress) progress(done, total);
    });
  } catch (const EChangeFailed& e) {
    EndChange(e.RolledBack() ? texts::TChangeState::RolledBack : texts::TChangeState::Left);
    throw;
  }
  EndChange(texts::TChangeState::Applied);
}

// Writes back the history as it was before a change that failed and was rolled back; false when
// it could not. The record of the change then stays: its undo, planned later against the
// registry as it is then, finds nothing of the change and changes nothing harmful.
bool TakeBack(const common::SecureFolder& store, const THistory& before) {
  try {
    WriteHistory(store, before);
    return true;
  } catch (const Exception&) {
    // The failure of the change is the one the user is told of.
    return false;
  }
}

[[noreturn]] void Refused(const std::wstring& file, const TPolicyRefusal& refusal, TChangeOperation operation) {
  std::wstring fault = texts::KeyRefused(refusal.Key, refusal.Reason);
  if (refusal.Line > 0) fault = texts::LineFault(refusal.Line, fault);
  throw EPolicyRefused(operation == TChangeOperation::Import ? texts::CannotImport(file, fault)
                                                             : texts::CannotRestore(file, fault));
}

void Check(const TChangePlan& plan) {
  if (const std::optional<TPolicyRefusal> refusal = CheckPlan(plan))
    throw EPolicyRefused(texts::ChangeRefused(refusal->Key, refusal->Reason));
}

// The plan of a registry file: every section judged by the policy before any key below it is
// read, then planned against the registry as it is now, then every step checked again.
// sharedTypesAllowed for a change the user agreed to when it was first made (an undo or redo).
TChangePlan PlanOfDocument(const TRegDocument& document, const std::wstring& fileName, TChangeOperation operation,
                           const std::wstring& subject, const TTick& tick, bool sharedTypesAllowed = false) {
  TChangePlan plan;
  plan.Operation = operation;
  plan.Subject = subject;
  plan.SharedTypesAllowed = sharedTypesAllowed;
  TPolicyCheck policy(plan);
  if (const std::optional<TPolicyRefusal> refusal = policy.Survey(document, plan)) Refused(fileName, *refusal, operation);
  TPlanBuilder builder(plan, tick);
  PlanDocument(document, builder);
  if (const std::optional<TPolicyRefusal> refusal = policy.Steps(plan)) Refused(fileName, *refusal, operation);
  return plan;
}

TChangePlan PlanOfFile(const std::wstring& path, TChangeOperation operation, const std::wstring& subject,
                       const TTick& tick) {
  return PlanOfDocument(ReadRegistryFile(path, operation == TChangeOperation::Import), common::ExtractFileName(path),
                        operation, subject, tick);
}

std::optional<THistoryMove> PlanMove(bool redo, std::wstring* note, const TTick& tick) {
  const common::SecureFolder store = OpenBackupStore();
  const THistory history = ReadHistory(store, note);
  if (redo ? history.Position >= history.Entries.size() : history.Position == 0) return std::nullopt;
  THistoryMove move;
  move.Redo = redo;
  move.Index = redo ? history.Position : history.Position - 1;
  move.Entry = history.Entries[move.Index];
  const std::wstring& file = redo ? move.Entry.RedoFile : move.Entry.UndoFile;
  move.Plan = PlanOfDocument(ReadBackupFile(store, file), file, move.Entry.Operation, move.Entry.Subject, tick, true);
  move.Question = redo ? texts::RedoQuestion(move.Entry) : texts::UndoQuestion(move.Entry);
  return move;
}

}  // namespace

TChangePlan PlanLink(const std::wstring& extension, const std::wstring& command, const std::wstring& iconFile,
                     int iconIndex, const std::wstring& fileType, const std::wstring& typeKey) {
  TChangePlan plan;
  plan.Operation = TChangeOperation::Link;
  plan.Subject = extension;
  // The shell hears of a register only when it names an icon, as the store does.
  plan.Notify = !iconFile.empty();
  TPlanBuilder builder(plan);
  CreateLinkExtention()->PlanLink(builder, extension, command, iconFile, iconIndex, fileType, typeKey);
  return plan;
}

TChangePlan PlanUnlink(const std::wstring& extension, TLinkExtention::TUnlinkResult& judged) {
  TChangePlan plan;
  plan.Operation = TChangeOperation::Unlink;
  plan.Subject = extension;
  TPlanBuilder builder(plan);
  judged = CreateLinkExtention()->PlanUnlink(builder, extension);
  return plan;
}

TChangePlan PlanRemoveUserOverride(const std::wstring& extension, UserOverride what) {
  TChangePlan plan;
  plan.Operation = TChangeOperation::RemoveUserChoice;
  plan.Subject = extension;
  if (!IsExtensionKeyName(extension)) return plan;
  TPlanBuilder builder(plan);
  if (what.choice)
    for (const wchar_t* choice : paths::kChoiceKeys)
      builder.DeleteTree(std::wstring(paths::kFileExtsPath) + L"\\" + extension + L"\\" + choice);
  if (what.userClasses) builder.DeleteTree(std::wstring(paths::kUserClassesPath) + L"\\" + extension);
  return plan;
}

TChangePlan PlanAddOpenWith(const std::wstring& extension, const std::wstring& fileType) {
  TChangePlan plan;
  plan.Operation = TChangeOperation::AddOpenWith;
  plan.Subject = extension;
  if (!IsExtensionKeyName(extension) || fileType.empty()) return plan;
  TPlanBuilder builder(plan);
  builder.SetValue(std::wstring(paths::kClassesRootPath) + L"\\" + extension + L"\\OpenWithProgids", fileType,
                   REG_NONE, {});
  return plan;
}

TChangePlan PlanRegistryFile(const std::wstring& path, TChangeOperation operation, const TTick& tick) {
  return PlanOfFile(path, operation, common::ExtractFileName(path), tick);
}

void ExecuteChange(const TChangePlan& plan, const TProgress& progress, TChangeGroup* group) {
  if (plan.Steps.empty()) return;
  Check(plan);

  // Held until the change has applied: no level of the store can be moved away meanwhile.
  const common::SecureFolder store = OpenBackupStore();
  const THistory before = ReadHistory(store);
  // A change joins its group's entry while that is still the last applied change.
  const bool joins = group && group->started_ && before.Position == group->index_ + 1 &&
                     before.Entries[group->index_].UndoFile == group->entry_.UndoFile;
  THistoryEntry entry;
  if (joins) {
    entry = group->entry_;
  } else {
    entry.Time = BackupClock();
    entry.Account = CurrentAccountName();
    entry.Operation = plan.Operation;
    entry.Subject = plan.Subject;
  }
  bool choiceLost = false;
  TRegDocument inverse, forward;
  std::string undo, redo;
  try {
    inverse = InverseDocument(plan, &choiceLost);
    forward = ForwardDocument(plan);
    if (joins) {
      inverse.Keys.insert(inverse.Keys.end(), group->inverse_.Keys.begin(), group->inverse_.Keys.end());
      forward.Keys.insert(forward.Keys.begin(), group->forward_.Keys.begin(), group->forward_.Keys.end());
    }
    undo = WriteRegFile(inverse);
    redo = WriteRegFile(forward);
  } catch (const Exception& e) {
    throw Exception(texts::BackupFailed(e.Message()));
  }
  entry.ChoiceLost = entry.ChoiceLost || choiceLost;
  const std::wstring stem = TimeStamp(entry.Time) + L" " + FileNamePart(entry.Subject) + L" " +
                            std::wstring(ChangeOperationName(entry.Operation));
  const std::wstring joined = joins ? group->entry_.UndoFile : std::wstring();
  const std::wstring joinedRedo = joins ? group->entry_.RedoFile : std::wstring();
  entry.UndoFile = WriteBackupFile(store, stem, undo);
  entry.RedoFile = WriteBackupFile(store, stem + kRedoSuffix, redo);
  const std::wstring name = texts::ChangeName(entry);

  // Recorded before it applies, so that no change is ever applied without its record. A new
  // change drops the changes that were undone.
  THistory recorded = before;
  if (joins) {
    recorded.Entries[group->index_] = entry;
  } else {
    recorded.Entries.resize(recorded.Position);
    recorded.Entries.push_back(entry);
    recorded.Position = recorded.Entries.size();
  }
  auto forget = [&] {
    store.Remove(entry.UndoFile);
    store.Remove(entry.RedoFile);
  };
  try {
    WriteHistory(store, recorded);
  } catch (const Exception&) {
    forget();
    throw;
  }
  try {
    ApplyFollowed(plan, name, entry.UndoFile, progress);
  } catch (const EChangeFailed& e) {
    if (e.RolledBack() && TakeBack(store, before)) forget();
    throw;
  }
  if (plan.Notify) NotifyAssocChanged();
  if (group) {
    // The group's earlier files are taken by the new ones.
    if (joins) {
      store.Remove(joined);
      store.Remove(joinedRedo);
    }
    group->started_ = true;
    group->entry_ = entry;
    group->index_ = recorded.Position - 1;
    group->inverse_ = std::move(inverse);
    group->forward_ = std::move(forward);
  }
}

std::optional<THistoryMove> PlanUndo(std::wstring* note, const TTick& tick) { return PlanMove(false, note, tick); }

std::optional<THistoryMove> PlanRedo(std::wstring* note, const TTick& tick) { return PlanMove(true, note, tick); }

void ApplyHistoryMove(const THistoryMove& move, const TProgress& progress) {
  // The policy as it stands now, like any other change.
  Check(move.Plan);
  const common::SecureFolder store = OpenBackupStore();
  const THistory before = ReadHistory(store);
  const size_t expected = move.Redo ? move.Index : move.Index + 1;
  if (before.Position != expected || move.Index >= before.Entries.size() ||
      before.Entries[move.Index].UndoFile != move.Entry.UndoFile)
    throw Exception(texts::kHistoryMoved);
  THistory moved = before;
  moved.Position = move.Redo ? move.Index + 1 : move.Index;
  WriteHistory(store, moved);
  try {
    ApplyFollowed(move.Plan, texts::ChangeName(move.Entry), move.Redo ? move.Entry.UndoFile : move.Entry.RedoFile,
                  progress);
  } catch (const EChangeFailed& e) {
    if (e.RolledBack()) TakeBack(store, before);
    throw;
  }
  NotifyAssocChanged();
}

std::wstring LastChangeState() {
  AcquireSRWLockShared(&g_last.lock);
  const std::wstring name = g_last.name, undoFile = g_last.undoFile;
  ReleaseSRWLockShared(&g_last.lock);
  return texts::ChangeStateText(static_cast<texts::TChangeState>(g_last.state.load()), name, g_last.done,
                                g_last.total, undoFile);
}

}  // namespace assoc
