#pragma once
// One small registry file in every encoding and under every header that registry files come in,
// for the reader's tests and for the comparison with the system's registry editor.

#include <string>
#include <string_view>
#include <vector>

namespace assoctest {

// How a file's text is stored.
enum class Encoding {
  Utf16,                 // UTF-16 LE after its byte-order mark, as the editor exports
  Utf16WithoutMark,      // UTF-16 LE without one
  Utf16BigEndian,        // UTF-16 BE after its byte-order mark
  Utf16BigEndianNoMark,  // UTF-16 BE without one
  Utf8WithMark,          // UTF-8 after its byte-order mark
  Utf8,                  // UTF-8 without one
  Ansi,                  // the ANSI code page (932 under the tests' LC_ALL=ja_JP.UTF-8)
};

// The bytes of these lines, each ended by CR LF, stored in that encoding.
std::string Encoded(const std::vector<std::wstring>& lines, Encoding encoding);

// The lines of a small file below base ("HKEY_CURRENT_USER\..."): the header, a comment, a file
// type's keys with Japanese names and texts (each of whole characters also when its UTF-8 bytes
// are read in code page 932), escapes, a dword, string-typed hex (UTF-16 bytes, or under
// "REGEDIT4" the ANSI code page's bytes, an expandable text without its NUL) unless
// withStringHex is false, binary data continued on a second line, and removals of a value and
// of a key. Under either header, in UTF-16 or in the ANSI code page, it reads to one document.
std::vector<std::wstring> SmallFile(std::wstring_view header, const std::wstring& base, bool withStringHex = true);

// The lines as the editor reads their UTF-8 bytes: each line decoded in the ANSI code page.
std::vector<std::wstring> MisreadAsAnsi(const std::vector<std::wstring>& lines);

}  // namespace assoctest
