#include "assoc/store_fixture.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <vector>

#include "assoc/change_apply.h"
#include "assoc/change_plan.h"

namespace assoctest {

std::vector<std::wstring> SubKeyNames(HKEY root, const std::wstring& path) {
  std::vector<std::wstring> names;
  common::UniqueHKey key;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return names;
  wchar_t name[300];
  for (DWORD index = 0;; ++index) {
    DWORD length = static_cast<DWORD>(std::size(name));
    if (RegEnumKeyExW(key.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    names.emplace_back(name, length);
  }
  return names;
}

std::string RegFileOf(const std::vector<std::wstring>& lines) {
  std::wstring text = L"\xFEFFWindows Registry Editor Version 5.00\r\n\r\n";
  for (const std::wstring& line : lines) text += line + L"\r\n";
  return std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
}

std::wstring TextDefault(const std::wstring& path) {
  const testsupport::RegValue value = testsupport::ReadValue(HKEY_CLASSES_ROOT, path);
  if (value.type == REG_SZ) return value.text;
  if (value.type == REG_NONE) return L"<absent>";
  return L"<type " + std::to_wstring(value.type) + L">";
}

std::wstring ShellAssocString(ASSOCSTR what, const std::wstring& extension) {
  wchar_t text[1024] = L"";
  DWORD length = static_cast<DWORD>(std::size(text));
  const HRESULT hr = AssocQueryStringW(ASSOCF_NONE, what, extension.c_str(), L"open", text, &length);
  if (FAILED(hr)) {
    wchar_t code[32];
    swprintf(code, std::size(code), L"<hr 0x%08lX>", static_cast<unsigned long>(hr));
    return code;
  }
  return text;
}

namespace {

void ApplyStorePlan(const assoc::TChangePlan& plan) {
  try {
    assoc::ApplyPlan(plan);
  } catch (const Exception& e) {
    throw Exception(std::wstring(kCannotChangeRegistry) + L"\n" + e.Message());
  }
}

}  // namespace

void StoreDriver::Link(const std::wstring& extension, const std::wstring& command, const std::wstring& iconFile,
                       int iconIndex, const std::wstring& fileType) {
  assoc::TChangePlan plan;
  assoc::TPlanBuilder builder(plan);
  store_->PlanLink(builder, extension, command, iconFile, iconIndex, fileType, L"");
  ApplyStorePlan(plan);
  if (!iconFile.empty()) assoc::NotifyAssocChanged();
}

TLinkExtention::TUnlinkResult StoreDriver::Unlink(const std::wstring& extension) {
  assoc::TChangePlan plan;
  assoc::TPlanBuilder builder(plan);
  const TLinkExtention::TUnlinkResult result = store_->PlanUnlink(builder, extension);
  ApplyStorePlan(plan);
  assoc::NotifyAssocChanged();
  return result;
}

void ApplyDocument(const assoc::TRegDocument& document) {
  assoc::TChangePlan plan;
  assoc::TPlanBuilder builder(plan);
  assoc::PlanDocument(document, builder);
  assoc::ApplyPlan(plan);
}

}  // namespace assoctest
