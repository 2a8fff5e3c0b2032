#include "common/local_files.h"

#include <vector>

#include "common/text.h"

namespace common {

namespace {

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

bool IsDriveLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

// True when a path component opens a device: its name before the first "." and without trailing
// blanks is one of the system's reserved device names.
bool NamesDevice(std::wstring_view component) {
  std::wstring_view name = component.substr(0, component.find(L'.'));
  while (!name.empty() && name.back() == L' ') name.remove_suffix(1);
  for (std::wstring_view device : {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"})
    if (EqualNoCase(name, device)) return true;
  if (name.size() != 4) return false;
  const std::wstring_view prefix = name.substr(0, 3);
  if (!EqualNoCase(prefix, L"COM") && !EqualNoCase(prefix, L"LPT")) return false;
  const wchar_t digit = name[3];
  return (digit >= L'0' && digit <= L'9') || digit == L'\u00B9' || digit == L'\u00B2' || digit == L'\u00B3';
}

UINT RealDriveType(const std::wstring& root) { return GetDriveTypeW(root.c_str()); }

HANDLE RealOpenFile(const std::wstring& path, DWORD flags) {
  return CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                     OPEN_EXISTING, flags, nullptr);
}

DWORD RealReparseTag(HANDLE file) {
  FILE_ATTRIBUTE_TAG_INFO tag{};
  if (!GetFileInformationByHandleEx(file, FileAttributeTagInfo, &tag, sizeof tag)) return 0;
  return (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ? tag.ReparseTag : 0;
}

// The text of a system call that fills a buffer of the length it asks for; empty on failure.
template <typename Call>
std::wstring Filled(Call call) {
  std::wstring text(MAX_PATH, L'\0');
  for (int round = 0; round < 4; ++round) {
    const DWORD length = call(text.data(), static_cast<DWORD>(text.size()));
    if (length == 0) return {};
    if (length < text.size()) {
      text.resize(length);
      return text;
    }
    text.resize(length + 1);
  }
  return {};
}

// The folders SearchPathW looks in by default, in its order, those that are not local left out.
std::wstring LocalSearchFolders(LocalDrives& drives) {
  std::vector<std::wstring> folders;
  std::wstring program = ModuleFileName();
  folders.push_back(program.substr(0, program.find_last_of(L'\\') + 1));
  folders.push_back(Filled([](wchar_t* b, DWORD n) { return GetSystemDirectoryW(b, n); }));
  const std::wstring windows = Filled([](wchar_t* b, DWORD n) { return GetWindowsDirectoryW(b, n); });
  folders.push_back(windows + L"\\System");
  folders.push_back(windows);
  folders.push_back(Filled([](wchar_t* b, DWORD n) { return GetCurrentDirectoryW(n, b); }));
  const std::wstring path = Filled([](wchar_t* b, DWORD n) { return GetEnvironmentVariableW(L"PATH", b, n); });
  for (size_t at = 0; at <= path.size();) {
    const size_t end = std::min(path.find(L';', at), path.size());
    folders.push_back(path.substr(at, end - at));
    at = end + 1;
  }
  std::wstring joined;
  for (const std::wstring& folder : folders) {
    // A folder whose name holds ";" would be split in two by SearchPathW.
    if (folder.find(L';') != std::wstring::npos || !IsLocalFilePath(folder, drives)) continue;
    if (!joined.empty()) joined += L';';
    joined += folder;
  }
  return joined;
}

}  // namespace

Seam<UINT(const std::wstring& root)> DriveTypeOf(&RealDriveType);
Seam<HANDLE(const std::wstring& path, DWORD flags)> OpenFileRaw(&RealOpenFile);
Seam<DWORD(HANDLE file)> ReparseTagOf(&RealReparseTag);

bool LocalDrives::Has(wchar_t letter) {
  if (!IsDriveLetter(letter)) return false;
  signed char& known = known_[(letter | 0x20) - L'a'];
  if (known == 0) {
    switch (DriveTypeOf(std::wstring{letter, L':', L'\\'})) {
      case DRIVE_FIXED:
      case DRIVE_REMOVABLE:
      case DRIVE_CDROM:
      case DRIVE_RAMDISK:
        known = 1;
        break;
      default:
        known = -1;
        break;
    }
  }
  return known > 0;
}

bool IsLocalFilePath(std::wstring_view path) {
  LocalDrives drives;
  return IsLocalFilePath(path, drives);
}

bool IsLocalFilePath(std::wstring_view path, LocalDrives& drives) {
  if (path.size() < 3 || !IsDriveLetter(path[0]) || path[1] != L':' || !IsSeparator(path[2])) return false;
  const std::wstring_view rest = path.substr(3);
  // The system would end the path at a NUL, so its components would not be those checked here.
  if (rest.find_first_of(std::wstring_view(L":\0", 2)) != std::wstring_view::npos) return false;
  for (size_t at = 0; at < rest.size();) {
    size_t end = at;
    while (end < rest.size() && !IsSeparator(rest[end])) ++end;
    if (NamesDevice(rest.substr(at, end - at))) return false;
    at = end + 1;
  }
  return drives.Has(path[0]);
}

std::wstring FindOnLocalSearchPath(const std::wstring& name, const wchar_t* ext) {
  if (name.empty() || name.find_first_of(std::wstring_view(L"\\/:\0", 4)) != std::wstring::npos || NamesDevice(name))
    return {};
  LocalDrives drives;
  const std::wstring folders = LocalSearchFolders(drives);
  if (folders.empty()) return {};
  const std::wstring found =
      Filled([&](wchar_t* b, DWORD n) { return SearchPathW(folders.c_str(), name.c_str(), ext, n, b, nullptr); });
  return IsLocalFilePath(found, drives) ? found : std::wstring();
}

bool IsLink(HANDLE file) {
  const DWORD tag = ReparseTagOf(file);
  return tag != 0 && IsReparseTagNameSurrogate(tag);
}

CheckedFile OpenForCheck(const std::wstring& path) {
  LocalDrives drives;
  return OpenForCheck(path, drives);
}

CheckedFile OpenForCheck(const std::wstring& path, LocalDrives& drives) {
  CheckedFile checked;
  if (!IsLocalFilePath(path, drives)) {
    checked.state = FileState::NotLocal;
    return checked;
  }
  UniqueFileHandle file(OpenFileRaw(path, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT));
  if (!file) return checked;
  checked.state = FileState::Found;
  if (IsLink(file.get())) return checked;
  if (ReparseTagOf(file.get()) != 0) {
    // The same file again, now through the filter that owns its data; no path is looked up.
    file.reset(ReOpenFile(file.get(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0));
    if (!file) {
      checked.state = FileState::Missing;
      return checked;
    }
  }
  checked.file = std::move(file);
  return checked;
}

FileState CheckFile(const std::wstring& path, LocalDrives& drives) { return OpenForCheck(path, drives).state; }

}  // namespace common
