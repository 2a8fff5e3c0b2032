#include "settings/command_line.h"

#include <gtest/gtest.h>

namespace {

TEST(FirstArgument, SkipsTheProgramAndHonoursBlanksAndQuotes) {
  const std::pair<const wchar_t*, const wchar_t*> cases[] = {
      {L"", L""},
      {L"tavrelo.exe", L""},
      {L"tavrelo.exe   ", L""},
      {L"tavrelo.exe C:\\a.ini", L"C:\\a.ini"},
      {L"\"C:\\Program Files\\t\\tavrelo.exe\" \"C:\\My Files\\a b.ini\" second", L"C:\\My Files\\a b.ini"},
      {L"tavrelo.exe \t a.ini b.ini", L"a.ini"},
      {L"tavrelo.exe\x01x.ini", L"x.ini"},
      {L"tavrelo.exe a\"b c\"d e", L"ab cd"},
      {L"tavrelo.exe \"open to the end", L"open to the end"},
      {L"tavrelo.exe \"\" x.ini", L""},
      {L"tavrelo.exe 設定.ini", L"設定.ini"},
  };
  for (auto [line, expected] : cases)
    EXPECT_EQ(settings::FirstArgument(line), expected) << testing::PrintToString(std::wstring(line));
}

}  // namespace
