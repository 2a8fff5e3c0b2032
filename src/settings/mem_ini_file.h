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
  // A piece of FText.
  struct Range {
    uint32_t pos = 0;
    uint32_t len = 0;
  };
  // A key line (key "=" value) or, without key, a line kept as read (in value).
  struct Line {
    Range key;
    Range value;
    bool hasKey = false;
  };
  // Its lines read from the file are FLines[first, first + count); lines set later follow them.
  struct Section {
    Range name;
    uint32_t first = 0;
    uint32_t count = 0;
    std::vector<Line> added;
  };

  std::wstring_view View(Range range) const { return {FText.data() + range.pos, range.len}; }
  Range Store(std::wstring_view text);
  void Parse();
  const Section* FindSection(std::wstring_view name) const;
  const Line* FindKey(const Section& section, std::wstring_view key) const;
  // The document's bytes in encoding; false when a character could not be represented.
  bool Encode(settings::TextEncoding encoding, std::string& bytes) const;

  std::wstring FFileName;
  // Unset until a file was loaded.
  std::optional<settings::TextEncoding> FEncoding;
  // The decoded file, followed by the keys and values set since.
  std::wstring FText;
  std::vector<Line> FLines;
  std::vector<Section> FSections;
};
