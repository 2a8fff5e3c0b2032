#include "common/text.h"

#include <cstdint>
#include <cwchar>

namespace common {

std::wstring IntToStr(int value) { return std::to_wstring(value); }

bool EqualNoCase(std::wstring_view a, std::wstring_view b) noexcept {
  if (a.size() != b.size()) return false;
  if (a.empty()) return true;
  return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
         CSTR_EQUAL;
}

bool TryStrToInt(std::wstring_view text, int& value) {
  size_t i = 0;
  while (i < text.size() && text[i] == L' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) {
    negative = text[i] == L'-';
    ++i;
  }
  bool hex = false;
  if (i < text.size() && (text[i] == L'$' || text[i] == L'x' || text[i] == L'X')) {
    hex = true;
    ++i;
  } else if (i + 1 < text.size() && text[i] == L'0' && (text[i + 1] == L'x' || text[i + 1] == L'X')) {
    hex = true;
    i += 2;
  }
  if (i == text.size()) return false;

  uint64_t magnitude = 0;
  const uint64_t limit = hex ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
  for (; i < text.size(); ++i) {
    wchar_t c = text[i];
    unsigned digit;
    if (c >= L'0' && c <= L'9') {
      digit = c - L'0';
    } else if (hex && c >= L'a' && c <= L'f') {
      digit = c - L'a' + 10;
    } else if (hex && c >= L'A' && c <= L'F') {
      digit = c - L'A' + 10;
    } else {
      return false;
    }
    magnitude = magnitude * (hex ? 16 : 10) + digit;
    if (magnitude > limit) return false;
  }
  uint32_t bits = static_cast<uint32_t>(magnitude);
  if (negative) bits = 0u - bits;
  value = static_cast<int32_t>(bits);
  return true;
}

int StrToIntDef(std::wstring_view text, int fallback) {
  int value = fallback;
  return TryStrToInt(text, value) ? value : fallback;
}

std::wstring ExtractFileName(std::wstring_view path) {
  size_t cut = path.find_last_of(L"\\:");
  return std::wstring(cut == std::wstring_view::npos ? path : path.substr(cut + 1));
}

std::wstring ChangeFileExt(std::wstring_view path, std::wstring_view ext) {
  size_t dot = path.find_last_of(L".\\:");
  if (dot == std::wstring_view::npos || path[dot] != L'.') return std::wstring(path) + std::wstring(ext);
  return std::wstring(path.substr(0, dot)) + std::wstring(ext);
}

std::wstring ModuleFileName(HMODULE module) {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD n = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

std::string Utf8(std::wstring_view text) {
  if (text.empty()) return {};
  const int size =
      WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string bytes(size, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr, nullptr);
  return bytes;
}

std::optional<std::wstring> FromUtf8(std::string_view bytes) {
  if (bytes.empty()) return std::wstring();
  const int size =
      MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  if (size <= 0) return std::nullopt;
  std::wstring text(size, L'\0');
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()), text.data(), size);
  return text;
}

std::wstring SystemMessageText(DWORD code) {
  std::wstring text(4096, L'\0');
  DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text.data(),
                           static_cast<DWORD>(text.size()), nullptr);
  text.resize(n);
  while (!text.empty() && (text.back() <= L' ' || text.back() == L'.')) text.pop_back();
  return text;
}

}  // namespace common
