// Saves that cannot be turned elsewhere: a folder on the way or the file itself that is a link is
// refused with everything left as it was, and a folder swapped while the file is written never
// receives it. Wine makes no junctions or symbolic links, so the reparse check is answered by a
// stand-in for the handles of chosen paths; the swaps are real.
#include <aclapi.h>
#include <gtest/gtest.h>
#include <sddl.h>

#include <functional>
#include <string>
#include <vector>

#include "common/exception.h"
#include "common/handles.h"
#include "common/local_files.h"
#include "common/text.h"
#include "settings/file_access.h"
#include "support/temp_files.h"

namespace {

using testsupport::FolderEntries;
using testsupport::ReadBytes;
using testsupport::WriteBytes;

constexpr char kOld[] = "old\r\n";
constexpr char kNew[] = "new\r\n";

// Saves kNew into path; the Exception's message, or "" when it is saved.
std::wstring Save(const std::wstring& path, const std::function<void()>& meanwhile = {}) {
  try {
    settings::ReplaceWholeFile(path, [&](settings::ByteSink& sink) {
      if (meanwhile) meanwhile();
      sink.Write(kNew);
    });
  } catch (const Exception& e) {
    return e.Message();
  }
  return L"";
}

// The path an open handle stands for, without "\\?\".
std::wstring PathOf(HANDLE handle) {
  wchar_t path[1024];
  const DWORD length = GetFinalPathNameByHandleW(handle, path, 1024, FILE_NAME_NORMALIZED);
  if (length == 0 || length >= 1024) return {};
  std::wstring found(path, length);
  return found.rfind(L"\\\\?\\", 0) == 0 ? found.substr(4) : found;
}

TEST(HeldFolder, ALinkOnTheWayOrAtTheFileIsRefusedAndNothingChanges) {
  struct Case {
    const char* what;
    std::wstring linked;  // below the test folder; the file is mid\sub\setting.ini
    DWORD tag;
    const wchar_t* refusal;  // 「…」 holds the linked path; nullptr: saved
  };
  const Case cases[] = {
      {"the folder is a junction", L"mid\\sub", IO_REPARSE_TAG_MOUNT_POINT,
       L"保存先のフォルダー「%」はリンクのため、保存しません。"},
      {"a folder above it is a symbolic link", L"mid", IO_REPARSE_TAG_SYMLINK,
       L"保存先のフォルダー「%」はリンクのため、保存しません。"},
      {"the file is a symbolic link", L"mid\\sub\\setting.ini", IO_REPARSE_TAG_SYMLINK,
       L"保存先のファイル「%」はリンクのため、保存しません。"},
      {"the folder holds deduplicated data, no link", L"mid\\sub", IO_REPARSE_TAG_DEDUP, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testsupport::TempFolder scratch;
    ASSERT_TRUE(CreateDirectoryW((scratch / L"mid").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((scratch / L"mid\\sub").c_str(), nullptr));
    const std::wstring path = scratch / L"mid\\sub\\setting.ini";
    WriteBytes(path, kOld);
    const std::wstring linked = scratch / c.linked;
    int asked = 0;
    auto tagged = common::ReparseTagOf.Replace([&](HANDLE handle) {
      ++asked;
      return common::EqualNoCase(PathOf(handle), linked) ? c.tag : 0;
    });

    const std::wstring message = Save(path);
    if (c.refusal) {
      std::wstring expected = c.refusal;
      expected.replace(expected.find(L'%'), 1, linked);
      EXPECT_EQ(message, expected);
      EXPECT_EQ(ReadBytes(path), kOld);
    } else {
      EXPECT_EQ(message, L"");
      EXPECT_EQ(ReadBytes(path), kNew);
    }
    EXPECT_GE(asked, 4) << "the root, both folders and the file are each looked at";
    EXPECT_EQ(FolderEntries(scratch / L"mid\\sub"), std::vector<std::wstring>{L"setting.ini"});
  }
}

TEST(HeldFolder, AFolderSwappedWhileTheFileIsWrittenNeverReceivesIt) {
  struct Case {
    const char* what;
    std::wstring moved;                // renamed away, then made again (empty) in its place
    std::vector<std::wstring> remade;  // folders made in the new one, as the old one held them
  };
  const Case cases[] = {
      {"the folder itself", L"mid\\sub", {}},
      {"the folder above it", L"mid", {L"sub"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testsupport::TempFolder scratch;
    ASSERT_TRUE(CreateDirectoryW((scratch / L"mid").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((scratch / L"mid\\sub").c_str(), nullptr));
    const std::wstring path = scratch / L"mid\\sub\\setting.ini";
    WriteBytes(path, kOld);
    const std::wstring moved = scratch / c.moved;
    bool swapped = false;
    const std::wstring message = Save(path, [&] {
      // The system refuses to rename a folder that is held open; where it does not, the
      // swapper puts a folder of its own in its place.
      swapped = MoveFileW(moved.c_str(), (moved + L"-away").c_str());
      if (!swapped) return;
      CreateDirectoryW(moved.c_str(), nullptr);
      for (const std::wstring& folder : c.remade) CreateDirectoryW((moved + L"\\" + folder).c_str(), nullptr);
    });
    if (swapped) {
      EXPECT_EQ(FolderEntries(scratch / L"mid\\sub"), std::vector<std::wstring>{}) << "the swapper's folder got it";
      const std::wstring held = moved + L"-away" + path.substr(moved.size());
      if (message.empty()) {
        EXPECT_EQ(ReadBytes(held), kNew);
      }
    } else {
      EXPECT_EQ(message, L"");
      EXPECT_EQ(ReadBytes(path), kNew);
      EXPECT_EQ(FolderEntries(scratch / L"mid\\sub"), std::vector<std::wstring>{L"setting.ini"});
    }
  }
}

// The access list of path in the system's text form; empty when it cannot be read.
std::wstring AccessList(const std::wstring& path) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, nullptr, nullptr,
                            &descriptor) != ERROR_SUCCESS)
    return {};
  const common::UniqueHLocal owner(descriptor);
  wchar_t* text = nullptr;
  if (!ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION,
                                                            &text, nullptr))
    return {};
  const common::UniqueHLocal textOwner(text);
  return text;
}

TEST(HeldFolder, TheReplacedFileKeepsItsAccessList) {
  testsupport::TempFolder scratch;
  const std::wstring path = scratch / L"setting.ini";
  WriteBytes(path, kOld);
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;;FA;;;BA)(A;;FR;;;WD)", SDDL_REVISION_1,
                                                                   &descriptor, nullptr));
  const common::UniqueHLocal owner(descriptor);
  BOOL present = FALSE, defaulted = FALSE;
  PACL dacl = nullptr;
  ASSERT_TRUE(GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted));
  ASSERT_EQ(SetNamedSecurityInfoW(const_cast<wchar_t*>(path.c_str()), SE_FILE_OBJECT,
                                  DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                  dacl, nullptr),
            static_cast<DWORD>(ERROR_SUCCESS));
  const std::wstring before = AccessList(path);
  if (before.find(L"(A;;FR;;;WD)") == std::wstring::npos)
    GTEST_SKIP() << "this file system keeps no access lists: " << testing::PrintToString(before);

  EXPECT_EQ(Save(path), L"");
  EXPECT_EQ(ReadBytes(path), kNew);
  EXPECT_EQ(AccessList(path), before);
}

}  // namespace
