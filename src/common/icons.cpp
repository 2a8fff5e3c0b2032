#include "common/icons.h"

#include <shellapi.h>

namespace common {

UniqueHIcon ExtractIconFrom(const std::wstring& file, int index) {
  if (index == -1) return {};
  HICON icon = ExtractIconW(GetModuleHandleW(nullptr), file.c_str(), static_cast<UINT>(index));
  if (reinterpret_cast<ULONG_PTR>(icon) <= 1) return {};
  return UniqueHIcon(icon);
}

}  // namespace common
