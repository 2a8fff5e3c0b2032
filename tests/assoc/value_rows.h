#pragma once
// The value types of the registry file tests: each value with the line our writer gives it, and
// whether the system's registry editor agrees with it both ways.

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

namespace assoctest {

// How the registry editor (regedit /E) exports a value compared with our writer.
enum class EditorExport {
  Same,        // the very same line
  Equivalent,  // other text that reads back to the same bytes
  Lossy,       // it loses bytes: kept out of the cross-check
};

struct ValueRow {
  const char* what;
  std::wstring name;
  DWORD type;
  std::string data;
  std::wstring line;  // as our writer writes it, "\r\n" between wrapped lines
  EditorExport editorExport = EditorExport::Same;
  const char* editorImportFault = nullptr;  // why regedit /S cannot take our line, when it cannot
};

// The UTF-16 bytes of text, without a terminator unless text holds one.
std::string Utf16(std::wstring_view text);

// Bytes from hex pairs separated by blanks ("00 7f ff").
std::string Hex(std::string_view pairs);

// The table: every type, text that needs escapes or cannot be quoted, hostile names.
std::vector<ValueRow> ValueRows();

// Writes every row's value into the key, which must be open for writing.
void WriteRows(HKEY key, const std::vector<ValueRow>& rows);

}  // namespace assoctest
