#include "assoc/backup.h"

#include <shlobj.h>

#include <algorithm>
#include <cstdint>
#include <cwchar>
#include <iterator>

#include "assoc/assoc_texts.h"
#include "assoc/link_extention_winxp.h"
#include "assoc/reg_snapshot.h"
#include "assoc/safety.h"
#include "assoc/shell_assoc.h"
#include "common/handles.h"
#include "common/text.h"

namespace assoc {

namespace {

struct OperationName {
  TBackupOperation operation;
  std::wstring_view name;
};
constexpr OperationName kOperationNames[] = {
    {TBackupOperation::Link, L"登録"},
    {TBackupOperation::Unlink, L"削除"},
    {TBackupOperation::RemoveUserChoice, L"利用者の選択の削除"},
    {TBackupOperation::Restore, L"復元"},
};

constexpr wchar_t kClassesRoot[] = L"HKEY_CLASSES_ROOT\\";
constexpr wchar_t kUserClasses[] = L"HKEY_CURRENT_USER\\Software\\Classes\\";
constexpr wchar_t kFileExts[] =
    L"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\";
constexpr wchar_t kOpenSaveMru[] =
    L"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ComDlg32\\OpenSavePidlMRU\\";

// The keys below which a restore may write, as key names from the root on (unused places stay
// empty).
constexpr std::wstring_view kManagedRoots[][9] = {
    {L"HKEY_CLASSES_ROOT"},
    {L"HKEY_LOCAL_MACHINE", L"Software", L"Classes"},
    {L"HKEY_CURRENT_USER", L"Software", L"Classes"},
    {L"HKEY_CURRENT_USER", L"Software", L"Microsoft", L"Windows", L"CurrentVersion", L"Explorer", L"FileExts"},
    {L"HKEY_CURRENT_USER", L"Software", L"Microsoft", L"Windows", L"CurrentVersion", L"Explorer", L"ComDlg32",
     L"OpenSavePidlMRU"},
};

constexpr std::wstring_view kBackupSuffix = L".reg";
constexpr std::wstring_view kUnsafeInFileNames = L"\\/:*?\"<>|%";
constexpr size_t kTimeLength = 19;  // yyyymmdd-hhmmss-fff
constexpr size_t kMaxExtensionLength = 64;
constexpr wchar_t kCut = L'\x2026';

std::wstring ShellLocalAppData() {
  wchar_t path[MAX_PATH] = L"";
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path))) return {};
  return path;
}

SYSTEMTIME LocalNow() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return now;
}

uint64_t Ticks(const SYSTEMTIME& time) {
  FILETIME file{};
  SystemTimeToFileTime(&time, &file);
  return (static_cast<uint64_t>(file.dwHighDateTime) << 32) | file.dwLowDateTime;
}

SYSTEMTIME TimeOfTicks(uint64_t ticks) {
  const FILETIME file{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
  SYSTEMTIME time{};
  FileTimeToSystemTime(&file, &time);
  return time;
}

constexpr uint64_t kTicksPerMillisecond = 10000;

std::wstring EncodedExtension(std::wstring_view extension) {
  std::wstring out;
  for (wchar_t c : extension) {
    if (c < 0x20 || kUnsafeInFileNames.find(c) != std::wstring_view::npos) {
      wchar_t escape[4];
      std::swprintf(escape, std::size(escape), L"%%%02X", static_cast<unsigned>(c));
      out += escape;
    } else {
      out += c;
    }
  }
  if (out.size() <= kMaxExtensionLength) return out;
  size_t cut = kMaxExtensionLength - 1;
  // Neither an escape nor a surrogate pair is split.
  if (out[cut - 1] == L'%') {
    cut -= 1;
  } else if (out[cut - 2] == L'%') {
    cut -= 2;
  } else if (IS_HIGH_SURROGATE(out[cut - 1])) {
    cut -= 1;
  }
  out.resize(cut);
  return out + kCut;
}

std::optional<std::wstring> DecodedExtension(std::wstring_view encoded) {
  std::wstring out;
  for (size_t i = 0; i < encoded.size(); ++i) {
    if (encoded[i] != L'%') {
      out += encoded[i];
      continue;
    }
    int value = 0;
    if (i + 2 >= encoded.size()) return std::nullopt;
    for (int k = 1; k <= 2; ++k) {
      const wchar_t c = encoded[i + k];
      const int digit = (c >= L'0' && c <= L'9') ? c - L'0' : (c >= L'A' && c <= L'F') ? c - L'A' + 10 : -1;
      if (digit < 0) return std::nullopt;
      value = value * 16 + digit;
    }
    out += static_cast<wchar_t>(value);
    i += 2;
  }
  return out;
}

bool TakeDigits(std::wstring_view text, size_t pos, size_t count, WORD& value) {
  value = 0;
  for (size_t i = pos; i < pos + count; ++i) {
    if (text[i] < L'0' || text[i] > L'9') return false;
    value = static_cast<WORD>(value * 10 + (text[i] - L'0'));
  }
  return true;
}

// The key names of path, from the root on.
std::vector<std::wstring_view> KeyNames(std::wstring_view path) {
  std::vector<std::wstring_view> names;
  for (;;) {
    const size_t end = path.find(L'\\');
    names.push_back(path.substr(0, end));
    if (end == std::wstring_view::npos) return names;
    path.remove_prefix(end + 1);
  }
}

// True when inner is outer or lies below it.
bool IsWithin(std::wstring_view inner, std::wstring_view outer) {
  const std::vector<std::wstring_view> in = KeyNames(inner), out = KeyNames(outer);
  if (in.size() < out.size()) return false;
  for (size_t i = 0; i < out.size(); ++i)
    if (!SameKeyName(in[i], out[i])) return false;
  return true;
}

std::wstring ParentOf(std::wstring_view path) { return std::wstring(path.substr(0, path.rfind(L'\\'))); }

[[noreturn]] void BackupFailed(std::wstring_view reason) { throw Exception(texts::BackupFailed(reason)); }

// Creates folder (and the "Tavrelo" folder above it) unless it exists.
void CreateBackupFolder(const std::wstring& folder) {
  for (const std::wstring& level : {ParentOf(folder), folder}) {
    if (!CreateDirectoryW(level.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
      BackupFailed(texts::CannotCreateFolder(level));
  }
}

// Writes bytes into a new file at path and flushes it. False (with the file removed again) when
// any byte did not reach it; exists tells when a file of that name was there already.
bool WriteNewFile(const std::wstring& path, const std::string& bytes, bool& exists) {
  exists = false;
  common::UniqueFileHandle file(
      CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    exists = GetLastError() == ERROR_FILE_EXISTS;
    return false;
  }
  DWORD written = 0;
  const bool complete = WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                        written == bytes.size() && FlushFileBuffers(file.get());
  file.reset();
  if (!complete) DeleteFileW(path.c_str());
  return complete;
}

std::string ReadWholeFile(const std::wstring& path, bool& ok) {
  ok = false;
  common::UniqueFileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER size{};
  if (!file || !GetFileSizeEx(file.get(), &size) || size.QuadPart > 0x7FFFFFFF) return {};
  std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
  DWORD read = 0;
  if (!ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) || read != bytes.size())
    return {};
  ok = true;
  return bytes;
}

// The time for the next backup: the clock's, or a millisecond after the newest backup in the
// folder when the clock is not past it (the same millisecond, or a clock put back as when
// summer time ends), so that the backup just taken is always the newest.
uint64_t NextBackupTicks() {
  const uint64_t now = Ticks(BackupClock());
  const std::optional<TBackupFile> newest = NewestBackup();
  if (!newest) return now;
  return std::max(now, Ticks(newest->Name.Time) + kTicksPerMillisecond);
}

void RequireExtension(const std::wstring& extension, bool linkable) {
  const bool accepted = linkable ? IsExtensionKeyName(extension)
                                 : IsUnlinkableExtension(extension) && extension.find(L'\0') == std::wstring::npos;
  if (!accepted) throw Exception(texts::kWrongExtension);
}

}  // namespace

common::Seam<std::wstring()> LocalAppDataFolder(&ShellLocalAppData);
common::Seam<SYSTEMTIME()> BackupClock(&LocalNow);

std::wstring_view BackupOperationName(TBackupOperation operation) noexcept {
  for (const OperationName& row : kOperationNames)
    if (row.operation == operation) return row.name;
  return {};
}

std::wstring BackupFileName(const TBackupName& name) {
  wchar_t time[24];
  const SYSTEMTIME& t = name.Time;
  std::swprintf(time, std::size(time), L"%04u%02u%02u-%02u%02u%02u-%03u", t.wYear, t.wMonth, t.wDay, t.wHour,
                t.wMinute, t.wSecond, t.wMilliseconds);
  return std::wstring(time) + L" " + EncodedExtension(name.Extension) + L" " +
         std::wstring(BackupOperationName(name.Operation)) + std::wstring(kBackupSuffix);
}

std::optional<TBackupName> ParseBackupFileName(std::wstring_view fileName) {
  if (fileName.size() < kTimeLength + 2 + kBackupSuffix.size() ||
      fileName.substr(fileName.size() - kBackupSuffix.size()) != kBackupSuffix || fileName[kTimeLength] != L' ' ||
      fileName[8] != L'-' || fileName[15] != L'-')
    return std::nullopt;
  TBackupName name;
  SYSTEMTIME& t = name.Time;
  if (!TakeDigits(fileName, 0, 4, t.wYear) || !TakeDigits(fileName, 4, 2, t.wMonth) ||
      !TakeDigits(fileName, 6, 2, t.wDay) || !TakeDigits(fileName, 9, 2, t.wHour) ||
      !TakeDigits(fileName, 11, 2, t.wMinute) || !TakeDigits(fileName, 13, 2, t.wSecond) ||
      !TakeDigits(fileName, 16, 3, t.wMilliseconds))
    return std::nullopt;
  FILETIME check;
  if (!SystemTimeToFileTime(&t, &check)) return std::nullopt;
  t = TimeOfTicks(Ticks(t));  // fills in the day of the week

  const std::wstring_view rest =
      fileName.substr(kTimeLength + 1, fileName.size() - kTimeLength - 1 - kBackupSuffix.size());
  const size_t space = rest.rfind(L' ');
  if (space == std::wstring_view::npos) return std::nullopt;
  const std::wstring_view operation = rest.substr(space + 1);
  const auto row = std::find_if(std::begin(kOperationNames), std::end(kOperationNames),
                                [&](const OperationName& r) { return r.name == operation; });
  if (row == std::end(kOperationNames)) return std::nullopt;
  name.Operation = row->operation;
  std::optional<std::wstring> extension = DecodedExtension(rest.substr(0, space));
  if (!extension) return std::nullopt;
  name.Extension = std::move(*extension);
  return name;
}

std::wstring BackupFolder() { return LocalAppDataFolder() + L"\\Tavrelo\\Backups"; }

std::optional<TBackupFile> NewestBackup() {
  const std::wstring folder = BackupFolder();
  WIN32_FIND_DATAW found;
  const common::UniqueFindHandle search(FindFirstFileW((folder + L"\\*.reg").c_str(), &found));
  if (!search) return std::nullopt;
  std::optional<TBackupFile> newest;
  uint64_t newestTicks = 0;
  do {
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    const std::optional<TBackupName> name = ParseBackupFileName(found.cFileName);
    if (!name) continue;
    const uint64_t ticks = Ticks(name->Time);
    const std::wstring path = folder + L"\\" + found.cFileName;
    if (!newest || ticks > newestTicks || (ticks == newestTicks && path > newest->Path)) {
      newest = TBackupFile{path, *name};
      newestTicks = ticks;
    }
  } while (FindNextFileW(search.get(), &found));
  return newest;
}

std::vector<std::wstring> KeysTouchedByLink(const std::wstring& extension) {
  return {kClassesRoot + extension, kClassesRoot + extension.substr(extension.empty() ? 0 : 1) + L"File",
          kFileExts + extension, kOpenSaveMru + extension};
}

std::vector<std::wstring> KeysTouchedByUnlink(const std::wstring& extension) {
  std::vector<std::wstring> keys{kClassesRoot + extension};
  const std::wstring fileTypeKey = FileTypeKeyOf(extension);
  using TLinkExtention::TFileTypeKept;
  const TFileTypeKept kept = JudgeFileTypeKeyByName(fileTypeKey);
  if (!fileTypeKey.empty() && kept == TFileTypeKept::No) keys.push_back(kClassesRoot + fileTypeKey);
  keys.push_back(kFileExts + extension);
  keys.push_back(kOpenSaveMru + extension);
  return keys;
}

std::vector<std::wstring> KeysTouchedByRemoveUserChoice(const std::wstring& extension) {
  return {kFileExts + extension + L"\\UserChoice", kFileExts + extension + L"\\UserChoiceLatest",
          kUserClasses + extension};
}

std::vector<std::wstring> KeysTouchedByRestore(const TRegDocument& document) {
  std::vector<std::wstring> candidates;
  for (const TRegKey& section : document.Keys) {
    std::wstring path = section.Path;
    while (!RegKeyExists(path)) {
      const std::wstring parent = ParentOf(path);
      if (parent.size() == path.size() || !IsManagedKey(parent) || RegKeyExists(parent)) break;
      path = parent;
    }
    candidates.push_back(std::move(path));
  }
  // Shallow keys first, so that each deeper one finds the key it lies within already taken.
  std::stable_sort(candidates.begin(), candidates.end(), [](const std::wstring& a, const std::wstring& b) {
    return KeyNames(a).size() < KeyNames(b).size();
  });
  std::vector<std::wstring> keys;
  for (std::wstring& candidate : candidates) {
    const bool within =
        std::any_of(keys.begin(), keys.end(), [&](const std::wstring& k) { return IsWithin(candidate, k); });
    if (!within) keys.push_back(std::move(candidate));
  }
  return keys;
}

bool IsManagedKey(std::wstring_view path) noexcept {
  const std::vector<std::wstring_view> names = KeyNames(path);
  if (std::any_of(names.begin(), names.end(), [](std::wstring_view n) { return n.empty(); })) return false;
  for (const auto& root : kManagedRoots) {
    size_t length = 0;
    while (length < std::size(root) && !root[length].empty()) ++length;
    if (names.size() <= length) continue;
    bool matches = true;
    for (size_t i = 0; i < length && matches; ++i) matches = SameKeyName(names[i], root[i]);
    if (matches) return true;
  }
  return false;
}

std::wstring WriteBackup(const std::vector<std::wstring>& keys, std::wstring_view extension,
                         TBackupOperation operation) {
  std::string bytes;
  try {
    TRegDocument document;
    for (const std::wstring& key : keys) AppendKeySnapshot(key, document);
    bytes = WriteRegFile(document);
  } catch (const Exception& e) {
    BackupFailed(e.Message());
  }

  const std::wstring appData = LocalAppDataFolder();
  if (appData.empty()) BackupFailed(texts::kNoLocalAppData);
  const std::wstring folder = BackupFolder();
  CreateBackupFolder(folder);

  uint64_t ticks = NextBackupTicks();
  // Another process may have taken the name: the next millisecond is tried, a few times.
  for (int attempt = 0; attempt < 100; ++attempt, ticks += kTicksPerMillisecond) {
    const std::wstring path =
        folder + L"\\" + BackupFileName({TimeOfTicks(ticks), std::wstring(extension), operation});
    bool exists = false;
    if (WriteNewFile(path, bytes, exists)) return path;
    if (!exists) BackupFailed(texts::CannotWriteFile(path));
  }
  BackupFailed(texts::CannotWriteFile(folder));
}

std::wstring BackupBeforeLink(const std::wstring& extension) {
  RequireExtension(extension, true);
  return WriteBackup(KeysTouchedByLink(extension), extension, TBackupOperation::Link);
}

std::wstring BackupBeforeUnlink(const std::wstring& extension) {
  RequireExtension(extension, false);
  return WriteBackup(KeysTouchedByUnlink(extension), extension, TBackupOperation::Unlink);
}

std::wstring BackupBeforeRemoveUserChoice(const std::wstring& extension) {
  RequireExtension(extension, false);
  return WriteBackup(KeysTouchedByRemoveUserChoice(extension), extension, TBackupOperation::RemoveUserChoice);
}

TRestoreResult RestoreBackup(const std::wstring& path) {
  const std::wstring fileName = common::ExtractFileName(path);
  bool read = false;
  const std::string bytes = ReadWholeFile(path, read);
  if (!read) throw Exception(texts::CannotReadFile(fileName));

  TRegDocument document;
  try {
    document = ReadRegFile(bytes);
  } catch (const ERegFileError& e) {
    throw Exception(texts::CannotRestore(fileName, e.Message()));
  }
  for (const TRegKey& section : document.Keys) {
    if (!IsManagedKey(section.Path))
      throw Exception(texts::CannotRestore(fileName, texts::LineFault(section.Line, texts::ForeignKey(section.Path))));
  }

  const std::optional<TBackupName> restored = ParseBackupFileName(fileName);
  TRestoreResult result;
  result.BackupPath =
      WriteBackup(KeysTouchedByRestore(document), restored ? restored->Extension : L"", TBackupOperation::Restore);
  try {
    ApplyRegDocument(document);
  } catch (const Exception& e) {
    NotifyAssocChanged();
    throw Exception(texts::RestoreStopped(e.Message(), common::ExtractFileName(result.BackupPath)));
  }
  NotifyAssocChanged();
  return result;
}

}  // namespace assoc
