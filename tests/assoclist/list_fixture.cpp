#include "list_fixture.h"

#include "common/handles.h"

namespace listtest {

namespace {

constexpr wchar_t kClasses[] = L"Software\\Classes\\";
constexpr wchar_t kFileExts[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\";

}  // namespace

void Apply(const std::vector<Write>& writes) {
  for (const Write& w : writes) {
    const HKEY root = w.where == Machine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    const std::wstring path = (w.where == Choice ? kFileExts : kClasses) + w.path;
    if (w.type == REG_DWORD || w.type == REG_SZ || w.type == REG_EXPAND_SZ) {
      testsupport::WriteValue(root, path, w.name, w.type, w.data);
      continue;
    }
    common::UniqueHKey key;
    ASSERT_EQ(RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(key.get(), w.name, 0, w.type, reinterpret_cast<const BYTE*>(w.data.data()),
                             static_cast<DWORD>(w.data.size() * sizeof(wchar_t))),
              ERROR_SUCCESS);
  }
}

std::vector<Write> Classic(const std::wstring& extension) {
  const std::wstring type = extension.substr(1) + L"File";
  return {
      {Machine, extension, L"", type},
      {Machine, type, L"", extension.substr(1) + L"ファイル"},
      {Machine, type + L"\\Shell\\open\\command", L"", L"\"C:\\Tools\\" + extension.substr(1) + L".exe\" \"%1\""},
      {Machine, type + L"\\DefaultIcon", L"", L"C:\\Tools\\" + extension.substr(1) + L".exe,0"},
  };
}

std::vector<Write> ClassicAnd(std::vector<Write> more) {
  std::vector<Write> all = Classic();
  all.insert(all.end(), more.begin(), more.end());
  return all;
}

Trees Snapshot(const testsupport::RegistrySandbox& sandbox) {
  return Trees{testsupport::Snapshot(sandbox.Machine()), testsupport::Snapshot(sandbox.User())};
}

}  // namespace listtest
