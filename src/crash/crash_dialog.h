#pragma once
// The dialog 「エラー報告」: what happened in one sentence, the report, and what the user can do
// with it. Nothing leaves the computer unless the user presses a send button.

#include <windows.h>

#include <string>

#include "common/seam.h"
#include "crash/crash_upload.h"

namespace crash {

// How the dialog was left.
enum class TCrashAnswer { Restart, Exit };

// What the dialog shows and offers.
struct TCrashDialogRequest {
  std::wstring sentence;    // that the tool met an unexpected error, and the state of the last change
  std::wstring report;      // the report's text
  std::wstring reportPath;  // where it was written (its .txt; the .dmp lies beside)
  std::wstring uploadUrl;   // where 送信 posts it, shown in the dialog; no 送信 button when empty
};

// The ids of the dialog's buttons (also what UI automation presses).
enum TCrashButton : int { kCopyButton = 200, kSaveButton, kMailButton, kSendButton, kRestartButton, kExitButton };

// Shows the real dialog, modal and without an owner (the tool's windows no longer answer).
TCrashAnswer ShowRealCrashDialog(const TCrashDialogRequest& request);

// The dialog actually shown; tests answer it.
extern common::Seam<TCrashAnswer(const TCrashDialogRequest&)> CrashDialogSeam;

// The buttons' work, each with its outcome shown in a box owned by owner. Only SendReport sends
// the minidump, after asking; copy, save and mail carry the text alone.
void CopyReport(HWND owner, const std::wstring& report);
void SaveReport(HWND owner, const std::wstring& report);
// The user's mail program: through MAPI with the report attached where a MAPI client is
// installed, else a mailto: address with the subject and the start of the report, naming the
// saved report to attach, opened by the user's desktop shell (UserShellSeam); where neither
// opened, a box says how to write the mail by hand (MailByHand).
void MailReport(HWND owner, const TCrashDialogRequest& request);
// Asks, naming the address and what a minidump holds, whether to send the report with its
// minidump (はい), the text alone (いいえ) or nothing (キャンセル), then sends and shows the outcome.
void SendReport(HWND owner, const TCrashDialogRequest& request);

// Hands the report to the user's MAPI mail program with the report attached; false when no MAPI
// client is installed or it refused. Tests answer it.
extern common::Seam<bool(HWND owner, const TCrashDialogRequest& request)> MapiMailSeam;

// The mailto: address MailReport opens without MAPI: subject and body percent-encoded in UTF-8,
// the body the first part of the report and where the whole report lies.
std::wstring MailtoAddress(const TCrashDialogRequest& request);

// What MailReport says when no mail program opened: that none did, the subject to give the mail,
// and the report file to attach (left out when the report was not written).
std::wstring MailByHand(const TCrashDialogRequest& request);

}  // namespace crash
