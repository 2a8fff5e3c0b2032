#pragma once
// The folder that keeps the change history and its backups: %LOCALAPPDATA%\Tavrelo\Backups,
// which only Administrators and SYSTEM may write. The tool runs elevated, so a program the user
// runs unelevated can neither plant nor change a file that the tool will later write into the
// registry; a file there that such a program made anyway is passed over.

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "assoc/reg_file.h"
#include "common/seam.h"

namespace assoc {

// The folder of the local application data (%LOCALAPPDATA%), from the shell. Tests answer with
// a folder of their own so that no test writes into the real one.
extern common::Seam<std::wstring()> LocalAppDataFolder;

// The local time changes are recorded at. Tests answer with a fixed time.
extern common::Seam<SYSTEMTIME()> BackupClock;

// The security identifier of a file's owner ("S-1-5-32-544"); nothing when it cannot be read.
// Wine keeps no owners of its own for files, so tests answer for the files they plant.
extern common::Seam<std::optional<std::wstring>(const std::wstring& path)> FileOwnerSid;

// LocalAppDataFolder() + "\Tavrelo\Backups", without a trailing "\". Not created here.
std::wstring BackupFolder();

// The largest registry file a restore or an import reads.
inline constexpr uint64_t kLargestRegistryFile = 64ull << 20;

// Creates the folder when missing, and gives it (new or found) the access list that lets only
// Administrators and SYSTEM write, owned by Administrators. Raises Exception (BackupFailed and
// the reason) when there is no local application data folder, the folder or the one above it is
// a link to elsewhere, or it cannot be created or secured.
void PrepareBackupFolder();

// True when the file at path is owned by Administrators or SYSTEM, or by whoever owns what this
// process itself creates in the secured folder (a platform without file owners answers the same
// for every file).
bool IsTrustedFile(const std::wstring& path);

// "yyyymmdd-hhmmss-fff" of time.
std::wstring TimeStamp(const SYSTEMTIME& time);

// The time a stamp stands for; nothing for anything else.
std::optional<SYSTEMTIME> ParseTimeStamp(std::wstring_view stamp);

// text with the characters file names cannot hold (\ / : * ? " < > |, control characters) and
// "%" written as "%" and two upper-case hex digits, cut to 64 characters (ending in "…").
std::wstring FileNamePart(std::wstring_view text);

// Writes bytes into a new file in the prepared folder named "<stem>.reg", or "<stem> (2).reg" and
// so on when that is taken, owned by Administrators, flushed; answers the file's name (without
// the folder). Raises Exception (BackupFailed and the reason) when any byte does not arrive; a
// file written in part is removed again.
std::wstring WriteBackupFile(const std::wstring& stem, const std::string& bytes);

// Replaces the file name in the prepared folder with bytes, through a new file that takes its
// place only once complete. Raises Exception (BackupFailed and the reason) on failure; the old
// file then stays as it was.
void ReplaceFolderFile(const std::wstring& name, const std::string& bytes);

// The bytes of the file at path, read only when it is no larger than limit. Raises Exception
// naming the file (CannotReadFile, or FileTooLarge with the limit) before reading more.
std::string ReadLimitedFile(const std::wstring& path, uint64_t limit);

// The registry file at path, at most kLargestRegistryFile. Raises Exception naming the file when
// it is larger, cannot be read, or a line does not parse (with the line).
TRegDocument ReadRegistryFile(const std::wstring& path);

}  // namespace assoc
