// The real help call: hhctrl.ocx comes from the system folder, whatever lies beside the program.
#include "ui/help.h"

#include <gtest/gtest.h>

#include <cwctype>
#include <string>

#include "common/text.h"
#include "support/temp_files.h"

namespace {

std::wstring Lower(std::wstring text) {
  for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(c));
  return text;
}

TEST(RunRealHelp, ReachesTheSystemViewerEvenWithALibraryOfItsNameBesideTheProgram) {
  const std::wstring exe = common::ModuleFileName();
  const std::wstring planted = exe.substr(0, exe.find_last_of(L'\\')) + L"\\hhctrl.ocx";
  testsupport::WriteBytes(planted, testsupport::ReadBytes(testsupport::TestData(L"icons3.dll")));

  ui::RunRealHelp(ui::HelpRequest{nullptr, L"", 0x0012 /* HH_CLOSE_ALL */, 0});
  DeleteFileW(planted.c_str());

  const HMODULE viewer = GetModuleHandleW(L"hhctrl.ocx");
  ASSERT_TRUE(viewer);
  wchar_t system[MAX_PATH];
  GetSystemDirectoryW(system, MAX_PATH);
  EXPECT_EQ(Lower(common::ModuleFileName(viewer)), Lower(std::wstring(system) + L"\\hhctrl.ocx"));
  EXPECT_TRUE(GetProcAddress(viewer, "HtmlHelpW"));
}

}  // namespace
