#include "assoc/change_history.h"

#include <cwchar>
#include <iterator>

#include "assoc/assoc_texts.h"
#include "assoc/backup_store.h"
#include "common/exception.h"
#include "common/text.h"

namespace assoc {

namespace {

constexpr wchar_t kHistoryFile[] = L"history.txt";
constexpr char kHeader[] = "Tavrelo change history 1";
constexpr uint64_t kLargestHistory = 1 << 20;

constexpr TChangeOperation kOperations[] = {TChangeOperation::Link,    TChangeOperation::Unlink,
                                            TChangeOperation::RemoveUserChoice, TChangeOperation::Restore,
                                            TChangeOperation::Import,  TChangeOperation::AddOpenWith,
                                            TChangeOperation::EditFileType};

// A field: tab, line breaks, other control characters and "%" written as "%XX".
std::string Field(std::wstring_view text) {
  std::wstring escaped;
  for (wchar_t c : text) {
    if (c < 0x20 || c == L'%') {
      wchar_t code[4];
      std::swprintf(code, std::size(code), L"%%%02X", static_cast<unsigned>(c));
      escaped += code;
    } else {
      escaped += c;
    }
  }
  return common::Utf8(escaped);
}

bool Unfield(std::string_view field, std::wstring& out) {
  const std::optional<std::wstring> decoded = common::FromUtf8(field);
  if (!decoded) return false;
  const std::wstring& text = *decoded;
  out.clear();
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != L'%') {
      out += text[i];
      continue;
    }
    if (i + 2 >= text.size()) return false;
    int value = 0;
    for (int k = 1; k <= 2; ++k) {
      const wchar_t c = text[i + k];
      const int digit = (c >= L'0' && c <= L'9') ? c - L'0' : (c >= L'A' && c <= L'F') ? c - L'A' + 10 : -1;
      if (digit < 0) return false;
      value = value * 16 + digit;
    }
    out += static_cast<wchar_t>(value);
    i += 2;
  }
  return true;
}

std::vector<std::string_view> Split(std::string_view line, char separator) {
  std::vector<std::string_view> parts;
  for (;;) {
    const size_t end = line.find(separator);
    parts.push_back(line.substr(0, end));
    if (end == std::string_view::npos) return parts;
    line.remove_prefix(end + 1);
  }
}

// A file name the history may name: one name in the folder, nothing that climbs out of it.
bool IsPlainFileName(const std::wstring& name) {
  return !name.empty() && name.size() <= 255 && name.find_first_of(L"\\/:") == std::wstring::npos && name != L"." &&
         name != L"..";
}

}  // namespace

std::string FormatHistory(const THistory& history) {
  std::string out = std::string(kHeader) + "\r\nposition\t" + std::to_string(history.Position) + "\r\n";
  for (const THistoryEntry& e : history.Entries) {
    out += "change\t" + common::Utf8(TimeStamp(e.Time)) + "\t" + Field(e.Account) + "\t" +
           std::to_string(static_cast<int>(e.Operation)) + "\t" + Field(e.Subject) + "\t" + Field(e.UndoFile) + "\t" +
           Field(e.RedoFile) + "\t" + (e.ChoiceLost ? "1" : "0") + "\r\n";
  }
  return out;
}

bool ParseHistory(std::string_view bytes, THistory& history) {
  history = {};
  std::vector<std::string_view> lines = Split(bytes, '\n');
  for (std::string_view& line : lines)
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  while (!lines.empty() && lines.back().empty()) lines.pop_back();
  if (lines.size() < 2 || lines[0] != kHeader) return false;
  const std::vector<std::string_view> position = Split(lines[1], '\t');
  if (position.size() != 2 || position[0] != "position" || position[1].empty() || position[1].size() > 6) return false;
  size_t at = 0;
  for (char c : position[1]) {
    if (c < '0' || c > '9') return false;
    at = at * 10 + (c - '0');
  }
  for (size_t i = 2; i < lines.size(); ++i) {
    const std::vector<std::string_view> f = Split(lines[i], '\t');
    if (f.size() != 8 || f[0] != "change") return false;
    THistoryEntry e;
    const std::optional<SYSTEMTIME> time = ParseTimeStamp(common::FromUtf8(f[1]).value_or(L""));
    if (!time) return false;
    e.Time = *time;
    if (f[3].size() != 1 || f[3][0] < '0' || f[3][0] >= '0' + static_cast<int>(std::size(kOperations))) return false;
    e.Operation = kOperations[f[3][0] - '0'];
    if (!Unfield(f[2], e.Account) || !Unfield(f[4], e.Subject) || !Unfield(f[5], e.UndoFile) ||
        !Unfield(f[6], e.RedoFile) || (f[7] != "0" && f[7] != "1"))
      return false;
    if (!IsPlainFileName(e.UndoFile) || !IsPlainFileName(e.RedoFile)) return false;
    e.ChoiceLost = f[7] == "1";
    history.Entries.push_back(std::move(e));
  }
  if (at > history.Entries.size()) return false;
  history.Position = at;
  return true;
}

namespace {

// See OpenBackupStore. Never raises: what cannot be moved stays behind.
void MoveOlderHistory(const common::SecureFolder& store) {
  std::string bytes;
  // A limit of nothing reads no byte: it asks only whether there is a history.
  if (store.Read(kHistoryFile, 0, bytes) != common::FileRead::Missing) return;
  common::SecureFolderError error;
  const common::SecureFolder older = common::SecureFolder::OpenToRead(OlderBackupPlace(), error);
  THistory history;
  if (!older || older.Read(kHistoryFile, kLargestHistory, bytes) != common::FileRead::Read ||
      !ParseHistory(bytes, history))
    return;
  for (const THistoryEntry& entry : history.Entries) {
    for (const std::wstring* name : {&entry.UndoFile, &entry.RedoFile}) {
      if (older.Read(*name, kLargestRegistryFile, bytes) == common::FileRead::Read) store.CreateNew(*name, bytes);
    }
  }
  store.Replace(kHistoryFile, FormatHistory(history));
}

}  // namespace

common::SecureFolder OpenBackupStore() {
  common::SecureFolder store = CreateBackupFolder();
  MoveOlderHistory(store);
  return store;
}

THistory ReadHistory(const common::SecureFolder& store, std::wstring* note) {
  THistory history;
  const std::wstring path = store.Path() + L"\\" + kHistoryFile;
  std::string bytes;
  switch (store.Read(kHistoryFile, kLargestHistory, bytes)) {
    case common::FileRead::Missing:
      return history;
    case common::FileRead::NotTrusted:
      if (note) *note = texts::HistoryNotTrusted(path);
      return history;
    case common::FileRead::Read:
      if (ParseHistory(bytes, history)) return history;
      break;
    case common::FileRead::TooLarge:
    case common::FileRead::Failed:
      break;
  }
  if (note) *note = texts::HistoryUnreadable(path);
  return {};
}

THistory ReadHistory(std::wstring* note) {
  common::SecureFolderError error;
  const common::SecureFolder store = common::SecureFolder::OpenToRead(StorePlace(kBackupStore), error);
  if (store) return ReadHistory(store, note);
  if (note && error.fault == common::SecureFolderFault::Link) *note = FolderFaultText(error);
  return {};
}

void WriteHistory(const common::SecureFolder& store, const THistory& history) {
  THistory kept = history;
  if (kept.Entries.size() > kHistoryLength) {
    const size_t drop = kept.Entries.size() - kHistoryLength;
    kept.Entries.erase(kept.Entries.begin(), kept.Entries.begin() + drop);
    kept.Position = kept.Position > drop ? kept.Position - drop : 0;
  }
  if (!store.Replace(kHistoryFile, FormatHistory(kept)))
    throw Exception(texts::HistoryNotWritten(texts::CannotWriteFile(store.Path() + L"\\" + kHistoryFile)));
}

}  // namespace assoc
