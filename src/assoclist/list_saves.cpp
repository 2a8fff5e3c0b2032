#include "assoclist/list_saves.h"

#include "assoclist/export_text.h"
#include "assoclist/list_texts.h"
#include "assoclist/reg_export.h"
#include "common/exception.h"
#include "settings/file_access.h"

namespace assoclist {

SaveOutcome WriteRows(const SaveRequest& request, std::span<const AssocRow* const> rows, bool complete) {
  const bool csv = request.kind == SaveKind::Csv;
  if (!csv && rows.empty()) return {false, false, texts::kSelectToExport};
  try {
    const std::string bytes = csv ? CsvBytes(rows) : RegExportBytes(rows);
    settings::ReplaceWholeFile(request.fileName, bytes);
  } catch (const Exception& e) {
    return {false, true, e.Message()};
  }
  return {true, false, csv ? texts::CsvSaved(rows.size(), complete) : texts::RegSaved(rows.size())};
}

bool WaitingSaves::Defer(const SaveRequest& request, bool loading) {
  if (!loading) return false;
  waiting_.push_back(request);
  return true;
}

std::optional<SaveRequest> WaitingSaves::TakeNext() {
  if (waiting_.empty()) return std::nullopt;
  SaveRequest first = std::move(waiting_.front());
  waiting_.erase(waiting_.begin());
  return first;
}

bool WaitingSaves::Cancel() {
  const bool any = !waiting_.empty();
  waiting_.clear();
  return any;
}

std::wstring WaitingSaves::Status(size_t examined, size_t total) const {
  return waiting_.empty() ? texts::LoadingStatus(examined, total) : texts::SaveWaitStatus(examined, total);
}

}  // namespace assoclist
