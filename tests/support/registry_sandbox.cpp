#include "support/registry_sandbox.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <cwchar>
#include <iterator>

namespace testsupport {

namespace {

std::atomic<int> g_sandboxSerial{0};
constexpr wchar_t kSandboxParent[] = L"Software\\TavreloTestSandbox";

template <typename Fn>
Fn Ntdll(const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), name)));
}

// The open key's name in the kernel's namespace ("\\REGISTRY\\USER\\..."), which a link holds;
// empty when it cannot be read.
std::wstring KernelName(HKEY key) {
  const auto query = Ntdll<LONG(NTAPI*)(HANDLE, int, void*, ULONG, ULONG*)>("NtQueryKey");
  constexpr int kKeyNameInformation = 3;
  std::vector<BYTE> buffer(4096);
  ULONG size = 0;
  if (!query || query(key, kKeyNameInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &size) != 0)
    return {};
  ULONG length = 0;
  memcpy(&length, buffer.data(), sizeof length);
  return std::wstring(reinterpret_cast<const wchar_t*>(buffer.data() + sizeof length), length / sizeof(wchar_t));
}

}  // namespace

RegistrySandbox::RegistrySandbox(SandboxRoots roots) {
  path_ = std::wstring(kSandboxParent) + L"\\" + std::to_wstring(GetCurrentProcessId()) + L"-" +
          std::to_wstring(++g_sandboxSerial);
  RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str());
  auto create = [&](const wchar_t* leaf, common::UniqueHKey& out) {
    std::wstring p = path_ + L"\\" + leaf;
    LONG r = RegCreateKeyExW(HKEY_CURRENT_USER, p.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                             out.put(), nullptr);
    if (r != ERROR_SUCCESS) ADD_FAILURE() << "sandbox key not created: " << r;
  };
  const bool withMachine = roots == SandboxRoots::WithMachine;
  if (withMachine) {
    create(L"machine", machine_);
    create(L"machine\\Software\\Classes", classes_);
  } else {
    create(L"classes", classes_);
  }
  create(L"user", user_);
  create(L"users", users_);
  const LONG classes = RegOverridePredefKey(HKEY_CLASSES_ROOT, classes_.get());
  const LONG user = RegOverridePredefKey(HKEY_CURRENT_USER, user_.get());
  const LONG users = RegOverridePredefKey(HKEY_USERS, users_.get());
  const LONG machine = withMachine ? RegOverridePredefKey(HKEY_LOCAL_MACHINE, machine_.get()) : ERROR_SUCCESS;
  EXPECT_EQ(classes, ERROR_SUCCESS);
  EXPECT_EQ(user, ERROR_SUCCESS);
  EXPECT_EQ(machine, ERROR_SUCCESS);
  EXPECT_EQ(users, ERROR_SUCCESS);
  ok_ = classes_ && user_ && users_ && (!withMachine || machine_) && classes == ERROR_SUCCESS &&
        user == ERROR_SUCCESS && users == ERROR_SUCCESS && machine == ERROR_SUCCESS;
}

RegistrySandbox::~RegistrySandbox() {
  // A link is removed through its own handle: removing the tree would follow it.
  const auto remove = Ntdll<LONG(NTAPI*)(HANDLE)>("NtDeleteKey");
  for (common::UniqueHKey& link : links_)
    if (remove) remove(link.get());
  links_.clear();
  RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
  RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
  RegOverridePredefKey(HKEY_USERS, nullptr);
  if (machine_) RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
  classes_.reset();
  user_.reset();
  users_.reset();
  machine_.reset();
  RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str());
}

bool KeyExists(HKEY root, const std::wstring& path) {
  common::UniqueHKey key;
  return RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

RegValue ReadValue(HKEY root, const std::wstring& path, const std::wstring& name) {
  RegValue result;
  common::UniqueHKey key;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return result;
  DWORD type = REG_NONE, size = 0;
  if (RegQueryValueExW(key.get(), name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return result;
  std::wstring data(size / sizeof(wchar_t) + 1, L'\0');
  DWORD got = static_cast<DWORD>(data.size() * sizeof(wchar_t));
  if (RegQueryValueExW(key.get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &got) !=
      ERROR_SUCCESS)
    return result;
  result.type = type;
  if (type == REG_DWORD) {
    DWORD v = 0;
    memcpy(&v, data.data(), sizeof v);
    result.text = std::to_wstring(v);
  } else {
    data.resize(got / sizeof(wchar_t));
    size_t nul = data.find(L'\0');
    result.text = data.substr(0, nul);
  }
  return result;
}

void CreateKey(HKEY root, const std::wstring& path) {
  common::UniqueHKey key;
  ASSERT_EQ(RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr),
            ERROR_SUCCESS)
      << "cannot create test key";
}

void RegistrySandbox::AddLink(HKEY root, const std::wstring& path, std::wstring target) {
  common::UniqueHKey link;
  ASSERT_EQ(RegCreateKeyExW(root, path.c_str(), 0, nullptr, REG_OPTION_CREATE_LINK | REG_OPTION_VOLATILE,
                            KEY_ALL_ACCESS | KEY_CREATE_LINK, nullptr, link.put(), nullptr),
            ERROR_SUCCESS);
  links_.push_back(std::move(link));
  const HKEY made = links_.back().get();
  if (target.empty()) target = KernelName(made);
  ASSERT_FALSE(target.empty());
  // A link's target is written without a terminator.
  ASSERT_EQ(RegSetValueExW(made, L"SymbolicLinkValue", 0, REG_LINK, reinterpret_cast<const BYTE*>(target.data()),
                           static_cast<DWORD>(target.size() * sizeof(wchar_t))),
            ERROR_SUCCESS);
}

void RegistrySandbox::CreateLink(HKEY root, const std::wstring& path, HKEY targetRoot, const std::wstring& target) {
  common::UniqueHKey targetKey;
  ASSERT_EQ(RegOpenKeyExW(targetRoot, target.c_str(), 0, KEY_READ, targetKey.put()), ERROR_SUCCESS);
  const std::wstring name = KernelName(targetKey.get());
  ASSERT_FALSE(name.empty());
  AddLink(root, path, name);
}

void RegistrySandbox::CreateLoop(HKEY root, const std::wstring& path) {
  AddLink(root, path, L"");
  common::UniqueHKey probe;
  ASSERT_NE(RegOpenKeyExW(root, path.c_str(), 0, KEY_QUERY_VALUE, probe.put()), ERROR_SUCCESS)
      << "a link to itself opened";
}

void WriteValue(HKEY root, const std::wstring& path, const std::wstring& name, DWORD type, const std::wstring& text) {
  common::UniqueHKey key;
  ASSERT_EQ(RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr),
            ERROR_SUCCESS);
  LONG r;
  if (type == REG_DWORD) {
    DWORD v = static_cast<DWORD>(std::stoul(text));
    r = RegSetValueExW(key.get(), name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), sizeof v);
  } else {
    r = RegSetValueExW(key.get(), name.c_str(), 0, type, reinterpret_cast<const BYTE*>(text.c_str()),
                       static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
  }
  ASSERT_EQ(r, ERROR_SUCCESS);
}

int SubKeyCount(HKEY root, const std::wstring& path) {
  common::UniqueHKey key;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return -1;
  DWORD n = 0;
  if (RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &n, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                       nullptr) != ERROR_SUCCESS)
    return -1;
  return static_cast<int>(n);
}

namespace {

void SnapshotInto(HKEY key, const std::wstring& path, std::vector<std::wstring>& lines) {
  lines.push_back(L"[" + path + L"]");
  DWORD subKeys = 0, values = 0, maxName = 0, maxData = 0;
  if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values, &maxName, &maxData,
                       nullptr, nullptr) != ERROR_SUCCESS)
    return;
  std::vector<std::wstring> valueLines;
  for (DWORD i = 0; i < values; ++i) {
    std::wstring name(maxName + 1, L'\0');
    std::vector<BYTE> data(maxData + 1);
    DWORD nameLength = maxName + 1, size = maxData + 1, type = 0;
    if (RegEnumValueW(key, i, name.data(), &nameLength, nullptr, &type, data.data(), &size) != ERROR_SUCCESS) continue;
    std::wstring line = L"  " + name.substr(0, nameLength) + L" type " + std::to_wstring(type) + L":";
    for (DWORD b = 0; b < size; ++b) {
      wchar_t hex[4];
      swprintf(hex, 4, L"%02x", data[b]);
      line += hex;
    }
    valueLines.push_back(line);
  }
  std::sort(valueLines.begin(), valueLines.end());
  lines.insert(lines.end(), valueLines.begin(), valueLines.end());
  std::vector<std::wstring> names;
  for (DWORD i = 0; i < subKeys; ++i) {
    wchar_t name[256];
    DWORD length = 256;
    if (RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS)
      names.emplace_back(name, length);
  }
  std::sort(names.begin(), names.end());
  for (const auto& name : names) {
    common::UniqueHKey sub;
    if (RegOpenKeyExW(key, name.c_str(), 0, KEY_READ, sub.put()) == ERROR_SUCCESS)
      SnapshotInto(sub.get(), path + L"\\" + name, lines);
    else
      lines.push_back(L"[" + path + L"\\" + name + L"] unreadable");
  }
}

}  // namespace

std::vector<std::wstring> Snapshot(HKEY root, const std::wstring& path) {
  std::vector<std::wstring> lines;
  if (path.empty()) {
    SnapshotInto(root, L"", lines);
    return lines;
  }
  common::UniqueHKey key;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS) SnapshotInto(key.get(), path, lines);
  return lines;
}

std::wstring TreeDump(HKEY root, const std::wstring& path) {
  const std::vector<std::wstring> lines = Snapshot(root, path);
  if (lines.empty()) return L"<absent>";
  std::wstring text;
  for (const std::wstring& line : lines) text += line + L"\n";
  return text;
}

std::wstring TreeDifference(const std::wstring& expected, const std::wstring& actual) {
  if (expected == actual) return L"";
  auto lines = [](const std::wstring& text) {
    std::vector<std::wstring> out;
    for (size_t start = 0; start < text.size();) {
      const size_t end = std::min(text.find(L'\n', start), text.size());
      out.push_back(text.substr(start, end - start));
      start = end + 1;
    }
    std::sort(out.begin(), out.end());
    return out;
  };
  const std::vector<std::wstring> a = lines(expected), b = lines(actual);
  std::vector<std::wstring> onlyA, onlyB;
  std::set_difference(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(onlyA));
  std::set_difference(b.begin(), b.end(), a.begin(), a.end(), std::back_inserter(onlyB));
  std::wstring out;
  for (const std::wstring& line : onlyA) out += L"- " + line + L"\n";
  for (const std::wstring& line : onlyB) out += L"+ " + line + L"\n";
  return out.empty() ? L"<the same lines in another order>" : out;
}

}  // namespace testsupport
