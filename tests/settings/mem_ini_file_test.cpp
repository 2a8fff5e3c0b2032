// The INI document: how lines are read, how values are found and set, and the exact bytes that
// come out in each encoding.
#include "settings/mem_ini_file.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "support/temp_files.h"

namespace {

using namespace std::string_literals;
using testsupport::Ansi;
using testsupport::ReadBytes;
using testsupport::Utf8;
using testsupport::WriteBytes;

constexpr wchar_t kAbsent[] = L"<absent>";

struct Lookup {
  const wchar_t* section;
  const wchar_t* key;
  std::wstring value;  // kAbsent: the default comes back
};

struct ParseCase {
  const char* what;
  std::string bytes;
  std::vector<Lookup> lookups;
};

TEST(MemIniFile, ReadsSectionsKeysAndValuesAsTheLinesSay) {
  const ParseCase cases[] = {
      {"names match whatever their letter case", "[ext]\r\nExt=.abc\r\n",
       {{L"EXT", L"EXT", L".abc"}, {L"eXt", L"ext", L".abc"}}},
      {"lines, keys and values are trimmed; quotes and later \"=\" belong to the value",
       "  [ EXT ]  \r\n\t COMMAND =  \"C:\\a b.exe\" \"%1\"  \r\nFILE_TYPE=a=b\r\nICON_FILE=\r\nICON_INDEX= 7\r\n",
       {{L"EXT", L"COMMAND", L"\"C:\\a b.exe\" \"%1\""},
        {L"EXT", L"FILE_TYPE", L"a=b"},
        {L"EXT", L"ICON_FILE", L""},
        {L"EXT", L"ICON_INDEX", L"7"}}},
      {"the last section and the last key of a name win, even where that section lacks the key",
       "[EXT]\r\nEXT=first\r\nCOMMAND=one\r\n[TASK]\r\nCOMMAND=1\r\n[ext]\r\nEXT=second\r\next=third\r\n",
       {{L"EXT", L"EXT", L"third"}, {L"EXT", L"COMMAND", kAbsent}, {L"TASK", L"COMMAND", L"1"}}},
      {"comments, lines before the first header and lines without key are never found",
       "EXT=before\r\n; comment\r\n[EXT]\r\n;EXT=commented\r\nno key here\r\n[EXT\r\n[EXT=.y\r\n",
       {{L"EXT", L"EXT", kAbsent},
        {L"EXT", L";EXT", kAbsent},
        {L"EXT", L"no key here", kAbsent},
        {L"EXT", L"[EXT", L".y"},
        {L"", L"EXT", kAbsent}}},
      {"lines end at CR LF, CR or LF; the last needs none", "[A]\rK1=1\nK2=2\r\nK3=3\n\r\nK4=4",
       {{L"A", L"K1", L"1"}, {L"A", L"K2", L"2"}, {L"A", L"K3", L"3"}, {L"A", L"K4", L"4"}}},
      {"a NUL ends the text", "[A]\r\nK=1\r\n\0[B]\r\nK=2\r\n"s, {{L"A", L"K", L"1"}, {L"B", L"K", kAbsent}}},
      {"a section name may be empty", "[ ]\r\nK=v\r\n[]\r\nK=w\r\n", {{L"", L"K", L"w"}}},
      {"only characters up to U+0020 are trimmed", "[A]\r\n\x01\tK\x1f=\x0b v \x7f\r\n", {{L"A", L"K", L"v \x7f"}}},
      {"Japanese names in the ANSI code page", Ansi(L"[設定]\r\n名前=値\r\n"), {{L"設定", L"名前", L"値"}}},
  };
  testsupport::TempFolder folder;
  for (const ParseCase& c : cases) {
    SCOPED_TRACE(c.what);
    WriteBytes(folder / L"read.ini", c.bytes);
    TMemIniFile ini(folder / L"read.ini");
    for (const Lookup& l : c.lookups)
      EXPECT_EQ(ini.GetTextValue(l.section, l.key, kAbsent), l.value) << testing::PrintToString(std::wstring(l.key));
  }
}

TEST(MemIniFile, ReadsIntegersInDecimalOrHexadecimalElseTheDefault) {
  const std::pair<const wchar_t*, int> cases[] = {
      {L"12", 12},     {L"-1", -1},      {L"0x1F", 31},       {L"$10", 16},        {L"0x10", 16},
      {L"-2", -2},     {L" 7", 7},       {L"$FFFFFFFF", -1},  {L"1.5", 99},        {L"12a", 99},
      {L"", 99},       {L"abc", 99},     {L"0x", 99},         {L"2147483648", 99}, {L"7 ", 99},
  };
  TMemIniFile ini(L"");
  for (auto [text, expected] : cases) {
    ini.SetTextValue(L"EXT", L"ICON_INDEX", text);
    EXPECT_EQ(ini.GetIntValue(L"EXT", L"ICON_INDEX", 99), expected) << testing::PrintToString(std::wstring(text));
  }
  EXPECT_EQ(ini.GetIntValue(L"EXT", L"MISSING", 99), 99);
  EXPECT_EQ(ini.GetIntValue(L"MISSING", L"ICON_INDEX", -5), -5);
  ini.SetIntValue(L"EXT", L"ICON_INDEX", -2147483647 - 1);
  EXPECT_EQ(ini.GetTextValue(L"EXT", L"ICON_INDEX", L""), L"-2147483648");
}

// The five keys of a setting, in the order the window stores them.
void SetSetting(TMemIniFile& ini, const std::wstring& ext, const std::wstring& command, const std::wstring& fileType,
                const std::wstring& iconFile, int iconIndex) {
  ini.SetTextValue(L"EXT", L"EXT", ext);
  ini.SetTextValue(L"EXT", L"COMMAND", command);
  ini.SetTextValue(L"EXT", L"FILE_TYPE", fileType);
  ini.SetTextValue(L"EXT", L"ICON_FILE", iconFile);
  ini.SetIntValue(L"EXT", L"ICON_INDEX", iconIndex);
}

TEST(MemIniFile, ANewFileGetsOneSectionInTheAnsiCodePageWithoutMark) {
  testsupport::TempFolder folder;
  {
    TMemIniFile ini(folder / L"new.ini");
    SetSetting(ini, L"", L"", L"", L"", 0);
    ini.WriteToFile();
  }
  EXPECT_EQ(ReadBytes(folder / L"new.ini"), "[EXT]\r\nEXT=\r\nCOMMAND=\r\nFILE_TYPE=\r\nICON_FILE=\r\nICON_INDEX=0\r\n\r\n");

  {
    TMemIniFile ini(folder / L"japanese.ini");
    SetSetting(ini, L".abc", L"C:\\ツール\\見る.exe", L"ABC 文書", L"", -3);
    ini.WriteToFile();
  }
  EXPECT_EQ(ReadBytes(folder / L"japanese.ini"),
            Ansi(L"[EXT]\r\nEXT=.abc\r\nCOMMAND=C:\\ツール\\見る.exe\r\nFILE_TYPE=ABC 文書\r\nICON_FILE=\r\n"
                 L"ICON_INDEX=-3\r\n\r\n"));
}

std::string Utf16(std::wstring_view text, bool bigEndian) {
  std::string bytes;
  for (wchar_t c : text) {
    char low = static_cast<char>(c & 0xFF), high = static_cast<char>((c >> 8) & 0xFF);
    bytes += bigEndian ? high : low;
    bytes += bigEndian ? low : high;
  }
  return bytes;
}

struct EncodingCase {
  const char* what;
  std::string mark;
  std::string (*encode)(std::wstring_view);
};
const EncodingCase kEncodings[] = {
    {"UTF-16 LE", "\xFF\xFE", [](std::wstring_view t) { return Utf16(t, false); }},
    {"UTF-16 BE", "\xFE\xFF", [](std::wstring_view t) { return Utf16(t, true); }},
    {"UTF-8", "\xEF\xBB\xBF", Utf8},
    {"ANSI", "", Ansi},
};

TEST(MemIniFile, AFileIsWrittenAgainInTheEncodingItWasReadIn) {
  testsupport::TempFolder folder;
  const std::wstring before = L"[EXT]\r\nFILE_TYPE=日本語の説明\r\n[OTHER]\r\nX=1\r\n";
  const std::wstring after = L"[EXT]\r\nFILE_TYPE=日本語の説明\r\nEXT=.あい\r\n\r\n[OTHER]\r\nX=1\r\n\r\n";
  for (const EncodingCase& e : kEncodings) {
    SCOPED_TRACE(e.what);
    WriteBytes(folder / L"enc.ini", e.mark + e.encode(before));
    TMemIniFile ini(folder / L"enc.ini");
    EXPECT_EQ(ini.GetTextValue(L"EXT", L"FILE_TYPE", L""), L"日本語の説明");
    ini.SetTextValue(L"EXT", L"EXT", L".あい");
    ini.WriteToFile();
    EXPECT_EQ(ReadBytes(folder / L"enc.ini"), e.mark + e.encode(after));
  }
}

TEST(MemIniFile, ALongLineKeepsItsPlaceBehindTheMark) {
  // A piece of 256 KiB or more once went out ahead of the byte-order mark that waited before it;
  // pieces of more than a MiB go out by themselves.
  testsupport::TempFolder folder;
  for (int length : {400000, 1500000}) {
    const std::wstring big = L"[BIG]\r\nK=" + std::wstring(length, L'x') + L"\r\n\r\n";
    for (const EncodingCase& e : kEncodings) {
      SCOPED_TRACE(std::string(e.what) + ", a line of " + std::to_string(length));
      WriteBytes(folder / L"big.ini", e.mark + e.encode(big + L"[EXT]\r\nEXT=.old\r\n"));
      TMemIniFile ini(folder / L"big.ini");
      ini.SetTextValue(L"EXT", L"EXT", L".new");
      ini.WriteToFile();
      const std::string saved = ReadBytes(folder / L"big.ini");
      EXPECT_TRUE(saved == e.mark + e.encode(big + L"[EXT]\r\nEXT=.new\r\n\r\n"))
          << "begins " << testing::PrintToString(saved.substr(0, 8));
    }
  }
}

TEST(MemIniFile, TextTheAnsiCodePageCannotHoldIsWrittenAsUtf8WithItsMark) {
  testsupport::TempFolder folder;
  // Korean has no place in code page 932; é and ¥ would come back as the look-alikes e and \.
  for (const wchar_t* value : {L"한국어", L"café", L"¥100"}) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(value)));
    DeleteFileW((folder / L"new.ini").c_str());
    {
      TMemIniFile ini(folder / L"new.ini");
      ini.SetTextValue(L"EXT", L"FILE_TYPE", value);
      ini.WriteToFile();
    }
    EXPECT_EQ(ReadBytes(folder / L"new.ini"), "\xEF\xBB\xBF" + Utf8(L"[EXT]\r\nFILE_TYPE="s + value + L"\r\n\r\n"));
    EXPECT_EQ(TMemIniFile(folder / L"new.ini").GetTextValue(L"EXT", L"FILE_TYPE", L""), value);
  }

  // An ANSI file turns UTF-8 only when it has to; a UTF-16 file stays UTF-16.
  WriteBytes(folder / L"ansi.ini", Ansi(L"[EXT]\r\nEXT=.日本\r\n"));
  WriteBytes(folder / L"wide.ini", "\xFF\xFE" + Utf16(L"[EXT]\r\nEXT=.日本\r\n", false));
  for (const wchar_t* name : {L"ansi.ini", L"wide.ini"}) {
    TMemIniFile ini(folder / name);
    ini.SetTextValue(L"EXT", L"FILE_TYPE", L"한국어");
    ini.WriteToFile();
  }
  const std::wstring saved = L"[EXT]\r\nEXT=.日本\r\nFILE_TYPE=한국어\r\n\r\n";
  EXPECT_EQ(ReadBytes(folder / L"ansi.ini"), "\xEF\xBB\xBF" + Utf8(saved));
  EXPECT_EQ(ReadBytes(folder / L"wide.ini"), "\xFF\xFE" + Utf16(saved, false));
}

TEST(MemIniFile, SavingIntoAFileReplacesKeysInPlaceAndKeepsEverythingElse) {
  testsupport::TempFolder folder;
  WriteBytes(folder / L"task.ini",
             "; written by hand\r\nstray=dropped\r\n[TASK]\r\nCOMMAND=1\r\nCLOSE = 1\r\n\r\n[EXT]\r\nEXT=.first\r\n"
             "[Other]\r\n key = value with spaces \r\njust text\r\n[ext]\r\next=.old\r\n; comment\r\n"
             "Command=old.exe\r\nICON_INDEX=3\r\n");
  const std::string expected =
      "[TASK]\r\nCOMMAND=1\r\nCLOSE=1\r\n\r\n[EXT]\r\nEXT=.first\r\n\r\n[Other]\r\nkey=value with spaces\r\n"
      "just text\r\n\r\n[ext]\r\nEXT=.new\r\nCOMMAND=new.exe\r\nICON_INDEX=0\r\nFILE_TYPE=desc\r\nICON_FILE=\r\n\r\n";
  // The file keeps its attributes, such as hidden.
  const DWORD attributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE;
  SetFileAttributesW((folder / L"task.ini").c_str(), attributes);
  // The second save finds the same document and writes the same bytes.
  for (int save = 0; save < 2; ++save) {
    TMemIniFile ini(folder / L"task.ini");
    SetSetting(ini, L".new", L"new.exe", L"desc", L"", 0);
    ini.WriteToFile();
    EXPECT_EQ(ReadBytes(folder / L"task.ini"), expected) << "save " << save;
    EXPECT_EQ(GetFileAttributesW((folder / L"task.ini").c_str()), attributes) << "save " << save;
  }
  EXPECT_EQ(testsupport::FolderEntries(folder.Path()), std::vector<std::wstring>{L"task.ini"});
}

TEST(MemIniFile, BrokenBytesBecomeReplacementCharactersAndNothingElseIsLost) {
  const ParseCase cases[] = {
      {"invalid UTF-8", "\xEF\xBB\xBF[A]\r\nK=a\xC3(b\r\nL=ok\r\n", {{L"A", L"K", L"a\uFFFD(b"}, {L"A", L"L", L"ok"}}},
      {"a lead byte before a line end keeps the line end", "[A]\r\nK=x\x82\r\nL=ok\r\n",
       {{L"A", L"K", L"x\uFFFD"}, {L"A", L"L", L"ok"}}},
      {"a lead byte at the very end", "[A]\r\nK=x\x82", {{L"A", L"K", L"x\uFFFD"}}},
      {"an odd byte after UTF-16", "\xFF\xFE[\0A\0]\0\n\0K\0=\0v\0A"s, {{L"A", L"K", L"v\uFFFD"}}},
  };
  testsupport::TempFolder folder;
  for (const ParseCase& c : cases) {
    SCOPED_TRACE(c.what);
    WriteBytes(folder / L"broken.ini", c.bytes);
    {
      TMemIniFile ini(folder / L"broken.ini");
      for (const Lookup& l : c.lookups) EXPECT_EQ(ini.GetTextValue(l.section, l.key, kAbsent), l.value);
      ini.WriteToFile();
    }
    // Saving such a file keeps what could be read.
    TMemIniFile again(folder / L"broken.ini");
    for (const Lookup& l : c.lookups) EXPECT_EQ(again.GetTextValue(l.section, l.key, kAbsent), l.value);
  }
}

TEST(MemIniFile, SectionsThatWereNotChangedKeepTheirBytes) {
  testsupport::TempFolder folder;
  const std::wstring path = folder / L"kept.ini";
  // 85 40 is no character of code page 932: it reads as U+FFFD but is copied as it was.
  const std::string other = "[Other]\r\nK=a\x85\x40" "b\r\n" + Ansi(L"名前=値") + "\r\n\r\n";
  WriteBytes(path, other + "[EXT]\r\nEXT=.old\r\n");
  {
    TMemIniFile ini(path);
    EXPECT_EQ(ini.GetTextValue(L"Other", L"K", L""), L"a\uFFFDb");
    ini.SetTextValue(L"EXT", L"EXT", L".new");
    ini.WriteToFile();
  }
  EXPECT_EQ(ReadBytes(path), other + "[EXT]\r\nEXT=.new\r\n\r\n");

  // Once the file must become UTF-8, every character is converted, the broken one included.
  {
    TMemIniFile ini(path);
    ini.SetTextValue(L"EXT", L"FILE_TYPE", L"한국어");
    ini.WriteToFile();
  }
  EXPECT_EQ(ReadBytes(path), "\xEF\xBB\xBF" + Utf8(L"[Other]\r\nK=a\uFFFDb\r\n名前=値\r\n\r\n[EXT]\r\nEXT=.new\r\n"
                                                 L"FILE_TYPE=한국어\r\n\r\n"));
}

TEST(MemIniFile, NoFileAFolderOrNoNameGiveAnEmptyDocument) {
  testsupport::TempFolder folder;
  CreateDirectoryW((folder / L"sub.ini").c_str(), nullptr);
  for (const std::wstring& name : {folder / L"missing.ini", folder / L"sub.ini", std::wstring()}) {
    TMemIniFile ini(name);
    EXPECT_EQ(ini.GetTextValue(L"EXT", L"EXT", L"default"), L"default");
    EXPECT_EQ(ini.GetIntValue(L"EXT", L"ICON_INDEX", 7), 7);
  }
  // An empty file is an empty document too, and writing nothing gives an empty file.
  WriteBytes(folder / L"empty.ini", "");
  TMemIniFile(folder / L"empty.ini").WriteToFile();
  EXPECT_EQ(ReadBytes(folder / L"empty.ini"), "");
  // Reading a document never creates its file.
  EXPECT_EQ(GetFileAttributesW((folder / L"missing.ini").c_str()), INVALID_FILE_ATTRIBUTES);
}

}  // namespace
