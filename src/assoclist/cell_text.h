#pragma once
// How the list of associations shows registry texts and values in its cells: on one line,
// with every control character visible, cut to a length a cell can show.

#include <windows.h>

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace assoclist {

// The most characters a cell takes from a value before it is cut and "…" is appended.
inline constexpr size_t kCellLimit = 1000;

// The text of the cells that a key which cannot be opened or read leaves.
inline constexpr wchar_t kUnreadable[] = L"読み取れません";

// text as a cell shows it: tab, line feed and carriage return as \t, \n and \r, other control
// characters (and the marks that break lines or turn the direction of text) as \xHH or \uHHHH,
// everything else as it is. Once the result holds kCellLimit characters and text goes on, it
// ends there with "…" (a surrogate pair is never split).
std::wstring CellText(std::wstring_view text);

// The text of a REG_SZ or REG_EXPAND_SZ value up to its first NUL (an odd last byte is dropped);
// nothing for a value of any other type.
std::optional<std::wstring> ValueText(DWORD type, std::span<const BYTE> data);

// A registry value as a cell shows it: a text value as CellText of ValueText; any other type as
// its name and its value: "REG_DWORD: 0x00000007 (7)", "REG_QWORD: 0x0000000000000007 (7)",
// "REG_MULTI_SZ: a\x00b" (the strings, their separators escaped), "REG_BINARY: 01 ff" (bytes
// in hexadecimal), "REG_NONE" for a value without data, "種類 99: ..." for a type without a
// name; cut like CellText.
std::wstring ValueCellText(DWORD type, std::span<const BYTE> data);

}  // namespace assoclist
