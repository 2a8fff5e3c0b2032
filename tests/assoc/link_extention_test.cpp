#include "assoc/link_extention.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <typeinfo>
#include <vector>

#include "assoc/link_extention_base.h"
#include "assoc/link_extention_winvista.h"
#include "assoc/link_extention_winxp.h"
#include "assoc/store_fixture.h"
#include "common/exception.h"

namespace {

using assoctest::SubKeyNames;
using assoctest::TextDefault;

TEST(CreateLinkExtention, ChoosesTheCleanUpStoreFromWindows6On) {
  struct Case {
    assoc::WindowsVersion version;
    const std::type_info& type;
  };
  const Case cases[] = {
      {{0, 0}, typeid(TLinkExtentionWinXp)},     {{5, 0}, typeid(TLinkExtentionWinXp)},
      {{5, 1}, typeid(TLinkExtentionWinXp)},     {{5, 2}, typeid(TLinkExtentionWinXp)},
      {{6, 0}, typeid(TLinkExtentionWinVista)},  {{6, 1}, typeid(TLinkExtentionWinVista)},
      {{6, 3}, typeid(TLinkExtentionWinVista)},  {{10, 0}, typeid(TLinkExtentionWinVista)},
  };
  for (const Case& c : cases) {
    const std::unique_ptr<TLinkExtentionBase> store = CreateLinkExtention(c.version);
    ASSERT_TRUE(store);
    EXPECT_EQ(typeid(*store), c.type) << c.version.Major << "." << c.version.Minor;
  }
}

TEST(CreateLinkExtention, ReadsTheRunningVersion) {
  const assoc::WindowsVersion version = assoc::RunningWindowsVersion();
  EXPECT_GE(version.Major, 5u) << "GetVersionExW answers under Windows and Wine alike";
  const std::unique_ptr<TLinkExtentionBase> store = CreateLinkExtention();
  EXPECT_EQ(typeid(*store), version.Major >= 6 ? typeid(TLinkExtentionWinVista) : typeid(TLinkExtentionWinXp));
}

// Records what the facade asks of it and when it is destroyed.
struct ProbeLog {
  int created = 0;
  int destroyed = 0;
  std::vector<std::wstring> calls;
};

// An implementation whose Link and Unlink raise for the extension "!".
class Probe : public TLinkExtentionBase {
 public:
  explicit Probe(ProbeLog& log) : log_(log) { ++log_.created; }
  ~Probe() override { ++log_.destroyed; }

  void Link(const std::wstring& Extention, const std::wstring& Command, const std::wstring& IconFile, int IconIndex,
            const std::wstring& FileType) override {
    log_.calls.push_back(L"Link " + Extention + L"|" + Command + L"|" + IconFile + L"|" + std::to_wstring(IconIndex) +
                         L"|" + FileType);
    if (Extention == L"!") throw ERegistryException(L"'' の設定に失敗しました");
  }
  TLinkExtention::TUnlinkResult Unlink(const std::wstring& Extention) override {
    log_.calls.push_back(L"Unlink " + Extention);
    if (Extention == L"!") throw Exception(L"拡張子に間違いがあります。");
    return {L"kept", TLinkExtention::TFileTypeKept::Shared, {L".y"}};
  }
  void PlanLink(assoc::TPlanBuilder&, const std::wstring& Extention, const std::wstring&, const std::wstring&, int,
                const std::wstring&) override {
    Unexpected(L"PlanLink " + Extention);
  }
  TLinkExtention::TUnlinkResult PlanUnlink(assoc::TPlanBuilder&, const std::wstring& Extention) override {
    Unexpected(L"PlanUnlink " + Extention);
    return {};
  }
  std::wstring GetCommand(const std::wstring& Extention) override {
    log_.calls.push_back(L"GetCommand " + Extention);
    return L"command";
  }
  std::wstring GetAppFile(const std::wstring& Extention) override { return Unexpected(L"GetAppFile " + Extention); }
  std::wstring GetFileTypeKey(const std::wstring& Extention) override {
    return Unexpected(L"GetFileTypeKey " + Extention);
  }
  HICON GetSmallIcon(const std::wstring& Extention) override {
    Unexpected(L"GetSmallIcon " + Extention);
    return nullptr;
  }
  std::wstring GetFileType(const std::wstring& Extention) override {
    log_.calls.push_back(L"GetFileType " + Extention);
    return L"type";
  }
  TLinkExtention::TIconInfo GetIconInfo(const std::wstring& Extention) override {
    log_.calls.push_back(L"GetIconInfo " + Extention);
    return {L"icon", -3};
  }

 private:
  std::wstring Unexpected(const std::wstring& call) {
    log_.calls.push_back(call);
    return {};
  }
  ProbeLog& log_;
};

TEST(TLinkExtentionFacade, EachCallRunsOneOperationOnItsOwnImplementationAndDestroysIt) {
  ProbeLog log;
  const auto probe = assoc::CreateFacadeImplementation.Replace([&] { return std::make_unique<Probe>(log); });

  TLinkExtention::Link(L".x", L"cmd %1", L"a.ico", -7, L"desc");
  EXPECT_EQ(log.destroyed, 1);
  const TLinkExtention::TUnlinkResult unlinked = TLinkExtention::Unlink(L".x");
  EXPECT_EQ(unlinked.FileTypeKey, L"kept");
  EXPECT_EQ(unlinked.Kept, TLinkExtention::TFileTypeKept::Shared);
  EXPECT_EQ(unlinked.SharedWith, std::vector<std::wstring>{L".y"});
  EXPECT_EQ(TLinkExtention::GetCommand(L".x"), L"command");
  EXPECT_EQ(TLinkExtention::GetFileType(L".x"), L"type");
  const TLinkExtention::TIconInfo icon = TLinkExtention::GetIconInfo(L".x");
  EXPECT_EQ(icon.IconFile, L"icon");
  EXPECT_EQ(icon.IconIndex, -3);

  EXPECT_EQ(log.calls, (std::vector<std::wstring>{L"Link .x|cmd %1|a.ico|-7|desc", L"Unlink .x", L"GetCommand .x",
                                                  L"GetFileType .x", L"GetIconInfo .x"}));
  EXPECT_EQ(log.created, 5);
  EXPECT_EQ(log.destroyed, 5);
}

TEST(TLinkExtentionFacade, AnErrorReachesTheCallerUnchangedAfterTheImplementationIsDestroyed) {
  ProbeLog log;
  const auto probe = assoc::CreateFacadeImplementation.Replace([&] { return std::make_unique<Probe>(log); });

  try {
    TLinkExtention::Link(L"!", L"", L"", 0, L"");
    ADD_FAILURE() << "Link raised nothing";
  } catch (const Exception& e) {
    EXPECT_EQ(typeid(e), typeid(ERegistryException));
    EXPECT_EQ(e.Message(), L"'' の設定に失敗しました");
    EXPECT_EQ(log.destroyed, 1);
  }
  try {
    TLinkExtention::Unlink(L"!");
    ADD_FAILURE() << "Unlink raised nothing";
  } catch (const Exception& e) {
    EXPECT_EQ(typeid(e), typeid(Exception));
    EXPECT_EQ(e.Message(), L"拡張子に間違いがあります。");
    EXPECT_EQ(log.destroyed, 2);
  }
  EXPECT_EQ(log.created, 2);
}

class TLinkExtentionOnTheRegistry : public assoctest::StoreTest {};

TEST_F(TLinkExtentionOnTheRegistry, RegistersReadsBackAndRemovesAnAssociation) {
  TLinkExtention::Link(L".tav", L"\"C:\\x\\t.exe\" \"%1\"", L"C:\\x\\t.exe", 1, L"Tavrelo 設定");
  EXPECT_EQ(TextDefault(L"tavFile"), L"Tavrelo 設定");
  EXPECT_EQ(TLinkExtention::GetCommand(L".tav"), L"\"C:\\x\\t.exe\" \"%1\"");
  EXPECT_EQ(TLinkExtention::GetFileType(L".tav"), L"Tavrelo 設定");
  const TLinkExtention::TIconInfo icon = TLinkExtention::GetIconInfo(L".tav");
  EXPECT_EQ(icon.IconFile, L"C:\\x\\t.exe");
  EXPECT_EQ(icon.IconIndex, 1);

  EXPECT_EQ(assoctest::MessageOf([] { TLinkExtention::Link(L"tav", L"a", L"a.ico", 0, L""); }),
            assoctest::kWrongExtention);
  TLinkExtention::Unlink(L".tav");
  EXPECT_TRUE(SubKeyNames(HKEY_CLASSES_ROOT).empty());
  EXPECT_EQ(notices_.Count(), 2);
}

TEST_F(TLinkExtentionOnTheRegistry, ReadsOfTheEmptyExtentionAreEmptyAndTouchNothing) {
  EXPECT_EQ(TLinkExtention::GetCommand(L""), L"");
  EXPECT_EQ(TLinkExtention::GetFileType(L""), L"");
  const TLinkExtention::TIconInfo icon = TLinkExtention::GetIconInfo(L"");
  EXPECT_EQ(icon.IconFile, L"");
  EXPECT_EQ(icon.IconIndex, 0);
  EXPECT_TRUE(SubKeyNames(HKEY_CLASSES_ROOT).empty());
  EXPECT_TRUE(SubKeyNames(HKEY_CURRENT_USER).empty());
}

}  // namespace
