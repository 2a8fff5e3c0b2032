#include "assoc/user_hive.h"

#include <sddl.h>

#include <memory>
#include <mutex>
#include <vector>

#include "assoc/reg_paths.h"
#include "common/secure_folder.h"

namespace assoc {

namespace {

// The identifier of the user a token stands for.
std::wstring SidOfToken(HANDLE token) {
  DWORD size = 0;
  GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  if (size == 0) return {};
  std::vector<BYTE> buffer(size);
  if (!GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) return {};
  LPWSTR text = nullptr;
  if (!ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text)) return {};
  const common::UniqueHLocal kept(text);
  return text;
}

std::optional<std::wstring> AskShellAccountSid() {
  const HWND shell = GetShellWindow();
  DWORD process = 0;
  if (!shell || !GetWindowThreadProcessId(shell, &process) || process == 0) return std::nullopt;
  const common::UniqueKernelHandle handle(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process));
  if (!handle) return std::nullopt;
  HANDLE raw = nullptr;
  if (!OpenProcessToken(handle.get(), TOKEN_QUERY, &raw)) return std::nullopt;
  const common::UniqueKernelHandle token(raw);
  std::wstring sid = SidOfToken(token.get());
  if (sid.empty()) return std::nullopt;
  return sid;
}

// The desktop's account does not change while the tool runs: asked once.
std::optional<std::wstring> ShellAccountSid() {
  static const std::optional<std::wstring> sid = AskShellAccountSid();
  return sid;
}

std::wstring AccountName(const std::wstring& sidText) {
  PSID sid = nullptr;
  if (!ConvertStringSidToSidW(sidText.c_str(), &sid)) return sidText;
  const common::UniqueHLocal kept(sid);
  wchar_t name[256], domain[256];
  DWORD nameLength = 256, domainLength = 256;
  SID_NAME_USE use;
  if (!LookupAccountSidW(nullptr, sid, name, &nameLength, domain, &domainLength, &use)) return sidText;
  return domainLength ? std::wstring(domain) + L"\\" + name : std::wstring(name);
}

// The hives of other accounts opened so far, kept for the life of the process: a reader on
// another thread may still hold the root it was given.
struct OpenedHives {
  std::mutex lock;
  std::vector<std::pair<std::wstring, std::unique_ptr<common::UniqueHKey>>> hives;
};
OpenedHives& Hives() {
  static OpenedHives hives;
  return hives;
}

HKEY HiveOf(const std::wstring& name) {
  OpenedHives& opened = Hives();
  const std::lock_guard<std::mutex> guard(opened.lock);
  // A hive that was unloaded since (or a key that stood for one in a test) is opened again.
  for (const auto& [sid, key] : opened.hives)
    if (sid == name && RegQueryInfoKeyW(key->get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                        nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS)
      return key->get();
  auto key = std::make_unique<common::UniqueHKey>();
  if (RegOpenKeyExW(HKEY_USERS, name.c_str(), 0, MAXIMUM_ALLOWED, key->put()) != ERROR_SUCCESS) return nullptr;
  const HKEY handle = key->get();
  opened.hives.emplace_back(name, std::move(key));
  return handle;
}

}  // namespace

common::Seam<std::optional<std::wstring>()> DesktopAccountSid(&ShellAccountSid);

std::wstring ProcessAccountSid() {
  // This process's account does not change while it runs: asked once.
  static const std::wstring sid = common::ProcessUserSid();
  return sid;
}

TTargetAccount TargetAccount() {
  TTargetAccount account;
  const std::wstring own = ProcessAccountSid();
  const std::optional<std::wstring> desktop = DesktopAccountSid();
  account.Sid = desktop ? *desktop : own;
  account.Self = !desktop || *desktop == own;
  if (!account.Self) {
    common::UniqueHKey hive;
    account.Loaded = RegOpenKeyExW(HKEY_USERS, account.Sid.c_str(), 0, KEY_READ, hive.put()) == ERROR_SUCCESS;
  }
  account.Name = account.Sid.empty() ? std::wstring() : AccountName(account.Sid);
  return account;
}

std::wstring TargetAccountSid() { return TargetAccount().Sid; }

HKEY UserRoot() {
  const std::wstring own = ProcessAccountSid();
  const std::optional<std::wstring> desktop = DesktopAccountSid();
  if (!desktop || *desktop == own) return HKEY_CURRENT_USER;
  return HiveOf(*desktop);
}

HKEY OpenUserClassesRoot(common::UniqueHKey& holder) {
  const HKEY user = UserRoot();
  if (!user) return nullptr;
  if (user == HKEY_CURRENT_USER) {
    if (RegOpenKeyExW(HKEY_CURRENT_USER, paths::kClassesKey, 0, MAXIMUM_ALLOWED, holder.put()) != ERROR_SUCCESS)
      return nullptr;
    return holder.get();
  }
  return HiveOf(*DesktopAccountSid() + L"_Classes");
}

}  // namespace assoc
