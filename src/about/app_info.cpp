#include "about/app_info.h"

#include <cstring>
#include <cwchar>
#include <iterator>

#include "common/exception.h"
#include "common/text.h"

namespace {

constexpr wchar_t kCannotRead[] = L"バージョン情報を取得できません";

// The key of each TInfoKind, in the enumeration's order.
constexpr const wchar_t* kKeys[] = {
    L"Comments",        L"CompanyName",      L"FileDescription", L"FileVersion",
    L"InternalName",    L"LegalCopyright",   L"LegalTradeMarks", L"OriginalFilename",
    L"PrivateBuild",    L"ProductName",      L"ProductVersion",
};

}  // namespace

TkAppInfo::TkAppInfo() : TkAppInfo(common::ModuleFileName()) {}

TkAppInfo::TkAppInfo(const std::wstring& path) {
  DWORD unused = 0;
  const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &unused);
  if (size == 0) throw Exception(kCannotRead);
  std::vector<std::byte> block(size);
  if (!GetFileVersionInfoW(path.c_str(), 0, size, block.data())) throw Exception(kCannotRead);
  FVersionBlock = std::move(block);

  void* value = nullptr;
  UINT length = 0;
  if (VerQueryValueW(FVersionBlock.data(), L"\\VarFileInfo\\Translation", &value, &length) &&
      length >= sizeof FTranslation)
    std::memcpy(&FTranslation, value, sizeof FTranslation);
}

std::wstring TkAppInfo::GetInfo(TInfoKind kind) const {
  const auto index = static_cast<std::size_t>(kind);
  if (index >= std::size(kKeys)) return {};
  wchar_t path[64];
  std::swprintf(path, std::size(path), L"\\StringFileInfo\\%04X%04X\\%ls", static_cast<unsigned>(LOWORD(FTranslation)),
                static_cast<unsigned>(HIWORD(FTranslation)), kKeys[index]);
  void* value = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(FVersionBlock.data(), path, &value, &length) || !value) return {};
  // The text runs to its first NUL, whatever length the query reports, but never past the block.
  const auto* text = static_cast<const wchar_t*>(value);
  const auto* end = reinterpret_cast<const wchar_t*>(FVersionBlock.data() + FVersionBlock.size());
  return std::wstring(text, wcsnlen(text, static_cast<std::size_t>(end - text)));
}
