#pragma once
// Saving the list's rows to a file, and the saves asked for while the list still reads, which
// wait for the reading's end so that no file holds part of the list unsaid. No window code: the
// window hands in the rows it shows and shows the sentences handed back.

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "assoclist/assoc_rows.h"

namespace assoclist {

// What a save writes: the rows shown, as CSV, or the selected rows' keys, as a registry file.
enum class SaveKind { Csv, Reg };

// A save asked for: what it writes, and the file it replaces.
struct SaveRequest {
  SaveKind kind;
  std::wstring fileName;
};

// What became of a save: whether the file was written, whether it failed (a warning rather than
// information), and the sentence that tells the user.
struct SaveOutcome {
  bool written = false;
  bool failed = false;
  std::wstring message;
};

// Writes rows as request.kind says (CsvBytes, RegExportBytes) over request.fileName in one step
// (settings::ReplaceWholeFile); the message names the count (texts::CsvSaved, texts::RegSaved).
// complete is false when the list's reading was stopped before its end. A registry file of no
// rows is not written (texts::kSelectToExport). A failure leaves the file as it was and answers
// its message; raises only std::bad_alloc.
SaveOutcome WriteRows(const SaveRequest& request, std::span<const AssocRow* const> rows, bool complete);

// The saves asked for while the list reads, in the order asked.
class WaitingSaves {
 public:
  // Keeps request and answers true while the list is loading; else keeps nothing and answers
  // false: the save is written now.
  bool Defer(const SaveRequest& request, bool loading);
  bool Empty() const { return waiting_.empty(); }
  // Takes out the save asked for first; none when none waits.
  std::optional<SaveRequest> TakeNext();
  // Drops every waiting save, which writes nothing (texts::kSaveCancelled); answers whether any
  // waited.
  bool Cancel();
  // The status line while the list reads: texts::SaveWaitStatus while a save waits, else
  // texts::LoadingStatus.
  std::wstring Status(size_t examined, size_t total) const;

 private:
  std::vector<SaveRequest> waiting_;
};

}  // namespace assoclist
