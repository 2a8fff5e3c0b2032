#include "assoclist/cell_text.h"

#include <cstdio>
#include <cstring>

namespace assoclist {

namespace {

constexpr wchar_t kEllipsis = L'\u2026';

// True for a character that would break the line, be invisible as a control, or turn the
// direction of the text that follows it.
bool NeedsEscape(wchar_t c) {
  return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x061C || c == 0x200E || c == 0x200F ||
         (c >= 0x2028 && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069) || c == 0xFEFF;
}

void AppendEscape(std::wstring& out, wchar_t c) {
  switch (c) {
    case L'\t':
      out += L"\\t";
      return;
    case L'\n':
      out += L"\\n";
      return;
    case L'\r':
      out += L"\\r";
      return;
    default:
      break;
  }
  wchar_t escape[8];
  std::swprintf(escape, 8, c < 0x100 ? L"\\x%02X" : L"\\u%04X", static_cast<unsigned>(c));
  out += escape;
}

bool IsHighSurrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }

// Appends text shown as CellText to out, which may already hold a prefix that counts towards
// the limit.
void AppendCell(std::wstring& out, std::wstring_view text) {
  for (size_t i = 0; i < text.size(); ++i) {
    if (out.size() >= kCellLimit) {
      if (IsHighSurrogate(out.back())) out.pop_back();
      out += kEllipsis;
      return;
    }
    const wchar_t c = text[i];
    if (NeedsEscape(c)) {
      AppendEscape(out, c);
    } else {
      out += c;
    }
  }
}

struct TypeName {
  DWORD type;
  const wchar_t* name;
};
constexpr TypeName kTypeNames[] = {
    {REG_NONE, L"REG_NONE"},
    {REG_SZ, L"REG_SZ"},
    {REG_EXPAND_SZ, L"REG_EXPAND_SZ"},
    {REG_BINARY, L"REG_BINARY"},
    {REG_DWORD, L"REG_DWORD"},
    {REG_DWORD_BIG_ENDIAN, L"REG_DWORD_BIG_ENDIAN"},
    {REG_LINK, L"REG_LINK"},
    {REG_MULTI_SZ, L"REG_MULTI_SZ"},
    {REG_RESOURCE_LIST, L"REG_RESOURCE_LIST"},
    {REG_FULL_RESOURCE_DESCRIPTOR, L"REG_FULL_RESOURCE_DESCRIPTOR"},
    {REG_RESOURCE_REQUIREMENTS_LIST, L"REG_RESOURCE_REQUIREMENTS_LIST"},
    {REG_QWORD, L"REG_QWORD"},
};

std::wstring TypeNameOf(DWORD type) {
  for (const TypeName& row : kTypeNames)
    if (row.type == type) return row.name;
  return L"種類 " + std::to_wstring(type);
}

// The bytes in hexadecimal, separated by blanks, cut like a cell.
void AppendHex(std::wstring& out, std::span<const BYTE> data) {
  for (size_t i = 0; i < data.size(); ++i) {
    if (out.size() >= kCellLimit) {
      out += kEllipsis;
      return;
    }
    wchar_t hex[4];
    std::swprintf(hex, 4, L"%02x", data[i]);
    if (i > 0) out += L' ';
    out += hex;
  }
}

}  // namespace

std::wstring CellText(std::wstring_view text) {
  std::wstring out;
  out.reserve(text.size() < kCellLimit ? text.size() : kCellLimit + 8);
  AppendCell(out, text);
  return out;
}

std::optional<std::wstring> ValueText(DWORD type, std::span<const BYTE> data) {
  if (type != REG_SZ && type != REG_EXPAND_SZ) return std::nullopt;
  // The bytes are copied out: registry data carries no promise of alignment.
  std::wstring text(data.size() / sizeof(wchar_t), L'\0');
  if (!text.empty()) std::memcpy(text.data(), data.data(), text.size() * sizeof(wchar_t));
  const size_t nul = text.find(L'\0');
  if (nul != std::wstring::npos) text.resize(nul);
  return text;
}

std::wstring ValueCellText(DWORD type, std::span<const BYTE> data) {
  if (auto text = ValueText(type, data)) return CellText(*text);

  std::wstring out = TypeNameOf(type);
  if (data.empty()) return out;
  out += L": ";
  wchar_t number[48];
  if ((type == REG_DWORD || type == REG_DWORD_BIG_ENDIAN) && data.size() == 4) {
    DWORD v = 0;
    std::memcpy(&v, data.data(), 4);
    if (type == REG_DWORD_BIG_ENDIAN) v = (v >> 24) | ((v >> 8) & 0xFF00) | ((v << 8) & 0xFF0000) | (v << 24);
    std::swprintf(number, 48, L"0x%08lx (%lu)", static_cast<unsigned long>(v), static_cast<unsigned long>(v));
    return out + number;
  }
  if (type == REG_QWORD && data.size() == 8) {
    unsigned long long v = 0;
    std::memcpy(&v, data.data(), 8);
    std::swprintf(number, 48, L"0x%016llx (%llu)", v, v);
    return out + number;
  }
  if (type == REG_MULTI_SZ) {
    std::wstring strings(data.size() / sizeof(wchar_t), L'\0');
    if (!strings.empty()) std::memcpy(strings.data(), data.data(), strings.size() * sizeof(wchar_t));
    // The list ends with an empty string: its terminators are no separators.
    while (!strings.empty() && strings.back() == L'\0') strings.pop_back();
    AppendCell(out, strings);
    return out;
  }
  AppendHex(out, data);
  return out;
}

}  // namespace assoclist
