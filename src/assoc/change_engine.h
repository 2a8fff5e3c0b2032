#pragma once
// The one way the tool changes the registry. An operation plans its steps (reading only); the
// policy checks them; a preview shows them where the user did not type them; the inverse is
// backed up; the history records the change; the steps apply all or nothing, so that 元に戻す
// and やり直し step back and forth through the history one change at a time.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "assoc/change_history.h"
#include "assoc/change_plan.h"
#include "assoc/link_extention.h"
#include "assoc/user_override.h"

namespace assoc {

// Called now and then while a long change applies, with the steps done and their number.
using TProgress = std::function<void(size_t done, size_t total)>;
// Called now and then while a large file is planned.
using TTick = std::function<void()>;

// The plan of a register of the five fields on this Windows, into the file type key typeKey (empty:
// "<extension without its dot>File"). Raises "拡張子に間違いがあります。" for an extension the store
// refuses. Reads only; the policy judges the type when the plan is checked.
TChangePlan PlanLink(const std::wstring& extension, const std::wstring& command, const std::wstring& iconFile,
                     int iconIndex, const std::wstring& fileType, const std::wstring& typeKey = {});

// The plan of a delete (what TLinkExtention::Unlink removes on this Windows); judged tells what
// becomes of the file type key. Raises "拡張子に間違いがあります。" for an extension the store
// refuses. Reads only.
TChangePlan PlanUnlink(const std::wstring& extension, TLinkExtention::TUnlinkResult& judged);

// The plan that removes what for extension: FileExts\<ext>\UserChoice and UserChoiceLatest, and
// HKEY_CURRENT_USER\Software\Classes\<ext>, each with its sub-keys. Reads only.
TChangePlan PlanRemoveUserOverride(const std::wstring& extension, UserOverride what);

// The plan that offers fileType for extension in Windows' list of programs: a REG_NONE value
// named fileType, without data, in HKEY_CLASSES_ROOT\<ext>\OpenWithProgids. Reads only.
TChangePlan PlanAddOpenWith(const std::wstring& extension, const std::wstring& fileType);

// The plan that makes the registry hold what the registry file at path says (a restore, or an
// import). Raises Exception naming the file before anything is written: larger than
// kLargestRegistryFile, unreadable, a line that does not parse, or a key the policy refuses
// (named, with the reason).
TChangePlan PlanRegistryFile(const std::wstring& path, TChangeOperation operation, const TTick& tick = {});

// Changes made as one: the first change made with the group records its entry in the history;
// each later one joins that entry (its operation and subject stay the first's), so that the
// history names them as one change and one 元に戻す takes them all back. A change that cannot join
// (the history moved on meanwhile) gets an entry of its own. Used by one thread at a time.
class TChangeGroup {
 public:
  TChangeGroup() = default;
  TChangeGroup(const TChangeGroup&) = delete;
  TChangeGroup& operator=(const TChangeGroup&) = delete;

 private:
  friend void ExecuteChange(const TChangePlan&, const TProgress&, TChangeGroup*);
  bool started_ = false;
  THistoryEntry entry_;       // as recorded
  size_t index_ = 0;          // its place in the history
  TRegDocument forward_;      // every change of the group, in order
  TRegDocument inverse_;      // what undoes them, the latest first
};

// Checks plan with the policy, backs up its inverse and the file that makes it again, records it
// in the history (joining group's entry, when given and started), applies it and sends the change
// notice (plan.Notify). An empty plan does nothing. Raises, with the registry and the history as
// they were: Exception for a key the policy refuses, a backup that cannot be written
// (BackupFailed) or a history that cannot record it (HistoryNotWritten); EChangeFailed when a step
// fails (rolled back, and then the record taken out again; or saying what is left, and then
// recorded).
void ExecuteChange(const TChangePlan& plan, const TProgress& progress = {}, TChangeGroup* group = nullptr);

// A step through the history, planned and ready to be shown.
struct THistoryMove {
  bool Redo = false;
  THistoryEntry Entry;  // the change it undoes or makes again
  size_t Index = 0;     // the entry's place in the history
  TChangePlan Plan;
  std::wstring Question;  // names the change, and says when an earlier choice cannot come back
};

// The undo of the last applied change, or the redo of the first undone one; nothing when there
// is none. note receives why a history was not used. Raises Exception naming the file when the
// history names a file that is missing, not trusted, larger than the limit, does not parse or
// reaches keys the policy refuses; BackupFailed when the store cannot be opened.
std::optional<THistoryMove> PlanUndo(std::wstring* note = nullptr, const TTick& tick = {});
std::optional<THistoryMove> PlanRedo(std::wstring* note = nullptr, const TTick& tick = {});

// Moves the history's position, then applies move; never records a change of its own. Raises
// Exception when the history moved on since move was planned or cannot record the move
// (HistoryNotWritten; nothing applied), EChangeFailed as ExecuteChange (the position put back
// when rolled back).
void ApplyHistoryMove(const THistoryMove& move, const TProgress& progress = {});

// What became of the last change this process started, for a report of a fault: none yet, being
// applied (which step of how many, and the backup that undoes it), applied, or put back after a
// failure. Safe to call from any thread, also while the change's thread is stopped.
std::wstring LastChangeState();

}  // namespace assoc
