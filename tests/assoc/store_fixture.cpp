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

namespace {

void DumpKey(HKEY key, const std::wstring& relative, std::wstring& out) {
  out += L"[" + relative + L"]\n";
  std::vector<wchar_t> name(16384);
  for (DWORD index = 0;; ++index) {
    DWORD nameLength = static_cast<DWORD>(name.size());
    DWORD type = 0, size = 0;
    if (RegEnumValueW(key, index, name.data(), &nameLength, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) break;
    std::vector<BYTE> data(size + 1);
    nameLength = static_cast<DWORD>(name.size());
    if (RegEnumValueW(key, index, name.data(), &nameLength, nullptr, &type, data.data(), &size) != ERROR_SUCCESS) {
      out += L"  <unreadable value>\n";
      continue;
    }
    wchar_t head[32];
    swprintf(head, std::size(head), L" type %lx:", static_cast<unsigned long>(type));
    out += L"  \"" + std::wstring(name.data(), nameLength) + L"\"" + head;
    for (DWORD i = 0; i < size; ++i) {
      wchar_t byte[4];
      swprintf(byte, std::size(byte), L" %02x", data[i]);
      out += byte;
    }
    out += L"\n";
  }
  for (const std::wstring& sub : SubKeyNames(key, L"")) {
    common::UniqueHKey child;
    if (RegOpenKeyExW(key, sub.c_str(), 0, KEY_READ, child.put()) != ERROR_SUCCESS) {
      out += L"[" + relative + L"\\" + sub + L"] <unreadable>\n";
      continue;
    }
    DumpKey(child.get(), relative + L"\\" + sub, out);
  }
}

}  // namespace

std::wstring TreeDump(HKEY root, const std::wstring& path) {
  common::UniqueHKey key;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return L"<absent>";
  std::wstring out;
  DumpKey(key.get(), path, out);
  return out;
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
  // Same lines in another order.
  return out.empty() ? L"<the same lines in another order>" : out;
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
  store_->PlanLink(builder, extension, command, iconFile, iconIndex, fileType);
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
