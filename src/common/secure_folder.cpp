#include "common/secure_folder.h"

#include <aclapi.h>
#include <sddl.h>
#include <winternl.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string_view>

namespace common {

namespace {

// What a held level may be used for: opening below it, listing it, reading its security.
constexpr ACCESS_MASK kLevelAccess = FILE_TRAVERSE | FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | READ_CONTROL;
// No FILE_SHARE_DELETE: while held, a level can be neither renamed nor removed.
constexpr ULONG kHeldSharing = FILE_SHARE_READ | FILE_SHARE_WRITE;
// What an account other than Administrators and SYSTEM may be allowed on the tool's folders.
constexpr ACCESS_MASK kReadRights = FILE_GENERIC_READ | FILE_GENERIC_EXECUTE | GENERIC_READ | GENERIC_EXECUTE;
constexpr size_t kChunk = 1 << 24;
constexpr size_t kLongestName = 255;

bool RealFileOwnersKept() {
  // Only Wine's ntdll has this export; Windows' cannot be replaced by a program of the user.
  return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") == nullptr;
}

std::optional<DWORD> RealHandleAttributes(HANDLE handle, const std::wstring&) {
  FILE_ATTRIBUTE_TAG_INFO tag{};
  if (!GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof tag)) return std::nullopt;
  return tag.FileAttributes;
}

// One name inside a folder: nothing that reaches another folder, a stream or a device.
bool IsPlainName(std::wstring_view name) {
  if (name.empty() || name.size() > kLongestName || name == L"." || name == L"..") return false;
  return std::none_of(name.begin(), name.end(), [](wchar_t c) {
    return c < 0x20 || std::wstring_view(L"\\/:*?\"<>|").find(c) != std::wstring_view::npos;
  });
}

bool IsMissing(NTSTATUS status) {
  const ULONG code = RtlNtStatusToDosError(status);
  return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND;
}

// A security descriptor built from its text, freed on every way out; null when the text is bad.
class Descriptor {
 public:
  explicit Descriptor(const std::wstring& text) {
    ConvertStringSecurityDescriptorToSecurityDescriptorW(text.c_str(), SDDL_REVISION_1,
                                                         reinterpret_cast<PSECURITY_DESCRIPTOR*>(memory_.put()), nullptr);
  }
  PSECURITY_DESCRIPTOR get() const { return memory_.get(); }

 private:
  UniqueHLocal memory_;
};

// The system's own spelling of a SID string, so that nothing else can enter a descriptor's text;
// empty when text is no SID.
std::wstring CanonicalSid(const std::wstring& text) {
  UniqueHLocal sid;
  if (text.empty() || !ConvertStringSidToSidW(text.c_str(), reinterpret_cast<PSID*>(sid.put()))) return {};
  LPWSTR spelled = nullptr;
  if (!ConvertSidToStringSidW(sid.get(), &spelled)) return {};
  const UniqueHLocal kept(spelled);
  return spelled;
}

// The levels above the last hold only the tool's folders: every signed-in account may list them.
// The last level and its files pass the reader's right on.
std::wstring LevelSecurity(bool last, const std::wstring& reader) {
  if (!last) return L"O:BAD:P(A;;FA;;;BA)(A;;FA;;;SY)(A;;FRFX;;;AU)";
  return L"O:BAD:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;FRFX;;;" + reader + L")";
}
std::wstring FileSecurity(const std::wstring& reader) {
  return L"O:BAD:P(A;;FA;;;BA)(A;;FA;;;SY)(A;;FRFX;;;" + reader + L")";
}

// The owner and access list of what a handle holds, read through that handle.
struct Security {
  UniqueHLocal memory;
  PSID owner = nullptr;
  PACL dacl = nullptr;
  bool isProtected = false;
};

std::optional<Security> ReadSecurity(HANDLE handle) {
  Security security;
  if (GetSecurityInfo(handle, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                      &security.owner, nullptr, &security.dacl, nullptr,
                      reinterpret_cast<PSECURITY_DESCRIPTOR*>(security.memory.put())) != ERROR_SUCCESS ||
      !security.owner)
    return std::nullopt;
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  security.isProtected = GetSecurityDescriptorControl(security.memory.get(), &control, &revision) &&
                         (control & SE_DACL_PROTECTED);
  return security;
}

bool IsAdministrative(PSID sid) {
  return IsWellKnownSid(sid, WinBuiltinAdministratorsSid) || IsWellKnownSid(sid, WinLocalSystemSid);
}

// True when every entry of dacl that allows anything passes allowed(sid, rights); entries that
// deny pass, entries of any other kind do not. No list at all lets everyone do anything.
template <typename Allowed>
bool EveryAllowingEntry(PACL dacl, Allowed allowed) {
  ACL_SIZE_INFORMATION size{};
  if (!dacl || !GetAclInformation(dacl, &size, sizeof size, AclSizeInformation)) return false;
  for (DWORD i = 0; i < size.AceCount; ++i) {
    void* ace = nullptr;
    if (!GetAce(dacl, i, &ace)) return false;
    const auto* header = static_cast<const ACE_HEADER*>(ace);
    if (header->AceType == ACCESS_DENIED_ACE_TYPE) continue;
    if (header->AceType != ACCESS_ALLOWED_ACE_TYPE) return false;
    auto* entry = static_cast<ACCESS_ALLOWED_ACE*>(ace);
    if (!allowed(reinterpret_cast<PSID>(&entry->SidStart), entry->Mask)) return false;
  }
  return true;
}

bool IsProcessUser(PSID sid) {
  const std::wstring user = ProcessUserSid();
  UniqueHLocal own;
  return !user.empty() && ConvertStringSidToSidW(user.c_str(), reinterpret_cast<PSID*>(own.put())) &&
         EqualSid(sid, own.get());
}

// What a platform without owners keeps of the tool's access list: no one but the owner (this
// process's user), Administrators and SYSTEM may open the object at all. A file made without the
// tool's list (anyone may read it) fails this.
bool OpenOnlyToOwner(const Security& s) {
  return IsProcessUser(s.owner) &&
         EveryAllowingEntry(s.dacl, [&](PSID sid, ACCESS_MASK) { return IsAdministrative(sid) || EqualSid(sid, s.owner); });
}

bool IsTrustedFile(const Security& s) { return FileOwnersKept() ? IsAdministrative(s.owner) : OpenOnlyToOwner(s); }

bool IsSecuredLevel(const Security& s) {
  if (!FileOwnersKept()) return OpenOnlyToOwner(s);
  return IsAdministrative(s.owner) && s.isProtected && EveryAllowingEntry(s.dacl, [](PSID sid, ACCESS_MASK rights) {
           return IsAdministrative(sid) || (rights & ~kReadRights) == 0;
         });
}

// What NtCreateFile answered.
struct Opened {
  UniqueFileHandle handle;
  NTSTATUS status = 0;
  bool created = false;
};

// Opens (or creates) name inside folder, relative to its handle and never through a link at name.
Opened OpenIn(HANDLE folder, const std::wstring& name, ACCESS_MASK access, ULONG sharing, ULONG disposition,
              ULONG options, PSECURITY_DESCRIPTOR security) {
  const USHORT bytes = static_cast<USHORT>(name.size() * sizeof(wchar_t));
  UNICODE_STRING text{bytes, bytes, const_cast<PWSTR>(name.c_str())};
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, &text, OBJ_CASE_INSENSITIVE, folder, security);
  IO_STATUS_BLOCK io{};
  HANDLE handle = nullptr;
  Opened opened;
  opened.status = NtCreateFile(&handle, access | SYNCHRONIZE, &attributes, &io, nullptr, FILE_ATTRIBUTE_NORMAL, sharing,
                               disposition, options | FILE_SYNCHRONOUS_IO_NONALERT | FILE_OPEN_REPARSE_POINT, nullptr, 0);
  if (opened.status >= 0) {
    opened.handle.reset(handle);
    opened.created = io.Information == FILE_CREATED;
  }
  return opened;
}

bool IsLink(HANDLE handle, const std::wstring& path) {
  const std::optional<DWORD> attributes = HandleAttributes(handle, path);
  return !attributes || (*attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// Gives a level the tool's list when it is not the tool's yet, and it may.
bool SecureLevel(HANDLE level, const Descriptor& security) {
  const std::optional<Security> found = ReadSecurity(level);
  if (!found) return false;
  if (IsSecuredLevel(*found)) return true;
  // A level someone else owns may hold handles opened while its list let them in; taking it over
  // would not shut them out.
  if (FileOwnersKept() && !IsAdministrative(found->owner)) return false;
  // Set on the held handle itself, and (unlike SetSecurityInfo) without rewriting every file below.
  if (!SetKernelObjectSecurity(level, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, security.get()))
    return false;
  const std::optional<Security> now = ReadSecurity(level);
  return now && IsSecuredLevel(*now);
}

bool WriteAll(HANDLE file, const std::string& bytes) {
  size_t total = 0;
  while (total < bytes.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min(bytes.size() - total, kChunk));
    DWORD written = 0;
    if (!::WriteFile(file, bytes.data() + total, chunk, &written, nullptr) || written != chunk) return false;
    total += written;
  }
  return true;
}

bool Dispose(HANDLE file) {
  FILE_DISPOSITION_INFO disposition{TRUE};
  return SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition);
}

}  // namespace

Seam<bool()> FileOwnersKept(&RealFileOwnersKept);
Seam<std::optional<DWORD>(HANDLE, const std::wstring&)> HandleAttributes(&RealHandleAttributes);

std::wstring ProcessUserSid() {
  HANDLE raw = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) return {};
  const UniqueKernelHandle token(raw);
  DWORD size = 0;
  GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
  if (size == 0) return {};
  std::vector<BYTE> buffer(size);
  LPWSTR text = nullptr;
  if (!GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size) ||
      !ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text))
    return {};
  const UniqueHLocal kept(text);
  return text;
}

std::wstring SecureFolderPlace::Path() const {
  std::wstring path = root;
  for (const std::wstring& level : levels) path += L"\\" + level;
  return path;
}

SecureFolder SecureFolder::Create(const SecureFolderPlace& place, SecureFolderError& error) {
  return Open(place, true, error);
}

SecureFolder SecureFolder::OpenToRead(const SecureFolderPlace& place, SecureFolderError& error) {
  return Open(place, false, error);
}

SecureFolder SecureFolder::Open(const SecureFolderPlace& place, bool create, SecureFolderError& error) {
  SecureFolder folder;
  folder.path_ = place.root;
  error = {};
  auto fail = [&](SecureFolderFault fault) {
    error = {fault, folder.path_};
    return SecureFolder();
  };
  if (place.root.empty() || place.levels.empty()) return fail(SecureFolderFault::NoRoot);
  folder.readerSid_ = CanonicalSid(place.readerSid);
  if (create && folder.readerSid_.empty()) return fail(SecureFolderFault::CannotSecure);
  // The machine's folder, which only Administrators can change, is the one path opened by name.
  UniqueFileHandle root(CreateFileW(place.root.c_str(), kLevelAccess | SYNCHRONIZE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!root) return fail(SecureFolderFault::NoRoot);
  folder.levels_.push_back(std::move(root));
  for (size_t i = 0; i < place.levels.size(); ++i) {
    const std::wstring& name = place.levels[i];
    folder.path_ += L"\\" + name;
    if (!IsPlainName(name)) return fail(SecureFolderFault::CannotCreate);
    const Descriptor security(LevelSecurity(i + 1 == place.levels.size(), folder.readerSid_));
    if (create && !security.get()) return fail(SecureFolderFault::CannotSecure);
    Opened level = OpenIn(folder.Handle(), name, kLevelAccess | (create ? WRITE_DAC | WRITE_OWNER : 0), kHeldSharing,
                          create ? FILE_OPEN_IF : FILE_OPEN, FILE_DIRECTORY_FILE | FILE_OPEN_FOR_BACKUP_INTENT,
                          create ? security.get() : nullptr);
    if (!level.handle) {
      return fail(!create && IsMissing(level.status) ? SecureFolderFault::Missing : SecureFolderFault::CannotCreate);
    }
    if (IsLink(level.handle.get(), folder.path_)) return fail(SecureFolderFault::Link);
    if (create && !SecureLevel(level.handle.get(), security)) return fail(SecureFolderFault::CannotSecure);
    folder.levels_.push_back(std::move(level.handle));
  }
  return folder;
}

FileRead SecureFolder::Read(const std::wstring& name, uint64_t limit, std::string& bytes) const {
  bytes.clear();
  if (!*this || !IsPlainName(name)) return FileRead::Failed;
  // No write sharing: the bytes cannot change between the checks and the read.
  const Opened file = OpenIn(Handle(), name, GENERIC_READ | READ_CONTROL, FILE_SHARE_READ, FILE_OPEN,
                             FILE_NON_DIRECTORY_FILE | FILE_SEQUENTIAL_ONLY, nullptr);
  if (!file.handle) return IsMissing(file.status) ? FileRead::Missing : FileRead::Failed;
  FILE_STANDARD_INFO standard{};
  if (!GetFileInformationByHandleEx(file.handle.get(), FileStandardInfo, &standard, sizeof standard))
    return FileRead::Failed;
  // A second name may sit where a program of the user could write to the same file.
  if (IsLink(file.handle.get(), path_ + L"\\" + name) || standard.Directory || standard.NumberOfLinks != 1)
    return FileRead::NotTrusted;
  const std::optional<Security> security = ReadSecurity(file.handle.get());
  if (!security || !IsTrustedFile(*security)) return FileRead::NotTrusted;
  if (standard.EndOfFile.QuadPart < 0 || static_cast<uint64_t>(standard.EndOfFile.QuadPart) > limit)
    return FileRead::TooLarge;
  std::string read(static_cast<size_t>(standard.EndOfFile.QuadPart), '\0');
  size_t total = 0;
  while (total < read.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min(read.size() - total, kChunk));
    DWORD got = 0;
    if (!::ReadFile(file.handle.get(), read.data() + total, chunk, &got, nullptr) || got == 0) return FileRead::Failed;
    total += got;
  }
  bytes = std::move(read);
  return FileRead::Read;
}

FileWrite SecureFolder::CreateNew(const std::wstring& name, const std::string& bytes) const {
  return CreateNewWith(name, [&](HANDLE file) { return WriteAll(file, bytes); });
}

FileWrite SecureFolder::CreateNewWith(const std::wstring& name, const std::function<bool(HANDLE)>& write) const {
  const Descriptor security(FileSecurity(readerSid_));
  if (!*this || !IsPlainName(name) || !security.get()) return FileWrite::Failed;
  const Opened file =
      OpenIn(Handle(), name, GENERIC_WRITE | DELETE, 0, FILE_CREATE, FILE_NON_DIRECTORY_FILE, security.get());
  if (!file.handle) {
    const ULONG code = RtlNtStatusToDosError(file.status);
    return code == ERROR_ALREADY_EXISTS || code == ERROR_FILE_EXISTS ? FileWrite::Exists : FileWrite::Failed;
  }
  if (write(file.handle.get()) && FlushFileBuffers(file.handle.get())) return FileWrite::Written;
  Dispose(file.handle.get());
  return FileWrite::Failed;
}

bool SecureFolder::Replace(const std::wstring& name, const std::string& bytes) const {
  const std::wstring fresh = name + L".new";
  const Descriptor security(FileSecurity(readerSid_));
  if (!*this || !IsPlainName(name) || !IsPlainName(fresh) || !security.get()) return false;
  // A new file left by a replace that was cut short.
  Remove(fresh);
  const Opened file =
      OpenIn(Handle(), fresh, GENERIC_WRITE | DELETE, 0, FILE_CREATE, FILE_NON_DIRECTORY_FILE, security.get());
  if (!file.handle) return false;
  if (WriteAll(file.handle.get(), bytes) && FlushFileBuffers(file.handle.get())) {
    // Renamed relative to the held folder, so the new file takes the old one's place there only.
    std::vector<BYTE> buffer(offsetof(FILE_RENAME_INFORMATION, FileName) + name.size() * sizeof(wchar_t));
    auto* rename = reinterpret_cast<FILE_RENAME_INFORMATION*>(buffer.data());
    rename->ReplaceIfExists = TRUE;
    rename->RootDirectory = Handle();
    rename->FileNameLength = static_cast<ULONG>(name.size() * sizeof(wchar_t));
    std::memcpy(rename->FileName, name.data(), rename->FileNameLength);
    IO_STATUS_BLOCK io{};
    if (NtSetInformationFile(file.handle.get(), &io, rename, static_cast<ULONG>(buffer.size()),
                             FileRenameInformation) >= 0)
      return true;
  }
  Dispose(file.handle.get());
  return false;
}

bool SecureFolder::Append(const std::wstring& name, const std::string& bytes) const {
  const Descriptor security(FileSecurity(readerSid_));
  if (!*this || !IsPlainName(name) || !security.get()) return false;
  const Opened file =
      OpenIn(Handle(), name, FILE_APPEND_DATA, 0, FILE_OPEN_IF, FILE_NON_DIRECTORY_FILE, security.get());
  return file.handle && !IsLink(file.handle.get(), path_ + L"\\" + name) && WriteAll(file.handle.get(), bytes);
}

bool SecureFolder::Remove(const std::wstring& name) const {
  if (!*this || !IsPlainName(name)) return false;
  const Opened file = OpenIn(Handle(), name, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, FILE_OPEN,
                             FILE_NON_DIRECTORY_FILE, nullptr);
  return file.handle && Dispose(file.handle.get());
}

std::vector<std::wstring> SecureFolder::FileNames() const {
  std::vector<std::wstring> names;
  if (!*this) return names;
  // The held folder itself, opened anew (an empty name): Wine lists a handle's folder as it was at
  // its first listing, whatever came since.
  const Opened listing = OpenIn(Handle(), L"", FILE_LIST_DIRECTORY, kHeldSharing | FILE_SHARE_DELETE, FILE_OPEN,
                                FILE_DIRECTORY_FILE | FILE_OPEN_FOR_BACKUP_INTENT, nullptr);
  if (!listing.handle) return names;
  std::vector<BYTE> buffer(64 * 1024);
  for (FILE_INFO_BY_HANDLE_CLASS kind = FileIdBothDirectoryRestartInfo;
       GetFileInformationByHandleEx(listing.handle.get(), kind, buffer.data(), static_cast<DWORD>(buffer.size()));
       kind = FileIdBothDirectoryInfo) {
    for (size_t at = 0;;) {
      const auto* entry = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(buffer.data() + at);
      if (!(entry->FileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)))
        names.emplace_back(entry->FileName, entry->FileNameLength / sizeof(wchar_t));
      if (entry->NextEntryOffset == 0) break;
      at += entry->NextEntryOffset;
    }
  }
  return names;
}

}  // namespace common
