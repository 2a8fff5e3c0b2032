#include "assoc/backup_store.h"

#include <aclapi.h>
#include <sddl.h>
#include <shlobj.h>

#include <algorithm>
#include <cwchar>
#include <iterator>

#include "assoc/assoc_texts.h"
#include "common/handles.h"
#include "common/text.h"

namespace assoc {

namespace {

// Owner Administrators; Administrators and SYSTEM may do anything, everyone else may read. The
// list does not inherit from the user's folder above it.
constexpr wchar_t kFolderSecurity[] = L"O:BAD:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;FRFX;;;AU)";
constexpr wchar_t kFileSecurity[] = L"O:BAD:P(A;;FA;;;BA)(A;;FA;;;SY)(A;;FRFX;;;AU)";
constexpr wchar_t kAdministrators[] = L"S-1-5-32-544";
constexpr wchar_t kSystem[] = L"S-1-5-18";

constexpr std::wstring_view kUnsafeInFileNames = L"\\/:*?\"<>|%";
constexpr size_t kMaxNamePart = 64;
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

std::optional<std::wstring> RealFileOwner(const std::wstring& path) {
  PSID owner = nullptr;
  common::UniqueHLocal descriptor;
  if (GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr,
                            nullptr, reinterpret_cast<PSECURITY_DESCRIPTOR*>(descriptor.put())) != ERROR_SUCCESS)
    return std::nullopt;
  LPWSTR text = nullptr;
  if (!owner || !ConvertSidToStringSidW(owner, &text)) return std::nullopt;
  const common::UniqueHLocal kept(text);
  return std::wstring(text);
}

[[noreturn]] void BackupFailed(std::wstring_view reason) { throw Exception(texts::BackupFailed(reason)); }

// A security descriptor built from its text, freed on every way out.
class Descriptor {
 public:
  explicit Descriptor(const wchar_t* text) {
    ConvertStringSecurityDescriptorToSecurityDescriptorW(text, SDDL_REVISION_1,
                                                         reinterpret_cast<PSECURITY_DESCRIPTOR*>(memory_.put()), nullptr);
  }
  PSECURITY_DESCRIPTOR get() const { return memory_.get(); }

 private:
  common::UniqueHLocal memory_;
};

bool IsLink(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// The owner the secured folder reads back as: Administrators on Windows.
std::wstring& FolderOwner() {
  static std::wstring owner;
  return owner;
}

std::wstring ParentOf(const std::wstring& path) { return path.substr(0, path.rfind(L'\\')); }

// True when folder is owned by Administrators and its access list inherits nothing from above.
bool IsSecured(const std::wstring& folder) {
  PSID owner = nullptr;
  common::UniqueHLocal descriptor;
  if (GetNamedSecurityInfoW(folder.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                            &owner, nullptr, nullptr, nullptr,
                            reinterpret_cast<PSECURITY_DESCRIPTOR*>(descriptor.put())) != ERROR_SUCCESS)
    return false;
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  return owner && IsWellKnownSid(owner, WinBuiltinAdministratorsSid) &&
         GetSecurityDescriptorControl(descriptor.get(), &control, &revision) && (control & SE_DACL_PROTECTED);
}

}  // namespace

common::Seam<std::wstring()> LocalAppDataFolder(&ShellLocalAppData);
common::Seam<SYSTEMTIME()> BackupClock(&LocalNow);
common::Seam<std::optional<std::wstring>(const std::wstring&)> FileOwnerSid(&RealFileOwner);

std::wstring BackupFolder() { return LocalAppDataFolder() + L"\\Tavrelo\\Backups"; }

void PrepareBackupFolder() {
  if (LocalAppDataFolder().empty()) BackupFailed(texts::kNoLocalAppData);
  const std::wstring folder = BackupFolder();
  Descriptor security(kFolderSecurity);
  SECURITY_ATTRIBUTES attributes{sizeof attributes, security.get(), FALSE};
  for (const std::wstring& level : {ParentOf(folder), folder}) {
    if (IsLink(level)) BackupFailed(texts::FolderIsLink(level));
    if (!CreateDirectoryW(level.c_str(), level == folder ? &attributes : nullptr) &&
        GetLastError() != ERROR_ALREADY_EXISTS)
      BackupFailed(texts::CannotCreateFolder(level));
    if (IsLink(level)) BackupFailed(texts::FolderIsLink(level));
  }
  // A folder that was there already (an older version's, or planted) gets the same list; one that
  // has it already is left alone, since setting a list again passes it down to every file.
  if (IsSecured(folder)) {
    FolderOwner() = kAdministrators;
    return;
  }
  PSID owner = nullptr;
  PACL dacl = nullptr;
  BOOL present = FALSE, defaulted = FALSE;
  GetSecurityDescriptorOwner(security.get(), &owner, &defaulted);
  GetSecurityDescriptorDacl(security.get(), &present, &dacl, &defaulted);
  if (SetNamedSecurityInfoW(const_cast<wchar_t*>(folder.c_str()), SE_FILE_OBJECT,
                            OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION |
                                PROTECTED_DACL_SECURITY_INFORMATION,
                            owner, nullptr, dacl, nullptr) != ERROR_SUCCESS)
    BackupFailed(texts::CannotSecureFolder(folder));
  FolderOwner() = RealFileOwner(folder).value_or(kAdministrators);
}

bool IsTrustedFile(const std::wstring& path) {
  const std::optional<std::wstring> owner = FileOwnerSid(path);
  if (!owner) return false;
  if (*owner == kAdministrators || *owner == kSystem) return true;
  return !FolderOwner().empty() && *owner == FolderOwner();
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

namespace {

// Writes bytes into a new file at path. False (with the file removed again) when any byte did not
// reach it; exists tells when a file of that name was there already.
bool WriteNewFile(const std::wstring& path, const std::string& bytes, bool& exists) {
  exists = false;
  Descriptor security(kFileSecurity);
  SECURITY_ATTRIBUTES attributes{sizeof attributes, security.get(), FALSE};
  common::UniqueFileHandle file(
      CreateFileW(path.c_str(), GENERIC_WRITE, 0, &attributes, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    exists = GetLastError() == ERROR_FILE_EXISTS;
    return false;
  }
  size_t total = 0;
  bool complete = true;
  while (complete && total < bytes.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - total, 1 << 24));
    DWORD written = 0;
    complete = WriteFile(file.get(), bytes.data() + total, chunk, &written, nullptr) && written == chunk;
    total += written;
  }
  complete = complete && FlushFileBuffers(file.get());
  file.reset();
  if (!complete) DeleteFileW(path.c_str());
  return complete;
}

}  // namespace

std::wstring WriteBackupFile(const std::wstring& stem, const std::string& bytes) {
  const std::wstring folder = BackupFolder();
  for (int attempt = 1; attempt <= 100; ++attempt) {
    const std::wstring name = stem + (attempt == 1 ? L"" : L" (" + std::to_wstring(attempt) + L")") + L".reg";
    bool exists = false;
    if (WriteNewFile(folder + L"\\" + name, bytes, exists)) return name;
    if (!exists) BackupFailed(texts::CannotWriteFile(folder + L"\\" + name));
  }
  BackupFailed(texts::CannotWriteFile(folder));
}

void ReplaceFolderFile(const std::wstring& name, const std::string& bytes) {
  const std::wstring path = BackupFolder() + L"\\" + name;
  const std::wstring fresh = path + L".new";
  DeleteFileW(fresh.c_str());
  bool exists = false;
  if (!WriteNewFile(fresh, bytes, exists) ||
      !MoveFileExW(fresh.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    DeleteFileW(fresh.c_str());
    BackupFailed(texts::CannotWriteFile(path));
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

TRegDocument ReadRegistryFile(const std::wstring& path) {
  const std::string bytes = ReadLimitedFile(path, kLargestRegistryFile);
  try {
    return ReadRegFile(bytes);
  } catch (const ERegFileError& e) {
    throw Exception(texts::CannotRestore(common::ExtractFileName(path), e.Message()));
  }
}

}  // namespace assoc
