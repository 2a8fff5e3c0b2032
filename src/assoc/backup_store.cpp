#include "assoc/backup_store.h"

#include <shlobj.h>
#include <userenv.h>

#include <algorithm>
#include <cwchar>
#include <iterator>

#include "assoc/assoc_texts.h"
#include "assoc/user_hive.h"
#include "common/handles.h"
#include "common/text.h"

namespace assoc {

namespace {

constexpr wchar_t kProduct[] = L"Tavrelo";

constexpr std::wstring_view kUnsafeInFileNames = L"\\/:*?\"<>|%";
constexpr size_t kMaxNamePart = 64;
constexpr wchar_t kCut = L'\x2026';

std::wstring ShellProgramData() {
  PWSTR path = nullptr;
  const HRESULT result = SHGetKnownFolderPath(FOLDERID_ProgramData, 0, nullptr, &path);
  std::wstring folder = SUCCEEDED(result) && path ? path : L"";
  CoTaskMemFree(path);
  return folder;
}

// The default place below the profile, which the machine's profile list names; the user's shell
// folders may say anything.
std::wstring ProfileLocalAppData() {
  HANDLE raw = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) return {};
  const common::UniqueKernelHandle token(raw);
  wchar_t profile[MAX_PATH];
  DWORD size = MAX_PATH;
  if (!GetUserProfileDirectoryW(token.get(), profile, &size)) return {};
  return std::wstring(profile) + L"\\AppData\\Local";
}

SYSTEMTIME LocalNow() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return now;
}

[[noreturn]] void BackupFailed(std::wstring_view reason) { throw Exception(texts::BackupFailed(reason)); }

}  // namespace

common::Seam<std::wstring()> MachineDataFolder(&ShellProgramData);
common::Seam<std::wstring()> LocalAppDataFolder(&ProfileLocalAppData);
common::Seam<std::wstring()> StoreAccountSid(&TargetAccountSid);
common::Seam<SYSTEMTIME()> BackupClock(&LocalNow);

common::SecureFolderPlace StorePlace(const std::wstring& kind) {
  const std::wstring account = StoreAccountSid();
  return {MachineDataFolder(), {kProduct, kind, account}, account};
}

common::SecureFolderPlace OlderBackupPlace() { return {LocalAppDataFolder(), {kProduct, kBackupStore}, {}}; }

std::wstring BackupFolder() { return StorePlace(kBackupStore).Path(); }

std::wstring FolderFaultText(const common::SecureFolderError& error) {
  switch (error.fault) {
    case common::SecureFolderFault::NoRoot:
      return texts::kNoProgramData;
    case common::SecureFolderFault::Link:
      return texts::FolderIsLink(error.path);
    case common::SecureFolderFault::CannotSecure:
      return texts::CannotSecureFolder(error.path);
    case common::SecureFolderFault::None:
    case common::SecureFolderFault::Missing:
    case common::SecureFolderFault::CannotCreate:
      break;
  }
  return texts::CannotCreateFolder(error.path);
}

common::SecureFolder CreateBackupFolder() {
  common::SecureFolderError error;
  common::SecureFolder store = common::SecureFolder::Create(StorePlace(kBackupStore), error);
  if (!store) BackupFailed(FolderFaultText(error));
  return store;
}

std::wstring TimeStamp(const SYSTEMTIME& t) {
  wchar_t text[24];
  std::swprintf(text, std::size(text), L"%04u%02u%02u-%02u%02u%02u-%03u", t.wYear, t.wMonth, t.wDay, t.wHour,
                t.wMinute, t.wSecond, t.wMilliseconds);
  return text;
}

std::optional<SYSTEMTIME> ParseTimeStamp(std::wstring_view stamp) {
  if (stamp.size() != 19 || stamp[8] != L'-' || stamp[15] != L'-') return std::nullopt;
  WORD parts[7];
  const size_t starts[7] = {0, 4, 6, 9, 11, 13, 16}, lengths[7] = {4, 2, 2, 2, 2, 2, 3};
  for (int p = 0; p < 7; ++p) {
    parts[p] = 0;
    for (size_t i = starts[p]; i < starts[p] + lengths[p]; ++i) {
      if (stamp[i] < L'0' || stamp[i] > L'9') return std::nullopt;
      parts[p] = static_cast<WORD>(parts[p] * 10 + (stamp[i] - L'0'));
    }
  }
  SYSTEMTIME time{parts[0], parts[1], 0, parts[2], parts[3], parts[4], parts[5], parts[6]};
  FILETIME file;
  if (!SystemTimeToFileTime(&time, &file) || !FileTimeToSystemTime(&file, &time)) return std::nullopt;
  return time;
}

std::wstring FileNamePart(std::wstring_view text) {
  std::wstring out;
  for (wchar_t c : text) {
    if (c < 0x20 || kUnsafeInFileNames.find(c) != std::wstring_view::npos) {
      wchar_t escape[4];
      std::swprintf(escape, std::size(escape), L"%%%02X", static_cast<unsigned>(c));
      out += escape;
    } else {
      out += c;
    }
    if (out.size() > kMaxNamePart + 3) break;
  }
  if (out.size() <= kMaxNamePart) return out;
  size_t cut = kMaxNamePart - 1;
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

std::wstring WriteBackupFile(const common::SecureFolder& store, const std::wstring& stem, const std::string& bytes) {
  for (int attempt = 1; attempt <= 100; ++attempt) {
    const std::wstring name = stem + (attempt == 1 ? L"" : L" (" + std::to_wstring(attempt) + L")") + L".reg";
    switch (store.CreateNew(name, bytes)) {
      case common::FileWrite::Written:
        return name;
      case common::FileWrite::Exists:
        continue;
      case common::FileWrite::Failed:
        BackupFailed(texts::CannotWriteFile(store.Path() + L"\\" + name));
    }
  }
  BackupFailed(texts::CannotWriteFile(store.Path()));
}

TRegDocument ReadBackupFile(const common::SecureFolder& store, const std::wstring& name) {
  std::string bytes;
  switch (store.Read(name, kLargestRegistryFile, bytes)) {
    case common::FileRead::Read:
      break;
    case common::FileRead::Missing:
      throw Exception(texts::BackupMissing(name));
    case common::FileRead::NotTrusted:
      throw Exception(texts::BackupNotTrusted(name));
    case common::FileRead::TooLarge:
      throw Exception(texts::FileTooLarge(name, kLargestRegistryFile));
    case common::FileRead::Failed:
      throw Exception(texts::CannotReadFile(name));
  }
  try {
    return ReadRegFile(bytes);
  } catch (const ERegFileError& e) {
    throw Exception(texts::CannotRestore(name, e.Message()));
  }
}

std::string ReadLimitedFile(const std::wstring& path, uint64_t limit) {
  const std::wstring fileName = common::ExtractFileName(path);
  common::UniqueFileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  LARGE_INTEGER size{};
  if (!file || !GetFileSizeEx(file.get(), &size)) throw Exception(texts::CannotReadFile(fileName));
  if (static_cast<uint64_t>(size.QuadPart) > limit) throw Exception(texts::FileTooLarge(fileName, limit));
  std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
  size_t total = 0;
  while (total < bytes.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - total, 1 << 24));
    DWORD read = 0;
    if (!ReadFile(file.get(), bytes.data() + total, chunk, &read, nullptr) || read == 0)
      throw Exception(texts::CannotReadFile(fileName));
    total += read;
  }
  return bytes;
}

TRegDocument ReadRegistryFile(const std::wstring& path, bool import) {
  const std::string bytes = ReadLimitedFile(path, kLargestRegistryFile);
  try {
    return ReadRegFile(bytes);
  } catch (const ERegFileError& e) {
    const std::wstring name = common::ExtractFileName(path);
    throw Exception(import ? texts::CannotImport(name, e.Message()) : texts::CannotRestore(name, e.Message()));
  }
}

}  // namespace assoc
