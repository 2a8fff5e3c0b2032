#include "common/icons.h"

#include <shellapi.h>

namespace common {

namespace {
HICON RealExtractIcon(const std::wstring& file, UINT index) {
  return ExtractIconW(GetModuleHandleW(nullptr), file.c_str(), index);
}
}  // namespace

Seam<HICON(const std::wstring& file, UINT index)> ExtractIconRaw(&RealExtractIcon);

UINT IconCount(const std::wstring& file) {
  return static_cast<UINT>(reinterpret_cast<UINT_PTR>(ExtractIconRaw(file, UINT_MAX)));
}

UniqueHIcon ExtractIconFrom(const std::wstring& file, int index) {
  if (index == -1) return {};
  HICON icon = ExtractIconRaw(file, static_cast<UINT>(index));
  if (reinterpret_cast<ULONG_PTR>(icon) <= 1) return {};
  return UniqueHIcon(icon);
}

}  // namespace common
