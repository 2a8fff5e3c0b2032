// Opening addresses through the desktop's shell, for real under Wine: the desktop's Explorer runs
// what it opens as a program of its own; where no desktop shell answers, nothing is opened, though
// this process's classes (per-user and machine) plant a command for the protocol; and the built
// tool names no ShellExecute, so no flow of it can open an address from the elevated process.
#include "ui/user_shell.h"

#include <windows.h>
#include <shellapi.h>
#include <exdisp.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <string>

#include "common/handles.h"
#include "common/text.h"
#include "support/registry_sandbox.h"
#include "support/temp_files.h"

namespace {

constexpr wchar_t kMarker[] = L"shell_marker.exe";

// The folder n levels up from this test program (build\tests\ui\test_ui.exe; 1: build\tests\ui).
std::wstring FolderUp(int n) {
  std::wstring path = common::ModuleFileName();
  for (int up = 0; up < n; ++up) path = path.substr(0, path.find_last_of(L'\\'));
  return path;
}

// True once the desktop's Explorer answers for its shell windows, waiting up to a minute. Wine
// starts the desktop with the first program that needs it and registers the shell windows only
// after the desktop window is up, so a program can ask before it answers; on Windows the desktop
// is up before any program starts.
bool DesktopShellAnswers() {
  const HRESULT joined = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  bool answers = false;
  for (int tries = 0; tries < 600 && !answers; ++tries) {
    common::UniqueCom<IShellWindows> windows;
    answers = SUCCEEDED(CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, __uuidof(IShellWindows),
                                         reinterpret_cast<void**>(windows.put())));
    if (!answers) Sleep(100);
  }
  if (SUCCEEDED(joined)) CoUninitialize();
  return answers;
}

class DesktopShellTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CopyFileW((FolderUp(1) + L"\\" + kMarker).c_str(), marker.c_str(), FALSE));
    ASSERT_TRUE(DesktopShellAnswers());
  }
  // The marker's lines once every running copy of it has ended (whoever started it did so before
  // the call that started it returned).
  std::string MarkerLog() const {
    const common::UniqueFileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry{sizeof entry};
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
      if (lstrcmpiW(entry.szExeFile, kMarker) != 0) continue;
      const common::UniqueKernelHandle running(OpenProcess(SYNCHRONIZE, FALSE, entry.th32ProcessID));
      if (running) {
        EXPECT_EQ(WaitForSingleObject(running.get(), 60000), WAIT_OBJECT_0);
      }
    }
    return testsupport::ReadBytes(marker + L".log");
  }

  testsupport::TempFolder folder;
  const std::wstring marker = folder / kMarker;
};

TEST_F(DesktopShellTest, TheDesktopsExplorerRunsWhatItOpensAsAProgramOfItsOwn) {
  EXPECT_TRUE(ui::OpenInDesktopShell(marker));
  EXPECT_EQ(MarkerLog(), "explorer.exe\n");
}

TEST_F(DesktopShellTest, WhereNoDesktopShellAnswersNothingIsOpenedThoughThisProcesssClassesOfferACommand) {
  // The sandbox's classes lack the desktop's shell windows class: no desktop shell answers.
  testsupport::RegistrySandbox sandbox(testsupport::SandboxRoots::WithMachine);
  ASSERT_TRUE(sandbox.Ok());
  for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    testsupport::WriteValue(root, L"Software\\Classes\\ms-settings", L"URL Protocol", REG_SZ, L"");
    testsupport::WriteValue(root, L"Software\\Classes\\ms-settings\\shell\\open\\command", L"", REG_SZ,
                            L"\"" + marker + L"\" \"%1\"");
  }
  EXPECT_FALSE(ui::OpenInDesktopShell(L"ms-settings:defaultapps"));
  EXPECT_EQ(MarkerLog(), "");

  // The plant works: the shell call of this process would have run the command as its child.
  SHELLEXECUTEINFOW call{};
  call.cbSize = sizeof call;
  call.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
  call.lpVerb = L"open";
  call.lpFile = L"ms-settings:defaultapps";
  call.nShow = SW_HIDE;
  ASSERT_TRUE(ShellExecuteExW(&call));
  const common::UniqueKernelHandle started(call.hProcess);
  EXPECT_EQ(MarkerLog(), "test_ui.exe|ms-settings:defaultapps\n");
}

TEST(BuiltTool, NamesNoShellExecuteSoNoFlowOfItOpensAnAddressFromThisProcess) {
  const std::string tool = testsupport::ReadBytes(FolderUp(3) + L"\\tavrelo.exe");
  ASSERT_FALSE(tool.empty());
  // Neither imported nor looked up by name; the names of the functions it imports are there to see.
  for (const char* name : {"ShellExecuteW", "ShellExecuteA", "ShellExecuteExW", "ShellExecuteExA"})
    EXPECT_EQ(tool.find(std::string(name) + '\0'), std::string::npos) << name;
  EXPECT_NE(tool.find(std::string("SHOpenWithDialog") + '\0'), std::string::npos);
}

}  // namespace
