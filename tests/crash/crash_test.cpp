// The error report: each kind of fault, raised in a child process, leaves a report with every
// section and a minidump that opens; an error the tool names keeps the application's error box;
// the dialog's buttons copy, save, mail and send the report; a send names its address, attaches
// the minidump only when the user says yes, and follows no redirect.
#include <winsock2.h>
#include <windows.h>
#include <dbghelp.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "common/handles.h"
#include "common/local_files.h"
#include "common/secure_folder.h"
#include "common/text.h"
#include "crash/crash_dialog.h"
#include "crash/crash_report.h"
#include "crash/crash_store.h"
#include "crash/crash_texts.h"
#include "crash/crash_upload.h"
#include "support/temp_files.h"
#include "support/ui_doubles.h"
#include "ui/application.h"
#include "ui/clipboard.h"
#include "ui/file_dialog.h"
#include "ui/user_shell.h"

namespace {

// The child program, built beside the test.
std::wstring ChildPath() {
  const std::wstring self = common::ModuleFileName();
  return self.substr(0, self.rfind(L'\\')) + L"\\crash_child.exe";
}

// Runs the child with folder and kind; answers its exit code (or -1 when it did not end in time).
DWORD RunChild(const std::wstring& folder, const std::wstring& kind) {
  std::wstring commandLine = L"\"" + ChildPath() + L"\" \"" + folder + L"\" " + kind;
  STARTUPINFOW startup{sizeof startup};
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return static_cast<DWORD>(-2);
  common::UniqueKernelHandle thread(process.hThread), child(process.hProcess);
  if (WaitForSingleObject(child.get(), 120000) != WAIT_OBJECT_0) {
    TerminateProcess(child.get(), 1);
    return static_cast<DWORD>(-1);
  }
  DWORD code = 0;
  GetExitCodeProcess(child.get(), &code);
  return code;
}

std::vector<std::wstring> FilesEnding(const std::wstring& folder, const std::wstring& suffix) {
  std::vector<std::wstring> found;
  for (const std::wstring& name : testsupport::FolderEntries(folder))
    if (name.size() > suffix.size() && name.substr(name.size() - suffix.size()) == suffix) found.push_back(name);
  return found;
}

// The exception code a minidump holds, read back with the system's reader; 0 when it has none.
// threads receives how many threads it lists.
DWORD DumpedException(const std::wstring& path, ULONG& threads) {
  threads = 0;
  common::UniqueFileHandle file(
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return 0;
  common::UniqueKernelHandle mapping(CreateFileMappingW(file.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
  if (!mapping) return 0;
  const common::UniqueMappedView view(MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, 0));
  if (!view) return 0;
  void* base = const_cast<void*>(view.get());
  DWORD code = 0;
  MINIDUMP_DIRECTORY* directory = nullptr;
  void* stream = nullptr;
  ULONG size = 0;
  if (MiniDumpReadDumpStream(base, ThreadListStream, &directory, &stream, &size) && stream)
    threads = static_cast<MINIDUMP_THREAD_LIST*>(stream)->NumberOfThreads;
  if (MiniDumpReadDumpStream(base, ExceptionStream, &directory, &stream, &size) && stream)
    code = static_cast<MINIDUMP_EXCEPTION_STREAM*>(stream)->ExceptionRecord.ExceptionCode;
  return code;
}

TEST(CrashReport, EachKindOfFaultLeavesAReportWithEverySectionAndAMinidump) {
  struct Case {
    const wchar_t* kind;
    DWORD code;
    const wchar_t* where;  // the function, or the module, the stack names
    const wchar_t* detail;  // a line the exception section holds
  };
  const Case cases[] = {
      {L"av-read", EXCEPTION_ACCESS_VIOLATION, L"#0 ", L"アクセス: 読み取り 0000000000000000"},
      {L"av-write", EXCEPTION_ACCESS_VIOLATION, L"#0 ", L"アクセス: 書き込み 0000000000000000"},
      // Inside a window procedure, which Wine and 64-bit Windows would swallow.
      {L"window", EXCEPTION_ACCESS_VIOLATION, L"DispatchMessageW", L"アクセス: 読み取り"},
      {L"stack-overflow", EXCEPTION_STACK_OVERFLOW, L"#63 ", L"スタック オーバーフロー"},
      {L"unknown-cpp", crash::kUnknownCppException, L"crash_child.exe+0x", L"種類のわからない C++ の例外"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.kind)));
    testsupport::TempFolder folder;
    const std::wstring reports = folder / L"Reports";
    EXPECT_EQ(RunChild(reports, c.kind), 0xE0545643u);
    const auto texts = FilesEnding(reports, L".txt"), dumps = FilesEnding(reports, L".dmp");
    ASSERT_EQ(texts.size(), 1u);
    ASSERT_EQ(dumps.size(), 1u);
    EXPECT_EQ(texts[0].substr(0, 19), dumps[0].substr(0, 19));
    const std::wstring report = common::FromUtf8(testsupport::ReadBytes(reports + L"\\" + texts[0])).value_or(L"");
    for (const wchar_t* heading : {L"== 一般 ==", L"== 例外 ==", L"== 呼び出し履歴 ==", L"== ほかのスレッド ==",
                                   L"== モジュール ==", L"== レジスタ ==", L"== コード ==", L"== 最後の変更 =="})
      EXPECT_NE(report.find(heading), std::wstring::npos) << testing::PrintToString(std::wstring(heading));
    // No list of the user's processes: this test, the child's parent, would be on it.
    EXPECT_EQ(report.find(L"== プロセス =="), std::wstring::npos);
    EXPECT_EQ(report.find(L"test_crash.exe"), std::wstring::npos);
    EXPECT_NE(report.find(c.detail), std::wstring::npos) << testing::PrintToString(report.substr(0, 1500));
    // The faulting frame lies in the child's own code: its module and offset (the release build
    // carries no symbols for it), whatever else the stack shows.
    const size_t stack = report.find(L"== 呼び出し履歴 ==");
    EXPECT_NE(report.find(L"crash_child.exe+0x", stack), std::wstring::npos);
    EXPECT_NE(report.find(c.where, stack), std::wstring::npos) << testing::PrintToString(report.substr(stack, 800));
    const size_t module = report.find(L"モジュール: ");
    EXPECT_NE(module, std::wstring::npos);
    EXPECT_EQ(report.find(L"モジュール: crash_child.exe+0x"), module);
    EXPECT_NE(report.find(L"最後の変更はありません。"), std::wstring::npos);
    EXPECT_NE(report.find(L"RIP="), std::wstring::npos);
    EXPECT_NE(report.find(L"\r\n"), std::wstring::npos) << "lines end in CR LF";
    ULONG threads = 0;
    const DWORD dumped = DumpedException(reports + L"\\" + dumps[0], threads);
    EXPECT_GE(threads, 1u) << "the minidump opens and lists the threads";
    if (c.code != crash::kUnknownCppException) {
      EXPECT_EQ(dumped, c.code);
    }
  }
}

TEST(CrashReport, AnErrorTheToolNamesKeepsTheApplicationsErrorBox) {
  testsupport::TempFolder folder;
  EXPECT_EQ(RunChild(folder.Path(), L"named"), 0u);
  EXPECT_EQ(FilesEnding(folder.Path(), L".txt"), std::vector<std::wstring>{L"errorbox.txt"}) << "no report";
  EXPECT_TRUE(FilesEnding(folder.Path(), L".dmp").empty());
  const std::string box = testsupport::ReadBytes(folder / L"errorbox.txt");
  EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(box.data()), box.size() / 2),
            ui::Application::ErrorBoxText(L"ファイル C:\\x.ini は開けません。"));
}

TEST(CrashReport, KeepsTheNewestTwentyAndAnnouncesANewOneOnce) {
  testsupport::TempFolder folder;
  EXPECT_EQ(crash::ReportToAnnounce(common::SecureFolder()), L"") << "no folder yet";
  common::SecureFolderError error;
  const common::SecureFolder held =
      common::SecureFolder::Create({folder.Path(), {L"Reports"}, common::ProcessUserSid()}, error);
  ASSERT_TRUE(held);
  const std::wstring reports = held.Path();
  auto smallDumps = crash::WriteMinidump.Replace([](HANDLE file, DWORD, EXCEPTION_POINTERS*) {
    DWORD written = 0;
    return WriteFile(file, "MDMP", 4, &written, nullptr) && written == 4;
  });
  std::wstring last;
  for (int i = 0; i < 22; ++i) {
    last = crash::WriteReport(held, L"report " + std::to_wstring(i), GetCurrentThreadId(), nullptr);
    ASSERT_FALSE(last.empty());
    Sleep(2);  // the names tell the reports apart by the millisecond
  }
  EXPECT_EQ(FilesEnding(reports, L".txt").size(), crash::kReportsKept);
  EXPECT_EQ(FilesEnding(reports, L".dmp").size(), crash::kReportsKept);
  EXPECT_EQ(testsupport::ReadBytes(last), "report 21");
  EXPECT_EQ(crash::ReportToAnnounce(held), last);
  EXPECT_EQ(crash::ReportToAnnounce(held), L"") << "said once";
  Sleep(2);
  const std::wstring newer = crash::WriteReport(held, L"newer", GetCurrentThreadId(), nullptr);
  EXPECT_EQ(crash::ReportToAnnounce(held), newer);
}

TEST(CrashReport, AMarkerThatTheToolDidNotWriteSilencesNoReport) {
  testsupport::TempFolder folder;
  const std::wstring account = common::ProcessUserSid();
  common::SecureFolderError error;
  const common::SecureFolder held =
      common::SecureFolder::Create({folder.Path(), {L"Tavrelo", L"Reports", account}, account}, error);
  ASSERT_TRUE(held);
  auto smallDumps = crash::WriteMinidump.Replace([](HANDLE, DWORD, EXCEPTION_POINTERS*) { return true; });
  const std::wstring report = crash::WriteReport(held, L"report", GetCurrentThreadId(), nullptr);
  ASSERT_FALSE(report.empty());
  // Written by someone else, it claims that every report to come was announced already.
  testsupport::WriteBytes(held.Path() + L"\\announced.txt", "99991231-235959-999.txt");
  EXPECT_EQ(crash::ReportToAnnounce(held), report);
  EXPECT_EQ(crash::ReportToAnnounce(held), L"") << "said once";
}

TEST(CrashReport, SendsOnlyOverTlsOrToThisComputer) {
  EXPECT_TRUE(crash::IsAllowedUploadUrl(L"https://reports.example/upload"));
  EXPECT_TRUE(crash::IsAllowedUploadUrl(L"http://127.0.0.1:8080/r"));
  EXPECT_TRUE(crash::IsAllowedUploadUrl(L"http://localhost/r"));
  EXPECT_FALSE(crash::IsAllowedUploadUrl(L"http://reports.example/upload"));
  EXPECT_FALSE(crash::IsAllowedUploadUrl(L"ftp://127.0.0.1/r"));
  EXPECT_FALSE(crash::IsAllowedUploadUrl(L"not an address"));
}

// An HTTP answer with status (e.g. "200 OK"), further header lines and body.
std::string HttpAnswer(const std::string& status, const std::string& headers, const std::string& body) {
  return "HTTP/1.1 " + status + "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n" + headers +
         "Connection: close\r\n\r\n" + body;
}

// A one-request HTTP server on 127.0.0.1: it keeps what it received and gives answer
// ("200 受け付けました" unless told).
class LocalServer {
 public:
  explicit LocalServer(std::string answer = HttpAnswer("200 OK", "", "受け付けました")) : answer_(std::move(answer)) {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    int length = sizeof address;
    getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    listen(listener_, 1);
    thread_ = std::thread([this] { Serve(); });
  }
  ~LocalServer() {
    Stop();
    WSACleanup();
  }
  std::wstring Url() const { return L"http://127.0.0.1:" + std::to_wstring(port_) + L"/report"; }
  // What arrived, once no more can come: call it after the sending is over. Empty when nothing came.
  const std::string& Received() {
    Stop();
    return received_;
  }

 private:
  void Stop() {
    if (listener_ != INVALID_SOCKET) closesocket(std::exchange(listener_, INVALID_SOCKET));
    if (thread_.joinable()) thread_.join();
  }

  void Serve() {
    SOCKET client = accept(listener_, nullptr, nullptr);
    if (client == INVALID_SOCKET) return;
    DWORD timeout = 20000;
    setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
    size_t expected = std::string::npos;
    char buffer[65536];
    for (;;) {
      const int got = recv(client, buffer, sizeof buffer, 0);
      if (got <= 0) break;
      received_.append(buffer, got);
      const size_t end = received_.find("\r\n\r\n");
      if (end != std::string::npos && expected == std::string::npos) {
        const size_t at = received_.find("Content-Length: ");
        expected = end + 4 + (at < end ? std::stoul(received_.substr(at + 16)) : 0);
      }
      if (received_.size() >= expected) break;
    }
    send(client, answer_.data(), static_cast<int>(answer_.size()), 0);
    closesocket(client);
  }

  std::string answer_;
  SOCKET listener_ = INVALID_SOCKET;
  unsigned short port_ = 0;
  std::string received_;
  std::thread thread_;
};

TEST(CrashUpload, ARedirectIsNeitherFollowedNorCountedAsSent) {
  // 302 would come back as a GET; 307 would post the whole report again, to the new address.
  for (const std::string status : {"302 Found", "307 Temporary Redirect"}) {
    SCOPED_TRACE(status);
    LocalServer elsewhere;
    const std::wstring elsewhereUrl = elsewhere.Url();
    LocalServer server(
        HttpAnswer(status, "Location: " + std::string(elsewhereUrl.begin(), elsewhereUrl.end()) + "\r\n", ""));
    const crash::TUploadResult result = crash::UploadReport(server.Url(), "report body", "MDMP");
    EXPECT_FALSE(result.sent);
    EXPECT_EQ(result.answer.substr(0, 4), std::wstring(status.begin(), status.begin() + 4));
    EXPECT_NE(server.Received().find("report body"), std::string::npos);
    EXPECT_EQ(elsewhere.Received(), "") << "the redirect was followed";
  }
}

// A report and its minidump where the dialog finds them.
struct SavedReport {
  SavedReport() {
    testsupport::WriteBytes(path, crash::ReportBytes(L"== 一般 ==\nreport body\n"));
    testsupport::WriteBytes(folder / L"20261210-101010-100.dmp", kDump);
  }
  static inline const std::string kDump = std::string("MDMP-bytes\0\1", 12);
  testsupport::TempFolder folder;
  const std::wstring path = folder / L"20261210-101010-100.txt";
};

TEST(CrashDialog, SendingNamesTheAddressAndAttachesTheMinidumpOnlyAfterAYes) {
  const SavedReport saved;
  struct Case {
    int answer;
    bool sent;      // the report went
    bool withDump;  // and the minidump with it
  };
  const Case cases[] = {{ui::mrYes, true, true}, {ui::mrNo, true, false}, {ui::mrCancel, false, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answer);
    LocalServer server;
    const crash::TCrashDialogRequest request{L"予期しないエラーです。", L"== 一般 ==\nreport body\n", saved.path,
                                             server.Url()};
    testsupport::BoxScript boxes;
    boxes.Then(c.answer).Then(ui::mrOk);
    crash::SendReport(nullptr, request);
    const std::string& received = server.Received();
    const auto shown = boxes.Take();
    ASSERT_EQ(shown.size(), c.sent ? 2u : 1u);
    // The question names where the report goes and what a minidump holds; Enter sends no minidump.
    EXPECT_EQ(shown[0].kind, ui::BoxKind::Confirmation);
    EXPECT_EQ(shown[0].buttons, ui::BoxButtons::YesNoCancel);
    EXPECT_TRUE(shown[0].defaultNo);
    EXPECT_NE(shown[0].text.find(std::wstring(crash::texts::kSendTo) + server.Url()), std::wstring::npos);
    EXPECT_NE(shown[0].text.find(crash::texts::kSendQuestion), std::wstring::npos);
    EXPECT_EQ(received.find(crash::ReportBytes(request.report)) != std::string::npos, c.sent);
    EXPECT_EQ(received.find("name=\"minidump\"") != std::string::npos, c.withDump);
    EXPECT_EQ(received.find(SavedReport::kDump) != std::string::npos, c.withDump);
  }
}

TEST(CrashDialog, ItsButtonsCopySaveMailAndSendTheReportThroughTheRealDialog) {
  const SavedReport report;
  LocalServer server;
  crash::TCrashDialogRequest request{L"予期しないエラーです。", L"== 一般 ==\nreport body\n", report.path, server.Url()};

  testsupport::BoxScript boxes;
  // Copied, saved, the minidump too, sent.
  boxes.Then(ui::mrOk).Then(ui::mrOk).Then(ui::mrYes).Then(ui::mrOk);
  testsupport::FileDialogScript dialogs;
  const std::wstring saved = report.folder / L"saved.txt";
  dialogs.Then(saved);
  std::vector<std::wstring> shell;
  auto recordShell = ui::UserShellSeam.Replace([&](const std::wstring& address) {
    shell.push_back(address);
    return true;
  });
  // No MAPI mail program here: the mailto: address goes to the user's desktop shell.
  int mapiAsked = 0;
  auto noMapi = crash::MapiMailSeam.Replace([&](HWND, const crash::TCrashDialogRequest&) {
    ++mapiAsked;
    return false;
  });

  testsupport::DialogView view;
  bool closed = false;
  testsupport::WindowDriver user(testsupport::WindowCaptioned(crash::texts::kDialogTitle), [&](HWND dialog) {
    view = testsupport::ReadDialog(dialog);
    for (int button : {crash::kCopyButton, crash::kSaveButton, crash::kMailButton, crash::kSendButton})
      SendMessageW(GetDlgItem(dialog, button), BM_CLICK, 0, 0);
    closed = testsupport::PressAndConfirm(dialog, crash::kExitButton, 10000);
  });
  EXPECT_EQ(crash::ShowRealCrashDialog(request), crash::TCrashAnswer::Exit);
  ASSERT_TRUE(user.Wait());
  EXPECT_TRUE(closed);

  std::vector<std::wstring> captions;
  for (const auto& b : view.buttons) captions.push_back(b.caption);
  EXPECT_EQ(captions, (std::vector<std::wstring>{L"コピー(&C)", L"保存(&S)...", L"メールで送る(&M)...", L"送信(&W)",
                                                 L"再起動(&R)", L"終了(&X)"}));
  // Where 送信 posts is shown before it is pressed.
  EXPECT_EQ(view.texts, (std::vector<std::wstring>{request.sentence, std::wstring(crash::texts::kSendTo) + server.Url()}));
  // Copy: the report on the clipboard.
  {
    ui::ClipboardScope clipboard(nullptr);
    ASSERT_TRUE(clipboard.IsOpen());
    const auto* text = static_cast<const wchar_t*>(GetClipboardData(CF_UNICODETEXT));
    EXPECT_EQ(std::wstring(text ? text : L""), L"== 一般 ==\r\nreport body\r\n");
  }
  // Save: the report in the chosen file.
  EXPECT_EQ(testsupport::ReadBytes(saved), crash::ReportBytes(request.report));
  // Mail: the mail program through the user's shell, naming the report to attach.
  EXPECT_EQ(mapiAsked, 1);
  ASSERT_EQ(shell.size(), 1u);
  EXPECT_EQ(shell[0], crash::MailtoAddress(request));
  EXPECT_EQ(shell[0].rfind(L"mailto:?subject=", 0), 0u);
  // Send: both parts arrived, and the server's answer was shown.
  const std::string& received = server.Received();
  EXPECT_EQ(received.rfind("POST /report HTTP/1.1", 0), 0u);
  EXPECT_NE(received.find("multipart/form-data; boundary="), std::string::npos);
  EXPECT_NE(received.find("name=\"report\""), std::string::npos);
  EXPECT_NE(received.find(crash::ReportBytes(request.report)), std::string::npos);
  EXPECT_NE(received.find(SavedReport::kDump), std::string::npos);
  const auto shown = boxes.Take();
  ASSERT_EQ(shown.size(), 4u);
  EXPECT_EQ(shown[0].text, crash::texts::kCopied);
  EXPECT_EQ(shown[1].text, crash::texts::kSaved);
  EXPECT_EQ(shown[2].buttons, ui::BoxButtons::YesNoCancel);
  EXPECT_EQ(shown[3].text, std::wstring(crash::texts::kSent) + L"\n200 受け付けました");
}

TEST(CrashDialog, MailWithoutAMailProgramSaysTheSubjectAndTheFileToAttach) {
  struct Case {
    const char* what;
    bool mapi, shellOpens;
    std::wstring reportPath;
    bool shellAsked;
    std::wstring told;  // empty: no box
  };
  const std::wstring path = L"C:\\Reports\\20261210-101010-100.txt";
  const std::wstring byHand = L"メール プログラムを開けませんでした。次の件名でメールを作り、エラー報告を送って下さい。\n件名: エラー報告";
  const Case cases[] = {
      {"MAPI takes it", true, true, path, false, L""},
      {"the user's shell opens the mailto: address", false, true, path, true, L""},
      {"neither", false, false, path, true,
       byHand + L"\nエラー報告の全文は次のファイルにあります。メールに添付して下さい:\n" + path},
      {"neither, and the report was not written", false, false, L"", true, byHand},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const crash::TCrashDialogRequest request{L"予期しないエラーです。", L"report body\n", c.reportPath, L""};
    auto mapi = crash::MapiMailSeam.Replace([&](HWND, const crash::TCrashDialogRequest&) { return c.mapi; });
    std::vector<std::wstring> shell;
    auto userShell = ui::UserShellSeam.Replace([&](const std::wstring& address) {
      shell.push_back(address);
      return c.shellOpens;
    });
    testsupport::BoxScript boxes;
    if (!c.told.empty()) boxes.Then(ui::mrOk);
    crash::MailReport(nullptr, request);
    EXPECT_EQ(shell, c.shellAsked ? std::vector<std::wstring>{crash::MailtoAddress(request)} : std::vector<std::wstring>{});
    const auto shown = boxes.Take();
    ASSERT_EQ(shown.size(), c.told.empty() ? 0u : 1u);
    if (!c.told.empty()) {
      EXPECT_EQ(shown[0].kind, ui::BoxKind::Information);
      EXPECT_EQ(shown[0].text, c.told);
    }
  }
}

TEST(CrashDialog, SaveIntoAFolderThatIsALinkIsRefusedAndSaysWhy) {
  testsupport::TempFolder folder;
  testsupport::BoxScript boxes;
  boxes.Then(ui::mrOk);
  testsupport::FileDialogScript dialogs;
  dialogs.Then(folder / L"report.txt");
  // Wine makes no junctions: the folder's handle is answered as one.
  auto junction = common::ReparseTagOf.Replace([&](HANDLE handle) -> DWORD {
    wchar_t path[1024];
    const DWORD length = GetFinalPathNameByHandleW(handle, path, 1024, FILE_NAME_NORMALIZED);
    return length > 4 && length < 1024 && common::EqualNoCase(std::wstring(path + 4, length - 4), folder.Path())
               ? IO_REPARSE_TAG_MOUNT_POINT
               : 0;
  });
  crash::SaveReport(nullptr, L"== 一般 ==\nreport body\n");
  const auto shown = boxes.Take();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].kind, ui::BoxKind::Warning);
  EXPECT_EQ(shown[0].text, std::wstring(crash::texts::kNotSaved) + L"\n保存先のフォルダー「" + folder.Path() +
                               L"」はリンクのため、保存しません。");
  EXPECT_EQ(testsupport::FolderEntries(folder.Path()), std::vector<std::wstring>{});
}

TEST(CrashDialog, WithoutAnAddressThereIsNoSendButton) {
  crash::TCrashDialogRequest request{L"予期しないエラーです。", L"report", L"", L""};
  testsupport::DialogView view;
  testsupport::WindowDriver user(testsupport::WindowCaptioned(crash::texts::kDialogTitle), [&](HWND dialog) {
    view = testsupport::ReadDialog(dialog);
    testsupport::PressAndConfirm(dialog, crash::kRestartButton, 10000);
  });
  EXPECT_EQ(crash::ShowRealCrashDialog(request), crash::TCrashAnswer::Restart);
  ASSERT_TRUE(user.Wait());
  for (const auto& b : view.buttons) EXPECT_NE(b.caption, L"送信(&W)");
  EXPECT_EQ(view.texts, std::vector<std::wstring>{L"予期しないエラーです。"}) << "no address line";
}

}  // namespace
