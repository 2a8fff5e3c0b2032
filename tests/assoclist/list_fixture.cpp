#include "list_fixture.h"

#include <cstring>

#include "common/handles.h"

namespace listtest {

namespace {

constexpr wchar_t kClasses[] = L"Software\\Classes\\";
constexpr wchar_t kFileExts[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\";

using NtQueryKeyFn = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
using NtDeleteKeyFn = LONG(WINAPI*)(HANDLE);

template <typename Fn>
Fn Ntdll(const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), name)));
}

// The full name of a key in the registry's own namespace (\REGISTRY\...).
std::wstring FullName(HKEY key) {
  constexpr int kKeyNameInformation = 3;
  std::vector<BYTE> buffer(4096);
  ULONG got = 0;
  if (Ntdll<NtQueryKeyFn>("NtQueryKey")(key, kKeyNameInformation, buffer.data(), static_cast<ULONG>(buffer.size()),
                                        &got) != 0)
    return {};
  ULONG length = 0;
  std::memcpy(&length, buffer.data(), sizeof length);
  return std::wstring(reinterpret_cast<const wchar_t*>(buffer.data() + sizeof length), length / sizeof(wchar_t));
}

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

void LoopKeys::Add(HKEY root, const std::wstring& path) {
  common::UniqueHKey key;
  ASSERT_EQ(RegCreateKeyExW(root, path.c_str(), 0, nullptr, REG_OPTION_VOLATILE | REG_OPTION_CREATE_LINK,
                            KEY_ALL_ACCESS | KEY_CREATE_LINK, nullptr, key.put(), nullptr),
            ERROR_SUCCESS);
  keys_.emplace_back(root, path);
  const std::wstring self = FullName(key.get());
  ASSERT_FALSE(self.empty());
  // A link's target is its full name, without a terminator.
  ASSERT_EQ(RegSetValueExW(key.get(), L"SymbolicLinkValue", 0, REG_LINK, reinterpret_cast<const BYTE*>(self.data()),
                           static_cast<DWORD>(self.size() * sizeof(wchar_t))),
            ERROR_SUCCESS);
  common::UniqueHKey probe;
  ASSERT_NE(RegOpenKeyExW(root, path.c_str(), 0, KEY_QUERY_VALUE, probe.put()), ERROR_SUCCESS)
      << "a link to itself opened";
}

LoopKeys::~LoopKeys() {
  // The link itself is opened and deleted: deleting the tree above it would follow the link.
  for (const auto& [root, path] : keys_) {
    common::UniqueHKey link;
    if (RegOpenKeyExW(root, path.c_str(), REG_OPTION_OPEN_LINK, DELETE, link.put()) == ERROR_SUCCESS)
      Ntdll<NtDeleteKeyFn>("NtDeleteKey")(link.get());
  }
}

Trees Snapshot(const testsupport::RegistrySandbox& sandbox) {
  return Trees{testsupport::Snapshot(sandbox.Machine()), testsupport::Snapshot(sandbox.User())};
}

}  // namespace listtest
