// The batch task end to end: tavrelo.exe started with a settings file as its argument, its boxes
// answered from this process as a user would, the registry and the shell's answers checked
// afterwards. Runs in a prefix of its own, since the tool changes that prefix's registry.
#include <windows.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/UnitFormMain.h"
#include "common/handles.h"
#include "settings/file_access.h"
#include "support/registry_sandbox.h"
#include "support/temp_files.h"
#include "support/ui_doubles.h"

namespace {

using testsupport::Ansi;
using testsupport::WriteBytes;

constexpr DWORD kPatience = 60000;

std::wstring ToolPath() {
  wchar_t path[MAX_PATH];
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring p = path;
  for (int up = 0; up < 3; ++up) p.resize(p.find_last_of(L'\\'));
  return p + L"\\tavrelo.exe";
}

std::wstring Shell32Path() {
  wchar_t dir[MAX_PATH];
  GetSystemDirectoryW(dir, MAX_PATH);
  return std::wstring(dir) + L"\\shell32.dll";
}

std::wstring Assoc(ASSOCSTR what, const std::wstring& extension) {
  wchar_t buffer[1024] = {};
  DWORD size = 1024;
  if (FAILED(AssocQueryStringW(0, what, extension.c_str(), what == ASSOCSTR_COMMAND ? L"open" : nullptr, buffer, &size)))
    return L"<none>";
  return buffer;
}

std::wstring TextOf(HWND hwnd) {
  wchar_t text[1024] = {};
  DWORD_PTR got = 0;
  SendMessageTimeoutW(hwnd, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_BLOCK, 5000, &got);
  return text;
}

std::wstring ClassOf(HWND hwnd) {
  wchar_t name[64] = {};
  GetClassNameW(hwnd, name, 64);
  return name;
}

bool IsMainWindow(HWND hwnd) {
  return ClassOf(hwnd) != L"#32770" && testsupport::CaptionOf(hwnd).rfind(kApplicationTitle, 0) == 0;
}

// A box the tool shows and the button pressed in it.
struct Answer {
  ui::BoxKind kind;
  std::wstring text;
  int press;
};

// tavrelo.exe running with one argument; ended by force if a test leaves it running.
class ToolRun {
 public:
  ToolRun(const std::wstring& argument, const std::wstring& directory) {
    std::wstring line = L"\"" + ToolPath() + L"\" " + argument;
    STARTUPINFOW startup{sizeof startup};
    PROCESS_INFORMATION info{};
    EXPECT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               directory.empty() ? nullptr : directory.c_str(), &startup, &info))
        << "cannot start " << testing::PrintToString(line);
    process_.reset(info.hProcess);
    thread_.reset(info.hThread);
    id_ = info.dwProcessId;
  }
  ~ToolRun() {
    if (process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) {
      TerminateProcess(process_.get(), 1);
      WaitForSingleObject(process_.get(), kPatience);
    }
  }
  ToolRun(const ToolRun&) = delete;
  ToolRun& operator=(const ToolRun&) = delete;

  DWORD Id() const { return id_; }
  bool Ended(DWORD timeoutMs = kPatience) const {
    return process_ && WaitForSingleObject(process_.get(), timeoutMs) == WAIT_OBJECT_0;
  }
  // Answers the boxes in order, checking their titles and texts.
  void AnswerBoxes(const std::vector<Answer>& answers) const {
    for (const auto& a : answers) {
      testsupport::DialogDriver driver(a.press, kPatience, id_);
      const testsupport::DialogView& view = driver.Wait();
      ASSERT_TRUE(view.hwnd) << "no box came: " << testing::PrintToString(a.text);
      EXPECT_TRUE(view.answered) << "the box stayed: " << testing::PrintToString(a.text);
      EXPECT_EQ(view.caption, ui::BoxTitle(a.kind));
      ASSERT_FALSE(view.texts.empty());
      EXPECT_EQ(view.texts.back(), a.text);
    }
  }
  // The main window once the tool has done its task and waits for input; null when it never came.
  HWND IdleMainWindow() const {
    HWND main = testsupport::WaitForWindow(IsMainWindow, kPatience, id_);
    // The tool first waits for input after its task, or in a box of the task that has been answered
    // by now; a sent message is then handled only where it waits again, which is after the task.
    if (!main || WaitForInputIdle(process_.get(), kPatience) != 0) return nullptr;
    DWORD_PTR ignored;
    return SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_BLOCK, kPatience, &ignored) ? main : nullptr;
  }
  // Closes the main window, which ends the tool.
  void Close() const {
    if (HWND main = testsupport::WaitForWindow(IsMainWindow, kPatience, id_)) PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_TRUE(Ended());
  }

 private:
  common::UniqueKernelHandle process_;
  common::UniqueKernelHandle thread_;
  DWORD id_ = 0;
};

class BatchTaskTest : public testing::Test {
 protected:
  void SetUp() override {
    extension = L".tvb" + std::to_wstring(GetCurrentProcessId()) + L"x" + std::to_wstring(GetTickCount() % 100000);
    CreateDirectoryW(Folder().c_str(), nullptr);
  }
  void TearDown() override {
    RegDeleteTreeW(HKEY_CLASSES_ROOT, extension.c_str());
    RegDeleteTreeW(HKEY_CLASSES_ROOT, FileTypeKey().c_str());
  }
  // Where the settings files lie: a folder whose name has a blank, so arguments need quotes.
  std::wstring Folder() const { return temp.Path() + L"\\batch files"; }
  std::wstring FileTypeKey() const { return extension.substr(1) + L"File"; }
  // A settings file with the setting of this test's extension and the given task lines.
  std::wstring TaskFile(const std::wstring& name, const std::wstring& fileType, int iconIndex,
                        const std::wstring& task) const {
    const std::wstring path = Folder() + L"\\" + name;
    WriteBytes(path, Ansi(L"[EXT]\r\nEXT=" + extension.substr(1) + L"\r\nCOMMAND=\"C:\\Tools\\view.exe\" \"%1\"\r\n" +
                          L"FILE_TYPE=" + fileType + L"\r\nICON_FILE=" + Shell32Path() + L"\r\nICON_INDEX=" +
                          std::to_wstring(iconIndex) + L"\r\n\r\n[TASK]\r\n" + task + L"\r\n"));
    return path;
  }
  std::wstring Ask(const wchar_t* what) const {
    return L"拡張子「" + extension + L"」の関連づけを" + what + L"します。\nよろしいですか？";
  }

  testsupport::TempFolder temp;
  std::wstring extension;
};

TEST_F(BatchTaskTest, RegistersReadsBackAndDeletesAsItsFilesAsk) {
  {
    SCOPED_TRACE("task 1, CLOSE 1: registers after Yes and ends the tool");
    const std::wstring file = TaskFile(L"register.ini", L"テスト文書", 1, L"COMMAND=1\r\nCLOSE=1");
    ToolRun tool(L"\"" + file + L"\"", L"");
    tool.AnswerBoxes({{ui::BoxKind::Confirmation, Ask(L"登録"), IDYES},
                 {ui::BoxKind::Information, L"関連づけを登録しました。", IDOK}});
    EXPECT_TRUE(tool.Ended());
    EXPECT_EQ(Assoc(ASSOCSTR_COMMAND, extension), L"\"C:\\Tools\\view.exe\" \"%1\"");
    EXPECT_EQ(Assoc(ASSOCSTR_FRIENDLYDOCNAME, extension), L"テスト文書");
    EXPECT_EQ(Assoc(ASSOCSTR_DEFAULTICON, extension), Shell32Path() + L",1");
  }
  {
    SCOPED_TRACE("task 3, CLOSE 2, a relative name: reads back and stays open");
    TaskFile(L"read.ini", L"the file's description", 5, L"COMMAND=3\r\nCLOSE=2");
    ToolRun tool(L"read.ini", Folder());
    HWND main = tool.IdleMainWindow();
    ASSERT_TRUE(main);
    EXPECT_EQ(TextOf(main), std::wstring(kApplicationTitle) + L" - read.ini");
    EXPECT_EQ(TextOf(GetDlgItem(main, TFormMain::IDC_EDIT_FILETYPE)), L"テスト文書");
    EXPECT_EQ(TextOf(GetDlgItem(main, TFormMain::IDC_EDIT_ICONINDEX)), L"1");
    EXPECT_FALSE(testsupport::FindVisibleWindow(testsupport::IsDialogOfThisProcess, tool.Id()));
    tool.Close();
  }
  {
    SCOPED_TRACE("task 2, CLOSE 0x1: asks with the registry's association shown, deletes, ends");
    const std::wstring file = TaskFile(L"delete.ini", L"the file's description", 5, L"COMMAND=2\r\nCLOSE=0x1");
    ToolRun tool(L"\"" + file + L"\"", L"");
    std::wstring shownType, question;
    bool answered = false;
    testsupport::WindowDriver driver(
        testsupport::IsDialogOfThisProcess,
        [&](HWND box) {
          const testsupport::DialogView view = testsupport::ReadDialog(box);
          if (!view.texts.empty()) question = view.texts.back();
          if (HWND main = testsupport::FindVisibleWindow(IsMainWindow, tool.Id()))
            shownType = TextOf(GetDlgItem(main, TFormMain::IDC_EDIT_FILETYPE));
          answered = testsupport::PressAndConfirm(box, IDYES, kPatience);
        },
        kPatience, tool.Id());
    ASSERT_TRUE(driver.Wait());
    EXPECT_TRUE(answered);
    EXPECT_EQ(question, Ask(L"削除"));
    EXPECT_EQ(shownType, L"テスト文書");
    tool.AnswerBoxes({{ui::BoxKind::Information, L"関連づけを削除しました。", IDOK}});
    EXPECT_TRUE(tool.Ended());
    EXPECT_EQ(Assoc(ASSOCSTR_COMMAND, extension), L"<none>");
    EXPECT_FALSE(testsupport::KeyExists(HKEY_CLASSES_ROOT, extension));
  }
}

struct RefusalCase {
  const char* what;
  std::wstring argument;
  std::vector<Answer> answers;
  bool ends;
  std::wstring caption;  // of the window that stays open
};

TEST_F(BatchTaskTest, RefusedOrUnreadableTasksRegisterNothing) {
  const std::wstring no = TaskFile(L"no.ini", L"x", 0, L"COMMAND=1\r\nCLOSE=1");
  const std::wstring negative = TaskFile(L"negative.ini", L"x", -1, L"COMMAND=1\r\nCLOSE=1");
  const std::wstring locked = TaskFile(L"locked.ini", L"x", 0, L"COMMAND=1\r\nCLOSE=1");
  common::UniqueFileHandle lock(CreateFileW(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(lock);
  const std::wstring title = kApplicationTitle;
  const RefusalCase cases[] = {
      {"No to the question, CLOSE 1: the tool ends", L"\"" + no + L"\"",
       {{ui::BoxKind::Confirmation, Ask(L"登録"), IDNO}}, true, L""},
      {"a negative icon index is refused before any question, CLOSE 1: the tool ends", L"\"" + negative + L"\"",
       {{ui::BoxKind::Warning, L"アイコンを選択して下さい。", IDOK}}, true, L""},
      {"a file that cannot be read: the error and the tool stays", L"\"" + locked + L"\"",
       {{ui::BoxKind::Error,
         L"ファイル " + locked + L" は開けません。 " + settings::SystemMessageText(ERROR_SHARING_VIOLATION) + L" ", IDOK}},
       false, title + L" - locked.ini"},
      {"a folder: nothing happens", L"\"" + Folder() + L"\"", {}, false, title},
      {"a missing file: nothing happens", L"\"" + Folder() + L"\\missing.ini\"", {}, false, title},
  };
  for (const RefusalCase& c : cases) {
    SCOPED_TRACE(c.what);
    ToolRun tool(c.argument, L"");
    tool.AnswerBoxes(c.answers);
    if (c.ends) {
      EXPECT_TRUE(tool.Ended());
    } else {
      HWND main = tool.IdleMainWindow();
      ASSERT_TRUE(main);
      EXPECT_EQ(TextOf(main), c.caption);
      EXPECT_FALSE(testsupport::FindVisibleWindow(testsupport::IsDialogOfThisProcess, tool.Id()));
      tool.Close();
    }
    EXPECT_FALSE(testsupport::KeyExists(HKEY_CLASSES_ROOT, extension));
  }
}

}  // namespace
