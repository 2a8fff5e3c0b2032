#pragma once
// Where reports are kept: a secured folder (%ProgramData%\Tavrelo\Reports\<the account's SID>,
// which only Administrators and SYSTEM can change and the account may read), held open from the
// start, holding <yyyymmdd-hhmmss-fff>.txt and .dmp, the newest twenty of them.

#include <windows.h>

#include <string>

#include "common/secure_folder.h"
#include "common/seam.h"

namespace crash {

// How many reports are kept.
inline constexpr size_t kReportsKept = 20;

// Writes a minidump of this process into file: normal, with thread information and the
// exception of threadId when given. False when it could not be written. Tests stand in for it
// where its contents do not matter, since Wine takes seconds for each.
extern common::Seam<bool(HANDLE file, DWORD threadId, EXCEPTION_POINTERS* exception)> WriteMinidump;

// Writes report (UTF-8, CR LF) as "<stamp>.txt" into folder and a minidump of this process
// (normal, with thread information and the exception, when given) as "<stamp>.dmp", then removes
// all but the newest kReportsKept reports. Answers the text file's path; empty when it could not
// be written (also when folder holds nothing). Never raises.
std::wstring WriteReport(const common::SecureFolder& folder, const std::wstring& report, DWORD threadId,
                         EXCEPTION_POINTERS* exception);

// The newest report in folder that has not been announced yet (its path), once: the next call
// answers nothing until a newer report comes. Nothing when there is none.
std::wstring ReportToAnnounce(const common::SecureFolder& folder);

}  // namespace crash
