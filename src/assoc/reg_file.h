#pragma once
// Registry files in the format of the system's registry editor, version 5.00: what they hold,
// how they are written and how they are read. Text only; no registry access.

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "common/exception.h"

namespace assoc {

// One value line: a name ("" for the default value, written "@"), and either its type and
// bytes, or a removal ("name"=-).
struct TRegValue {
  std::wstring Name;
  bool Remove = false;
  DWORD Type = REG_NONE;
  std::string Data;  // the value's bytes, exactly as the registry holds them
  int Line = 0;      // where it starts in a file that was read; 0 for a built one
};

// One key section: "[path]" with the values to set in it, or "[-path]", which removes the key
// with its sub-keys. Path starts with the root spelled out as the editor does
// ("HKEY_CLASSES_ROOT\.txt").
struct TRegKey {
  std::wstring Path;
  bool Remove = false;
  std::vector<TRegValue> Values;
  int Line = 0;  // the line of its "[...]" in a file that was read; 0 for a built one
};

// A whole file: its key sections in file order.
struct TRegDocument {
  std::vector<TRegKey> Keys;
};

// A file that cannot be read: the 1-based line of the first fault, and the message naming
// the line and the fault ("12 行目: 16 進数のデータに誤りがあります。").
class ERegFileError : public Exception {
 public:
  ERegFileError(int line, std::wstring message) : Exception(std::move(message)), line_(line) {}
  int Line() const noexcept { return line_; }

 private:
  int line_;
};

// The file's bytes as the editor exports them: UTF-16 LE with its byte-order mark, CR LF line
// ends, the header "Windows Registry Editor Version 5.00", a blank line before each section and
// at the end. REG_SZ that quoted text holds exactly (an even byte count ending in its only NUL,
// no line break) is written quoted with "\\" and "\""; any other REG_SZ as hex(1):, so that no
// byte is lost. REG_DWORD of four bytes is dword:; every other type hex:, hex(2):, hex(7):,
// hex(b):, hex(0): or hex(N): with lines wrapped after 77 columns by "\" and a two-space indent,
// exactly as the editor wraps them. Raises Exception for a key path or value name holding a
// NUL or a line break, which no such file can hold.
std::string WriteRegFile(const TRegDocument& document);

// How deep the registry nests keys: key names below the root. A file is read and written only
// down to this depth.
inline constexpr size_t kMaxKeyDepth = 512;

// Reads a file as the system's registry editor reads it. Its encoding: UTF-16 LE after its
// byte-order mark, read where it lies (copied only when the bytes do not start aligned for
// wchar_t); any other file is 8-bit text, decoded one line at a time in the ANSI code page.
// Its first line, blanks around it aside: "Windows Registry Editor Version 5.00", whose
// hex(1):, hex(2): and hex(7): bytes are kept as they are, or "REGEDIT4", whose such bytes are
// 8-bit text, which gets a NUL when it does not end in one and is decoded in the ANSI code page
// (the editor of Windows decides by the header; Wine's by the encoding). The lines below follow
// the format as the editor exports it (value names and strings may also use the escapes \n, \r
// and \0; hex bytes may carry blanks; ";" starts a comment line). Roots must be spelled out:
// HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS or HKEY_CURRENT_CONFIG,
// letter case aside. Raises ERegFileError at the first line it cannot take: a byte-order mark
// of UTF-8 or of big-endian UTF-16, or UTF-16 without one (the editor reads none of them); a
// missing or other header, Windows 3.1's among them; a section or value it cannot parse; a key
// path of more than 512 key names below its root (found before anything else is done with it);
// an unknown root, an empty or over-long key name (an empty one would let "\\" stand for "\");
// a NUL; a value before any section or in a removal. "." and ".." are key names like any other:
// the registry climbs nowhere with them. Linear in the file's size; each value's data is built
// once, in place.
TRegDocument ReadRegFile(std::string_view bytes);

// The predefined root key that a path read from such a file starts with, or null for an
// unknown root; rest receives the part after the root's "\" (empty for the root itself).
HKEY RootOfRegPath(std::wstring_view path, std::wstring_view* rest = nullptr) noexcept;

}  // namespace assoc
