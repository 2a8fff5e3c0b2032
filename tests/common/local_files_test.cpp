// Which paths from the registry or a settings file the elevated tool opens: a table of network,
// device, stream and relative paths that never reach the file system while local files do, the
// search path cut to its local folders, and links that are not followed.
#include "common/local_files.h"

#include <gtest/gtest.h>

#include <cwctype>
#include <string>
#include <utility>
#include <vector>

#include "common/icons.h"
#include "common/text.h"
#include "support/pipe_server.h"
#include "support/temp_files.h"

namespace {

using testsupport::ReadBytes;
using testsupport::TempFolder;
using testsupport::TestData;
using testsupport::Written;

// Every path that goes to the file system to be opened for a check, while it lives.
class OpenedPaths {
 public:
  OpenedPaths()
      : watch_(common::OpenFileRaw.Replace([this](const std::wstring& path, DWORD flags) {
          paths_.push_back(path);
          return common::OpenFileRaw.Real(path, flags);
        })) {}
  // The paths opened since the last call.
  std::vector<std::wstring> Take() { return std::exchange(paths_, {}); }

 private:
  std::vector<std::wstring> paths_;
  common::Seam<HANDLE(const std::wstring&, DWORD)>::Scope watch_;
};

// Stands a network drive in for the drive of root (such as "M:\"), while it lives.
common::Seam<UINT(const std::wstring&)>::Scope NetworkDrive(const std::wstring& root) {
  return common::DriveTypeOf.Replace([root](const std::wstring& asked) {
    return common::EqualNoCase(asked, root) ? DRIVE_REMOTE : common::DriveTypeOf.Real(asked);
  });
}

// PATH for the life of the object.
class PathVariable {
 public:
  explicit PathVariable(const std::wstring& front) {
    saved_.resize(32767);
    saved_.resize(GetEnvironmentVariableW(L"PATH", saved_.data(), static_cast<DWORD>(saved_.size())));
    SetEnvironmentVariableW(L"PATH", (front + L";" + saved_).c_str());
  }
  ~PathVariable() { SetEnvironmentVariableW(L"PATH", saved_.c_str()); }
  PathVariable(const PathVariable&) = delete;
  PathVariable& operator=(const PathVariable&) = delete;

 private:
  std::wstring saved_;
};

TEST(LocalFiles, OnlyFilesOnLocalDrivesReachTheFileSystem) {
  const TempFolder scratch;
  const std::string icon = ReadBytes(TestData(L"app.ico"));
  ASSERT_FALSE(icon.empty());
  // Names that only start like a device's are files like any other.
  const std::wstring local = Written(scratch / L"app.ico", icon);
  std::wstring forward = local;
  for (wchar_t& c : forward)
    if (c == L'\\') c = L'/';
  const std::wstring lookalikes[] = {Written(scratch / L"console.ico", icon), Written(scratch / L"com10.ico", icon),
                                     Written(scratch / L"nul1.ico", icon), Written(scratch / L"auxiliary.ico", icon)};
  auto mapped = NetworkDrive(L"M:\\");
  OpenedPaths opened;

  struct Case {
    std::wstring path;
    bool local;
  };
  std::vector<Case> cases = {
      {L"\\\\tavrelo-nowhere\\share\\app.ico", false},
      {L"//tavrelo-nowhere/share/app.ico", false},
      {L"\\\\?\\UNC\\tavrelo-nowhere\\share\\app.ico", false},
      {L"\\\\.\\pipe\\tavrelo-icons", false},
      {L"\\\\?\\GLOBALROOT\\Device\\HarddiskVolume1\\app.ico", false},
      {L"\\\\?\\" + local, false},  // the device namespace, even for a local file
      {L"\\\\.\\" + local, false},
      {L"COM1", false},
      {L"nul.ico", false},
      {L"C:\\dir\\nul.txt", false},
      {L"C:\\dir\\CON", false},
      {L"C:\\com1.txt\\app.ico", false},
      {L"C:\\dir\\NUL  .ico", false},
      {L"C:\\dir\\lpt\u00B9.ico", false},
      {L"C:\\dir\\CONOUT$", false},
      {std::wstring(L"C:\\con\0\\app.ico", 14), false},  // a NUL would end the path at the device
      {L"M:\\app.ico", false},                           // a mapped network drive
      {L"Q:\\app.ico", false},                           // no such drive
      {L"dir\\app.ico", false},
      {L"C:app.ico", false},
      {L"\\app.ico", false},
      {local + L":stream", false},
      {local + L"::$DATA", false},
      {local, true},
      {forward, true},
  };
  for (const std::wstring& path : lookalikes) cases.push_back({path, true});

  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.path));
    EXPECT_EQ(common::IsLocalFilePath(c.path), c.local);
    const common::CheckedFile checked = common::OpenForCheck(c.path);
    EXPECT_EQ(checked.state, c.local ? common::FileState::Found : common::FileState::NotLocal);
    EXPECT_EQ(static_cast<bool>(checked.file), c.local);
    EXPECT_EQ(common::IconFile(c.path).Count(), c.local ? 1u : 0u);
    const std::vector<std::wstring> expected =
        c.local ? std::vector<std::wstring>(2, c.path) : std::vector<std::wstring>();
    EXPECT_EQ(opened.Take(), expected);
  }
  common::LocalDrives drives;
  EXPECT_EQ(common::CheckFile(scratch / L"missing.ico", drives), common::FileState::Missing);
  EXPECT_EQ(common::CheckFile(scratch.Path(), drives), common::FileState::Missing) << "a folder is no file";
}

TEST(LocalFiles, OneReadingAsksTheSystemOncePerDriveLetter) {
  std::vector<std::wstring> asked;
  auto count = common::DriveTypeOf.Replace([&](const std::wstring& root) {
    asked.push_back(root);
    return root == L"M:\\" ? static_cast<UINT>(DRIVE_REMOTE) : static_cast<UINT>(DRIVE_FIXED);
  });
  common::LocalDrives drives;
  for (const wchar_t* path : {L"C:\\a.exe", L"c:\\b\\c.exe", L"M:\\a.exe", L"m:\\b.exe", L"C:\\d.ico", L"d:\\e.ico"})
    EXPECT_EQ(common::IsLocalFilePath(path, drives), std::towupper(path[0]) != L'M') << testing::PrintToString(path);
  EXPECT_EQ(asked, (std::vector<std::wstring>{L"C:\\", L"M:\\", L"d:\\"}));
}

TEST(LocalFiles, APipeThatTheUserServesIsNeverConnectedTo) {
  const testsupport::PipeServer control;
  common::UniqueFileHandle client(
      CreateFileW(control.Path().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(control.Connected()) << "an opening of a served pipe is seen";

  const testsupport::PipeServer pipe;
  const std::wstring name = pipe.Path().substr(pipe.Path().find_last_of(L'\\') + 1);
  for (const std::wstring& path :
       {pipe.Path(), L"\\\\?\\pipe\\" + name, L"//./pipe/" + name, L"\\\\.\\PIPE\\" + name}) {
    common::LocalDrives drives;
    EXPECT_EQ(common::CheckFile(path, drives), common::FileState::NotLocal) << testing::PrintToString(path);
    EXPECT_EQ(common::IconFile(path).Count(), 0u);
  }
  EXPECT_FALSE(pipe.Connected());
}

TEST(LocalFiles, BareNamesAreLookedForInTheLocalFoldersOfTheSearchPathOnly) {
  const std::wstring library = TestData(L"icons3.dll");
  const std::wstring folder = library.substr(0, library.find_last_of(L'\\'));
  wchar_t system[MAX_PATH];
  ASSERT_GT(GetSystemDirectoryW(system, MAX_PATH), 0u);
  if (common::EqualNoCase(folder.substr(0, 2), std::wstring(system, 2)))
    GTEST_SKIP() << "the test data lies on the system's drive, so that drive cannot stand for a network drive";

  const PathVariable path(folder);
  EXPECT_TRUE(common::EqualNoCase(common::FindOnLocalSearchPath(L"icons3.dll", nullptr), library));
  EXPECT_EQ(common::IconFile(L"icons3.dll").Count(), 3u);
  EXPECT_FALSE(common::FindOnLocalSearchPath(L"notepad", L".exe").empty()) << "found in the system folder";
  {
    auto mapped = NetworkDrive(folder.substr(0, 2) + L"\\");
    OpenedPaths opened;
    EXPECT_EQ(common::FindOnLocalSearchPath(L"icons3.dll", nullptr), L"");
    EXPECT_EQ(common::IconFile(L"icons3.dll").Count(), 0u);
    EXPECT_EQ(opened.Take(), std::vector<std::wstring>{});
    EXPECT_FALSE(common::FindOnLocalSearchPath(L"notepad", L".exe").empty()) << "the system folder stays local";
  }
  for (const wchar_t* device : {L"COM1", L"nul.txt", L"CON", L"lpt3.exe"})
    EXPECT_EQ(common::FindOnLocalSearchPath(device, L".exe"), L"") << testing::PrintToString(std::wstring(device));
}

TEST(LocalFiles, ALinkIsNotFollowedAndOtherReparsePointsAreReadThroughTheirFilter) {
  const TempFolder scratch;
  const std::wstring file = Written(scratch / L"app.ico", ReadBytes(TestData(L"app.ico")));
  struct Case {
    const char* what;
    DWORD tag;
    bool link;
  };
  const Case cases[] = {
      {"no reparse point", 0, false},
      {"symbolic link", IO_REPARSE_TAG_SYMLINK, true},
      {"junction", IO_REPARSE_TAG_MOUNT_POINT, true},
      {"deduplicated data", IO_REPARSE_TAG_DEDUP, false},
      {"compressed system file", 0x80000017 /* WOF */, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto tagged = common::ReparseTagOf.Replace([&](HANDLE) { return c.tag; });
    const common::CheckedFile checked = common::OpenForCheck(file);
    EXPECT_EQ(checked.state, common::FileState::Found) << "a link counts as there";
    EXPECT_EQ(common::IsLink(INVALID_HANDLE_VALUE), c.link);
    EXPECT_EQ(static_cast<bool>(checked.file), !c.link);
    EXPECT_EQ(common::IconFile(file).Count(), c.link ? 0u : 1u);
  }
}

}  // namespace
