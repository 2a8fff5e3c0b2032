// Thousands of generated and mutated files (fixed seed): each loads without a crash, and a
// document saved and loaded again is the same document. Large and crafted files take memory in
// proportion to their size.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "common/exception.h"
#include "heap_probe.h"
#include "settings/mem_ini_file.h"
#include "support/temp_files.h"

namespace {

using testsupport::ReadBytes;
using testsupport::WriteBytes;

// Pieces that lines are made of: headers, key lines, comments, blanks, Japanese in the ANSI code
// page, and bytes that are invalid or meaningful in some encoding.
const std::string kPieces[] = {
    "[EXT]", "[ext ]", "[TASK]", "[", "]", "[]", "[a]b]", "[EXT", "EXT=.abc", " Command = x.exe ", "=", "a=b=c",
    "ICON_INDEX=0x10", "CLOSE=1", ";comment", "", " \t", "\x93\xFA\x96\x7B\x8C\xEA=\x90\xE0\x96\xBE", "\x82",
    "\x82\x0A", "\xC3", "\xC3\xA9", "\xEF\xBB\xBF", "\xFF\xFE", "\x85\x40", "\xA0", "\xFD", std::string(1, '\0'),
    "\x7F", "\xE2\x82\xAC",
};
const char* const kLineEnds[] = {"\r\n", "\n", "\r", ""};
const std::string kMarks[] = {"", "", "", "", "\xEF\xBB\xBF", "\xFF\xFE", "\xFE\xFF"};

std::string Generated(std::mt19937& rng) {
  auto pick = [&rng](size_t n) { return static_cast<size_t>(std::uniform_int_distribution<size_t>(0, n - 1)(rng)); };
  std::string bytes = kMarks[pick(std::size(kMarks))];
  const size_t lines = pick(40);
  for (size_t i = 0; i < lines; ++i) {
    for (size_t k = pick(3) + 1; k > 0; --k) bytes += kPieces[pick(std::size(kPieces))];
    if (pick(8) == 0)
      for (size_t k = pick(6); k > 0; --k) bytes += static_cast<char>(pick(256));
    bytes += kLineEnds[pick(std::size(kLineEnds))];
  }
  return bytes;
}

std::string Mutated(std::mt19937& rng, std::string bytes) {
  auto pick = [&rng](size_t n) { return static_cast<size_t>(std::uniform_int_distribution<size_t>(0, n - 1)(rng)); };
  for (size_t k = pick(6) + 1; k > 0; --k) {
    const size_t at = pick(bytes.size() + 1);
    switch (pick(3)) {
      case 0:
        if (at < bytes.size()) bytes[at] = static_cast<char>(pick(256));
        break;
      case 1:
        bytes.insert(bytes.begin() + at, static_cast<char>(pick(256)));
        break;
      default:
        if (at < bytes.size()) bytes.erase(at, 1);
    }
  }
  return bytes;
}

const std::string kSample =
    "[EXT]\r\nEXT=.abc\r\nCOMMAND=C:\\Tools\\abcview.exe\r\nFILE_TYPE=ABC document\r\nICON_FILE=C:\\Tools\\abcview.exe\r\n"
    "ICON_INDEX=0\r\n\r\n[TASK]\r\nCOMMAND=1\r\nCLOSE=1\r\n\r\n";

TEST(MemIniFileRobustness, EveryFileLoadsAndSavingThenLoadingKeepsTheDocument) {
  testsupport::TempFolder folder;
  const std::wstring path = folder / L"fuzz.ini";
  std::mt19937 rng(20240611);
  const std::string samples[] = {kSample, "\xFF\xFE" + std::string("[\0E\0X\0T\0]\0\r\0\n\0E\0X\0T\0=\0.\0a\0", 26),
                                 "\xEF\xBB\xBF" + kSample};
  for (int round = 0; round < 3000; ++round) {
    const std::string input = round % 3 ? Generated(rng) : Mutated(rng, samples[(round / 3) % std::size(samples)]);
    WriteBytes(path, input);
    std::string first, second;
    std::wstring values[2];
    try {
      for (int pass = 0; pass < 2; ++pass) {
        TMemIniFile ini(path);
        values[pass] = ini.GetTextValue(L"EXT", L"EXT", L"-") + L"|" + ini.GetTextValue(L"ext", L"command", L"-") +
                       L"|" + ini.GetTextValue(L"TASK", L"CLOSE", L"-");
        ini.WriteToFile();
        (pass == 0 ? first : second) = ReadBytes(path);
      }
    } catch (const Exception& e) {
      FAIL() << "round " << round << ": " << testing::PrintToString(e.Message());
    }
    ASSERT_EQ(first, second) << "round " << round << ", input " << testing::PrintToString(input);
    ASSERT_EQ(values[0], values[1]) << "round " << round;
  }
  EXPECT_EQ(testsupport::FolderEntries(folder.Path()), std::vector<std::wstring>{L"fuzz.ini"});
}

TEST(MemIniFileRobustness, LoadingAndSavingAnyFileHoldsAtMostThreeTimesItsSize) {
  struct Shape {
    const char* what;
    std::wstring head, line;  // the file: head, then line again and again
    bool wide;                // UTF-16 LE with its mark, else ANSI
  };
  const Shape shapes[] = {
      {"empty sections", L"", L"[]\r\n", false},
      {"empty sections ending in LF alone", L"", L"[]\n", false},
      {"key lines in the section that is saved", L"[EXT]\r\n", L"k=v\r\n", false},
      {"lines without key in that section", L"[EXT]\r\n", L"x\n", false},
      {"an ordinary file in UTF-16", L"", L"[Section]\r\nName=関連づけ\r\nValue=1\r\n\r\n", true},
      {"one long line in UTF-16", L"[Other]\r\nK=", L"x", true},
  };
  constexpr size_t kSize = 8 << 20;
  testsupport::TempFolder folder;
  const std::wstring path = folder / L"large.ini";
  for (const Shape& shape : shapes) {
    SCOPED_TRACE(shape.what);
    std::wstring text = shape.head;
    while (text.size() * (shape.wide ? 2 : 1) < kSize) text += shape.line;
    const std::string bytes =
        shape.wide ? "\xFF\xFE" + std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2)
                   : std::string(text.begin(), text.end());
    WriteBytes(path, bytes);
    text.clear();
    text.shrink_to_fit();

    const heapprobe::Peak peak;
    {
      TMemIniFile ini(path);
      ini.SetTextValue(L"EXT", L"EXT", L".abc");
      ini.SetTextValue(L"EXT", L"COMMAND", L"abc.exe");
      ini.SetTextValue(L"EXT", L"FILE_TYPE", L"ABC");
      ini.SetTextValue(L"EXT", L"ICON_FILE", L"");
      ini.SetIntValue(L"EXT", L"ICON_INDEX", 0);
      ini.WriteToFile();
    }
    EXPECT_LE(peak.Bytes(), 3 * bytes.size()) << "held " << peak.Bytes() / (bytes.size() / 100) << "% of the size";
  }
}

}  // namespace
