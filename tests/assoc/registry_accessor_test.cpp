#include "assoc/registry_accessor.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "assoc/store_fixture.h"
#include "common/exception.h"
#include "support/registry_sandbox.h"

namespace {

using assoc::RegistryAccessor;
using assoctest::SubKeyNames;
using Names = std::vector<std::wstring>;
using testsupport::CreateKey;
using testsupport::KeyExists;
using testsupport::ReadValue;
using testsupport::WriteValue;

class RegistryAccessorTest : public testing::Test {
 protected:
  // Sets a value of root\path to raw bytes, as software other than the store may have.
  static void WriteRaw(const std::wstring& path, const std::wstring& name, DWORD type, const void* data, DWORD size) {
    common::UniqueHKey key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(),
                              nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(key.get(), name.c_str(), 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
  }

  // The message of the ERegistryException that call raises.
  template <typename Call>
  static std::wstring RegistryErrorOf(Call&& call) {
    try {
      call();
    } catch (const ERegistryException& e) {
      return e.Message();
    }
    ADD_FAILURE() << "no ERegistryException was raised";
    return L"<no exception>";
  }

  testsupport::RegistrySandbox sandbox_;
};

TEST_F(RegistryAccessorTest, PathsResolveFromTheOpenKeyOrFromTheRootAfterALeadingBackslash) {
  RegistryAccessor registry;
  registry.SetRootKey(HKEY_CLASSES_ROOT);

  ASSERT_TRUE(registry.OpenKey(L"A\\B", true));  // both levels missing
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, L"A\\B"));
  ASSERT_TRUE(registry.OpenKey(L"C", true));
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, L"A\\B\\C")) << "a relative path starts at the open key";

  ASSERT_TRUE(registry.OpenKey(L"\\A", false));
  registry.WriteString(L"at", L"A");
  EXPECT_EQ(ReadValue(HKEY_CLASSES_ROOT, L"A", L"at").text, L"A") << "a leading backslash starts at the root";

  ASSERT_TRUE(registry.OpenKey(L"", false));
  registry.WriteString(L"empty", L"A");
  EXPECT_EQ(ReadValue(HKEY_CLASSES_ROOT, L"A", L"empty").text, L"A") << "the empty path opens the open key itself";

  const HKEY before = registry.CurrentKey();
  EXPECT_FALSE(registry.OpenKey(L"Missing", false));
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"A\\Missing"));
  EXPECT_EQ(registry.CurrentKey(), before) << "a failed open keeps the open key";

  registry.CloseKey();
  EXPECT_EQ(registry.CurrentKey(), nullptr);
  ASSERT_TRUE(registry.OpenKey(L"", false));
  registry.WriteString(L"root", L"yes");
  EXPECT_EQ(ReadValue(sandbox_.Classes(), L"", L"root").text, L"yes") << "with no open key, the empty path is the root";
  ASSERT_TRUE(registry.OpenKey(L"\\", true));
  EXPECT_EQ(SubKeyNames(HKEY_CLASSES_ROOT), (Names{L"A"})) << "\\ alone names the root";
}

TEST_F(RegistryAccessorTest, ANewRootClosesTheOpenKeyTheSameRootKeepsIt) {
  RegistryAccessor registry;
  EXPECT_EQ(registry.RootKey(), HKEY_CURRENT_USER);
  ASSERT_TRUE(registry.OpenKey(L"U", true));
  EXPECT_TRUE(KeyExists(sandbox_.User(), L"U"));

  registry.SetRootKey(HKEY_CURRENT_USER);
  EXPECT_NE(registry.CurrentKey(), nullptr);
  registry.SetRootKey(HKEY_CLASSES_ROOT);
  EXPECT_EQ(registry.CurrentKey(), nullptr);
  ASSERT_TRUE(registry.OpenKey(L"C", true));
  EXPECT_TRUE(KeyExists(sandbox_.Classes(), L"C"));
  EXPECT_FALSE(KeyExists(sandbox_.User(), L"U\\C"));
}

TEST_F(RegistryAccessorTest, PathsThatWindowsCannotTakeAsWrittenFail) {
  const std::wstring fits(255, L'k');
  const std::wstring tooLong(256, L'k');
  struct Case {
    std::wstring path;
    bool opens;
  };
  const Case cases[] = {
      {fits, true},
      {L"A\\" + fits + L"\\B", true},
      {tooLong, false},
      {L"A\\" + tooLong + L"\\B", false},
      {L"\\" + tooLong, false},
      // The API would end these at the NUL, at the root or at A.
      {std::wstring(L"\0A", 2), false},
      {std::wstring(L"A\0\\B", 4), false},
  };
  for (const Case& c : cases) {
    for (bool create : {true, false}) {
      RegistryAccessor registry;
      registry.SetRootKey(HKEY_CLASSES_ROOT);
      if (!create) {
        // Made behind the accessor's back; Wine takes a 256-character name, Windows does not.
        common::UniqueHKey made;
        RegCreateKeyExW(HKEY_CLASSES_ROOT, c.path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, made.put(), nullptr);
      }
      const Names rootBefore = SubKeyNames(HKEY_CLASSES_ROOT);
      const Names aBefore = SubKeyNames(HKEY_CLASSES_ROOT, L"A");
      EXPECT_EQ(registry.OpenKey(c.path, create), c.opens) << c.path.size() << " create " << create;
      if (!c.opens) {
        EXPECT_EQ(SubKeyNames(HKEY_CLASSES_ROOT), rootBefore) << "nothing is created";
        EXPECT_EQ(SubKeyNames(HKEY_CLASSES_ROOT, L"A"), aBefore);
      }
      registry.CloseKey();
      EXPECT_EQ(registry.DeleteKey(c.path), c.opens) << c.path.size();
    }
  }
}

TEST_F(RegistryAccessorTest, WriteStringStoresRegSzWithItsTerminator) {
  const std::wstring texts[] = {L"", L"txtFile", L"テキスト ファイル", L"%SystemRoot%\\a.exe,-1"};
  RegistryAccessor registry;
  registry.SetRootKey(HKEY_CLASSES_ROOT);
  ASSERT_TRUE(registry.OpenKey(L"W", true));
  for (const std::wstring& text : texts) {
    for (const wchar_t* name : {L"", L"Named"}) {
      registry.WriteString(name, text);
      DWORD type = REG_NONE;
      DWORD size = 0;
      ASSERT_EQ(RegQueryValueExW(registry.CurrentKey(), name, nullptr, &type, nullptr, &size), ERROR_SUCCESS);
      EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
      EXPECT_EQ(size, (text.size() + 1) * sizeof(wchar_t)) << testing::PrintToString(text);
      EXPECT_EQ(ReadValue(HKEY_CLASSES_ROOT, L"W", name).text, text);
      EXPECT_EQ(registry.ReadString(name), text);
    }
  }
}

TEST_F(RegistryAccessorTest, WriteStringFailureNamesTheValue) {
  CreateKey(HKEY_CLASSES_ROOT, L"R");
  RegistryAccessor readOnly(KEY_READ);
  readOnly.SetRootKey(HKEY_CLASSES_ROOT);
  ASSERT_TRUE(readOnly.OpenKey(L"R", false));
  EXPECT_EQ(RegistryErrorOf([&] { readOnly.WriteString(L"Value", L"x"); }), L"'Value' の設定に失敗しました");
  EXPECT_EQ(RegistryErrorOf([&] { readOnly.WriteString(L"", L"x"); }), L"'' の設定に失敗しました");

  RegistryAccessor nothingOpen;
  EXPECT_EQ(RegistryErrorOf([&] { nothingOpen.WriteString(L"", L"x"); }), L"'' の設定に失敗しました");
}

TEST_F(RegistryAccessorTest, ReadStringTakesTextUpToTheFirstNulWhateverTheStoredBytes) {
  struct Case {
    const char* what;
    DWORD type;
    std::wstring bytes;  // stored as raw UTF-16 code units
    DWORD size;          // bytes stored
    std::wstring expected;
  };
  const std::wstring longText(20000, L'x');
  const Case cases[] = {
      {"terminated", REG_SZ, L"abc", 8, L"abc"},
      {"unterminated", REG_SZ, L"abc", 6, L"abc"},
      {"embedded NUL", REG_SZ, std::wstring(L"ab\0cd", 6), 12, L"ab"},
      {"odd byte count", REG_SZ, L"ab", 3, L"a"},
      {"size 0", REG_SZ, L"", 0, L""},
      {"REG_EXPAND_SZ left unexpanded", REG_EXPAND_SZ, L"%SystemRoot%\\x.dll", 38, L"%SystemRoot%\\x.dll"},
      {"binary of size 0", REG_BINARY, L"", 0, L""},
      {"long", REG_SZ, longText, 40000, longText},
  };
  RegistryAccessor registry;
  registry.SetRootKey(HKEY_CLASSES_ROOT);
  for (const Case& c : cases) {
    WriteRaw(L"V", L"", c.type, c.bytes.data(), c.size);
    ASSERT_TRUE(registry.OpenKey(L"\\V", false));
    EXPECT_EQ(registry.ReadString(L""), c.expected) << c.what;
  }
  EXPECT_EQ(registry.ReadString(L"absent"), L"");
}

TEST_F(RegistryAccessorTest, ReadStringOfOtherTypesRaisesWithTheValueName) {
  WriteValue(HKEY_CLASSES_ROOT, L"T", L"", REG_DWORD, L"7");
  const wchar_t multi[] = L"a\0b\0";
  WriteRaw(L"T", L"Multi", REG_MULTI_SZ, multi, sizeof multi);
  const BYTE bytes[] = {1, 2, 3};
  WriteRaw(L"T", L"Bin", REG_BINARY, bytes, sizeof bytes);

  RegistryAccessor registry;
  registry.SetRootKey(HKEY_CLASSES_ROOT);
  ASSERT_TRUE(registry.OpenKey(L"T", false));
  EXPECT_EQ(RegistryErrorOf([&] { registry.ReadString(L""); }), L"'' のデータ型が不正です");
  EXPECT_EQ(RegistryErrorOf([&] { registry.ReadString(L"Multi"); }), L"'Multi' のデータ型が不正です");
  EXPECT_EQ(RegistryErrorOf([&] { registry.ReadString(L"Bin"); }), L"'Bin' のデータ型が不正です");
}

TEST_F(RegistryAccessorTest, DeleteKeyWithFullAccessRemovesTheKeyWithAllLevelsBelowIt) {
  CreateKey(HKEY_CLASSES_ROOT, L"P\\Gone\\shell\\open\\command");
  CreateKey(HKEY_CLASSES_ROOT, L"P\\Gone\\shell\\print\\command");
  WriteValue(HKEY_CLASSES_ROOT, L"P\\Gone\\DefaultIcon", L"", REG_SZ, L"a.ico,0");
  CreateKey(HKEY_CLASSES_ROOT, L"P\\Gone2");
  CreateKey(HKEY_CLASSES_ROOT, L"P\\Stays\\Gone");

  RegistryAccessor registry;
  registry.SetRootKey(HKEY_CLASSES_ROOT);
  EXPECT_TRUE(registry.DeleteKey(L"P\\Gone"));
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"P\\Gone"));
  EXPECT_FALSE(registry.DeleteKey(L"P\\Gone")) << "a missing key answers no";

  ASSERT_TRUE(registry.OpenKey(L"P\\Stays", false));
  const HKEY open = registry.CurrentKey();
  EXPECT_TRUE(registry.DeleteKey(L"Gone")) << "a relative path starts at the open key";
  EXPECT_EQ(registry.CurrentKey(), open);
  EXPECT_EQ(SubKeyNames(HKEY_CLASSES_ROOT, L"P"), (Names{L"Gone2", L"Stays"}));
  EXPECT_TRUE(SubKeyNames(HKEY_CLASSES_ROOT, L"P\\Stays").empty());
}

TEST_F(RegistryAccessorTest, DeleteKeyWithoutTheRightToQueryRemovesOnlyAKeyWithoutSubKeys) {
  struct Case {
    const char* what;
    REGSAM access;
    bool removesSubKeys;
  };
  // Windows refuses RegQueryInfoKeyW without KEY_QUERY_VALUE; Wine answers it, so the mask
  // alone must decide for both to remove the same keys.
  const Case cases[] = {
      {"KEY_WRITE", KEY_WRITE, false},
      {"KEY_WRITE | KEY_ENUMERATE_SUB_KEYS", KEY_WRITE | KEY_ENUMERATE_SUB_KEYS, false},
      {"KEY_WRITE | KEY_READ", KEY_WRITE | KEY_READ, true},
      {"KEY_ALL_ACCESS", KEY_ALL_ACCESS, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CreateKey(HKEY_CLASSES_ROOT, L"Parent\\Child");
    CreateKey(HKEY_CLASSES_ROOT, L"Leaf");
    RegistryAccessor registry(c.access);
    registry.SetRootKey(HKEY_CLASSES_ROOT);
    EXPECT_EQ(registry.DeleteKey(L"Parent"), c.removesSubKeys);
    EXPECT_EQ(KeyExists(HKEY_CLASSES_ROOT, L"Parent\\Child"), !c.removesSubKeys);
    EXPECT_TRUE(registry.DeleteKey(L"\\Leaf"));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"Leaf"));
    RegDeleteTreeW(HKEY_CLASSES_ROOT, L"Parent");
  }
}

TEST_F(RegistryAccessorTest, DeleteKeyNeverRemovesTheBaseKey) {
  CreateKey(HKEY_CLASSES_ROOT, L"A\\B");
  CreateKey(HKEY_CLASSES_ROOT, L"Other");
  for (REGSAM access : {static_cast<REGSAM>(KEY_ALL_ACCESS), static_cast<REGSAM>(KEY_WRITE)}) {
    for (const wchar_t* path : {L"", L"\\", L"\\\\", L"\\\\\\"}) {
      RegistryAccessor registry(access);
      registry.SetRootKey(HKEY_CLASSES_ROOT);
      EXPECT_FALSE(registry.DeleteKey(path)) << testing::PrintToString(std::wstring(path));
      ASSERT_TRUE(registry.OpenKey(L"A", false));
      EXPECT_FALSE(registry.DeleteKey(path));
    }
  }
  EXPECT_EQ(SubKeyNames(HKEY_CLASSES_ROOT), (Names{L"A", L"Other"}));
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, L"A\\B"));
}

}  // namespace
