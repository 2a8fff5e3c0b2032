// The secured folder: its levels read back as the tool's, only files the tool wrote are read, a
// level that is a link is refused, and a held folder can be neither moved nor swapped for another.
#include "common/secure_folder.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/text.h"
#include "support/temp_files.h"

namespace {

using common::FileRead;
using common::SecureFolder;
using common::SecureFolderError;
using common::SecureFolderFault;

// An entry of an access list as read back: the SID and the rights it allows.
struct Allowed {
  std::wstring sid;
  ACCESS_MASK rights;
};

// What a file or folder's security reads back as, through a handle of its own.
struct ReadBack {
  std::wstring owner;
  bool isProtected = false;
  std::vector<Allowed> allowed;
};

std::wstring SidText(PSID sid) {
  LPWSTR text = nullptr;
  if (!ConvertSidToStringSidW(sid, &text)) return {};
  const common::UniqueHLocal kept(text);
  return text;
}

ReadBack SecurityOf(const std::wstring& path) {
  ReadBack back;
  const common::UniqueFileHandle handle(CreateFileW(path.c_str(), READ_CONTROL, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  PSID owner = nullptr;
  PACL dacl = nullptr;
  common::UniqueHLocal memory;
  EXPECT_EQ(GetSecurityInfo(handle.get(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                            &owner, nullptr, &dacl, nullptr, reinterpret_cast<PSECURITY_DESCRIPTOR*>(memory.put())),
            static_cast<DWORD>(ERROR_SUCCESS))
      << testing::PrintToString(path);
  if (!owner || !dacl) return back;
  back.owner = SidText(owner);
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  back.isProtected = GetSecurityDescriptorControl(memory.get(), &control, &revision) && (control & SE_DACL_PROTECTED);
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    void* ace = nullptr;
    if (GetAce(dacl, i, &ace) && static_cast<ACE_HEADER*>(ace)->AceType == ACCESS_ALLOWED_ACE_TYPE) {
      auto* entry = static_cast<ACCESS_ALLOWED_ACE*>(ace);
      back.allowed.push_back({SidText(&entry->SidStart), entry->Mask});
    }
  }
  return back;
}

constexpr wchar_t kAdministrators[] = L"S-1-5-32-544";
constexpr wchar_t kSystem[] = L"S-1-5-18";
constexpr ACCESS_MASK kWriteRights = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA | FILE_WRITE_ATTRIBUTES |
                                     FILE_DELETE_CHILD | DELETE | WRITE_DAC | WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;

// A fresh folder of the test's own standing for %ProgramData%, and the account's place below it.
class SecureFolderTest : public testing::Test {
 protected:
  common::SecureFolderPlace Place() const {
    return {root_.Path(), {L"Tavrelo", L"Backups", account_}, account_};
  }
  SecureFolder Create() {
    SecureFolderError error;
    SecureFolder folder = SecureFolder::Create(Place(), error);
    EXPECT_TRUE(folder) << static_cast<int>(error.fault) << testing::PrintToString(error.path);
    return folder;
  }

  testsupport::TempFolder root_;
  const std::wstring account_ = common::ProcessUserSid();
};

TEST_F(SecureFolderTest, ItsLevelsReadBackAsTheToolsWithTheAccountOnlyReading) {
  ASSERT_FALSE(account_.empty());
  const SecureFolder folder = Create();
  EXPECT_EQ(folder.Path(), root_.Path() + L"\\Tavrelo\\Backups\\" + account_);
  ASSERT_EQ(folder.CreateNew(L"a.reg", "a"), common::FileWrite::Written);
  for (const std::wstring& path : {root_ / L"Tavrelo", root_ / L"Tavrelo\\Backups", folder.Path(),
                                   folder.Path() + L"\\a.reg"}) {
    SCOPED_TRACE(testing::PrintToString(path));
    const ReadBack back = SecurityOf(path);
    ASSERT_FALSE(back.allowed.empty());
    if (common::FileOwnersKept()) {
      EXPECT_EQ(back.owner, kAdministrators);
      EXPECT_TRUE(back.isProtected);
      for (const Allowed& entry : back.allowed) {
        if (entry.sid != kAdministrators && entry.sid != kSystem) {
          EXPECT_EQ(entry.rights & kWriteRights, 0u) << testing::PrintToString(entry.sid);
        }
      }
    } else {
      // Wine answers the process's user as every owner and keeps only unix permission bits: what
      // shows of the tool's list is that no one else may open the folder or file at all.
      EXPECT_EQ(back.owner, account_);
      for (const Allowed& entry : back.allowed) {
        EXPECT_TRUE(entry.sid == kSystem || entry.sid == kAdministrators || entry.sid == account_)
            << testing::PrintToString(entry.sid);
      }
    }
  }
  // The account named as the reader of the last level may read it, and nothing more.
  if (common::FileOwnersKept()) {
    bool reads = false;
    for (const Allowed& entry : SecurityOf(folder.Path()).allowed)
      reads = reads || (entry.sid == account_ && (entry.rights & FILE_LIST_DIRECTORY));
    EXPECT_TRUE(reads);
  }
}

TEST_F(SecureFolderTest, OnlyPlainFilesTheToolWroteAreRead) {
  const SecureFolder folder = Create();
  ASSERT_EQ(folder.CreateNew(L"own.reg", "tool's bytes"), common::FileWrite::Written);
  EXPECT_EQ(folder.CreateNew(L"own.reg", "other bytes"), common::FileWrite::Exists);
  ASSERT_EQ(folder.CreateNew(L"linked.reg", "linked"), common::FileWrite::Written);
  ASSERT_TRUE(CreateHardLinkW((root_ / L"second-name.reg").c_str(), (folder.Path() + L"\\linked.reg").c_str(), nullptr));
  // Written by someone else, without the tool's owner and access list.
  testsupport::WriteBytes(folder.Path() + L"\\planted.reg", "planted");
  struct Case {
    const wchar_t* name;
    uint64_t limit;
    FileRead outcome;
    const char* bytes;
  };
  const Case cases[] = {
      {L"own.reg", 100, FileRead::Read, "tool's bytes"},
      {L"own.reg", 12, FileRead::Read, "tool's bytes"},
      {L"own.reg", 11, FileRead::TooLarge, ""},
      {L"planted.reg", 100, FileRead::NotTrusted, ""},
      {L"linked.reg", 100, FileRead::NotTrusted, ""},
      {L"missing.reg", 100, FileRead::Missing, ""},
      {L"..\\Backups\\own.reg", 100, FileRead::Failed, ""},
      {L"own.reg:stream", 100, FileRead::Failed, ""},
      {L"", 100, FileRead::Failed, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.name)));
    std::string bytes = "left over";
    EXPECT_EQ(folder.Read(c.name, c.limit, bytes), c.outcome);
    EXPECT_EQ(bytes, c.bytes);
  }
  // Windows' rule asks for an owner that Wine never answers: there the tool's own file is
  // refused too, so the rule of a platform without owners is the only one that trusts anything.
  if (!common::FileOwnersKept.Real()) {
    auto windows = common::FileOwnersKept.Replace([] { return true; });
    std::string bytes;
    EXPECT_EQ(folder.Read(L"own.reg", 100, bytes), FileRead::NotTrusted);
  }
}

TEST_F(SecureFolderTest, AFoundLevelIsTakenOnlyWhenItMayBeTheTools) {
  // An older folder that lets everyone in.
  ASSERT_TRUE(CreateDirectoryW((root_ / L"Tavrelo").c_str(), nullptr));
  if (!common::FileOwnersKept()) {
    // Under Wine nothing tells who made it; it gets the tool's list.
    Create();
    for (const Allowed& entry : SecurityOf(root_ / L"Tavrelo").allowed) {
      EXPECT_NE(entry.sid, L"S-1-1-0") << "no longer open to everyone";
    }
  }
  // Where owners are kept, a level owned by anyone but Administrators or SYSTEM is refused,
  // never taken over: it may hold handles opened while its list let them in.
  ASSERT_TRUE(CreateDirectoryW((root_ / L"Other").c_str(), nullptr));
  auto windows = common::FileOwnersKept.Replace([] { return true; });
  if (SecurityOf(root_ / L"Other").owner != kAdministrators) {
    SecureFolderError error;
    EXPECT_FALSE(SecureFolder::Create({root_.Path(), {L"Other", L"x"}, account_}, error));
    EXPECT_EQ(error.fault, SecureFolderFault::CannotSecure);
    EXPECT_EQ(error.path, root_ / L"Other");
    EXPECT_EQ(testsupport::FolderEntries(root_ / L"Other"), std::vector<std::wstring>{}) << "nothing made below it";
  }
}

TEST_F(SecureFolderTest, ALevelThatIsALinkIsRefusedAndNothingIsMadeBelowIt) {
  // Wine makes no links (CreateSymbolicLinkW answers success and makes nothing, a junction's
  // FSCTL_SET_REPARSE_POINT is not supported), so the handle's attributes are answered for the
  // level named; everything else about the open is real.
  for (const wchar_t* level : {L"Tavrelo", L"Tavrelo\\Backups"}) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(level)));
    const std::wstring link = root_ / level;
    auto links = common::HandleAttributes.Replace([&](HANDLE handle, const std::wstring& path) {
      std::optional<DWORD> attributes = common::HandleAttributes.Real(handle, path);
      if (attributes && common::EqualNoCase(path, link)) *attributes |= FILE_ATTRIBUTE_REPARSE_POINT;
      return attributes;
    });
    for (bool create : {true, false}) {
      SecureFolderError error;
      const SecureFolder folder = create ? SecureFolder::Create(Place(), error) : SecureFolder::OpenToRead(Place(), error);
      EXPECT_FALSE(folder);
      EXPECT_EQ(error.fault, SecureFolderFault::Link);
      EXPECT_EQ(error.path, link);
      EXPECT_EQ(testsupport::FolderEntries(link), std::vector<std::wstring>{}) << "nothing made through it";
    }
  }
  // A file that is a link is not read either.
  const SecureFolder folder = Create();
  ASSERT_EQ(folder.CreateNew(L"a.reg", "a"), common::FileWrite::Written);
  auto links = common::HandleAttributes.Replace([&](HANDLE handle, const std::wstring& path) {
    std::optional<DWORD> attributes = common::HandleAttributes.Real(handle, path);
    if (attributes && path.ends_with(L"\\a.reg")) *attributes |= FILE_ATTRIBUTE_REPARSE_POINT;
    return attributes;
  });
  std::string bytes;
  EXPECT_EQ(folder.Read(L"a.reg", 100, bytes), FileRead::NotTrusted);
}

TEST_F(SecureFolderTest, AHeldFolderCannotBeMovedAndARootSwappedUnderItLeadsNothingElsewhere) {
  const testsupport::TempFolder elsewhere;
  const std::wstring moved = elsewhere / L"moved";
  {
    const SecureFolder folder = Create();
    ASSERT_TRUE(folder.Replace(L"history.txt", "held"));
    for (const std::wstring& level : {root_ / L"Tavrelo", root_ / L"Tavrelo\\Backups", folder.Path()}) {
      SCOPED_TRACE(testing::PrintToString(level));
      EXPECT_FALSE(MoveFileW(level.c_str(), (elsewhere / L"gone").c_str()));
      EXPECT_FALSE(RemoveDirectoryW(level.c_str()));
    }
    // The machine's folder stands above: Windows lets no user move it, Wine lets anyone. Moved
    // away and replaced by a planted chain, the folder still reads and writes where it was made.
    if (!MoveFileW(root_.Path().c_str(), moved.c_str())) GTEST_SKIP() << "the root cannot be moved here";
    const std::wstring planted = root_.Path() + L"\\Tavrelo\\Backups\\" + account_;
    ASSERT_EQ(SHCreateDirectoryExW(nullptr, planted.c_str(), nullptr), ERROR_SUCCESS);
    testsupport::WriteBytes(planted + L"\\history.txt", "planted");
    std::string bytes;
    EXPECT_EQ(folder.Read(L"history.txt", 100, bytes), FileRead::Read);
    EXPECT_EQ(bytes, "held");
    EXPECT_EQ(folder.CreateNew(L"new.reg", "new"), common::FileWrite::Written);
    EXPECT_EQ(testsupport::FolderEntries(planted), std::vector<std::wstring>{L"history.txt"});
    EXPECT_EQ(testsupport::ReadBytes(planted + L"\\history.txt"), "planted");
  }
  const std::wstring held = moved + L"\\Tavrelo\\Backups\\" + account_;
  EXPECT_EQ(testsupport::FolderEntries(held), (std::vector<std::wstring>{L"history.txt", L"new.reg"}));
  EXPECT_EQ(testsupport::ReadBytes(held + L"\\history.txt"), "held");
}

TEST_F(SecureFolderTest, FilesAreReplacedAppendedRemovedAndListed) {
  const SecureFolder folder = Create();
  ASSERT_TRUE(folder.Replace(L"h.txt", "one"));
  ASSERT_TRUE(folder.Replace(L"h.txt", "two"));
  ASSERT_TRUE(folder.Append(L"log.txt", "a"));
  ASSERT_TRUE(folder.Append(L"log.txt", "b"));
  ASSERT_TRUE(CreateDirectoryW((folder.Path() + L"\\sub").c_str(), nullptr));
  std::vector<std::wstring> names = folder.FileNames();
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::wstring>{L"h.txt", L"log.txt"})) << "no folder, no half-written file";
  std::string bytes;
  EXPECT_EQ(folder.Read(L"h.txt", 10, bytes), FileRead::Read);
  EXPECT_EQ(bytes, "two");
  EXPECT_EQ(folder.Read(L"log.txt", 10, bytes), FileRead::Read);
  EXPECT_EQ(bytes, "ab");
  EXPECT_TRUE(folder.Remove(L"log.txt"));
  EXPECT_FALSE(folder.Remove(L"log.txt"));
  EXPECT_FALSE(folder.Remove(L"sub"));
  EXPECT_EQ(folder.FileNames(), std::vector<std::wstring>{L"h.txt"});

  // A folder that holds nothing does nothing.
  const SecureFolder none;
  EXPECT_EQ(none.CreateNew(L"x", "x"), common::FileWrite::Failed);
  EXPECT_EQ(none.Read(L"h.txt", 10, bytes), FileRead::Failed);
  EXPECT_TRUE(none.FileNames().empty());
}

TEST_F(SecureFolderTest, OpeningToReadChangesNothingAndSaysWhatIsMissing) {
  SecureFolderError error;
  EXPECT_FALSE(SecureFolder::OpenToRead(Place(), error));
  EXPECT_EQ(error.fault, SecureFolderFault::Missing);
  EXPECT_EQ(error.path, root_ / L"Tavrelo");
  EXPECT_EQ(testsupport::FolderEntries(root_.Path()), std::vector<std::wstring>{});
  EXPECT_FALSE(SecureFolder::Create({root_ / L"none", {L"Tavrelo"}, account_}, error));
  EXPECT_EQ(error.fault, SecureFolderFault::NoRoot);
  EXPECT_FALSE(SecureFolder::Create({root_.Path(), {L"Tavrelo"}, L"S-1-5-21-1)(A;;FA;;;WD"}, error));
  EXPECT_EQ(error.fault, SecureFolderFault::CannotSecure) << "a reader that is no SID enters no access list";
  Create();
  EXPECT_TRUE(SecureFolder::OpenToRead(Place(), error));
}

}  // namespace
