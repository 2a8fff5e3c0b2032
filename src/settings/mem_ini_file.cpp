#include "settings/mem_ini_file.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <utility>

#include "common/text.h"
#include "settings/file_access.h"

namespace {

// Names match regardless of letter case: ASCII is folded here, anything else by the platform.
bool SameName(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    wchar_t x = a[i], y = b[i];
    if (x == y) continue;
    if (x < 0x80 && y < 0x80) {
      if (x >= L'a' && x <= L'z') x -= L'a' - L'A';
      if (y >= L'a' && y <= L'z') y -= L'a' - L'A';
      if (x != y) return false;
      continue;
    }
    const int rest = static_cast<int>(a.size() - i);
    return CompareStringOrdinal(a.data() + i, rest, b.data() + i, rest, TRUE) == CSTR_EQUAL;
  }
  return true;
}

wchar_t AsciiUpper(wchar_t c) { return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - (L'a' - L'A')) : c; }

// True when the byte at pos starts a character of the line [begin, end): in a double-byte code
// page a trail byte may look like "]". Only a byte after a lead byte can be a trail byte.
bool StartsCharacter(const unsigned char* text, size_t begin, size_t pos, size_t end, const bool* leadBytes) {
  if (pos == begin || !leadBytes[text[pos - 1]]) return true;
  size_t i = begin;
  while (i < pos) i += (leadBytes[text[i]] && i + 1 < end && text[i + 1] >= 0x40) ? 2 : 1;
  return i == pos;
}
bool StartsCharacter(const wchar_t*, size_t, size_t, size_t, const bool*) { return true; }

}  // namespace

struct TMemIniFile::RawLine {
  enum Kind { Skip, Header, Key, Text };
  Kind kind = Skip;
  size_t begin = 0, end = 0;          // the line, trimmed
  size_t next = 0;                    // where the following line starts
  size_t keyEnd = 0, valueBegin = 0;  // a key line: key [begin, keyEnd), value [valueBegin, end)
  size_t nameBegin = 0, nameEnd = 0;  // a header
  bool asWritten = false;             // writing it gives the same text, its CR LF included
  bool emptyLine = false;             // nothing but CR LF
  bool textEnds = false;              // a NUL ends the text right after this line
};

namespace {

// Finding line ends, NULs and "=": bytes eight at a time, UTF-16 units one by one.
constexpr uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Full;
constexpr uint64_t kOnes = 0x0101010101010101ull;
// The high bit of each byte of v that is zero, and of no other.
inline uint64_t ZeroBytes(uint64_t v) { return ~(((v & kLow7) + kLow7) | v | kLow7); }
inline size_t FirstMarked(uint64_t marks) {
  return static_cast<size_t>(std::endian::native == std::endian::little ? std::countr_zero(marks)
                                                                          : std::countl_zero(marks)) / 8;
}

// The first CR, LF or NUL at or after pos; n when there is none.
inline size_t LineEnd(const unsigned char* text, size_t pos, size_t n) {
  for (; pos + 8 <= n; pos += 8) {
    uint64_t word;
    std::memcpy(&word, text + pos, 8);
    if (uint64_t marks = ZeroBytes(word) | ZeroBytes(word ^ (kOnes * '\r')) | ZeroBytes(word ^ (kOnes * '\n')))
      return pos + FirstMarked(marks);
  }
  while (pos < n && text[pos] != '\r' && text[pos] != '\n' && text[pos] != 0) ++pos;
  return pos;
}
inline size_t LineEnd(const wchar_t* text, size_t pos, size_t n) {
  while (pos < n && text[pos] != L'\r' && text[pos] != L'\n' && text[pos] != 0) ++pos;
  return pos;
}

// The first "=" in [pos, end); end when there is none.
inline size_t FindEquals(const unsigned char* text, size_t pos, size_t end) {
  for (; pos + 8 <= end; pos += 8) {
    uint64_t word;
    std::memcpy(&word, text + pos, 8);
    if (uint64_t marks = ZeroBytes(word ^ (kOnes * '='))) return pos + FirstMarked(marks);
  }
  while (pos < end && text[pos] != '=') ++pos;
  return pos;
}
inline size_t FindEquals(const wchar_t* text, size_t pos, size_t end) {
  while (pos < end && text[pos] != L'=') ++pos;
  return pos;
}

}  // namespace

template <typename Unit>
TMemIniFile::RawLine TMemIniFile::ReadLine(const Unit* text, size_t pos, size_t n, const bool* leadBytes) {
  RawLine line;
  size_t end = LineEnd(text, pos, n);
  const size_t lineEnd = end;
  const bool crlf = end + 1 < n && text[end] == '\r' && text[end + 1] == '\n';
  if (end < n && text[end] == 0) {
    line.textEnds = true;
    line.next = end;
  } else {
    line.next = end < n ? end + (crlf ? 2 : 1) : n;
  }
  line.emptyLine = crlf && pos == lineEnd;

  size_t begin = pos;
  while (begin < end && text[begin] <= ' ') ++begin;
  while (end > begin && text[end - 1] <= ' ') --end;
  line.begin = begin;
  line.end = end;
  if (begin == end || text[begin] == ';') return line;
  bool asWritten = crlf && begin == pos && end == lineEnd;

  if (text[begin] == '[' && text[end - 1] == ']' &&
      (!leadBytes || StartsCharacter(text, begin, end - 1, end, leadBytes))) {
    size_t nameBegin = begin + 1, nameEnd = end - 1;
    while (nameBegin < nameEnd && text[nameBegin] <= ' ') ++nameBegin;
    while (nameEnd > nameBegin && text[nameEnd - 1] <= ' ') --nameEnd;
    line.kind = RawLine::Header;
    line.nameBegin = nameBegin;
    line.nameEnd = nameEnd;
    asWritten = asWritten && nameBegin == begin + 1 && nameEnd == end - 1;
  } else if (const size_t equals = FindEquals(text, begin, end); equals < end) {
    size_t keyEnd = equals, valueBegin = equals + 1;
    while (keyEnd > begin && text[keyEnd - 1] <= ' ') --keyEnd;
    while (valueBegin < end && text[valueBegin] <= ' ') ++valueBegin;
    line.kind = RawLine::Key;
    line.keyEnd = keyEnd;
    line.valueBegin = valueBegin;
    asWritten = asWritten && keyEnd == equals && valueBegin == equals + 1;
  } else {
    line.kind = RawLine::Text;
  }
  line.asWritten = asWritten;
  return line;
}

template <typename F>
decltype(auto) TMemIniFile::WithText(F&& f) const {
  if (Wide()) return f(FWide.data(), FWide.size(), static_cast<const bool*>(nullptr));
  return f(reinterpret_cast<const unsigned char*>(FBytes.data()), FBytes.size(), FLeadBytes);
}

// Writes the document in one encoding. Pieces that lie next to each other in the file go out as
// one run, without decoding when the encoding is the file's own.
class TMemIniFile::Writer {
 public:
  Writer(const TMemIniFile& ini, settings::TextEncoding encoding, settings::ByteSink& sink)
      : ini_(ini), copy_(ini.FEncoding == encoding), out_(encoding, sink) {}

  void Document() {
    for (const Section& section : ini_.FSections) {
      if (section.lines >= 0) {
        if (section.headerAsWritten) {
          Piece(Span(section.begin, section.body));
        } else {
          Literal(L"[");
          Piece(section.name);
          Literal(L"]\r\n");
        }
        for (const Line& line : ini_.FLineLists[section.lines]) PutLine(line);
        Literal(L"\r\n");
        continue;
      }
      size_t pos = section.begin;
      for (uint32_t i = 0; i < section.editCount; ++i) {
        const Range& edit = ini_.FEdits[section.firstEdit + i];
        Piece(Span(pos, edit.pos));
        ini_.WithText([&](const auto* text, size_t, const bool* leadBytes) {
          Tidy(ReadLine(text, edit.pos, section.end, leadBytes));
        });
        pos = edit.pos + edit.len;
      }
      Piece(Span(pos, section.end));
      if (!section.endsWithEmptyLine) Literal(L"\r\n");
    }
    Flush();
  }

 private:
  // A line in its tidy form; nothing for comments and empty lines.
  void Tidy(const RawLine& line) {
    if (line.kind == RawLine::Header) {
      Literal(L"[");
      Piece(Span(line.nameBegin, line.nameEnd));
      Literal(L"]\r\n");
    } else if (line.kind != RawLine::Skip) {
      PutLine(LineOf(line));
    }
  }
  void Piece(Range range) {
    if (range.added) {
      Literal(std::wstring_view(ini_.FAdded).substr(range.pos, range.len));
    } else if (pending_ && range.pos == runEnd_) {
      runEnd_ += range.len;
    } else if (range.len) {
      Flush();
      pending_ = true;
      runBegin_ = range.pos;
      runEnd_ = range.pos + range.len;
    }
  }
  void Literal(std::wstring_view text) {
    Flush();
    out_.Put(text);
  }
  void PutLine(const Line& line) {
    if (line.hasKey) {
      Piece(line.key);
      Literal(L"=");
    }
    Piece(line.value);
    Literal(L"\r\n");
  }
  void Flush() {
    if (!pending_) return;
    pending_ = false;
    const size_t count = runEnd_ - runBegin_;
    if (ini_.Wide())
      out_.Put(std::wstring_view(ini_.FWide).substr(runBegin_, count));
    else if (copy_)
      out_.PutEncoded(std::string_view(ini_.FBytes).substr(runBegin_, count));
    else
      out_.Put(settings::DecodeBytes(std::string_view(ini_.FBytes).substr(runBegin_, count), *ini_.FEncoding));
  }

  const TMemIniFile& ini_;
  bool copy_;
  settings::TextEncoder out_;
  bool pending_ = false;
  uint32_t runBegin_ = 0;
  uint32_t runEnd_ = 0;
};

TMemIniFile::TMemIniFile(std::wstring FileName) : FFileName(std::move(FileName)) {
  if (!settings::FileExists(FFileName)) return;
  std::string bytes = settings::ReadWholeFile(FFileName);
  settings::TextEncoding encoding;
  const size_t mark = settings::DetectEncoding(bytes, encoding);
  FEncoding = encoding;
  // What follows a NUL is no longer part of the text.
  if (Wide()) {
    FWide = settings::DecodeUtf16(std::string_view(bytes).substr(mark), encoding == settings::TextEncoding::Utf16BE);
    FWide.resize(Parse(0));
  } else {
    FBytes = std::move(bytes);
    if (encoding == settings::TextEncoding::Ansi) FLeadBytes = settings::AnsiLeadBytes();
    FBytes.resize(Parse(mark));
  }
}

size_t TMemIniFile::Parse(size_t start) {
  return WithText([this, start](const auto* text, size_t n, const bool* leadBytes) {
    auto edit = [this](size_t from, size_t to) { FEdits.push_back(Span(from, to)); };
    // An empty line is kept only as the last line of its section, where writing puts one anyway.
    std::optional<Range> emptyLine;
    auto close = [&](size_t at) {
      if (FSections.empty()) return;
      Section& section = FSections.back();
      section.end = static_cast<uint32_t>(at);
      section.endsWithEmptyLine = emptyLine.has_value();
      section.editCount = static_cast<uint32_t>(FEdits.size()) - section.firstEdit;
      emptyLine.reset();
    };
    for (size_t pos = start; pos < n;) {
      const RawLine line = ReadLine(text, pos, n, leadBytes);
      if (line.kind == RawLine::Header) {
        close(pos);
        Section section;
        section.name = Span(line.nameBegin, line.nameEnd);
        section.begin = static_cast<uint32_t>(pos);
        section.body = static_cast<uint32_t>(line.next);
        section.firstEdit = static_cast<uint32_t>(FEdits.size());
        section.headerAsWritten = line.asWritten;
        if (!line.asWritten) edit(pos, line.next);
        // Grown to what the rest of the text promises, rather than doubled again and again.
        if (FSections.size() == FSections.capacity() && pos > start)
          FSections.reserve(std::max(2 * FSections.size(), FSections.size() * (n - start) / (pos - start) * 9 / 8));
        FSections.push_back(section);
      } else if (!FSections.empty()) {
        if (emptyLine) {
          FEdits.push_back(*emptyLine);
          emptyLine.reset();
        }
        if (line.emptyLine)
          emptyLine = Span(pos, line.next);
        else if (line.kind == RawLine::Skip || !line.asWritten)
          edit(pos, line.next);
      }
      pos = line.next;
      if (line.textEnds) n = pos;
    }
    close(n);
    return n;
  });
}

bool TMemIniFile::Wide() const {
  return FEncoding == settings::TextEncoding::Utf16LE || FEncoding == settings::TextEncoding::Utf16BE;
}

std::wstring TMemIniFile::Text(Range range) const {
  if (range.added) return FAdded.substr(range.pos, range.len);
  if (Wide()) return FWide.substr(range.pos, range.len);
  return settings::DecodeBytes(std::string_view(FBytes).substr(range.pos, range.len), *FEncoding);
}

bool TMemIniFile::Matches(Range range, std::wstring_view name) const {
  if (range.added) return SameName(std::wstring_view(FAdded).substr(range.pos, range.len), name);
  if (Wide()) return SameName(std::wstring_view(FWide).substr(range.pos, range.len), name);
  // A character takes one to three bytes for each UTF-16 unit; most names fail on length alone.
  if (range.len < name.size() || range.len > 3 * name.size()) return false;
  if (range.len == name.size()) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(FBytes.data()) + range.pos;
    size_t i = 0;
    while (i < name.size() && bytes[i] < 0x80 && name[i] < 0x80) {
      if (AsciiUpper(bytes[i]) != AsciiUpper(name[i])) return false;
      ++i;
    }
    if (i == name.size()) return true;
  }
  return SameName(Text(range), name);
}

TMemIniFile::Range TMemIniFile::Span(size_t from, size_t to) {
  return Range{static_cast<uint32_t>(from), static_cast<uint32_t>(to - from), false};
}

TMemIniFile::Line TMemIniFile::LineOf(const RawLine& line) {
  if (line.kind == RawLine::Key) return {Span(line.begin, line.keyEnd), Span(line.valueBegin, line.end), true};
  return {Range{}, Span(line.begin, line.end), false};
}

TMemIniFile::Range TMemIniFile::Store(std::wstring_view text) {
  Range range{static_cast<uint32_t>(FAdded.size()), static_cast<uint32_t>(text.size()), true};
  FAdded.append(text);
  return range;
}

const TMemIniFile::Section* TMemIniFile::FindSection(std::wstring_view name) const {
  for (auto it = FSections.rbegin(); it != FSections.rend(); ++it)
    if (Matches(it->name, name)) return &*it;
  return nullptr;
}

TMemIniFile::Section* TMemIniFile::FindSection(std::wstring_view name) {
  return const_cast<Section*>(std::as_const(*this).FindSection(name));
}

std::optional<TMemIniFile::Range> TMemIniFile::FindValue(const Section& section, std::wstring_view key) const {
  if (section.lines >= 0) {
    const std::vector<Line>& lines = FLineLists[section.lines];
    for (auto it = lines.rbegin(); it != lines.rend(); ++it)
      if (it->hasKey && Matches(it->key, key)) return it->value;
    return std::nullopt;
  }
  return WithText([&](const auto* text, size_t, const bool* leadBytes) {
    std::optional<Range> found;
    for (size_t pos = section.body; pos < section.end;) {
      const RawLine line = ReadLine(text, pos, section.end, leadBytes);
      if (line.kind == RawLine::Key && Matches(Span(line.begin, line.keyEnd), key)) found = Span(line.valueBegin, line.end);
      pos = line.next;
    }
    return found;
  });
}

std::vector<TMemIniFile::Line>& TMemIniFile::LinesOf(Section& section) {
  if (section.lines < 0) {
    std::vector<Line> lines;
    WithText([&](const auto* text, size_t, const bool* leadBytes) {
      for (size_t pos = section.body; pos < section.end;) {
        const RawLine line = ReadLine(text, pos, section.end, leadBytes);
        if (line.kind == RawLine::Key || line.kind == RawLine::Text) lines.push_back(LineOf(line));
        pos = line.next;
      }
    });
    section.lines = static_cast<int>(FLineLists.size());
    FLineLists.push_back(std::move(lines));
  }
  return FLineLists[section.lines];
}

std::wstring TMemIniFile::GetTextValue(std::wstring_view Section, std::wstring_view Key,
                                       std::wstring_view Default) const {
  const TMemIniFile::Section* section = FindSection(Section);
  const std::optional<Range> value = section ? FindValue(*section, Key) : std::nullopt;
  return value ? Text(*value) : std::wstring(Default);
}

int TMemIniFile::GetIntValue(std::wstring_view Section, std::wstring_view Key, int Default) const {
  return common::StrToIntDef(GetTextValue(Section, Key, L""), Default);
}

void TMemIniFile::SetTextValue(std::wstring_view Section, std::wstring_view Key, std::wstring_view Value) {
  TMemIniFile::Section* section = FindSection(Section);
  if (!section) {
    TMemIniFile::Section added;
    added.name = Store(Section);
    added.lines = static_cast<int>(FLineLists.size());
    FLineLists.emplace_back();
    FSections.push_back(added);
    section = &FSections.back();
  }
  std::vector<Line>& lines = LinesOf(*section);
  const Line line{Store(Key), Store(Value), true};
  for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
    if (it->hasKey && Matches(it->key, Key)) {
      *it = line;
      return;
    }
  }
  lines.push_back(line);
}

void TMemIniFile::SetIntValue(std::wstring_view Section, std::wstring_view Key, int Value) {
  SetTextValue(Section, Key, common::IntToStr(Value));
}

settings::TextEncoding TMemIniFile::TargetEncoding() const {
  const settings::TextEncoding own = FEncoding.value_or(settings::TextEncoding::Ansi);
  if (own != settings::TextEncoding::Ansi) return own;
  auto holds = [this](Range range) { return !range.added || settings::AnsiCanHold(Text(range)); };
  for (const Section& section : FSections) {
    if (!holds(section.name)) return settings::TextEncoding::Utf8;
    if (section.lines < 0) continue;
    for (const Line& line : FLineLists[section.lines])
      if (!holds(line.key) || !holds(line.value)) return settings::TextEncoding::Utf8;
  }
  return own;
}

void TMemIniFile::WriteToFile() const {
  const settings::TextEncoding encoding = TargetEncoding();
  settings::ReplaceWholeFile(FFileName, [&](settings::ByteSink& sink) { Writer(*this, encoding, sink).Document(); });
}
