#pragma once
// The history of the changes the tool applied, kept in the secured backups folder
// ("history.txt"): which backup undoes each change and which file makes it again, and how far
// undo has gone. Only files the history names are ever undone or redone; nothing else in the
// folder, whatever its name says, is taken for a backup.

#include <windows.h>

#include <string>
#include <vector>

#include "assoc/change_plan.h"

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

// The history in the folder. Empty when there is none. A history that is not a trusted file
// (IsTrustedFile), larger than 1 MB, or does not parse is not used: empty, and note says why.
THistory ReadHistory(std::wstring* note = nullptr);

// Writes history into the prepared folder (replacing the file only once the new one is
// complete). Raises Exception (BackupFailed and the reason) on failure.
void WriteHistory(const THistory& history);

// The text of history as the file holds it (UTF-8, one entry a line), and back. Parse answers
// false for anything that WriteHistory does not write.
std::string FormatHistory(const THistory& history);
bool ParseHistory(std::string_view bytes, THistory& history);

}  // namespace assoc
