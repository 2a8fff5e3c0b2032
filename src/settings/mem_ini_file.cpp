#include "settings/mem_ini_file.h"

#include <windows.h>

#include <cwchar>

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

}  // namespace

TMemIniFile::TMemIniFile(std::wstring FileName) : FFileName(std::move(FileName)) {
  if (!settings::FileExists(FFileName)) return;
  const std::string bytes = settings::ReadWholeFile(FFileName);
  settings::TextEncoding encoding;
  FText = settings::DecodeText(bytes, encoding);
  FEncoding = encoding;
  Parse();
}

TMemIniFile::Range TMemIniFile::Store(std::wstring_view text) {
  Range range{static_cast<uint32_t>(FText.size()), static_cast<uint32_t>(text.size())};
  FText.append(text);
  return range;
}

void TMemIniFile::Parse() {
  const wchar_t* text = FText.data();
  const size_t n = FText.size();
  auto range = [](size_t from, size_t to) {
    return Range{static_cast<uint32_t>(from), static_cast<uint32_t>(to - from)};
  };
  size_t next = 0;
  while (next < n) {
    size_t begin = next, end = next;
    while (end < n && text[end] != L'\r' && text[end] != L'\n') ++end;
    next = end + 1;
    if (end < n && text[end] == L'\r' && next < n && text[next] == L'\n') ++next;

    while (begin < end && text[begin] <= L' ') ++begin;
    while (end > begin && text[end - 1] <= L' ') --end;
    if (begin == end || text[begin] == L';') continue;

    if (text[begin] == L'[' && text[end - 1] == L']') {
      size_t nameBegin = begin + 1, nameEnd = end - 1;
      while (nameBegin < nameEnd && text[nameBegin] <= L' ') ++nameBegin;
      while (nameEnd > nameBegin && text[nameEnd - 1] <= L' ') --nameEnd;
      Section section;
      section.name = range(nameBegin, nameEnd);
      section.first = static_cast<uint32_t>(FLines.size());
      FSections.push_back(std::move(section));
      continue;
    }
    // Lines before the first section header belong nowhere.
    if (FSections.empty()) continue;

    Line line;
    const wchar_t* equals = std::wmemchr(text + begin, L'=', end - begin);
    if (equals) {
      size_t keyEnd = equals - text, valueBegin = keyEnd + 1;
      while (keyEnd > begin && text[keyEnd - 1] <= L' ') --keyEnd;
      while (valueBegin < end && text[valueBegin] <= L' ') ++valueBegin;
      line.key = range(begin, keyEnd);
      line.value = range(valueBegin, end);
      line.hasKey = true;
    } else {
      line.value = range(begin, end);
    }
    FLines.push_back(line);
    ++FSections.back().count;
  }
}

const TMemIniFile::Section* TMemIniFile::FindSection(std::wstring_view name) const {
  for (auto it = FSections.rbegin(); it != FSections.rend(); ++it)
    if (SameName(View(it->name), name)) return &*it;
  return nullptr;
}

const TMemIniFile::Line* TMemIniFile::FindKey(const Section& section, std::wstring_view key) const {
  for (auto it = section.added.rbegin(); it != section.added.rend(); ++it)
    if (it->hasKey && SameName(View(it->key), key)) return &*it;
  for (uint32_t i = section.count; i > 0; --i) {
    const Line& line = FLines[section.first + i - 1];
    if (line.hasKey && SameName(View(line.key), key)) return &line;
  }
  return nullptr;
}

std::wstring TMemIniFile::GetTextValue(std::wstring_view Section, std::wstring_view Key,
                                       std::wstring_view Default) const {
  const TMemIniFile::Section* section = FindSection(Section);
  const Line* line = section ? FindKey(*section, Key) : nullptr;
  return std::wstring(line ? View(line->value) : Default);
}

int TMemIniFile::GetIntValue(std::wstring_view Section, std::wstring_view Key, int Default) const {
  return common::StrToIntDef(GetTextValue(Section, Key, L""), Default);
}

void TMemIniFile::SetTextValue(std::wstring_view Section, std::wstring_view Key, std::wstring_view Value) {
  auto* section = const_cast<TMemIniFile::Section*>(FindSection(Section));
  if (!section) {
    TMemIniFile::Section added;
    added.name = Store(Section);
    added.first = static_cast<uint32_t>(FLines.size());
    FSections.push_back(std::move(added));
    section = &FSections.back();
  }
  Line line;
  line.key = Store(Key);
  line.value = Store(Value);
  line.hasKey = true;
  if (auto* existing = const_cast<Line*>(FindKey(*section, Key)))
    *existing = line;
  else
    section->added.push_back(line);
}

void TMemIniFile::SetIntValue(std::wstring_view Section, std::wstring_view Key, int Value) {
  SetTextValue(Section, Key, common::IntToStr(Value));
}

bool TMemIniFile::Encode(settings::TextEncoding encoding, std::string& bytes) const {
  settings::TextEncoder out(encoding, FText.size() + 3 * FLines.size() + 6 * FSections.size());
  auto put = [this, &out](const Line& line) {
    if (line.hasKey) {
      out.Put(View(line.key));
      out.Put(L"=");
    }
    out.Put(View(line.value));
    out.Put(L"\r\n");
  };
  for (const Section& section : FSections) {
    out.Put(L"[");
    out.Put(View(section.name));
    out.Put(L"]\r\n");
    for (uint32_t i = 0; i < section.count; ++i) put(FLines[section.first + i]);
    for (const Line& line : section.added) put(line);
    out.Put(L"\r\n");
  }
  bytes = std::move(out.Bytes());
  return out.Lossless();
}

void TMemIniFile::WriteToFile() const {
  std::string bytes;
  if (!Encode(FEncoding.value_or(settings::TextEncoding::Ansi), bytes)) Encode(settings::TextEncoding::Utf8, bytes);
  settings::ReplaceWholeFile(FFileName, bytes);
}
