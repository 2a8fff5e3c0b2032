#pragma once
// An INI settings file held in memory for the length of one operation.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "settings/text_encoding.h"

// The sections and lines of one INI file. Section and key names match regardless of letter case;
// where a name occurs more than once, the last occurrence is the one read and replaced. Nothing is
// written until WriteToFile; destroying a document never writes.
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
  // which is appended to the document when absent. The value is kept exactly as passed.
  void SetTextValue(std::wstring_view Section, std::wstring_view Key, std::wstring_view Value);
  // SetTextValue with the value in decimal.
  void SetIntValue(std::wstring_view Section, std::wstring_view Key, int Value);
  // Writes the whole document over its file, in the encoding it was read in (the ANSI code page
  // for a new file), CR LF after every line and one empty line after each section. Text that the
  // ANSI code page cannot hold is written as UTF-8 with its byte-order mark instead. Raises the
  // Exceptions of settings::ReplaceWholeFile; the file is unchanged then.
  void WriteToFile() const;

 private:
  // A piece of the file's text (FBytes or FWide), or of FAdded.
  struct Range {
    uint32_t pos = 0;
    uint32_t len = 0;
    bool added = false;
  };
  // A key line (key "=" value) or, without key, a line kept as read (in value).
  struct Line {
    Range key;
    Range value;
    bool hasKey = false;
  };
  // A section as it lies in the file, from its header line (begin) to the next header (end), its
  // lines after body. Its lines are read from the file until a change takes them apart into
  // FLineLists[lines]. Writing copies the file's text but for the lines FEdits[firstEdit, +
  // editCount), and adds the empty line after the section unless the file has it there.
  struct Section {
    Range name;
    uint32_t begin = 0;
    uint32_t body = 0;
    uint32_t end = 0;
    uint32_t firstEdit = 0;
    uint32_t editCount = 0;
    bool headerAsWritten = false;
    bool endsWithEmptyLine = false;
    int lines = -1;
  };
  class Writer;
  // One line of the file as the format reads it.
  struct RawLine;

  // The piece [from, to) of the file's text.
  static Range Span(size_t from, size_t to);
  // Reads the line that starts at pos of text[0, n).
  template <typename Unit>
  static RawLine ReadLine(const Unit* text, size_t pos, size_t n, const bool* leadBytes);
  // A key line or line without key of the file as a line of the document.
  static Line LineOf(const RawLine& line);

  // Calls f with the file's text (bytes or UTF-16 units), its length and the lead-byte table.
  template <typename F>
  decltype(auto) WithText(F&& f) const;
  // Reads the sections of the text from start on; returns where the text ends (at a NUL).
  size_t Parse(size_t start);
  // True when the file's text is held as UTF-16 units (FWide).
  bool Wide() const;
  // The text of a range, decoded.
  std::wstring Text(Range range) const;
  // True when the text of range is name, letter case aside.
  bool Matches(Range range, std::wstring_view name) const;
  // Keeps text in FAdded; answers where.
  Range Store(std::wstring_view text);
  // The last section of that name, or null.
  Section* FindSection(std::wstring_view name);
  const Section* FindSection(std::wstring_view name) const;
  // The value of the last key line of that key in the section.
  std::optional<Range> FindValue(const Section& section, std::wstring_view key) const;
  // The section's lines, taken apart from the file on first use.
  std::vector<Line>& LinesOf(Section& section);
  // The encoding to write in: the file's own unless it cannot hold what was set since.
  settings::TextEncoding TargetEncoding() const;

  std::wstring FFileName;
  // Unset until a file was loaded.
  std::optional<settings::TextEncoding> FEncoding;
  // The file as read: bytes for the ANSI code page and UTF-8, units for UTF-16.
  std::string FBytes;
  std::wstring FWide;
  const bool* FLeadBytes = nullptr;
  // Keys, values and names set since.
  std::wstring FAdded;
  std::vector<Section> FSections;
  // The lines of the file that writing does not copy as they are: they are left out (comments,
  // empty lines) or written in their tidy form.
  std::vector<Range> FEdits;
  std::vector<std::vector<Line>> FLineLists;
};
