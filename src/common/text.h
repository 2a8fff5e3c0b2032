#pragma once
// Small text helpers shared by the window, the store and the settings files.

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

namespace common {

// The decimal form of value, with a leading "-" when negative.
std::wstring IntToStr(int value);

// Reads a whole text as a 32-bit signed integer: leading blanks, an optional sign, then
// decimal digits, or hexadecimal digits after "$", "x", "X", "0x" or "0X". A decimal number
// must lie in the 32-bit range; a hexadecimal one of up to 32 bits is taken as a bit
// pattern ($FFFFFFFF is -1). Returns false, leaving value untouched, for anything else.
bool TryStrToInt(std::wstring_view text, int& value);

// True when a and b are equal but for letter case, compared code unit by code unit with the
// system's upper-case table (as registry key names and INI names are matched).
bool EqualNoCase(std::wstring_view a, std::wstring_view b) noexcept;

// TryStrToInt, or fallback when the text is not such a number.
int StrToIntDef(std::wstring_view text, int fallback);

// The part of a path after its last "\" or ":"; the whole path when it has neither.
std::wstring ExtractFileName(std::wstring_view path);

// The path with the extension after its file name part replaced by ext (which includes
// its "."); ext is appended when the file name part has no ".".
std::wstring ChangeFileExt(std::wstring_view path, std::wstring_view ext);

// text in UTF-8, and back. FromUtf8 answers nothing for bytes that are not UTF-8.
std::string Utf8(std::wstring_view text);
std::optional<std::wstring> FromUtf8(std::string_view bytes);

// The system's text for an error code, with trailing blanks, control characters and "." removed;
// empty when the system has none.
std::wstring SystemMessageText(DWORD code);

// The full path of a loaded module (nullptr: the running executable); empty on failure.
std::wstring ModuleFileName(HMODULE module = nullptr);

}  // namespace common
