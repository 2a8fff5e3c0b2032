#include "assoc/link_extention_winvista.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "assoc/store_fixture.h"
#include "support/registry_sandbox.h"

namespace {

using assoctest::kWrongExtention;
using assoctest::MessageOf;
using assoctest::SubKeyNames;
using assoctest::TextDefault;
using testsupport::CreateKey;
using testsupport::KeyExists;
using testsupport::WriteValue;

using Names = std::vector<std::wstring>;

constexpr wchar_t kMru[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ComDlg32\\OpenSavePidlMRU";
constexpr wchar_t kFileExts[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts";

class VistaStore : public assoctest::StoreTest {
 protected:
  static std::wstring Mru(const std::wstring& extention) { return std::wstring(kMru) + L"\\" + extention; }
  static std::wstring FileExts(const std::wstring& extention) { return std::wstring(kFileExts) + L"\\" + extention; }

  // Gives the extension both shell records below HKEY_CURRENT_USER, each with a value.
  static void MakeShellRecords(const std::wstring& extention) {
    WriteValue(HKEY_CURRENT_USER, Mru(extention), L"MRUListEx", REG_SZ, L"x");
    WriteValue(HKEY_CURRENT_USER, FileExts(extention), L"Progid", REG_SZ, L"x");
  }

  assoctest::StoreDriver store_{std::make_unique<TLinkExtentionWinVista>()};
};

TEST_F(VistaStore, LinkAndUnlinkRemoveTheUsersLeafRecordsFirstAndSendOneNotice) {
  // Copies below the classes root and a neighbour's records are not the extension's.
  CreateKey(HKEY_CLASSES_ROOT, Mru(L".txt"));
  CreateKey(HKEY_CLASSES_ROOT, FileExts(L".txt"));
  MakeShellRecords(L".doc");

  for (bool link : {true, false}) {
    SCOPED_TRACE(link ? "Link" : "Unlink");
    MakeShellRecords(L".txt");
    EXPECT_EQ(store_.GetCommand(L".txt"), link ? L"" : L"a.exe");
    EXPECT_EQ(store_.GetFileType(L".txt"), link ? L"" : L"txtファイル");
    EXPECT_EQ(store_.GetIconInfo(L".txt").IconIndex, link ? 0 : 5);
    ASSERT_TRUE(KeyExists(HKEY_CURRENT_USER, Mru(L".txt"))) << "reads do not touch the shell records";
    ASSERT_TRUE(KeyExists(HKEY_CURRENT_USER, FileExts(L".txt")));

    int notices = 0;
    bool cleanedBeforeNotice = false;
    std::wstring commandAtNotice;
    const auto watch = assoc::NotifyAssocChanged.Replace([&] {
      ++notices;
      cleanedBeforeNotice =
          !KeyExists(HKEY_CURRENT_USER, Mru(L".txt")) && !KeyExists(HKEY_CURRENT_USER, FileExts(L".txt"));
      commandAtNotice = TextDefault(L"txtFile\\Shell\\open\\command");
    });
    if (link) {
      store_.Link(L".txt", L"a.exe", L"a.ico", 5, L"");
    } else {
      store_.Unlink(L".txt");
    }
    EXPECT_EQ(notices, 1);
    EXPECT_TRUE(cleanedBeforeNotice);
    EXPECT_EQ(commandAtNotice, link ? L"a.exe" : L"<absent>");
  }
  EXPECT_EQ(SubKeyNames(HKEY_CURRENT_USER, kMru), (Names{L".doc"}));
  EXPECT_EQ(SubKeyNames(HKEY_CURRENT_USER, kFileExts), (Names{L".doc"}));
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, Mru(L".txt")));
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, FileExts(L".txt")));
}

TEST_F(VistaStore, ARecordWithSubKeysStaysWithThemAndTheOperationGoesOn) {
  for (bool link : {true, false}) {
    SCOPED_TRACE(link ? "Link" : "Unlink");
    MakeShellRecords(L".txt");
    WriteValue(HKEY_CURRENT_USER, FileExts(L".txt") + L"\\UserChoice", L"Progid", REG_SZ, L"other");
    CreateKey(HKEY_CURRENT_USER, FileExts(L".txt") + L"\\OpenWithList");
    if (link) {
      store_.Link(L".txt", L"a.exe", L"a.ico", 0, L"");
    } else {
      store_.Unlink(L".txt");
    }
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, Mru(L".txt")));
    EXPECT_EQ(SubKeyNames(HKEY_CURRENT_USER, FileExts(L".txt")), (Names{L"OpenWithList", L"UserChoice"}));
    EXPECT_EQ(TextDefault(L".txt"), link ? L"txtFile" : L"<absent>");
  }
  EXPECT_EQ(notices_.Count(), 2);
}

TEST_F(VistaStore, ARefusedExtentionLeavesTheShellRecordsToo) {
  MakeShellRecords(L"txt");
  EXPECT_EQ(MessageOf([&] { store_.Link(L"txt", L"a.exe", L"a.ico", 0, L""); }), kWrongExtention);
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, Mru(L"txt")));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, FileExts(L"txt")));
  EXPECT_TRUE(SubKeyNames(HKEY_CLASSES_ROOT).empty());
  EXPECT_EQ(notices_.Count(), 0);
}

TEST_F(VistaStore, ExtentionsThatWouldNameOtherKeysLeaveAllShellRecordsAlone) {
  // Leaf parents: a clean-up that formed its paths from these extensions would remove them.
  CreateKey(HKEY_CURRENT_USER, kMru);
  CreateKey(HKEY_CURRENT_USER, FileExts(L".a\\b"));
  for (const wchar_t* extention : {L"", L".a\\b", L"\\", L".a\\..\\x"}) {
    EXPECT_EQ(MessageOf([&] { store_.Link(extention, L"a.exe", L"a.ico", 0, L""); }), kWrongExtention);
    EXPECT_EQ(MessageOf([&] { store_.Unlink(extention); }), kWrongExtention);
  }
  // The API would end this one at its NUL, at the parent of all records.
  store_.Unlink(std::wstring(L"\0x", 2));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, kMru));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, FileExts(L".a\\b")));
  EXPECT_EQ(notices_.Count(), 1);
}

}  // namespace
