#pragma once
// The history of the changes the tool applied, kept in the backups store ("history.txt"): which
// backup undoes each change and which file makes it again, and how far undo has gone. Only files
// the history names are ever undone or redone; nothing else in the folder, whatever its name
// says, is taken for a backup. The history is a journal: a change is recorded before it applies.

#include <windows.h>

#include <string>
#include <vector>

#include "assoc/change_plan.h"
#include "common/secure_folder.h"

namespace assoc {

// One applied change.
struct THistoryEntry {
  SYSTEMTIME Time{};
  std::wstring Account;
  TChangeOperation Operation = TChangeOperation::Link;
  std::wstring Subject;   // the extension or file the change was about
  std::wstring UndoFile;  // the backup that undoes it, a file name in the folder
  std::wstring RedoFile;  // the file that makes it again
  bool ChoiceLost = false;  // it removed a per-user choice, which no undo can write back
};

// The entries, oldest first; the first Position of them are applied (undo takes the last of
// those), the rest were undone (redo takes the first of those).
struct THistory {
  std::vector<THistoryEntry> Entries;
  size_t Position = 0;
};

// The most entries kept; older ones drop out (their files stay).
inline constexpr size_t kHistoryLength = 1000;

// Opens the backups store (CreateBackupFolder) and, when it holds no history yet, moves an older
// version's into it once: %LOCALAPPDATA%\Tavrelo\Backups\history.txt and the backups it names
// are copied, each only when the tool wrote it (common::SecureFolder::Read, through levels that
// are no links); a history that fails this moves nothing, a backup that fails it stays behind
// (undo then says it is missing). The old folder is left as it is. Raises as CreateBackupFolder.
common::SecureFolder OpenBackupStore();

// The history in store. Empty when there is none. A history that the tool did not write, larger
// than 1 MB, or that does not parse is not used: empty, and note says why.
THistory ReadHistory(const common::SecureFolder& store, std::wstring* note = nullptr);
// The same, from the store opened to read only (nothing is created): empty when there is none,
// and with a note when a level of it is a link.
THistory ReadHistory(std::wstring* note = nullptr);

// Writes history into store (replacing the file only once the new one is complete). Raises
// Exception (HistoryNotWritten and the reason) on failure; the history then stays as it was.
void WriteHistory(const common::SecureFolder& store, const THistory& history);

// The text of history as the file holds it (UTF-8, one entry a line), and back. Parse answers
// false for anything that WriteHistory does not write.
std::string FormatHistory(const THistory& history);
bool ParseHistory(std::string_view bytes, THistory& history);

}  // namespace assoc
