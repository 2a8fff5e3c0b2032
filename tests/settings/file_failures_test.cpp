// Settings files that cannot be read, created or replaced, a disk that fills up, and the texts
// the user is shown for each.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/exception.h"
#include "common/handles.h"
#include "heap_probe.h"
#include "settings/file_access.h"
#include "settings/mem_ini_file.h"
#include "support/temp_files.h"

namespace {

using testsupport::FolderEntries;
using testsupport::ReadBytes;
using testsupport::WriteBytes;

constexpr char kOldContent[] = "[EXT]\r\nEXT=.old\r\n\r\n";

std::wstring CannotOpen(const std::wstring& path, DWORD error) {
  return L"ファイル " + path + L" は開けません。 " + settings::SystemMessageText(error) + L" ";
}

std::wstring CannotCreate(const std::wstring& path, DWORD error) {
  return L"ファイル \"" + path + L"\" を作成できません。" + settings::SystemMessageText(error);
}

// The message of the Exception that f raises; "<nothing raised>" when it returns.
template <typename F>
std::wstring MessageOf(F f) {
  try {
    f();
  } catch (const Exception& e) {
    return e.Message();
  }
  return L"<nothing raised>";
}

// Saves a changed setting into path.
void SaveInto(const std::wstring& path) {
  TMemIniFile ini(path);
  ini.SetTextValue(L"EXT", L"EXT", L".new");
  ini.WriteToFile();
}

TEST(SystemMessageText, DropsTrailingBlanksLineEndsAndFullStopsOnly) {
  for (DWORD code : {ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION, ERROR_DISK_FULL}) {
    wchar_t raw[1024] = {};
    DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, raw, 1024,
                             nullptr);
    ASSERT_GT(n, 0u) << code;
    const std::wstring text = settings::SystemMessageText(code);
    ASSERT_FALSE(text.empty()) << code;
    EXPECT_TRUE(text.back() > L' ' && text.back() != L'.') << testing::PrintToString(text);
    ASSERT_EQ(std::wstring(raw, n).substr(0, text.size()), text);
    for (wchar_t c : std::wstring(raw + text.size(), n - text.size())) EXPECT_TRUE(c <= L' ' || c == L'.') << code;
  }
}

TEST(SettingsFileFailures, AFileLockedAgainstReadingCannotBeOpenedAndNamesItsAbsolutePath) {
  testsupport::TempFolder folder;
  const std::wstring path = folder / L"locked.ini";
  WriteBytes(path, kOldContent);
  common::UniqueFileHandle lock(CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(lock);

  EXPECT_EQ(MessageOf([&] { TMemIniFile ini(path); }), CannotOpen(path, ERROR_SHARING_VIOLATION));

  // A relative name is shown as the absolute path it stands for.
  wchar_t saved[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, saved);
  SetCurrentDirectoryW(folder.Path().c_str());
  std::wstring message = MessageOf([] { TMemIniFile ini(L"locked.ini"); });
  SetCurrentDirectoryW(saved);
  EXPECT_EQ(message, CannotOpen(path, ERROR_SHARING_VIOLATION));

  // Saving loads first, so it fails the same way and leaves the file alone.
  EXPECT_EQ(MessageOf([&] { SaveInto(path); }), CannotOpen(path, ERROR_SHARING_VIOLATION));
  lock.reset();
  EXPECT_EQ(ReadBytes(path), kOldContent);
}

TEST(SettingsFileFailures, AFileOfMoreThanAGibibyteIsRefusedUnread) {
  testsupport::TempFolder folder;
  const std::wstring path = folder / L"huge.ini";
  {
    // Sparse: the disk holds none of it.
    common::UniqueFileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
    LARGE_INTEGER size;
    size.QuadPart = (1LL << 30) + 1;
    ASSERT_TRUE(SetFilePointerEx(file.get(), size, nullptr, FILE_BEGIN) && SetEndOfFile(file.get()));
  }
  EXPECT_EQ(MessageOf([&] { TMemIniFile ini(path); }), CannotOpen(path, ERROR_FILE_TOO_LARGE));
}

struct CreateCase {
  const char* what;
  const wchar_t* name;
  void (*prepare)(const std::wstring& path);
  DWORD error;  // 0: whatever the system says
  bool hasOldContent;
};

TEST(SettingsFileFailures, AFileThatCannotBeReplacedStaysAsItWasWithoutLeftovers) {
  const CreateCase cases[] = {
      {"read-only (writable for root under Wine, refused all the same)", L"readonly.ini",
       [](const std::wstring& path) {
         WriteBytes(path, kOldContent);
         SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY);
       },
       ERROR_ACCESS_DENIED, true},
      {"a folder of that name", L"folder.ini",
       [](const std::wstring& path) { CreateDirectoryW(path.c_str(), nullptr); }, ERROR_ACCESS_DENIED, false},
      {"a folder that does not exist", L"missing\\new.ini", [](const std::wstring&) {}, 0, false},
  };
  for (const CreateCase& c : cases) {
    SCOPED_TRACE(c.what);
    testsupport::TempFolder folder;
    const std::wstring path = folder / c.name;
    c.prepare(path);
    const std::vector<std::wstring> before = FolderEntries(folder.Path());
    const std::wstring message = MessageOf([&] { SaveInto(path); });
    if (c.error)
      EXPECT_EQ(message, CannotCreate(path, c.error));
    else
      EXPECT_EQ(message.substr(0, path.size() + 7), L"ファイル \"" + path + L"\"") << testing::PrintToString(message);
    EXPECT_NE(message.find(L"\" を作成できません。"), std::wstring::npos);
    EXPECT_EQ(FolderEntries(folder.Path()), before);
    if (c.hasOldContent) {
      EXPECT_EQ(ReadBytes(path), kOldContent);
    }
  }
}

TEST(SettingsFileFailures, AFileOthersMayOnlyReadIsReadButNotReplaced) {
  testsupport::TempFolder folder;
  const std::wstring path = folder / L"shared.ini";
  WriteBytes(path, kOldContent);
  common::UniqueFileHandle reader(
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(reader);
  EXPECT_EQ(TMemIniFile(path).GetTextValue(L"EXT", L"EXT", L""), L".old");
  EXPECT_EQ(MessageOf([&] { SaveInto(path); }), CannotCreate(path, ERROR_SHARING_VIOLATION));
  reader.reset();
  EXPECT_EQ(ReadBytes(path), kOldContent);
  EXPECT_EQ(FolderEntries(folder.Path()), std::vector<std::wstring>{L"shared.ini"});

  // Once the other handle is gone the same save goes through.
  SaveInto(path);
  EXPECT_EQ(ReadBytes(path), "[EXT]\r\nEXT=.new\r\n\r\n");
}

TEST(SettingsFileFailures, RunningOutOfMemorySaysSoAndLeavesTheFileAsItWas) {
  testsupport::TempFolder folder;
  const std::wstring path = folder / L"large.ini";
  const std::string large = "[EXT]\r\nEXT=.old\r\nFILE_TYPE=" + std::string(1 << 20, 'a') + "\r\n\r\n";
  WriteBytes(path, large);
  {
    heapprobe::RequestLimit limit(1 << 19);
    EXPECT_EQ(MessageOf([&] { TMemIniFile ini(path); }), L"メモリが不足しています");
  }
  TMemIniFile ini(path);
  ini.SetTextValue(L"EXT", L"COMMAND", std::wstring(1 << 19, L'c'));
  {
    heapprobe::RequestLimit limit(1 << 19);
    EXPECT_EQ(MessageOf([&] { ini.WriteToFile(); }), L"メモリが不足しています");
    EXPECT_EQ(MessageOf([&] { ini.GetTextValue(L"EXT", L"FILE_TYPE", L""); }), L"メモリが不足しています");
  }
  EXPECT_EQ(ReadBytes(path), large);
  EXPECT_EQ(FolderEntries(folder.Path()), std::vector<std::wstring>{L"large.ini"});
}

// A small disk of its own that the test setup maps as a drive of the prefix, when it may mount one.
std::wstring FullDiskDrive() {
  wchar_t drive[16] = {};
  if (!GetEnvironmentVariableW(L"TAVRELO_FULL_DISK", drive, 16)) return {};
  const std::wstring root = std::wstring(drive) + L"\\";
  return GetFileAttributesW((root + L"tavrelo-full-disk").c_str()) == INVALID_FILE_ATTRIBUTES ? std::wstring() : root;
}

// Writes into path until the disk refuses more, then gives back `room` bytes, so that a larger
// write starts and stops short (which Wine reports as success with fewer bytes written).
void FillDisk(const std::wstring& path, LONG room) {
  common::UniqueFileHandle filler(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  ASSERT_TRUE(filler);
  const std::string block(4096, 'x');
  DWORD written = 0;
  for (int i = 0; i < 100000; ++i) {
    if (!WriteFile(filler.get(), block.data(), 4096, &written, nullptr) || written < 4096) {
      ASSERT_NE(SetFilePointer(filler.get(), -room, nullptr, FILE_END), INVALID_SET_FILE_POINTER);
      ASSERT_TRUE(SetEndOfFile(filler.get()));
      return;
    }
  }
  FAIL() << "the small disk never filled up";
}

TEST(SettingsFileFailures, AFullDiskGivesTheStreamErrorAndKeepsTheOldFile) {
  const std::wstring root = FullDiskDrive();
  if (root.empty())
    GTEST_SKIP() << "no small disk: the test setup maps a tmpfs as drive TAVRELO_FULL_DISK only where it may mount "
                    "one (as root)";
  const std::wstring path = root + L"full.ini";
  const std::wstring filler = root + L"filler.bin";
  WriteBytes(path, kOldContent);
  FillDisk(filler, 16384);

  TMemIniFile ini(path);
  ini.SetTextValue(L"EXT", L"FILE_TYPE", std::wstring(200000, L'a'));
  EXPECT_EQ(MessageOf([&] { ini.WriteToFile(); }), L"ストリームへの書き込みエラー");
  EXPECT_EQ(ReadBytes(path), kOldContent);
  EXPECT_EQ(FolderEntries(root.substr(0, 2)), (std::vector<std::wstring>{L"filler.bin", L"full.ini", L"tavrelo-full-disk"}));

  // With room again the same document is saved.
  DeleteFileW(filler.c_str());
  ini.WriteToFile();
  EXPECT_EQ(TMemIniFile(path).GetTextValue(L"EXT", L"FILE_TYPE", L"").size(), 200000u);
  DeleteFileW(path.c_str());
}

}  // namespace
