#pragma once
// Which files the elevated tool may open to look at them. Paths taken from the registry or a
// settings file are the user's to choose: a network path would make the tool connect to a server
// the user names (and send its credentials there), a pipe or device path would open what the user
// serves. Only files on local drives are opened, and a link there is not followed.

#include <windows.h>

#include <array>
#include <string>
#include <string_view>

#include "common/handles.h"
#include "common/seam.h"

namespace common {

// GetDriveTypeW of a drive's root ("C:\"); tests stand a mapped network drive in.
extern Seam<UINT(const std::wstring& root)> DriveTypeOf;

// Which drive letters are local, asked of the system (DriveTypeOf) once per letter for the life
// of the object: one reading of many paths, during which drives are taken not to change. (Under
// Wine each question costs more than a millisecond.)
class LocalDrives {
 public:
  // True when the drive of letter (A to Z, either case) is fixed, removable, CD or RAM disk.
  bool Has(wchar_t letter);

 private:
  std::array<signed char, 26> known_{};  // 0: not asked yet, 1: local, -1: not local
};

// True when path may be opened for a check: a fully qualified path on a drive letter ("C:\",
// "/" counting as "\") whose drive GetDriveTypeW calls fixed, removable, CD or RAM disk, with no
// ":" after the drive (a stream) and no component that names a device (CON, PRN, AUX, NUL,
// CONIN$, CONOUT$, COM0-9 and LPT0-9 with their superscript forms; with or without an extension
// or trailing blanks) and no NUL character (the system would end the path there). False for
// everything else: network and device namespaces ("\\server", "\\?\", "\\.\"), relative paths,
// a bare device name, a network or unknown drive. Drives are asked of drives, or of a
// LocalDrives of the call's own.
bool IsLocalFilePath(std::wstring_view path, LocalDrives& drives);
bool IsLocalFilePath(std::wstring_view path);

// The file that name (without folder or drive) stands for on the search path, as SearchPathW
// finds it, but looked for only in the local folders of that path (the program's, the system's,
// the Windows folder, the current one, then PATH): ext (".exe"; nullptr for none) is added when
// the name has no extension. Empty when it is found in none of them, or names a device; a name
// with a folder, a drive or a NUL in it is no bare name and gives empty too.
std::wstring FindOnLocalSearchPath(const std::wstring& name, const wchar_t* ext);

// CreateFileW(path, GENERIC_READ, all sharing, OPEN_EXISTING, flags): every file a check or an
// icon read opens is opened here, so that tests see which paths reach the file system.
extern Seam<HANDLE(const std::wstring& path, DWORD flags)> OpenFileRaw;

// The reparse tag of an open file or folder, 0 when it is none (GetFileInformationByHandleEx with
// FileAttributeTagInfo; also 0 when that fails). Wine makes no reparse points: tests stand one in.
extern Seam<DWORD(HANDLE file)> ReparseTagOf;

// True when the open file or folder is a link: a reparse point whose tag names another file or
// folder (junction, symbolic link). Other reparse points (compressed system files, cloud files)
// hold their own data and are no links.
bool IsLink(HANDLE file);

// What looking for a file found.
enum class FileState {
  Found,     // a file is there (a link is not followed: it counts as there)
  Missing,   // no such file, a folder, or it cannot be opened for reading
  NotLocal,  // not opened at all: not a local path (IsLocalFilePath)
};

// A file opened for reading, or why there is none.
struct CheckedFile {
  FileState state = FileState::Missing;
  UniqueFileHandle file;  // open only when state is Found and it is no link
};

// Opens path for reading when IsLocalFilePath allows it, without following a link: a link gives
// Found with no handle. Other reparse points are opened again through the same handle, so that
// the system's filters give their data. Drives as for IsLocalFilePath. Raises nothing but
// std::bad_alloc.
CheckedFile OpenForCheck(const std::wstring& path, LocalDrives& drives);
CheckedFile OpenForCheck(const std::wstring& path);

// OpenForCheck(path, drives).state.
FileState CheckFile(const std::wstring& path, LocalDrives& drives);

}  // namespace common
