#include "assoc/backup.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "assoc/assoc_texts.h"
#include "assoc/link_extention.h"
#include "assoc/store_fixture.h"
#include "common/text.h"
#include "support/registry_sandbox.h"
#include "support/temp_files.h"

namespace {

using assoc::TBackupName;
using assoc::TBackupOperation;
using assoctest::MessageOf;
using assoctest::TreeDifference;
using assoctest::TreeDump;
using testsupport::CreateKey;
using testsupport::KeyExists;
using testsupport::WriteValue;

using Names = std::vector<std::wstring>;

constexpr wchar_t kFileExts[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts";
constexpr wchar_t kMru[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ComDlg32\\OpenSavePidlMRU";

SYSTEMTIME Time(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second, WORD milliseconds) {
  SYSTEMTIME t{};
  t.wYear = year;
  t.wMonth = month;
  t.wDay = day;
  t.wHour = hour;
  t.wMinute = minute;
  t.wSecond = second;
  t.wMilliseconds = milliseconds;
  return t;
}

std::wstring Stamp(const SYSTEMTIME& t) {
  wchar_t text[32];
  swprintf(text, 32, L"%04u%02u%02u-%02u%02u%02u-%03u", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond,
           t.wMilliseconds);
  return text;
}

// A registry file of these lines with its mark and header.
std::string RegFileOf(std::initializer_list<std::wstring> lines) {
  std::wstring text = L"\xFEFFWindows Registry Editor Version 5.00\r\n";
  for (const std::wstring& line : lines) text += line + L"\r\n";
  return std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
}

// A sandboxed registry (the classes root being the machine's Software\Classes, as under Wine),
// counted notices, a folder of its own for the local application data and a clock that stands
// still.
class Backups : public testing::Test {
 protected:
  std::wstring Folder() const { return appDataPath_ + L"\\Tavrelo\\Backups"; }
  Names Files() const { return testsupport::FolderEntries(Folder()); }
  // Everything below the redirected roots.
  static std::wstring Registry() { return TreeDump(HKEY_LOCAL_MACHINE, L"") + TreeDump(HKEY_CURRENT_USER, L""); }
  // Empties the redirected roots.
  static void ClearRegistry() {
    RegDeleteTreeW(HKEY_CLASSES_ROOT, nullptr);
    RegDeleteTreeW(HKEY_CURRENT_USER, nullptr);
  }

  testsupport::RegistrySandbox sandbox_{testsupport::SandboxRoots::WithMachine};
  assoctest::NoticeCounter notices_;
  testsupport::TempFolder appData_;
  std::wstring appDataPath_ = appData_.Path();
  SYSTEMTIME now_ = Time(2024, 5, 3, 13, 45, 1, 7);
  common::Seam<std::wstring()>::Scope folder_ = assoc::LocalAppDataFolder.Replace([this] { return appDataPath_; });
  common::Seam<SYSTEMTIME()>::Scope clock_ = assoc::BackupClock.Replace([this] { return now_; });
};

TEST(BackupNames, TellTimeExtensionAndOperationAndReadBack) {
  struct Case {
    SYSTEMTIME time;
    std::wstring extension;
    TBackupOperation operation;
    std::wstring fileName;
    std::wstring extensionReadBack;
  };
  const SYSTEMTIME t = Time(2024, 5, 1, 13, 45, 1, 7);
  const std::wstring long64 = L"." + std::wstring(63, L'e');
  const std::vector<Case> cases = {
      {t, L".txt", TBackupOperation::Link, L"20240501-134501-007 .txt 登録.reg", L".txt"},
      {t, L".txt", TBackupOperation::Unlink, L"20240501-134501-007 .txt 削除.reg", L".txt"},
      {t, L".txt", TBackupOperation::RemoveUserChoice, L"20240501-134501-007 .txt 利用者の選択の削除.reg", L".txt"},
      {t, L".txt", TBackupOperation::Restore, L"20240501-134501-007 .txt 復元.reg", L".txt"},
      {Time(1999, 12, 31, 23, 59, 59, 999), L". t x", TBackupOperation::Link,
       L"19991231-235959-999 . t x 登録.reg", L". t x"},
      {t, L".テキスト", TBackupOperation::Link, L"20240501-134501-007 .テキスト 登録.reg", L".テキスト"},
      {t, L".a\\b/c:d*e?f\"g<h>i|j%k", TBackupOperation::Unlink,
       L"20240501-134501-007 .a%5Cb%2Fc%3Ad%2Ae%3Ff%22g%3Ch%3Ei%7Cj%25k 削除.reg", L".a\\b/c:d*e?f\"g<h>i|j%k"},
      {t, L".\t\x1F", TBackupOperation::Unlink, L"20240501-134501-007 .%09%1F 削除.reg", L".\t\x1F"},
      {t, L"", TBackupOperation::Restore, L"20240501-134501-007  復元.reg", L""},
      {t, long64, TBackupOperation::Unlink, L"20240501-134501-007 " + long64 + L" 削除.reg", long64},
      {t, long64 + L"e", TBackupOperation::Unlink, L"20240501-134501-007 " + long64.substr(0, 63) + L"… 削除.reg",
       long64.substr(0, 63) + L"…"},
      // A cut never splits an escape.
      {t, L"." + std::wstring(61, L'e') + L"\\\\", TBackupOperation::Unlink,
       L"20240501-134501-007 ." + std::wstring(61, L'e') + L"… 削除.reg", L"." + std::wstring(61, L'e') + L"…"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.fileName));
    EXPECT_EQ(assoc::BackupFileName({c.time, c.extension, c.operation}), c.fileName);
    const std::optional<TBackupName> read = assoc::ParseBackupFileName(c.fileName);
    ASSERT_TRUE(read);
    EXPECT_EQ(Stamp(read->Time), Stamp(c.time));
    EXPECT_EQ(read->Extension, c.extensionReadBack);
    EXPECT_EQ(read->Operation, c.operation);
  }
  for (const wchar_t* fileName :
       {L"", L"notes.reg", L"20240501-134501-007 .txt 登録.txt", L"20240501-134501-007 .txt 登録.REG",
        L"20240501-134501-007 .txt 変更.reg", L"20240501-134501-007 .txt登録.reg", L"2024050-1134501-007 .txt 登録.reg",
        L"20241301-134501-007 .txt 登録.reg", L"20240501-134501-0O7 .txt 登録.reg", L"20240501-134501-007_.txt 登録.reg",
        L"20240501-134501-007 .%5 登録.reg", L"20240501-134501-007 .%5g 登録.reg", L"20240501-134501-007 登録.reg"})
    EXPECT_FALSE(assoc::ParseBackupFileName(fileName)) << testing::PrintToString(std::wstring(fileName));
}

TEST_F(Backups, TheNewestIsTheLatestTimeInTheNamesWhateverElseLiesInTheFolder) {
  EXPECT_FALSE(assoc::NewestBackup()) << "no folder yet";
  ASSERT_TRUE(CreateDirectoryW((appData_ / L"Tavrelo").c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW(Folder().c_str(), nullptr));
  EXPECT_FALSE(assoc::NewestBackup()) << "an empty folder";
  for (const wchar_t* name : {L"20240501-134501-007 .b 削除.reg", L"20240501-134501-009 .c 登録.reg",
                              L"20240501-134501-008 .a 復元.reg", L"notes.reg", L"29991231-235959-999 .z 削除.txt"})
    testsupport::WriteBytes(Folder() + L"\\" + name, "x");
  ASSERT_TRUE(CreateDirectoryW((Folder() + L"\\29991231-235959-999 .dir 削除.reg").c_str(), nullptr));

  const std::optional<assoc::TBackupFile> newest = assoc::NewestBackup();
  ASSERT_TRUE(newest);
  EXPECT_EQ(newest->Path, Folder() + L"\\20240501-134501-009 .c 登録.reg");
  EXPECT_EQ(newest->Name.Extension, L".c");
  EXPECT_EQ(newest->Name.Operation, TBackupOperation::Link);
  EXPECT_EQ(assoc::texts::UndoQuestion(newest->Name),
            L"2024/05/01 13:45:01に行った拡張子「.c」の登録を元に戻します。\nよろしいですか？");
  EXPECT_EQ(assoc::texts::UndoQuestion({newest->Name.Time, L"", TBackupOperation::Restore}),
            L"2024/05/01 13:45:01に行った復元を元に戻します。\nよろしいですか？");
}

TEST_F(Backups, EachBackupBecomesTheNewestEvenWhenTheClockStandsStillOrGoesBack) {
  const std::wstring first = assoc::BackupBeforeLink(L".a");
  const std::wstring second = assoc::BackupBeforeUnlink(L".b");
  now_ = Time(2024, 5, 3, 12, 45, 1, 7);  // an hour back, as when summer time ends
  const std::wstring third = assoc::BackupBeforeRemoveUserChoice(L".c");
  EXPECT_EQ(Files(), (Names{L"20240503-134501-007 .a 登録.reg", L"20240503-134501-008 .b 削除.reg",
                            L"20240503-134501-009 .c 利用者の選択の削除.reg"}));
  EXPECT_EQ(first, Folder() + L"\\" + Files()[0]);
  EXPECT_EQ(third, Folder() + L"\\" + Files()[2]);
  EXPECT_EQ(assoc::NewestBackup()->Path, third);
  now_ = Time(2024, 5, 4, 0, 0, 0, 0);
  EXPECT_EQ(common::ExtractFileName(assoc::BackupBeforeLink(L".d")), L"20240504-000000-000 .d 登録.reg");
}

TEST_F(Backups, EachChangeNamesTheKeysItMayTouch) {
  const std::wstring classes = L"HKEY_CLASSES_ROOT\\";
  const std::wstring fileExts = std::wstring(L"HKEY_CURRENT_USER\\") + kFileExts + L"\\";
  const std::wstring mru = std::wstring(L"HKEY_CURRENT_USER\\") + kMru + L"\\";
  EXPECT_EQ(assoc::KeysTouchedByLink(L".txt"),
            (Names{classes + L".txt", classes + L"txtFile", fileExts + L".txt", mru + L".txt"}));
  EXPECT_EQ(assoc::KeysTouchedByRemoveUserChoice(L".txt"),
            (Names{fileExts + L".txt\\UserChoice", fileExts + L".txt\\UserChoiceLatest",
                   L"HKEY_CURRENT_USER\\Software\\Classes\\.txt"}));

  // A delete saves the file type key it may remove; not one its name alone keeps.
  struct Case {
    const wchar_t* fileType;
    bool saved;
  };
  const Case cases[] = {{L"txtfile", true}, {L"CLSID", false}, {L"exefile", false}, {L".log", false},
                        {L"a\\b", false},   {L"", false},      {L"shared", true}};
  WriteValue(HKEY_CLASSES_ROOT, L".other", L"", REG_SZ, L"shared");
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.fileType)));
    WriteValue(HKEY_CLASSES_ROOT, L".txt", L"", REG_SZ, c.fileType);
    Names expected{classes + L".txt"};
    if (c.saved) expected.push_back(classes + c.fileType);
    expected.push_back(fileExts + L".txt");
    expected.push_back(mru + L".txt");
    EXPECT_EQ(assoc::KeysTouchedByUnlink(L".txt"), expected);
  }
  RegDeleteTreeW(HKEY_CLASSES_ROOT, L".txt");
  EXPECT_EQ(assoc::KeysTouchedByUnlink(L".txt"), (Names{classes + L".txt", fileExts + L".txt", mru + L".txt"}));
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L".txt")) << "finding the keys writes nothing";
}

TEST_F(Backups, ARestoreSavesTheTopmostKeyItWouldCreateAndNoKeyTwice) {
  CreateKey(HKEY_CLASSES_ROOT, L".a");
  CreateKey(HKEY_CURRENT_USER, kFileExts);
  assoc::TRegDocument document;
  const std::wstring fileExts = std::wstring(L"HKEY_CURRENT_USER\\") + kFileExts;
  const std::wstring paths[] = {L"HKEY_CLASSES_ROOT\\.a\\new\\deeper", L"HKEY_CLASSES_ROOT\\.A",
                                L"HKEY_CLASSES_ROOT\\.b\\x\\y",          L"HKEY_CLASSES_ROOT\\.b\\z",
                                fileExts + L"\\.c\\UserChoice",            L"HKEY_CURRENT_USER\\Software\\Classes\\.d"};
  for (const std::wstring& path : paths) document.Keys.push_back({path, false, {}, 0});
  // HKEY_CURRENT_USER\Software\Classes is missing too, but it is where managed keys begin.
  EXPECT_EQ(assoc::KeysTouchedByRestore(document),
            (Names{L"HKEY_CLASSES_ROOT\\.A", L"HKEY_CLASSES_ROOT\\.b", L"HKEY_CURRENT_USER\\Software\\Classes\\.d",
                   fileExts + L"\\.c"}));
}

TEST(ManagedKeys, AreTheClassesAndTheShellsPerUserRecordsAndNothingElse) {
  for (const wchar_t* path : {
           L"HKEY_CLASSES_ROOT\\.txt",
           L"hkey_classes_root\\txtfile\\shell\\open\\command",
           L"HKEY_LOCAL_MACHINE\\Software\\Classes\\.txt",
           L"HKEY_LOCAL_MACHINE\\SOFTWARE\\CLASSES\\.txt",
           L"HKEY_CURRENT_USER\\Software\\Classes\\.txt",
           L"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.txt\\UserChoice",
           L"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ComDlg32\\OpenSavePidlMRU\\txt",
           // ".." is a key name like any other: the registry climbs nowhere with it.
           L"HKEY_CURRENT_USER\\Software\\Classes\\..\\..\\Run",
       })
    EXPECT_TRUE(assoc::IsManagedKey(path)) << testing::PrintToString(std::wstring(path));
  for (const wchar_t* path : {
           L"", L"HKEY_CLASSES_ROOT", L"HKEY_CLASSES_ROOT\\", L"HKCR\\.txt", L"HKCU\\Software\\Classes\\.txt",
           L"HKEY_CLASSES_ROOT\\\\.txt", L"HKEY_CLASSES_ROOT\\.txt\\", L"HKEY_CLASSES_ROOT_X\\.txt",
           L"HKEY_CURRENT_USER\\Software\\Classes", L"HKEY_CURRENT_USER\\Software\\ClassesX\\.txt",
           L"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run",
           L"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts",
           L"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExtsX\\.txt",
           L"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ComDlg32\\LastVisitedPidlMRU",
           L"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\x",
           L"HKEY_LOCAL_MACHINE\\Software\\Classes", L"HKEY_USERS\\.DEFAULT\\Software\\Classes\\.txt",
           L"HKEY_CURRENT_CONFIG\\Software\\Classes\\.txt", L"\\HKEY_CLASSES_ROOT\\.txt",
       })
    EXPECT_FALSE(assoc::IsManagedKey(path)) << testing::PrintToString(std::wstring(path));
}

TEST_F(Backups, ABackupHoldsEachKeyAsItIsAndRemovesThoseThatWereMissing) {
  WriteValue(HKEY_CLASSES_ROOT, L".txt", L"", REG_SZ, L"txtfile");
  WriteValue(HKEY_CLASSES_ROOT, L"txtfile\\shell\\open\\command", L"", REG_SZ, L"\"C:\\a.exe\" \"%1\"");
  WriteValue(HKEY_CURRENT_USER, std::wstring(kFileExts) + L"\\.txt", L"Progid", REG_SZ, L"x");
  const std::wstring path = assoc::BackupBeforeUnlink(L".txt");
  EXPECT_EQ(path, Folder() + L"\\20240503-134501-007 .txt 削除.reg");
  EXPECT_EQ(testsupport::ReadBytes(path),
            RegFileOf({L"", L"[-HKEY_CLASSES_ROOT\\.txt]", L"", L"[HKEY_CLASSES_ROOT\\.txt]", L"@=\"txtfile\"", L"",
                       L"[-HKEY_CLASSES_ROOT\\txtfile]", L"", L"[HKEY_CLASSES_ROOT\\txtfile]", L"",
                       L"[HKEY_CLASSES_ROOT\\txtfile\\shell]", L"", L"[HKEY_CLASSES_ROOT\\txtfile\\shell\\open]", L"",
                       L"[HKEY_CLASSES_ROOT\\txtfile\\shell\\open\\command]", L"@=\"\\\"C:\\\\a.exe\\\" \\\"%1\\\"\"",
                       L"", std::wstring(L"[-HKEY_CURRENT_USER\\") + kFileExts + L"\\.txt]", L"",
                       std::wstring(L"[HKEY_CURRENT_USER\\") + kFileExts + L"\\.txt]", L"\"Progid\"=\"x\"", L"",
                       std::wstring(L"[-HKEY_CURRENT_USER\\") + kMru + L"\\.txt]", L""}));
  EXPECT_EQ(notices_.Count(), 0);
}

TEST_F(Backups, RestoringTheBackupUndoesEachChangeAndRestoringAgainRedoesIt) {
  struct Case {
    const char* what;
    std::function<void()> state;
    std::function<std::wstring()> backup;
    std::function<void()> change;
    const wchar_t* extension;
    const wchar_t* operation;
  };
  const auto userRecords = [](const wchar_t* extension) {
    WriteValue(HKEY_CURRENT_USER, std::wstring(kFileExts) + L"\\" + extension, L"Progid", REG_SZ, L"p");
    WriteValue(HKEY_CURRENT_USER, std::wstring(kMru) + L"\\" + extension, L"MRUListEx", REG_BINARY, L"");
  };
  const Case cases[] = {
      {"registering a new extension", [&] { userRecords(L".new"); }, [] { return assoc::BackupBeforeLink(L".new"); },
       [] { TLinkExtention::Link(L".new", L"a.exe %1", L"a.ico", 1, L""); }, L".new", L"登録"},
      {"registering over another association",
       [&] {
         WriteValue(HKEY_CLASSES_ROOT, L".txt", L"", REG_SZ, L"txtfile");
         WriteValue(HKEY_CLASSES_ROOT, L".txt\\ShellNew", L"NullFile", REG_SZ, L"");
         WriteValue(HKEY_CLASSES_ROOT, L"TXTFILE", L"", REG_EXPAND_SZ, L"%Text%");
         WriteValue(HKEY_CLASSES_ROOT, L"TXTFILE\\DefaultIcon", L"", REG_SZ, L"old.ico,1");
         userRecords(L".txt");
       },
       [] { return assoc::BackupBeforeLink(L".txt"); },
       [] { TLinkExtention::Link(L".txt", L"b.exe %1", L"b.ico", 2, L"テキスト"); }, L".txt", L"登録"},
      {"deleting", [&] {
         WriteValue(HKEY_CLASSES_ROOT, L".doc", L"", REG_SZ, L"docfile");
         WriteValue(HKEY_CLASSES_ROOT, L"docfile\\shell\\open\\command", L"", REG_SZ, L"w.exe %1");
         userRecords(L".doc");
       },
       [] { return assoc::BackupBeforeUnlink(L".doc"); }, [] { TLinkExtention::Unlink(L".doc"); }, L".doc", L"削除"},
      {"deleting one of two that share a file type",
       [] {
         WriteValue(HKEY_CLASSES_ROOT, L".txt", L"", REG_SZ, L"txtfile");
         WriteValue(HKEY_CLASSES_ROOT, L".log", L"", REG_SZ, L"txtfile");
         WriteValue(HKEY_CLASSES_ROOT, L"txtfile\\shell\\open\\command", L"", REG_SZ, L"n.exe %1");
       },
       [] { return assoc::BackupBeforeUnlink(L".LOG"); }, [] { TLinkExtention::Unlink(L".LOG"); }, L".LOG", L"削除"},
      {"removing a per-user choice",
       [] {
         WriteValue(HKEY_CURRENT_USER, std::wstring(kFileExts) + L"\\.pdf\\UserChoice", L"Hash", REG_SZ, L"h");
         WriteValue(HKEY_CURRENT_USER, std::wstring(kFileExts) + L"\\.pdf\\OpenWithList", L"a", REG_SZ, L"r.exe");
         WriteValue(HKEY_CURRENT_USER, L"Software\\Classes\\.pdf", L"", REG_SZ, L"pdffile");
       },
       [] { return assoc::BackupBeforeRemoveUserChoice(L".pdf"); },
       [] {
         RegDeleteTreeW(HKEY_CURRENT_USER, (std::wstring(kFileExts) + L"\\.pdf\\UserChoice").c_str());
         RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Classes\\.pdf");
       },
       L".pdf", L"利用者の選択の削除"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ClearRegistry();
    testsupport::TempFolder appData;
    appDataPath_ = appData.Path();
    const int noticesBefore = notices_.Count();
    c.state();
    const std::wstring before = Registry();

    const std::wstring backup = c.backup();
    EXPECT_EQ(Registry(), before) << "a backup writes nothing";
    c.change();
    const std::wstring after = Registry();
    ASSERT_NE(after, before);
    const int changeNotices = notices_.Count() - noticesBefore;

    const std::optional<assoc::TBackupFile> newest = assoc::NewestBackup();
    ASSERT_TRUE(newest);
    EXPECT_EQ(newest->Path, backup);
    EXPECT_EQ(newest->Name.Extension, c.extension);
    EXPECT_EQ(assoc::BackupOperationName(newest->Name.Operation), c.operation);
    const assoc::TRestoreResult undone = assoc::RestoreBackup(newest->Path);
    EXPECT_EQ(TreeDifference(before, Registry()), L"");
    EXPECT_EQ(notices_.Count() - noticesBefore, changeNotices + 1);

    // The restore saved what it overwrote: restoring that puts the change back.
    const std::optional<assoc::TBackupFile> redo = assoc::NewestBackup();
    ASSERT_TRUE(redo);
    EXPECT_EQ(redo->Path, undone.BackupPath);
    EXPECT_EQ(redo->Name.Extension, c.extension);
    EXPECT_EQ(redo->Name.Operation, TBackupOperation::Restore);
    assoc::RestoreBackup(redo->Path);
    EXPECT_EQ(TreeDifference(after, Registry()), L"");
    EXPECT_EQ(testsupport::FolderEntries(appData / L"Tavrelo\\Backups").size(), 3u) << "none was removed";
  }
}

TEST_F(Backups, ARestoreOfAFileFromElsewhereWritesManagedKeysWhereverTheyLie) {
  // The parents of the managed keys are there, as on every system.
  CreateKey(HKEY_CURRENT_USER, L"Software\\Classes");
  CreateKey(HKEY_CURRENT_USER, kFileExts);
  const std::wstring file = appData_ / L"mine.reg";
  testsupport::WriteBytes(
      file, RegFileOf({L"[hkey_local_machine\\SOFTWARE\\Classes\\.m]", L"@=\"mfile\"",
                       L"[HKEY_CURRENT_USER\\Software\\Classes\\..\\..\\Run]", L"\"x\"=\"y\"",
                       L"[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.m]"}));
  const std::wstring before = Registry();
  const assoc::TRestoreResult result = assoc::RestoreBackup(file);

  EXPECT_EQ(assoctest::TextDefault(L".m"), L"mfile") << "the machine's classes are the classes root";
  EXPECT_EQ(testsupport::ReadValue(HKEY_CURRENT_USER, L"Software\\Classes\\..\\..\\Run", L"x").text, L"y");
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, L"Run"));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, std::wstring(kFileExts) + L"\\.m"));
  EXPECT_EQ(common::ExtractFileName(result.BackupPath), L"20240503-134501-007  復元.reg");
  assoc::RestoreBackup(result.BackupPath);
  EXPECT_EQ(TreeDifference(before, Registry()), L"") << "and the missing parents it created go again";
}

TEST_F(Backups, ARestoreRefusesAFileThatNamesOtherKeysOrDoesNotParseBeforeWritingAnything) {
  using namespace assoc::texts;
  WriteValue(HKEY_CLASSES_ROOT, L".txt", L"", REG_SZ, L"txtfile");
  WriteValue(HKEY_CURRENT_USER, L"Software\\Other", L"", REG_SZ, L"o");
  const std::wstring before = Registry();
  const std::wstring good = L"[HKEY_CLASSES_ROOT\\.txt]";
  struct Case {
    const char* what;
    std::string bytes;
    std::wstring fault;
  };
  const Case cases[] = {
      {"another root", RegFileOf({good, L"@=\"changed\"", L"", L"[HKEY_CURRENT_USER\\Software\\Other]", L"@=\"x\""}),
       LineFault(5, ForeignKey(L"HKEY_CURRENT_USER\\Software\\Other"))},
      {"the classes root itself", RegFileOf({good, L"[-HKEY_CLASSES_ROOT]"}),
       LineFault(3, ForeignKey(L"HKEY_CLASSES_ROOT"))},
      {"a managed key's parent", RegFileOf({L"[-HKEY_CURRENT_USER\\Software\\Classes]"}),
       LineFault(2, ForeignKey(L"HKEY_CURRENT_USER\\Software\\Classes"))},
      {"a look-alike", RegFileOf({L"[HKEY_CURRENT_USER\\Software\\ClassesX\\.txt]"}),
       LineFault(2, ForeignKey(L"HKEY_CURRENT_USER\\Software\\ClassesX\\.txt"))},
      {"another user", RegFileOf({L"[HKEY_USERS\\.DEFAULT\\Software\\Classes\\.txt]"}),
       LineFault(2, ForeignKey(L"HKEY_USERS\\.DEFAULT\\Software\\Classes\\.txt"))},
      {"an abbreviated root", RegFileOf({good, L"[HKCR\\.txt]"}), LineFault(3, kUnknownRoot)},
      {"a line that does not parse", RegFileOf({good, L"@=\"changed\"", L"\"v\"=hex:00,\\", L"  zz"}),
       LineFault(5, kBadHex)},
      {"no registry file", "plain text", LineFault(1, kNotRegFile)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::wstring file = appData_ / L"hostile.reg";
    testsupport::WriteBytes(file, c.bytes);
    EXPECT_EQ(MessageOf([&] { assoc::RestoreBackup(file); }), CannotRestore(L"hostile.reg", c.fault));
    EXPECT_EQ(Registry(), before);
    EXPECT_EQ(Files(), Names{}) << "nor was a backup taken";
  }
  EXPECT_EQ(CannotRestore(L"hostile.reg", LineFault(5, ForeignKey(L"HKEY_CURRENT_USER\\Software\\Other"))),
            L"ファイル「hostile.reg」から復元できません。\n5行目：キー「HKEY_CURRENT_USER\\Software\\Other」は"
            L"このソフトウェアが扱うキーではありません。\n何も変更していません。");
  EXPECT_EQ(MessageOf([&] { assoc::RestoreBackup(appData_ / L"missing.reg"); }),
            L"ファイル「missing.reg」を読み込めませんでした。\n何も変更していません。");
  EXPECT_EQ(notices_.Count(), 0);
}

TEST_F(Backups, AFailedBackupRaisesBeforeTheChangeAndWritesNothing) {
  WriteValue(HKEY_CLASSES_ROOT, L".txt", L"", REG_SZ, L"txtfile");
  WriteValue(HKEY_CLASSES_ROOT, L"txtfile", L"", REG_SZ, L"Text");
  const std::wstring before = Registry();
  const std::wstring file = testsupport::Written(appData_ / L"undo.reg", RegFileOf({L"[-HKEY_CLASSES_ROOT\\.txt]"}));
  const std::wstring failed = L"バックアップを保存できませんでした。変更は行いません。\n";

  // The local application data folder is a file, so no folder can be made in it.
  appDataPath_ = testsupport::Written(appData_ / L"not a folder", "x");
  EXPECT_EQ(MessageOf([] { assoc::BackupBeforeUnlink(L".txt"); }),
            failed + L"フォルダー「" + appDataPath_ + L"\\Tavrelo」を作成できませんでした。");
  EXPECT_EQ(MessageOf([&] { assoc::RestoreBackup(file); }),
            failed + L"フォルダー「" + appDataPath_ + L"\\Tavrelo」を作成できませんでした。");
  appDataPath_ = L"";
  EXPECT_EQ(MessageOf([] { assoc::BackupBeforeLink(L".txt"); }),
            failed + L"ローカル アプリケーション データのフォルダーが見つかりません。");
  EXPECT_EQ(Registry(), before);

  // A key name that no registry file can hold.
  appDataPath_ = appData_.Path();
  CreateKey(HKEY_CLASSES_ROOT, L"txtfile\\line\nbreak");
  const std::wstring withBreak = Registry();
  EXPECT_EQ(MessageOf([] { assoc::BackupBeforeUnlink(L".txt"); }),
            failed + L"改行や NUL 文字を含む名前は、レジストリ ファイルに書けません。");
  EXPECT_EQ(Registry(), withBreak);
  EXPECT_EQ(Files(), Names{});
  EXPECT_EQ(notices_.Count(), 0);
}

TEST_F(Backups, ExtensionsTheStoreWouldRefuseAreRefusedBeforeAnythingIsSaved) {
  for (const wchar_t* extension : {L"", L".", L"txt", L".a\\b"})
    EXPECT_EQ(MessageOf([&] { assoc::BackupBeforeLink(extension); }), L"拡張子に間違いがあります。");
  for (const std::wstring& extension : {std::wstring(L""), std::wstring(L".a\\b"), std::wstring(L".t\0x", 4)}) {
    EXPECT_EQ(MessageOf([&] { assoc::BackupBeforeUnlink(extension); }), L"拡張子に間違いがあります。");
    EXPECT_EQ(MessageOf([&] { assoc::BackupBeforeRemoveUserChoice(extension); }), L"拡張子に間違いがあります。");
  }
  EXPECT_FALSE(testsupport::FolderEntries(appData_.Path()).size());
  // The store takes "." and "txt" for a delete, so their backups are taken too.
  assoc::BackupBeforeUnlink(L".");
  assoc::BackupBeforeUnlink(L"txt");
  EXPECT_EQ(Files().size(), 2u);
}

}  // namespace
