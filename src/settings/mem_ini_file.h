#pragma once
// An INI settings file held in memory for the length of one operation.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "settings/byte_sink.h"
#include "settings/text_encoding.h"

// The sections and lines of one INI file. Section and key names match regardless of letter case;
// where a name occurs more than once, the last occurrence is the one read and replaced. Nothing is
// written until WriteToFile; destroying a document never writes. Every operation raises Exception
// "メモリが不足しています" when memory runs out, and then leaves the document and its file as they were.
class TMemIniFile {
 public:
  // Loads FileName when it names an existing file (relative names against the current directory).
  // An empty name, a missing file or a folder gives an empty document. Raises Exception
  // "ファイル <absolute path> は開けません。 <system text> " when the file cannot be read.
  explicit TMemIniFile(std::wstring FileName);
  TMemIniFile(const TMemIniFile&) = delete;
  TMemIniFile& operator=(const TMemIniFile&) = delete;

  // Everything after the first "=" of the key's line in the section, or Default when either is absent.
  std::wstring GetTextValue(std::wstring_view Section, std::wstring_view Key, std::wstring_view Default) const;
  // The value as a 32-bit integer (decimal, or hexadecimal after "$", "x" or "0x"), or Default when
  // it is absent or not such a number.
  int GetIntValue(std::wstring_view Section, std::wstring_view Key, int Default) const;
  // Replaces the key's line in place (the key written as passed), or appends it to the section,
  // which is appended to the document when absent. The value is kept exactly as passed; a value
  // holding CR, LF or NUL would be read back as other lines, so callers keep those out.
  void SetTextValue(std::wstring_view Section, std::wstring_view Key, std::wstring_view Value);
  // SetTextValue with the value in decimal.
  void SetIntValue(std::wstring_view Section, std::wstring_view Key, int Value);
  // Writes the whole document over its file, in the encoding it was read in (the ANSI code page
  // for a new file), CR LF after every line and one empty line after each section. Text that the
  // ANSI code page cannot hold is written as UTF-8 with its byte-order mark instead. Raises the
  // Exceptions of settings::ReplaceWholeFile; the file is unchanged then.
  void WriteToFile() const;

 private:
  // A key line set since loading: it stands in for the file's line that starts at `line`, or
  // follows the lines of its section when line is kAppended.
  struct Change {
    size_t section;
    size_t line;
    std::wstring key, value;
  };
  static constexpr size_t kAppended = static_cast<size_t>(-1);

  // Calls f with the file's text (see mem_ini_file.cpp).
  template <typename F>
  decltype(auto) WithText(F&& f) const;
  // Writes the document in its tidy form, in encoding.
  template <typename Text>
  void Render(const Text& text, settings::TextEncoding encoding, settings::ByteSink& sink) const;
  size_t TextSize() const;
  // The last section of that name: where its lines start in the text, or TextSize() + 1 + i for
  // FAdded[i]; nullopt when there is none.
  std::optional<size_t> FindSection(std::wstring_view name) const;
  // The change of the key in the section, or null.
  const Change* FindChange(size_t section, std::wstring_view key) const;
  // The file's own encoding unless it cannot hold what was set since.
  settings::TextEncoding TargetEncoding() const;

  std::wstring FFileName;
  // Unset until a file was loaded.
  std::optional<settings::TextEncoding> FEncoding;
  // The file's text after its byte-order mark and before any NUL: bytes, or units for UTF-16.
  std::string FBytes;
  std::wstring FWide;
  // Sections added since loading, after the file's; the key lines set since.
  std::vector<std::wstring> FAdded;
  std::vector<Change> FChanges;
  // The last section looked up: one operation asks for the same one again and again.
  mutable std::optional<std::pair<std::wstring, std::optional<size_t>>> FLastFound;
};
