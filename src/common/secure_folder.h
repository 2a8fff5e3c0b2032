#pragma once
// A folder below a folder of the machine (%ProgramData%) that only Administrators and SYSTEM can
// change, held open while the caller works in it, with its files read and written through the
// held handle. The tool runs elevated: a program of the user must neither lead what the tool
// writes elsewhere (a link, a level renamed away and replaced) nor have it read a file that
// program planted.
//
// Each level is opened relative to the handle of the one above it, so no path is resolved
// twice; a level is held without delete sharing, so it cannot be renamed or removed while the
// folder lives.

#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/handles.h"
#include "common/seam.h"

namespace common {

// Where a secured folder lies: an existing folder of the machine, the names of the levels below
// it, and the account (a SID string) that may read the last level and its files.
struct SecureFolderPlace {
  std::wstring root;
  std::vector<std::wstring> levels;
  std::wstring readerSid;
  // root and the levels joined with "\".
  std::wstring Path() const;
};

// Why a folder could not be opened; SecureFolderError::path names the level at fault.
enum class SecureFolderFault {
  None,
  NoRoot,        // the machine's folder is not there (or no root was given)
  Missing,       // a level is not there (opening to read only)
  Link,          // a level is a link (reparse point) to elsewhere
  CannotCreate,  // a level could not be opened or created
  CannotSecure,  // a level is not the tool's and may not be made so, or its list could not be set
};
struct SecureFolderError {
  SecureFolderFault fault = SecureFolderFault::None;
  std::wstring path;
};

// What reading a file of a folder found. NotTrusted: a link, a file with another name (a hard
// link), or one that the tool did not write (see SecureFolder::Read).
enum class FileRead { Read, Missing, NotTrusted, TooLarge, Failed };

// What creating a file found.
enum class FileWrite { Written, Exists, Failed };

// True where a file keeps the owner its creator gives it (Windows). Wine keeps no owners: every
// file reads as owned by the process's user, and of an access list Wine keeps only the unix
// permission bits it derives from it. Tests answer true to hold Wine's files to Windows' rule.
extern Seam<bool()> FileOwnersKept;

// The attributes of what handle holds (FILE_ATTRIBUTE_REPARSE_POINT for a link); nothing when
// they cannot be read. path names it for tests only: Wine makes no links, so a test answers
// "a link" for a level of its choice.
extern Seam<std::optional<DWORD>(HANDLE handle, const std::wstring& path)> HandleAttributes;

// The SID string ("S-1-5-21-…") of the user this process runs as; empty when it cannot be read.
std::wstring ProcessUserSid();

// A secured folder, held open. Move only; it holds nothing after a failed open.
class SecureFolder {
 public:
  SecureFolder() = default;

  // Opens place level by level, creating a missing level with the tool's access list: owner
  // Administrators; Administrators and SYSTEM may do anything; every signed-in account may list
  // the levels above the last, only the reader may read the last one and its files; nothing
  // inherited from above. A level found there must be the tool's (owned by Administrators or
  // SYSTEM, letting no one else change it); one owned by Administrators or SYSTEM that lets
  // others change it gets the list. Fails (holding nothing, error saying why and where) on a
  // link, a level owned by anyone else, or a list that cannot be set.
  static SecureFolder Create(const SecureFolderPlace& place, SecureFolderError& error);
  // Opens the levels of place as they are, refusing links and changing nothing: for reading,
  // where each file's own trust decides. Fails with Missing when a level is not there.
  static SecureFolder OpenToRead(const SecureFolderPlace& place, SecureFolderError& error);

  // True when the folder is held.
  explicit operator bool() const noexcept { return !levels_.empty(); }
  // The folder's path as it was opened (for messages and dialogs; never opened again by it).
  const std::wstring& Path() const noexcept { return path_; }

  // The bytes of the file name, from one open that follows no link, read only when that handle
  // shows a plain file with no other name, no larger than limit, that the tool wrote: owned by
  // Administrators or SYSTEM; where owners are not kept (FileOwnersKept), owned by this
  // process's user and open to nobody but it, Administrators and SYSTEM. bytes is empty unless
  // Read is answered.
  FileRead Read(const std::wstring& name, uint64_t limit, std::string& bytes) const;
  // Creates the file name with bytes, flushed, owned by Administrators and readable by the
  // reader. Exists when the name is taken (that file left alone); Failed when any byte did not
  // arrive (the new file removed again).
  FileWrite CreateNew(const std::wstring& name, const std::string& bytes) const;
  // Creates the file name as CreateNew does, filled by write through its handle (opened for
  // writing); Failed, with the file removed again, when write answers false.
  FileWrite CreateNewWith(const std::wstring& name, const std::function<bool(HANDLE file)>& write) const;
  // Replaces the file name (or creates it) with bytes through a new file that takes its place
  // only once complete. False on failure; the old file then stays as it was.
  bool Replace(const std::wstring& name, const std::string& bytes) const;
  // Adds bytes at the end of the file name, created as CreateNew does when missing. False when
  // they could not be written, or name is a link.
  bool Append(const std::wstring& name, const std::string& bytes) const;
  // Removes the file name (never what a link points to). False when nothing was removed.
  bool Remove(const std::wstring& name) const;
  // The names of the plain files in the folder (no folders, no links), unsorted.
  std::vector<std::wstring> FileNames() const;

 private:
  static SecureFolder Open(const SecureFolderPlace& place, bool create, SecureFolderError& error);
  HANDLE Handle() const noexcept { return levels_.back().get(); }

  std::wstring path_;
  std::wstring readerSid_;
  std::vector<UniqueFileHandle> levels_;  // the root, then each level
};

}  // namespace common
