#include "assoclist/export_text.h"

#include <windows.h>

namespace assoclist {

namespace {

// Calls line(cells) for the headings, then for each row.
template <typename Line>
void ForEachLine(std::span<const AssocRow* const> rows, Line line) {
  std::array<std::wstring_view, kColumnCount> headings;
  for (int column = 0; column < kColumnCount; ++column) headings[column] = kColumnCaptions[column];
  line(headings);
  std::array<std::wstring_view, kColumnCount> cells;
  for (const AssocRow* row : rows) {
    for (int column = 0; column < kColumnCount; ++column) cells[column] = row->cells[column];
    line(cells);
  }
}

std::string Utf8(std::wstring_view text) {
  if (text.empty()) return {};
  const int length =
      WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string bytes(length, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), length, nullptr,
                      nullptr);
  return bytes;
}

void AppendCsvField(std::wstring& out, std::wstring_view cell) {
  // A spreadsheet takes a cell that begins with one of these as a formula, which a hostile
  // registry value could fill; a leading "'" keeps it text.
  std::wstring field;
  if (!cell.empty() && std::wstring_view(L"=+-@").find(cell.front()) != std::wstring_view::npos) field = L"'";
  field += cell;
  if (field.find_first_of(L",\"\r\n") == std::wstring::npos) {
    out += field;
    return;
  }
  out += L'"';
  for (wchar_t c : field) {
    if (c == L'"') out += L'"';
    out += c;
  }
  out += L'"';
}

}  // namespace

std::wstring TabSeparatedText(std::span<const AssocRow* const> rows) {
  std::wstring text;
  ForEachLine(rows, [&](const std::array<std::wstring_view, kColumnCount>& cells) {
    for (int column = 0; column < kColumnCount; ++column) {
      if (column > 0) text += L'\t';
      text += cells[column];
    }
    text += L"\r\n";
  });
  return text;
}

std::string CsvBytes(std::span<const AssocRow* const> rows) {
  std::wstring text;
  ForEachLine(rows, [&](const std::array<std::wstring_view, kColumnCount>& cells) {
    for (int column = 0; column < kColumnCount; ++column) {
      if (column > 0) text += L',';
      AppendCsvField(text, cells[column]);
    }
    text += L"\r\n";
  });
  return "\xEF\xBB\xBF" + Utf8(text);
}

}  // namespace assoclist
