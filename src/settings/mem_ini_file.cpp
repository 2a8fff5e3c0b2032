#include "settings/mem_ini_file.h"

#include <windows.h>

#include <algorithm>
#include <new>
#include <type_traits>

#include "common/exception.h"
#include "common/files.h"
#include "common/text.h"
#include "settings/file_access.h"

using settings::TextEncoding;

namespace {

// Names match regardless of letter case.
using common::EqualNoCase;

// Runs f; running out of memory on the way becomes the Exception that says so.
template <typename F>
decltype(auto) Guarded(F&& f) {
  try {
    return f();
  } catch (const std::bad_alloc&) {
    throw Exception(kOutOfMemoryMessage);
  }
}

// The text of a piece of the file, and whether a "]" at pos of a line is one: in a double-byte
// code page it may be the second byte of a character instead.
std::wstring Decode(std::string_view piece, TextEncoding encoding) { return settings::DecodeBytes(piece, encoding); }
std::wstring Decode(std::wstring_view piece, TextEncoding) { return std::wstring(piece); }
bool IsBracket(std::string_view line, size_t pos, TextEncoding encoding) {
  return encoding != TextEncoding::Ansi || settings::AnsiStartsCharacter(line, pos);
}
bool IsBracket(std::wstring_view, size_t, TextEncoding) { return true; }

// One line of the text. Trimmed of characters up to U+0020, it is empty or a comment (Skip), a
// header with its name, a key line with key (name) and value, or any other line (name).
struct Line {
  enum Kind { Skip, Header, Key, Other } kind = Skip;
  size_t start = 0, next = 0;  // the line; where the following one starts
  size_t nameBegin = 0, nameEnd = 0, valueBegin = 0, valueEnd = 0;
  bool tidy = false;  // the line is written as it stands, its CR LF included
};

// The text of the file: bytes in the ANSI code page or UTF-8, or UTF-16 units.
template <typename Unit>
struct Text {
  std::basic_string_view<Unit> units;
  TextEncoding encoding;

  static bool Blank(Unit c) { return static_cast<std::make_unsigned_t<Unit>>(c) <= ' '; }
  static void Trim(std::basic_string_view<Unit> t, size_t& begin, size_t& end) {
    while (begin < end && Blank(t[begin])) ++begin;
    while (end > begin && Blank(t[end - 1])) --end;
  }
  Line Read(size_t pos) const {
    Line line;
    line.start = pos;
    size_t end = pos;
    while (end < units.size() && units[end] != '\r' && units[end] != '\n') ++end;
    const bool crlf = end + 1 < units.size() && units[end] == '\r' && units[end + 1] == '\n';
    line.next = end < units.size() ? end + (crlf ? 2 : 1) : end;
    size_t begin = pos;
    const size_t lineEnd = end;
    Trim(units, begin, end);
    if (begin == end || units[begin] == ';') return line;
    const std::basic_string_view<Unit> t = units.substr(0, end);
    if (t[begin] == '[' && t[end - 1] == ']' && IsBracket(t.substr(begin), end - 1 - begin, encoding)) {
      line.kind = Line::Header;
      line.nameBegin = begin + 1, line.nameEnd = end - 1;
    } else {
      size_t equals = begin;
      while (equals < end && t[equals] != '=') ++equals;
      line.kind = equals < end ? Line::Key : Line::Other;
      line.nameBegin = begin, line.nameEnd = equals, line.valueBegin = std::min(equals + 1, end), line.valueEnd = end;
    }
    const Line untrimmed = line;
    Trim(t, line.nameBegin, line.nameEnd);
    Trim(t, line.valueBegin, line.valueEnd);
    line.tidy = crlf && begin == pos && end == lineEnd && line.nameBegin == untrimmed.nameBegin &&
                line.nameEnd == untrimmed.nameEnd && line.valueBegin == untrimmed.valueBegin;
    return line;
  }
  std::basic_string_view<Unit> Piece(size_t begin, size_t end) const { return units.substr(begin, end - begin); }
  // ASCII names are compared as they lie, since the platform's allocations and calls would cost
  // more than the scan of a large file.
  bool Matches(size_t begin, size_t end, std::wstring_view name) const {
    const std::basic_string_view<Unit> piece = Piece(begin, end);
    auto ascii = [](auto c) { return static_cast<unsigned>(c) < 0x80; };
    auto fold = [](auto c) { return static_cast<unsigned>(c) - (c >= 'a' && c <= 'z' ? 'a' - 'A' : 0); };
    if (std::all_of(name.begin(), name.end(), ascii) && std::all_of(piece.begin(), piece.end(), ascii))
      return piece.size() == name.size() &&
             std::equal(piece.begin(), piece.end(), name.begin(), [&](auto a, auto b) { return fold(a) == fold(b); });
    return EqualNoCase(Decode(piece, encoding), name);
  }
  // The lines that start at from and after, until f returns false.
  template <typename F>
  void Lines(size_t from, F f) const {
    for (size_t pos = from; pos < units.size();) {
      const Line line = Read(pos);
      pos = line.next;
      if (!f(line)) return;
    }
  }
  // The last header of that name: where its lines start.
  std::optional<size_t> FindSection(std::wstring_view name) const {
    std::optional<size_t> found;
    Lines(0, [&](const Line& line) {
      if (line.kind == Line::Header && Matches(line.nameBegin, line.nameEnd, name)) found = line.next;
      return true;
    });
    return found;
  }
  // The last key line of that key in the section whose lines start at section.
  std::optional<Line> FindKey(size_t section, std::wstring_view key) const {
    std::optional<Line> found;
    Lines(section, [&](const Line& line) {
      if (line.kind == Line::Key && Matches(line.nameBegin, line.nameEnd, key)) found = line;
      return line.kind != Line::Header;
    });
    return found;
  }
};

}  // namespace

template <typename F>
decltype(auto) TMemIniFile::WithText(F&& f) const {
  if (FEncoding == TextEncoding::Utf16LE || FEncoding == TextEncoding::Utf16BE)
    return f(Text<wchar_t>{FWide, *FEncoding});
  return f(Text<char>{FBytes, FEncoding.value_or(TextEncoding::Ansi)});
}

TMemIniFile::TMemIniFile(std::wstring FileName) : FFileName(std::move(FileName)) {
  Guarded([this] {
    if (!common::FileExists(FFileName)) return;
    std::string bytes = settings::ReadWholeFile(FFileName);
    TextEncoding encoding;
    const size_t mark = settings::DetectEncoding(bytes, encoding);
    FEncoding = encoding;
    if (encoding == TextEncoding::Utf16LE || encoding == TextEncoding::Utf16BE) {
      FWide = settings::DecodeUtf16(std::string_view(bytes).substr(mark), encoding == TextEncoding::Utf16BE);
      FWide.erase(std::find(FWide.begin(), FWide.end(), L'\0'), FWide.end());
    } else {
      FBytes = std::move(bytes.erase(0, mark));
      FBytes.erase(std::find(FBytes.begin(), FBytes.end(), '\0'), FBytes.end());
    }
  });
}

size_t TMemIniFile::TextSize() const { return FBytes.size() + FWide.size(); }

std::optional<size_t> TMemIniFile::FindSection(std::wstring_view name) const {
  if (FLastFound && EqualNoCase(FLastFound->first, name)) return FLastFound->second;
  std::optional<size_t> found;
  for (size_t i = 0; i < FAdded.size(); ++i)
    if (EqualNoCase(FAdded[i], name)) found = TextSize() + 1 + i;
  if (!found) found = WithText([name](const auto& text) { return text.FindSection(name); });
  FLastFound.emplace(name, found);
  return found;
}

const TMemIniFile::Change* TMemIniFile::FindChange(size_t section, std::wstring_view key) const {
  for (const Change& change : FChanges)
    if (change.section == section && EqualNoCase(change.key, key)) return &change;
  return nullptr;
}

std::wstring TMemIniFile::GetTextValue(std::wstring_view Section, std::wstring_view Key,
                                       std::wstring_view Default) const {
  return Guarded([&] {
    const std::optional<size_t> section = FindSection(Section);
    if (!section) return std::wstring(Default);
    if (const Change* change = FindChange(*section, Key)) return change->value;
    return WithText([&](const auto& text) {
      const std::optional<Line> line = text.FindKey(*section, Key);
      return line ? Decode(text.Piece(line->valueBegin, line->valueEnd), text.encoding) : std::wstring(Default);
    });
  });
}

int TMemIniFile::GetIntValue(std::wstring_view Section, std::wstring_view Key, int Default) const {
  return common::StrToIntDef(GetTextValue(Section, Key, L""), Default);
}

void TMemIniFile::SetTextValue(std::wstring_view Section, std::wstring_view Key, std::wstring_view Value) {
  Guarded([&] {
    const std::optional<size_t> found = FindSection(Section);
    Change change{found.value_or(TextSize() + FAdded.size() + 1), kAppended, std::wstring(Key), std::wstring(Value)};
    if (const Change* old = FindChange(change.section, Key)) {
      change.line = old->line;
      FChanges[old - FChanges.data()] = std::move(change);
      return;
    }
    if (found) {
      const std::optional<Line> line = WithText([&](const auto& text) { return text.FindKey(*found, Key); });
      if (line) change.line = line->start;
    }
    // Nothing is changed before the last step that may run out of memory.
    FChanges.reserve(FChanges.size() + 1);
    if (!found) {
      FAdded.emplace_back(Section);
      FLastFound.reset();
    }
    FChanges.push_back(std::move(change));
  });
}

void TMemIniFile::SetIntValue(std::wstring_view Section, std::wstring_view Key, int Value) {
  SetTextValue(Section, Key, common::IntToStr(Value));
}

TextEncoding TMemIniFile::TargetEncoding() const {
  const TextEncoding own = FEncoding.value_or(TextEncoding::Ansi);
  if (own != TextEncoding::Ansi) return own;
  for (const std::wstring& name : FAdded)
    if (!settings::AnsiCanHold(name)) return TextEncoding::Utf8;
  for (const Change& change : FChanges)
    if (!settings::AnsiCanHold(change.key) || !settings::AnsiCanHold(change.value)) return TextEncoding::Utf8;
  return own;
}

template <typename Text>
void TMemIniFile::Render(const Text& text, TextEncoding encoding, settings::ByteSink& sink) const {
  settings::TextEncoder out(encoding, sink);
  // Pieces of the file go out as they are while the encoding stays.
  auto piece = [&](size_t begin, size_t end) {
    if constexpr (std::is_same_v<Text, ::Text<char>>)
      if (encoding == text.encoding) return out.PutEncoded(text.Piece(begin, end));
    out.Put(Decode(text.Piece(begin, end), text.encoding));
  };
  auto keyLine = [&](const Change& change) { out.Put(change.key + L"=" + change.value + L"\r\n"); };
  auto endSection = [&](size_t section) {
    for (const Change& change : FChanges)
      if (change.section == section && change.line == kAppended) keyLine(change);
    out.Put(L"\r\n");
  };
  auto changeOf = [&](const Line& line) {
    return std::find_if(FChanges.begin(), FChanges.end(), [&](const Change& c) { return c.line == line.start; });
  };
  std::optional<size_t> section;
  text.Lines(0, [&](const Line& line) {
    if (line.kind == Line::Header) {
      if (section) endSection(*section);
      section = line.next;
    } else if (!section || line.kind == Line::Skip) {
      return true;
    } else if (const auto change = changeOf(line); change != FChanges.end()) {
      keyLine(*change);
      return true;
    }
    if (line.tidy) return piece(line.start, line.next), true;
    if (line.kind == Line::Header) out.Put(L"[");
    piece(line.nameBegin, line.nameEnd);
    if (line.kind == Line::Header) out.Put(L"]");
    if (line.kind == Line::Key) {
      out.Put(L"=");
      piece(line.valueBegin, line.valueEnd);
    }
    out.Put(L"\r\n");
    return true;
  });
  if (section) endSection(*section);
  for (size_t i = 0; i < FAdded.size(); ++i) {
    out.Put(L"[" + FAdded[i] + L"]\r\n");
    endSection(TextSize() + 1 + i);
  }
}

void TMemIniFile::WriteToFile() const {
  Guarded([this] {
    const TextEncoding encoding = TargetEncoding();
    settings::ReplaceWholeFile(FFileName, [&](settings::ByteSink& sink) {
      WithText([&](const auto& text) { Render(text, encoding, sink); });
    });
  });
}
