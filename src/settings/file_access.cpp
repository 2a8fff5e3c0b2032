#include "settings/file_access.h"

#include <aclapi.h>
#include <ntstatus.h>
#include <winternl.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <vector>

#include "common/exception.h"
#include "common/handles.h"
#include "common/local_files.h"

namespace settings {

namespace {

// Larger files are refused as settings files: no setting needs them, and they would only tie up
// memory.
constexpr LONGLONG kLargestFile = 1LL << 30;
// The most that one ReadFile or WriteFile call is asked to move.
constexpr DWORD kChunk = 1u << 26;

// The message of a write that stopped short.
constexpr wchar_t kWriteError[] = L"ストリームへの書き込みエラー";

Exception CannotOpen(const std::wstring& name, DWORD error) {
  return Exception(L"ファイル " + FullPathName(name) + L" は開けません。 " + SystemMessageText(error) + L" ");
}

Exception CannotCreate(const std::wstring& fullName, DWORD error) {
  return Exception(L"ファイル \"" + fullName + L"\" を作成できません。" + SystemMessageText(error));
}

Exception LinkedFolder(const std::wstring& folder) {
  return Exception(L"保存先のフォルダー「" + folder + L"」はリンクのため、保存しません。");
}

Exception LinkedFile(const std::wstring& fullName) {
  return Exception(L"保存先のファイル「" + fullName + L"」はリンクのため、保存しません。");
}

// The Win32 error of a failed NT call.
DWORD ErrorOf(NTSTATUS status) { return RtlNtStatusToDosError(status); }

// Opens name inside the open folder, so that no path is looked up again, and never through a link
// at name (FILE_OPEN_REPARSE_POINT): NtCreateFile's status; out takes the handle on success.
NTSTATUS OpenInside(HANDLE folder, std::wstring_view name, ACCESS_MASK access, ULONG share, ULONG disposition,
                    ULONG options, common::UniqueFileHandle& out) {
  if (name.empty() || name.size() > 0x7FFF) return STATUS_OBJECT_NAME_INVALID;
  UNICODE_STRING text{static_cast<USHORT>(name.size() * sizeof(wchar_t)),
                      static_cast<USHORT>(name.size() * sizeof(wchar_t)), const_cast<wchar_t*>(name.data())};
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, &text, OBJ_CASE_INSENSITIVE, folder, nullptr);
  IO_STATUS_BLOCK io{};
  HANDLE opened = nullptr;
  const NTSTATUS status =
      NtCreateFile(&opened, access | SYNCHRONIZE, &attributes, &io, nullptr, FILE_ATTRIBUTE_NORMAL, share, disposition,
                   options | FILE_OPEN_REPARSE_POINT | FILE_SYNCHRONOUS_IO_NONALERT, nullptr, 0);
  if (NT_SUCCESS(status)) out.reset(opened);
  return status;
}

// A full path cut into its root ("C:\", "\\server\share\", the same after "\\?\"), the
// folders below the root, and the file's name. A path of another form is all root up to the
// file's name.
struct PathParts {
  std::wstring root;
  std::vector<std::wstring> folders;
  std::wstring file;
};

PathParts SplitPath(const std::wstring& full) {
  const auto after = [&](size_t from, int separators) {
    for (size_t at = from; at < full.size(); ++at)
      if (full[at] == L'\\' && --separators == 0) return at + 1;
    return std::wstring::npos;
  };
  size_t rootEnd = std::wstring::npos;
  const bool device = full.rfind(L"\\\\?\\", 0) == 0;
  const size_t start = device ? 4 : 0;
  if (full.size() >= start + 3 && full[start + 1] == L':' && full[start + 2] == L'\\') {
    rootEnd = start + 3;
  } else if (device && full.compare(4, 4, L"UNC\\") == 0) {
    rootEnd = after(8, 2);
  } else if (!device && full.rfind(L"\\\\", 0) == 0 && full.rfind(L"\\\\.\\", 0) != 0) {
    rootEnd = after(2, 2);
  }
  const size_t cut = full.find_last_of(L'\\');
  PathParts parts;
  parts.file = cut == std::wstring::npos ? full : full.substr(cut + 1);
  if (rootEnd == std::wstring::npos || cut == std::wstring::npos || rootEnd > cut + 1) {
    parts.root = cut == std::wstring::npos ? std::wstring(L".") : full.substr(0, cut + 1);
    return parts;
  }
  parts.root = full.substr(0, rootEnd);
  for (size_t at = rootEnd; at < cut;) {
    const size_t end = std::min(full.find(L'\\', at), cut);
    if (end > at) parts.folders.push_back(full.substr(at, end - at));
    at = end + 1;
  }
  return parts;
}

// What the folder that receives a file is held open with: enough to list it, so that it cannot be
// renamed or deleted meanwhile (it is shared for reading and writing, not deleting).
constexpr ACCESS_MASK kHeldFolder = FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
// What a folder on the way to it is opened with, only to open the next one inside it.
constexpr ACCESS_MASK kPassedFolder = FILE_TRAVERSE | FILE_READ_ATTRIBUTES | SYNCHRONIZE;

// The folder that receives fullName, opened from its root one folder at a time, each inside the
// one before, none through a link; held (kHeldFolder) by the returned handle. Raises
// CannotCreate when a folder cannot be opened, LinkedFolder when one of them is a link.
common::UniqueFileHandle HoldFolder(const PathParts& parts, const std::wstring& fullName) {
  const bool rootHeld = parts.folders.empty();
  common::UniqueFileHandle folder(CreateFileW(parts.root.c_str(), rootHeld ? kHeldFolder : kPassedFolder,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE | (rootHeld ? 0 : FILE_SHARE_DELETE),
                                              nullptr, OPEN_EXISTING,
                                              FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!folder) throw CannotCreate(fullName, GetLastError());
  std::wstring reached = parts.root;
  if (common::IsLink(folder.get())) throw LinkedFolder(reached);
  for (size_t i = 0; i < parts.folders.size(); ++i) {
    const bool held = i + 1 == parts.folders.size();
    common::UniqueFileHandle next;
    const NTSTATUS status = OpenInside(folder.get(), parts.folders[i], held ? kHeldFolder : kPassedFolder,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | (held ? 0 : FILE_SHARE_DELETE), FILE_OPEN,
                                       FILE_DIRECTORY_FILE, next);
    if (!NT_SUCCESS(status)) throw CannotCreate(fullName, ErrorOf(status));
    if (!reached.empty() && reached.back() != L'\\') reached += L'\\';
    reached += parts.folders[i];
    if (common::IsLink(next.get())) throw LinkedFolder(reached);
    folder = std::move(next);
  }
  return folder;
}

// The file that is replaced, as it was before: its attributes and access list.
struct OldFile {
  bool exists = false;
  DWORD attributes = 0;
  common::UniqueHLocal security;  // its security descriptor, holding dacl; empty when unreadable
  PACL dacl = nullptr;
  bool protectedDacl = false;  // the list does not take entries from the folder
};

// Looks at the file name in the held folder without following a link. Raises CannotCreate when
// it is read-only, a folder, or in use (anyone holding it open keeps it: the same answer as
// creating it over theirs), LinkedFile when it is a link.
OldFile LookAtOldFile(HANDLE folder, const std::wstring& name, const std::wstring& fullName) {
  OldFile old;
  common::UniqueFileHandle file;
  NTSTATUS status = OpenInside(folder, name, FILE_READ_ATTRIBUTES | READ_CONTROL,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, FILE_OPEN, 0, file);
  if (status == STATUS_OBJECT_NAME_NOT_FOUND) return old;
  if (!NT_SUCCESS(status)) throw CannotCreate(fullName, ErrorOf(status));
  old.exists = true;
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(file.get(), &info)) throw CannotCreate(fullName, GetLastError());
  old.attributes = info.dwFileAttributes;
  if (common::IsLink(file.get())) throw LinkedFile(fullName);
  // Checked here because a process with full rights (root under Wine) may write read-only files.
  if (old.attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY))
    throw CannotCreate(fullName, ERROR_ACCESS_DENIED);
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetSecurityInfo(file.get(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &old.dacl, nullptr,
                      &descriptor) == ERROR_SUCCESS) {
    old.security.reset(descriptor);
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    old.protectedDacl = GetSecurityDescriptorControl(descriptor, &control, &revision) && (control & SE_DACL_PROTECTED);
  }
  common::UniqueFileHandle probe;
  status = OpenInside(folder, name, GENERIC_WRITE, 0, FILE_OPEN, FILE_NON_DIRECTORY_FILE, probe);
  if (!NT_SUCCESS(status)) throw CannotCreate(fullName, ErrorOf(status));
  return old;
}

// A new file in the held folder, deleted through its own handle when the owner goes, unless it
// was handed on.
class TemporaryFile {
 public:
  // Creates "tvrXXXX.tmp" (a name not yet taken) in folder. Raises CannotCreate.
  TemporaryFile(HANDLE folder, const std::wstring& fullName) {
    NTSTATUS status = STATUS_OBJECT_NAME_COLLISION;
    const DWORD first = GetTickCount() ^ GetCurrentProcessId();
    for (DWORD n = 0; n < 256 && status == STATUS_OBJECT_NAME_COLLISION; ++n) {
      wchar_t name[16];
      swprintf(name, std::size(name), L"tvr%04X.tmp", (first + n) & 0xFFFF);
      status = OpenInside(folder, name, GENERIC_WRITE | DELETE | READ_CONTROL | WRITE_DAC, 0, FILE_CREATE,
                          FILE_NON_DIRECTORY_FILE, file_);
    }
    if (!NT_SUCCESS(status)) throw CannotCreate(fullName, ErrorOf(status));
  }
  ~TemporaryFile() {
    if (!file_) return;
    FILE_DISPOSITION_INFO dispose{TRUE};
    SetFileInformationByHandle(file_.get(), FileDispositionInfo, &dispose, sizeof dispose);
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  HANDLE Handle() const { return file_.get(); }
  // The file now lives under another name: nothing is left to delete.
  void Release() { file_.reset(); }

 private:
  common::UniqueFileHandle file_;
};

// Renames the open file to name inside the open folder, replacing a file of that name; the name
// is looked up in that folder only, and a link of that name is replaced, not followed. False with
// the error as the last error.
bool RenameInside(HANDLE file, HANDLE folder, const std::wstring& name) {
  const size_t nameBytes = name.size() * sizeof(wchar_t);
  std::vector<BYTE> buffer(
      std::max(sizeof(FILE_RENAME_INFORMATION), offsetof(FILE_RENAME_INFORMATION, FileName) + nameBytes));
  auto* rename = reinterpret_cast<FILE_RENAME_INFORMATION*>(buffer.data());
  rename->ReplaceIfExists = TRUE;
  rename->RootDirectory = folder;
  rename->FileNameLength = static_cast<ULONG>(nameBytes);
  std::memcpy(rename->FileName, name.data(), nameBytes);
  IO_STATUS_BLOCK io{};
  const NTSTATUS status =
      NtSetInformationFile(file, &io, rename, static_cast<ULONG>(buffer.size()), FileRenameInformation);
  if (NT_SUCCESS(status)) return true;
  SetLastError(ErrorOf(status));
  return false;
}

// Writes into an open file in the order the pieces come, gathering small ones up to kBuffer bytes,
// and checking that every byte arrives.
class FileSink : public ByteSink {
 public:
  explicit FileSink(HANDLE file) : file_(file) {}
  void Write(std::string_view bytes) override {
    if (buffer_.size() + bytes.size() > kBuffer) Flush();
    // A large piece goes out by itself, after what waited before it.
    if (bytes.size() > kBuffer) return WriteOut(bytes);
    buffer_.append(bytes);
  }
  void Flush() {
    WriteOut(buffer_);
    buffer_.clear();
  }

 private:
  static constexpr size_t kBuffer = 1 << 20;
  void WriteOut(std::string_view bytes) {
    for (size_t done = 0; done < bytes.size();) {
      const DWORD want = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, kChunk));
      DWORD written = 0;
      // A full disk may answer TRUE with fewer bytes written (Wine does): count them.
      if (!WriteFile(file_, bytes.data() + done, want, &written, nullptr) || written != want)
        throw Exception(kWriteError);
      done += written;
    }
  }
  HANDLE file_;
  std::string buffer_;
};

}  // namespace

std::wstring FullPathName(const std::wstring& name) {
  std::wstring full(MAX_PATH, L'\0');
  for (;;) {
    DWORD n = GetFullPathNameW(name.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (n == 0) return name;
    if (n < full.size()) {
      full.resize(n);
      return full;
    }
    full.resize(n);
  }
}

std::string ReadWholeFile(const std::wstring& name) {
  common::UniqueFileHandle file(CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file) throw CannotOpen(name, GetLastError());
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size)) throw CannotOpen(name, GetLastError());
  if (size.QuadPart > kLargestFile) throw CannotOpen(name, ERROR_FILE_TOO_LARGE);
  std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
  size_t total = 0;
  while (total < bytes.size()) {
    DWORD want = static_cast<DWORD>(std::min<size_t>(bytes.size() - total, kChunk));
    DWORD got = 0;
    if (!ReadFile(file.get(), bytes.data() + total, want, &got, nullptr)) throw CannotOpen(name, GetLastError());
    if (got == 0) break;
    total += got;
  }
  bytes.resize(total);
  return bytes;
}

void ReplaceWholeFile(const std::wstring& name, const std::function<void(ByteSink&)>& produce) {
  const std::wstring full = FullPathName(name);
  const PathParts parts = SplitPath(full);
  if (parts.file.empty()) throw CannotCreate(full, ERROR_INVALID_NAME);
  const common::UniqueFileHandle folder = HoldFolder(parts, full);
  const OldFile old = LookAtOldFile(folder.get(), parts.file, full);

  TemporaryFile temp(folder.get(), full);
  FileSink sink(temp.Handle());
  produce(sink);
  sink.Flush();
  // The new content is on the disk before it stands in for the old.
  if (!FlushFileBuffers(temp.Handle())) throw Exception(kWriteError);
  // The old file's access list and attributes go with its content, where they can (as the
  // system's own replacing does, which passes over those it cannot take).
  if (old.security)
    SetSecurityInfo(temp.Handle(), SE_FILE_OBJECT,
                    DACL_SECURITY_INFORMATION | (old.protectedDacl ? PROTECTED_DACL_SECURITY_INFORMATION
                                                                   : UNPROTECTED_DACL_SECURITY_INFORMATION),
                    nullptr, nullptr, old.dacl, nullptr);
  if (!RenameInside(temp.Handle(), folder.get(), parts.file)) throw CannotCreate(full, GetLastError());
  if (old.exists) {
    // Only these can be set; the others describe how the old file was stored.
    constexpr DWORD kSettable =
        FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    FILE_BASIC_INFO basic{};
    basic.FileAttributes = (old.attributes & kSettable) ? old.attributes & kSettable : FILE_ATTRIBUTE_NORMAL;
    SetFileInformationByHandle(temp.Handle(), FileBasicInfo, &basic, sizeof basic);
  }
  temp.Release();
}

void ReplaceWholeFile(const std::wstring& name, std::string_view bytes) {
  ReplaceWholeFile(name, [&](ByteSink& sink) { sink.Write(bytes); });
}

}  // namespace settings
