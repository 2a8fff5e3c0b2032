#pragma once
// What the association store tests share: a sandboxed registry, counted change notices,
// and readers that check the store's records from outside the store.

#include <windows.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "assoc/link_extention_winxp.h"
#include "assoc/reg_file.h"
#include "assoc/shell_assoc.h"
#include "common/exception.h"
#include "support/registry_sandbox.h"

namespace assoctest {

// Counts association change notices instead of sending them to the shell.
class NoticeCounter {
 public:
  NoticeCounter() : scope_(assoc::NotifyAssocChanged.Replace([this] { ++count_; })) {}
  int Count() const { return count_; }

 private:
  int count_ = 0;
  common::Seam<void()>::Scope scope_;
};

// HKEY_CLASSES_ROOT and HKEY_CURRENT_USER redirected into fresh keys, notices counted.
class StoreTest : public testing::Test {
 protected:
  testsupport::RegistrySandbox sandbox_;
  NoticeCounter notices_;
};

// The bytes of a registry file of these lines after its byte-order mark, header and a blank line
// (the first is line 3), UTF-16 with CR LF.
std::string RegFileOf(const std::vector<std::wstring>& lines);

// The direct sub-key names of root\path in the registry's order; empty when it is missing.
std::vector<std::wstring> SubKeyNames(HKEY root, const std::wstring& path = L"");

// The default value of HKEY_CLASSES_ROOT\path when it is REG_SZ; otherwise a marker that
// names what was found instead ("<absent>", "<type 4>").
std::wstring TextDefault(const std::wstring& path);

// What the platform's own association reader answers for the extension (verb "open"),
// or "<hr 0x...>" when it finds nothing.
std::wstring ShellAssocString(ASSOCSTR what, const std::wstring& extension);

// A store implementation driven as the tool drives it, without the policy, backups or history
// around it: its plans applied all or nothing (a failure raises "レジストリを変更できませんでした。"
// and the engine's message on the lines after it), the notice sent after a register that names an
// icon and after every delete, and the record read back with ReadClassicRecord.
class StoreDriver {
 public:
  explicit StoreDriver(std::unique_ptr<TLinkExtentionBase> store) : store_(std::move(store)) {}
  void Link(const std::wstring& extension, const std::wstring& command, const std::wstring& iconFile, int iconIndex,
            const std::wstring& fileType);
  TLinkExtention::TUnlinkResult Unlink(const std::wstring& extension);
  std::wstring GetCommand(const std::wstring& extension) { return assoc::ReadClassicRecord(extension).Command; }
  std::wstring GetFileType(const std::wstring& extension) { return assoc::ReadClassicRecord(extension).FileType; }
  TLinkExtention::TIconInfo GetIconInfo(const std::wstring& extension) {
    return assoc::ReadClassicRecord(extension).Icon;
  }

 private:
  std::unique_ptr<TLinkExtentionBase> store_;
};

// Makes the registry hold what document says, through a plan applied with no policy, backup or
// history: the registry editor's import, done the tool's way.
void ApplyDocument(const assoc::TRegDocument& document);

// The message of the Exception that call raises; a test failure when it raises none.
template <typename Call>
std::wstring MessageOf(Call&& call) {
  try {
    call();
  } catch (const Exception& e) {
    return e.Message();
  }
  ADD_FAILURE() << "no Exception was raised";
  return L"<no exception>";
}

constexpr wchar_t kWrongExtention[] = L"拡張子に間違いがあります。";
constexpr wchar_t kCannotChangeRegistry[] = L"レジストリを変更できませんでした。";

}  // namespace assoctest
