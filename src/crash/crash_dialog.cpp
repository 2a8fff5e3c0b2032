#include "crash/crash_dialog.h"

#include <commdlg.h>
#include <mapi.h>


#include <cwchar>
#include <iterator>

#include "common/exception.h"
#include "common/handles.h"
#include "common/text.h"
#include "crash/crash_report.h"
#include "crash/crash_texts.h"
#include "settings/file_access.h"
#include "ui/clipboard.h"
#include "ui/dialog_template.h"
#include "ui/file_dialog.h"
#include "ui/message_box.h"
#include "ui/user_shell.h"

namespace crash {

namespace {

constexpr int kSentenceId = 100;
constexpr int kReportId = 101;
constexpr int kAddressId = 102;
// How much of the report a mailto: address carries; mail programs take little more.
constexpr size_t kMailBody = 1500;

void Inform(HWND owner, const std::wstring& text) { ui::ShowMessageBox(owner, ui::BoxKind::Information, text); }
void Warn(HWND owner, const std::wstring& text) { ui::ShowMessageBox(owner, ui::BoxKind::Warning, text); }

std::string Ansi(const std::wstring& text) {
  if (text.empty()) return {};
  const int size = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                       nullptr);
  std::string bytes(size, '\0');
  WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr, nullptr);
  return bytes;
}

std::wstring PercentEncoded(const std::wstring& text) {
  std::wstring out;
  for (unsigned char c : common::Utf8(text)) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
        c == '_' || c == '~') {
      out += static_cast<wchar_t>(c);
    } else {
      wchar_t escape[4];
      std::swprintf(escape, std::size(escape), L"%%%02X", c);
      out += escape;
    }
  }
  return out;
}

std::string ReadBytes(const std::wstring& path) {
  common::UniqueFileHandle file(
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER size{};
  if (!file || !GetFileSizeEx(file.get(), &size) || size.QuadPart > (256 << 20)) return {};
  std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
  DWORD read = 0;
  if (!ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr)) return {};
  bytes.resize(read);
  return bytes;
}

std::wstring DumpPathOf(const std::wstring& reportPath) {
  return reportPath.size() > 4 ? reportPath.substr(0, reportPath.size() - 4) + L".dmp" : std::wstring();
}

// A mail program registered for MAPI (the default of HKLM\Software\Clients\Mail).
bool HasMapiClient() {
  wchar_t name[256] = L"";
  DWORD size = sizeof name;
  return RegGetValueW(HKEY_LOCAL_MACHINE, L"Software\\Clients\\Mail", nullptr, RRF_RT_REG_SZ, nullptr, name, &size) ==
             ERROR_SUCCESS &&
         name[0];
}

bool MailByMapi(HWND owner, const TCrashDialogRequest& request) {
  if (!HasMapiClient()) return false;
  const common::UniqueHModule mapi(LoadLibraryExW(L"mapi32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
  if (!mapi) return false;
  const auto send = reinterpret_cast<LPMAPISENDMAIL>(reinterpret_cast<void*>(GetProcAddress(mapi.get(), "MAPISendMail")));
  if (!send) return false;
  std::string subject = Ansi(texts::kMailSubject), note = Ansi(request.report.substr(0, kMailBody));
  std::string path = Ansi(request.reportPath), name = Ansi(common::ExtractFileName(request.reportPath));
  MapiFileDesc file{};
  file.nPosition = static_cast<ULONG>(-1);
  file.lpszPathName = path.data();
  file.lpszFileName = name.data();
  MapiMessage message{};
  message.lpszSubject = subject.data();
  message.lpszNoteText = note.data();
  message.nFileCount = request.reportPath.empty() ? 0 : 1;
  message.lpFiles = request.reportPath.empty() ? nullptr : &file;
  return send(0, reinterpret_cast<ULONG_PTR>(owner), &message, MAPI_DIALOG | MAPI_LOGON_UI, 0) == SUCCESS_SUCCESS;
}

INT_PTR CALLBACK CrashProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* request = reinterpret_cast<const TCrashDialogRequest*>(GetWindowLongPtrW(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG: {
      SetWindowLongPtrW(dialog, DWLP_USER, lParam);
      request = reinterpret_cast<const TCrashDialogRequest*>(lParam);
      SetDlgItemTextW(dialog, kSentenceId, request->sentence.c_str());
      std::wstring text;
      for (wchar_t c : request->report) {
        if (c == L'\n') text += L'\r';
        text += c;
      }
      SetDlgItemTextW(dialog, kReportId, text.c_str());
      if (!request->uploadUrl.empty())
        SetDlgItemTextW(dialog, kAddressId, (texts::kSendTo + request->uploadUrl).c_str());
      SetWindowPos(dialog, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
      SetFocus(GetDlgItem(dialog, kExitButton));
      return FALSE;
    }
    case WM_COMMAND:
      if (!request) return FALSE;
      // No exception leaves the dialog's procedure: the tool is already failing.
      try {
        switch (LOWORD(wParam)) {
          case kCopyButton:
            CopyReport(dialog, request->report);
            return TRUE;
          case kSaveButton:
            SaveReport(dialog, request->report);
            return TRUE;
          case kMailButton:
            MailReport(dialog, *request);
            return TRUE;
          case kSendButton:
            SendReport(dialog, *request);
            return TRUE;
          case kRestartButton:
            EndDialog(dialog, static_cast<INT_PTR>(TCrashAnswer::Restart));
            return TRUE;
          case kExitButton:
          case IDCANCEL:
            EndDialog(dialog, static_cast<INT_PTR>(TCrashAnswer::Exit));
            return TRUE;
          default:
            return FALSE;
        }
      } catch (...) {
        return TRUE;
      }
    default:
      return FALSE;
  }
}

}  // namespace

common::Seam<TCrashAnswer(const TCrashDialogRequest&)> CrashDialogSeam(&ShowRealCrashDialog);
common::Seam<bool(HWND, const TCrashDialogRequest&)> MapiMailSeam(&MailByMapi);

TCrashAnswer ShowRealCrashDialog(const TCrashDialogRequest& request) {
  ui::DialogTemplate dialog(texts::kDialogTitle, 380, 250, DS_SETFOREGROUND);
  dialog.Item(L"STATIC", L"", kSentenceId, SS_LEFT | SS_NOPREFIX, 7, 7, 366, 28);
  // Where 送信 would post is in sight before it is pressed, under the report.
  const bool sends = !request.uploadUrl.empty();
  dialog.Item(L"EDIT", L"", kReportId,
              ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | ES_AUTOHSCROLL | WS_VSCROLL | WS_HSCROLL | WS_BORDER |
                  WS_TABSTOP,
              7, 38, 366, sends ? 170 : 184);
  if (sends) dialog.Item(L"STATIC", L"", kAddressId, SS_LEFT | SS_NOPREFIX | SS_ENDELLIPSIS, 7, 213, 366, 10);
  struct Button {
    int id;
    const wchar_t* text;
  };
  const Button buttons[] = {{kCopyButton, texts::kCopy},       {kSaveButton, texts::kSave},
                            {kMailButton, texts::kMail},       {kSendButton, texts::kSend},
                            {kRestartButton, texts::kRestart}, {kExitButton, texts::kExit}};
  short x = 7;
  for (const Button& b : buttons) {
    if (b.id == kSendButton && !sends) continue;
    const short width = b.id == kMailButton ? 72 : 56;
    dialog.Item(L"BUTTON", b.text, b.id, (b.id == kExitButton ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON) | WS_TABSTOP, x, 229,
                width, 14);
    x = static_cast<short>(x + width + 4);
  }
  const INT_PTR result = DialogBoxIndirectParamW(GetModuleHandleW(nullptr), dialog.get(), nullptr, CrashProc,
                                                 reinterpret_cast<LPARAM>(&request));
  return result == static_cast<INT_PTR>(TCrashAnswer::Restart) ? TCrashAnswer::Restart : TCrashAnswer::Exit;
}

void CopyReport(HWND owner, const std::wstring& report) {
  std::wstring text;
  for (wchar_t c : report) {
    if (c == L'\n') text += L'\r';
    text += c;
  }
  if (!ui::PutOnClipboard(owner, text)) return;
  Inform(owner, texts::kCopied);
}

void SaveReport(HWND owner, const std::wstring& report) {
  ui::FileDialog dialog(ui::FileDialog::Kind::Save, texts::kSaveFilter, L"txt",
                        OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_OVERWRITEPROMPT | OFN_ENABLESIZING);
  if (!dialog.Execute(owner)) return;
  const std::string bytes = ReportBytes(report);
  try {
    settings::ReplaceWholeFile(dialog.FileName, bytes);
  } catch (const Exception& e) {
    Warn(owner, std::wstring(texts::kNotSaved) + L"\n" + e.Message());
    return;
  }
  Inform(owner, texts::kSaved);
}

std::wstring MailtoAddress(const TCrashDialogRequest& request) {
  std::wstring body = request.report.substr(0, kMailBody);
  if (request.report.size() > kMailBody) body += L"…";
  if (!request.reportPath.empty()) body += L"\n\n" + std::wstring(texts::kMailAttach) + L"\n" + request.reportPath;
  return L"mailto:?subject=" + PercentEncoded(texts::kMailSubject) + L"&body=" + PercentEncoded(body);
}

void MailReport(HWND owner, const TCrashDialogRequest& request) {
  if (MapiMailSeam(owner, request) || ui::UserShellSeam(MailtoAddress(request))) return;
  Inform(owner, MailByHand(request));
}

std::wstring MailByHand(const TCrashDialogRequest& request) {
  std::wstring text = std::wstring(texts::kNoMailProgram) + L"\n" + texts::kMailSubjectLabel + texts::kMailSubject;
  if (!request.reportPath.empty()) text += L"\n" + std::wstring(texts::kMailAttach) + L"\n" + request.reportPath;
  return text;
}

void SendReport(HWND owner, const TCrashDialogRequest& request) {
  if (!IsAllowedUploadUrl(request.uploadUrl)) {
    Warn(owner, texts::kInsecure);
    return;
  }
  // The minidump holds the tool's memory: it goes only after a yes; Enter sends the text alone.
  const int answer = ui::ShowMessageBox(owner, ui::BoxKind::Confirmation,
                                        texts::kSendTo + request.uploadUrl + L"\n\n" + texts::kSendQuestion,
                                        ui::BoxButtons::YesNoCancel, true);
  if (answer != ui::mrYes && answer != ui::mrNo) return;
  const std::string minidump = answer == ui::mrYes ? ReadBytes(DumpPathOf(request.reportPath)) : std::string();
  const TUploadResult result = UploadReport(request.uploadUrl, ReportBytes(request.report), minidump);
  if (result.sent) {
    Inform(owner, std::wstring(texts::kSent) + L"\n" + result.answer);
  } else {
    Warn(owner, std::wstring(texts::kNotSent) + (result.answer.empty() ? L"" : L"\n" + result.answer));
  }
}

}  // namespace crash
