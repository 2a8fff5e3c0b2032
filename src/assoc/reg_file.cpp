#include "assoc/reg_file.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <iterator>

#include "assoc/assoc_texts.h"
#include "assoc/reg_paths.h"
#include "assoc/safety.h"

namespace assoc {

namespace {

constexpr std::wstring_view kHeader = L"Windows Registry Editor Version 5.00";
constexpr std::wstring_view kLineEnd = L"\r\n";
// The editor breaks a hex line once it reaches this many columns.
constexpr size_t kHexWrapColumn = 77;

struct RootName {
  std::wstring_view name;
  HKEY key;
};
const RootName kRoots[] = {
    {L"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},   {L"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
    {L"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE}, {L"HKEY_USERS", HKEY_USERS},
    {L"HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG},
};

// The escapes that quoted text may hold: the letter after "\\" and what it stands for.
struct Escape {
  wchar_t written;
  wchar_t meant;
};
constexpr Escape kEscapes[] = {{L'\\', L'\\'}, {L'"', L'"'}, {L'n', L'\n'}, {L'r', L'\r'}, {L'0', L'\0'}};

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

bool IsLineBreak(wchar_t c) { return c == L'\r' || c == L'\n'; }

int HexDigit(wchar_t c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'a' && c <= L'f') return c - L'a' + 10;
  if (c >= L'A' && c <= L'F') return c - L'A' + 10;
  return -1;
}

// ---- Writing ----

std::string BytesOfText(std::wstring_view text) {
  return std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
}

void AppendHexByte(std::wstring& out, unsigned char byte) {
  constexpr wchar_t kDigits[] = L"0123456789abcdef";
  out += kDigits[byte >> 4];
  out += kDigits[byte & 15];
}

// A value name between quotes: "\\" and "\"" as the editor escapes them, and line breaks as
// "\n" and "\r" as it does too (a name has no other way to hold one).
std::wstring QuotedName(std::wstring_view name) {
  std::wstring out = L"\"";
  for (wchar_t c : name) {
    if (c == L'\0') throw Exception(texts::kCannotWriteName);
    if (c == L'\\' || c == L'"') out += L'\\';
    if (c == L'\n') {
      out += L"\\n";
    } else if (c == L'\r') {
      out += L"\\r";
    } else {
      out += c;
    }
  }
  return out + L"\"";
}

// The text of a REG_SZ value when quoted text holds it exactly: an even byte count that ends in
// its only NUL, without line breaks. False for any other data.
bool TextOfPlainString(const std::string& data, std::wstring& text) {
  if (data.size() < sizeof(wchar_t) || data.size() % sizeof(wchar_t) != 0) return false;
  text.assign(data.size() / sizeof(wchar_t), L'\0');
  std::memcpy(text.data(), data.data(), data.size());
  if (text.back() != L'\0') return false;
  text.pop_back();
  for (wchar_t c : text)
    if (c == L'\0' || IsLineBreak(c)) return false;
  return true;
}

// "hex:" or "hex(N):" and the bytes, wrapped as the editor wraps them: after each byte but the
// last comes a comma, and once the line has reached kHexWrapColumn, "\" and a new line
// indented by two blanks. column counts what the line holds before the type tag.
void AppendHex(std::wstring& out, size_t column, DWORD type, const std::string& data) {
  std::wstring tag = L"hex:";
  if (type != REG_BINARY) {
    wchar_t buffer[24];
    std::swprintf(buffer, std::size(buffer), L"hex(%lx):", static_cast<unsigned long>(type));
    tag = buffer;
  }
  out += tag;
  column += tag.size();
  for (size_t i = 0; i < data.size(); ++i) {
    AppendHexByte(out, static_cast<unsigned char>(data[i]));
    if (i + 1 == data.size()) break;
    out += L',';
    column += 3;
    if (column >= kHexWrapColumn) {
      out += L"\\\r\n  ";
      column = 2;
    }
  }
}

void AppendValue(std::wstring& out, const TRegValue& value) {
  const std::wstring name = value.Name.empty() ? L"@" : QuotedName(value.Name);
  out += name;
  out += L'=';
  std::wstring text;
  if (value.Remove) {
    out += L'-';
  } else if (value.Type == REG_SZ && TextOfPlainString(value.Data, text)) {
    out += L'"';
    for (wchar_t c : text) {
      if (c == L'\\' || c == L'"') out += L'\\';
      out += c;
    }
    out += L'"';
  } else if (value.Type == REG_DWORD && value.Data.size() == sizeof(DWORD)) {
    DWORD number;
    std::memcpy(&number, value.Data.data(), sizeof number);
    wchar_t buffer[16];
    std::swprintf(buffer, std::size(buffer), L"dword:%08lx", static_cast<unsigned long>(number));
    out += buffer;
  } else {
    AppendHex(out, name.size() + 1, value.Type, value.Data);
  }
  out += kLineEnd;
}

// ---- Reading ----

// The header of the files whose string-typed hex data is 8-bit text.
constexpr std::wstring_view kAnsiHeader = L"REGEDIT4";
// The header of the editor's oldest format, whose lines are no sections.
constexpr std::wstring_view kWin31Header = L"REGEDIT";
// Byte-order marks that the editor does not know: it reads such a file as 8-bit text, so its
// first line is never a header.
struct ForeignMark {
  std::string_view bytes;
  const wchar_t* encoding;
};
constexpr ForeignMark kForeignMarks[] = {
    {"\xEF\xBB\xBF", texts::kUtf8WithBom},
    {"\xFE\xFF", texts::kUtf16BigEndian},
};

// How a file writes the bytes of hex(1):, hex(2): and hex(7): data.
enum class TStringBytes {
  Utf16,  // as the registry holds them
  Ansi,   // as 8-bit text in the ANSI code page ("REGEDIT4")
};

[[noreturn]] void Fail(int line, std::wstring_view fault) { throw ERegFileError(line, texts::LineFault(line, fault)); }

// The line of text that starts at pos, without its end (CR LF, LF or CR); pos then follows the
// end. False at the end of the text.
template <class Char>
bool TakeLine(std::basic_string_view<Char> text, size_t& pos, std::basic_string_view<Char>& line) {
  if (pos >= text.size()) return false;
  size_t end = pos;
  while (end < text.size() && text[end] != Char('\r') && text[end] != Char('\n')) ++end;
  line = text.substr(pos, end - pos);
  pos = end;
  if (pos < text.size() && text[pos] == Char('\r')) ++pos;
  if (pos < text.size() && text[pos] == Char('\n')) ++pos;
  return true;
}

// The lines of a file with the number of the line at hand: a UTF-16 file's read where its text
// lies, an 8-bit file's split at its line ends and decoded one line at a time in the ANSI code
// page, as the editor does (a lead byte before a line end stays on its line). A line stays valid
// until the next one is taken.
class LineReader {
 public:
  explicit LineReader(std::wstring_view text) : text_(text) {}
  explicit LineReader(std::string_view bytes) : bytes_(bytes), ansi_(true) {}

  // The next line without its end; false at the end of the file.
  bool Next(std::wstring_view& line) {
    if (!ansi_) {
      if (!TakeLine(text_, pos_, line)) return false;
      ++number_;
      return true;
    }
    std::string_view bytes;
    if (!TakeLine(bytes_, pos_, bytes)) return false;
    ++number_;
    // No code page makes more UTF-16 characters of a text than it has bytes.
    decoded_.resize(bytes.size());
    const int length = bytes.size() > INT_MAX ? 0
                                              : MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()),
                                                                    decoded_.data(), static_cast<int>(bytes.size()));
    if (length <= 0 && !bytes.empty()) Fail(number_, texts::kBadLine);
    line = std::wstring_view(decoded_.data(), bytes.empty() ? 0 : static_cast<size_t>(length));
    return true;
  }
  int Number() const { return number_; }

 private:
  std::wstring_view text_;
  std::string_view bytes_;
  bool ansi_ = false;
  std::wstring decoded_;
  size_t pos_ = 0;
  int number_ = 0;
};

void SkipBlanks(std::wstring_view text, size_t& pos) {
  while (pos < text.size() && IsBlank(text[pos])) ++pos;
}

bool OnlyBlanksFrom(std::wstring_view text, size_t pos) {
  SkipBlanks(text, pos);
  return pos == text.size();
}

// True when text at pos starts with word, letter case aside; pos then follows it.
bool TakeWord(std::wstring_view text, size_t& pos, std::wstring_view word) {
  if (text.size() - pos < word.size() || !SameKeyName(text.substr(pos, word.size()), word)) return false;
  pos += word.size();
  return true;
}

// A quoted text from the quote at pos, handed to take a character at a time, with the escapes
// \\, \", \n, \r and \0; pos then follows the closing quote. False when the text is not closed
// on the line or holds another escape.
template <class Take>
bool TakeQuoted(std::wstring_view line, size_t& pos, Take&& take) {
  for (size_t i = pos + 1; i < line.size(); ++i) {
    wchar_t c = line[i];
    if (c == L'"') {
      pos = i + 1;
      return true;
    }
    if (c == L'\\') {
      if (++i == line.size()) return false;
      const auto escape = std::find_if(std::begin(kEscapes), std::end(kEscapes),
                                       [&](const Escape& e) { return e.written == line[i]; });
      if (escape == std::end(kEscapes)) return false;
      c = escape->meant;
    }
    take(c);
  }
  return false;
}

void AppendChar(std::string& bytes, wchar_t c) { bytes.append(reinterpret_cast<const char*>(&c), sizeof c); }

bool TakeHexNumber(std::wstring_view text, size_t& pos, unsigned long& number) {
  const size_t start = pos;
  number = 0;
  while (pos < text.size() && HexDigit(text[pos]) >= 0 && pos - start < 8)
    number = number * 16 + static_cast<unsigned long>(HexDigit(text[pos++]));
  return pos > start && (pos == text.size() || HexDigit(text[pos]) < 0);
}

// The bytes of a hex value from pos on, over as many lines as end in "\".
std::string TakeHexBytes(LineReader& lines, std::wstring_view line, size_t pos) {
  std::string data;
  for (;;) {
    SkipBlanks(line, pos);
    if (pos == line.size()) return data;
    if (line[pos] == L'\\') {
      if (!OnlyBlanksFrom(line, pos + 1)) Fail(lines.Number(), texts::kBadHex);
      if (!lines.Next(line)) Fail(lines.Number(), texts::kFileEndsEarly);
      pos = 0;
      continue;
    }
    if (pos + 1 >= line.size() || HexDigit(line[pos]) < 0 || HexDigit(line[pos + 1]) < 0)
      Fail(lines.Number(), texts::kBadHex);
    data += static_cast<char>(HexDigit(line[pos]) * 16 + HexDigit(line[pos + 1]));
    pos += 2;
    SkipBlanks(line, pos);
    if (pos == line.size()) return data;
    if (line[pos] == L',') {
      ++pos;
    } else if (line[pos] != L'\\') {
      Fail(lines.Number(), texts::kBadHex);
    }
  }
}

bool IsStringType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

// The bytes the registry holds for string-typed data written as 8-bit text: a NUL added when the
// text does not end in one, then decoded in the ANSI code page, as the editor converts them.
std::string Utf16OfAnsi(int lineNumber, std::string ansi) {
  if (ansi.empty()) return ansi;
  if (ansi.back() != '\0') ansi += '\0';
  std::string wide(ansi.size() * sizeof(wchar_t), '\0');
  const int length = ansi.size() > INT_MAX ? 0
                                           : MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()),
                                                                 reinterpret_cast<wchar_t*>(wide.data()),
                                                                 static_cast<int>(ansi.size()));
  if (length <= 0) Fail(lineNumber, texts::kBadHex);
  wide.resize(static_cast<size_t>(length) * sizeof(wchar_t));
  return wide;
}

TRegValue ReadValue(LineReader& lines, std::wstring_view line, size_t pos, TStringBytes strings) {
  TRegValue value;
  value.Line = lines.Number();
  if (line[pos] == L'@') {
    ++pos;
  } else if (!TakeQuoted(line, pos, [&](wchar_t c) { value.Name += c; }) ||
             value.Name.find(L'\0') != std::wstring::npos) {
    // No value name holds a NUL: the API would end it there and name another value.
    Fail(value.Line, texts::kBadLine);
  }
  if (pos == line.size() || line[pos] != L'=') Fail(value.Line, texts::kBadLine);
  ++pos;
  unsigned long number = 0;
  if (pos < line.size() && line[pos] == L'-' && OnlyBlanksFrom(line, pos + 1)) {
    value.Remove = true;
  } else if (pos < line.size() && line[pos] == L'"') {
    // The text goes straight into the value's bytes: a long one is not copied again.
    value.Data.reserve((line.size() - pos) * sizeof(wchar_t));
    if (!TakeQuoted(line, pos, [&](wchar_t c) { AppendChar(value.Data, c); }) || !OnlyBlanksFrom(line, pos))
      Fail(value.Line, texts::kBadString);
    AppendChar(value.Data, L'\0');
    value.Type = REG_SZ;
  } else if (TakeWord(line, pos, L"dword:")) {
    if (!TakeHexNumber(line, pos, number) || !OnlyBlanksFrom(line, pos)) Fail(value.Line, texts::kBadDword);
    const DWORD dword = static_cast<DWORD>(number);
    value.Type = REG_DWORD;
    value.Data.assign(reinterpret_cast<const char*>(&dword), sizeof dword);
  } else if (TakeWord(line, pos, L"hex:")) {
    value.Type = REG_BINARY;
    value.Data = TakeHexBytes(lines, line, pos);
  } else if (TakeWord(line, pos, L"hex(")) {
    if (!TakeHexNumber(line, pos, number) || !TakeWord(line, pos, L"):")) Fail(value.Line, texts::kBadHex);
    value.Type = static_cast<DWORD>(number);
    value.Data = TakeHexBytes(lines, line, pos);
    if (strings == TStringBytes::Ansi && IsStringType(value.Type))
      value.Data = Utf16OfAnsi(value.Line, std::move(value.Data));
  } else {
    Fail(value.Line, texts::kBadLine);
  }
  return value;
}

// A key path as the file names it: a known root, then key names that are neither empty nor
// longer than the registry allows.
bool IsKeyPath(std::wstring_view path) {
  std::wstring_view rest;
  if (!RootOfRegPath(path, &rest)) return false;
  if (rest.empty()) return path.find(L'\\') == std::wstring_view::npos;
  for (;;) {
    const size_t end = rest.find(L'\\');
    const std::wstring_view name = rest.substr(0, end);
    if (name.empty() || name.size() > kLongestKeyName) return false;
    if (end == std::wstring_view::npos) return true;
    rest.remove_prefix(end + 1);
  }
}

TRegKey ReadKey(int lineNumber, std::wstring_view line, size_t pos) {
  const size_t close = line.rfind(L']');
  if (close == std::wstring_view::npos || !OnlyBlanksFrom(line, close + 1)) Fail(lineNumber, texts::kBadKeyName);
  std::wstring_view path = line.substr(pos + 1, close - pos - 1);
  // Counted before the path is looked at any further, so that nothing grows with its depth.
  if (static_cast<size_t>(std::count(path.begin(), path.end(), L'\\')) > kMaxKeyDepth)
    Fail(lineNumber, texts::KeyTooDeep(kMaxKeyDepth));
  TRegKey key;
  key.Line = lineNumber;
  if (!path.empty() && path[0] == L'-') {
    key.Remove = true;
    path.remove_prefix(1);
  }
  if (!RootOfRegPath(path)) Fail(lineNumber, texts::kUnknownRoot);
  if (!IsKeyPath(path)) Fail(lineNumber, texts::kBadKeyName);
  key.Path = path;
  return key;
}

[[noreturn]] void FailWithoutHeader() { Fail(1, std::wstring(texts::kNotRegFile) + texts::kHeaderHint); }

// The first line's header, blanks around it aside: how the file writes string-typed hex data.
// Raises ERegFileError for any line other than the two headers the editor reads sections under.
TStringBytes ReadHeader(std::wstring_view line) {
  size_t pos = 0;
  SkipBlanks(line, pos);
  size_t end = line.size();
  while (end > pos && IsBlank(line[end - 1])) --end;
  const std::wstring_view header = line.substr(pos, end - pos);
  if (header == kHeader) return TStringBytes::Utf16;
  if (header == kAnsiHeader) return TStringBytes::Ansi;
  if (header == kWin31Header) Fail(1, texts::kWin31File);
  FailWithoutHeader();
}

TRegDocument ReadLines(LineReader& lines) {
  std::wstring_view line;
  if (!lines.Next(line)) FailWithoutHeader();
  const TStringBytes strings = ReadHeader(line);

  TRegDocument document;
  while (lines.Next(line)) {
    if (line.find(L'\0') != std::wstring_view::npos) Fail(lines.Number(), texts::kNulInText);
    size_t pos = 0;
    SkipBlanks(line, pos);
    if (pos == line.size() || line[pos] == L';') continue;
    if (line[pos] == L'[') {
      document.Keys.push_back(ReadKey(lines.Number(), line, pos));
    } else if (line[pos] == L'@' || line[pos] == L'"') {
      if (document.Keys.empty()) Fail(lines.Number(), texts::kValueOutsideKey);
      if (document.Keys.back().Remove) Fail(lines.Number(), texts::kValueInRemoval);
      document.Keys.back().Values.push_back(ReadValue(lines, line, pos, strings));
    } else {
      Fail(lines.Number(), texts::kBadLine);
    }
  }
  return document;
}

}  // namespace

HKEY RootOfRegPath(std::wstring_view path, std::wstring_view* rest) noexcept {
  const size_t end = path.find(L'\\');
  const std::wstring_view root = path.substr(0, end);
  for (const RootName& known : kRoots) {
    if (!SameKeyName(root, known.name)) continue;
    if (rest) *rest = end == std::wstring_view::npos ? std::wstring_view() : path.substr(end + 1);
    return known.key;
  }
  return nullptr;
}

std::string WriteRegFile(const TRegDocument& document) {
  std::wstring text(1, L'\xFEFF');
  text += kHeader;
  text += kLineEnd;
  for (const TRegKey& key : document.Keys) {
    for (wchar_t c : key.Path)
      if (c == L'\0' || IsLineBreak(c)) throw Exception(texts::kCannotWriteName);
    text += kLineEnd;
    text += key.Remove ? L"[-" : L"[";
    text += key.Path;
    text += L']';
    text += kLineEnd;
    for (const TRegValue& value : key.Values) AppendValue(text, value);
  }
  text += kLineEnd;
  return BytesOfText(text);
}

TRegDocument ReadRegFile(std::string_view bytes) {
  const auto startsWith = [&](std::string_view mark) { return bytes.substr(0, mark.size()) == mark; };
  if (startsWith("\xFF\xFE")) {
    const std::string_view body = bytes.substr(2);
    const size_t length = body.size() / sizeof(wchar_t);
    std::wstring copy;
    std::wstring_view text(reinterpret_cast<const wchar_t*>(body.data()), length);
    // A file read whole starts aligned, so its text is read where it lies; only bytes that start
    // elsewhere are copied first.
    if (reinterpret_cast<uintptr_t>(body.data()) % alignof(wchar_t) != 0) {
      copy.resize(length);
      std::memcpy(copy.data(), body.data(), length * sizeof(wchar_t));
      text = copy;
    }
    LineReader lines(text);
    TRegDocument document = ReadLines(lines);
    // A byte left over halves a character: the file was cut short.
    if (body.size() % sizeof(wchar_t) != 0) Fail(lines.Number(), texts::kFileEndsEarly);
    return document;
  }
  for (const ForeignMark& mark : kForeignMarks)
    if (startsWith(mark.bytes)) Fail(1, texts::UnreadableEncoding(mark.encoding));
  // Text with a NUL among its first two bytes is UTF-16 that lacks its mark.
  if (bytes.size() >= 2 && (bytes[0] == '\0' || bytes[1] == '\0'))
    Fail(1, texts::UnreadableEncoding(texts::kUtf16WithoutBom));
  LineReader lines(bytes);
  return ReadLines(lines);
}

}  // namespace assoc
