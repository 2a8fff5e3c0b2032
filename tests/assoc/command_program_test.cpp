// The program of a command line as Windows finds it, from a table of commands, and bare names
// looked up on the search path.
#include <windows.h>

#include <gtest/gtest.h>

#include "assoc/command_program.h"

namespace {

using assoc::CommandProgram;

std::wstring Env(const wchar_t* name) {
  wchar_t value[MAX_PATH] = {};
  GetEnvironmentVariableW(name, value, MAX_PATH);
  return value;
}

TEST(CommandProgramTest, ParsesTheProgramAsWindowsDoes) {
  const std::wstring root = Env(L"SystemRoot");
  ASSERT_FALSE(root.empty());
  const struct {
    const wchar_t* command;
    std::optional<CommandProgram> program;
  } cases[] = {
      {L"\"C:\\Program Files\\App\\app.exe\" \"%1\"", CommandProgram{L"C:\\Program Files\\App\\app.exe"}},
      {L"  \"C:\\Unclosed\\x.exe -a", CommandProgram{L"C:\\Unclosed\\x.exe -a"}},
      {L"C:\\Program Files\\App\\app.exe %1", CommandProgram{L"C:\\Program Files\\App\\app.exe"}},
      {L"C:\\Program Files\\App\\APP.EXE", CommandProgram{L"C:\\Program Files\\App\\APP.EXE"}},
      {L"C:\\Tools\\a.exe C:\\Data\\b.exe", CommandProgram{L"C:\\Tools\\a.exe"}},
      {L"C:\\x.exeutor\\run.exe \"%1\"", CommandProgram{L"C:\\x.exeutor\\run.exe"}},
      {L"\"C:\\Tools\\a.exe\" C:\\Data\\b.exe \"D:\\c.exe\"", CommandProgram{L"C:\\Tools\\a.exe"}},
      {L"C:\\Tools\\view %1", CommandProgram{L"C:\\Tools\\view"}},
      {L"%SystemRoot%\\system32\\notepad.exe %1", CommandProgram{root + L"\\system32\\notepad.exe"}},
      {L"\"%SystemRoot%\\regedit.exe\"", CommandProgram{root + L"\\regedit.exe"}},
      {L"notepad.exe %1", CommandProgram{L"notepad.exe", true}},
      {L"notepad \"%1\"", CommandProgram{L"notepad", true}},
      {L"rundll32.exe shell32.dll,OpenAs_RunDLL %1", CommandProgram{L"shell32.dll", true}},
      {L"%SystemRoot%\\System32\\RUNDLL32.EXE \"%ProgramFiles%\\Photo Viewer\\View.dll\", Show %1",
       CommandProgram{Env(L"ProgramFiles") + L"\\Photo Viewer\\View.dll"}},
      {L"rundll32 C:\\Program Files\\Lib\\x.dll,Entry", CommandProgram{L"C:\\Program Files\\Lib\\x.dll"}},
      {L"\"%1\" %*", std::nullopt},
      {L"%1", std::nullopt},
      {L"rundll32.exe", std::nullopt},
      {L"", std::nullopt},
      {L"   ", std::nullopt},
      {L"\"\" x", std::nullopt},
  };
  for (const auto& c : cases)
    EXPECT_EQ(assoc::ParseCommandProgram(c.command), c.program) << testing::PrintToString(std::wstring(c.command));
}

TEST(CommandProgramTest, BareNamesAreFoundOnTheSearchPathWithExeAdded) {
  const std::wstring system = Env(L"SystemRoot") + L"\\system32\\";
  for (const wchar_t* name : {L"notepad", L"notepad.exe", L"NOTEPAD.EXE", L"shell32.dll"}) {
    const std::optional<std::wstring> found = assoc::LocateProgram({name, true});
    ASSERT_TRUE(found) << testing::PrintToString(std::wstring(name));
    EXPECT_NE(GetFileAttributesW(found->c_str()), INVALID_FILE_ATTRIBUTES);
  }
  EXPECT_FALSE(assoc::LocateProgram({L"no-such-program-here", true}));
  EXPECT_EQ(assoc::LocateProgram({L"C:\\Nowhere\\x.exe"}), L"C:\\Nowhere\\x.exe") << "a path is taken as it is";
}

}  // namespace
