#include "cli/console.h"

#include <algorithm>
#include <cwctype>
#include <string>

#include "common/text.h"

namespace cli {

namespace {

bool IsConsole(HANDLE handle) {
  DWORD mode = 0;
  return handle && handle != INVALID_HANDLE_VALUE && GetFileType(handle) == FILE_TYPE_CHAR &&
         GetConsoleMode(handle, &mode);
}

void Write(HANDLE handle, std::wstring_view text) {
  if (!handle || handle == INVALID_HANDLE_VALUE || text.empty()) return;
  if (IsConsole(handle)) {
    // In pieces: a console takes a limited amount per call.
    constexpr size_t kPiece = 8192;
    for (size_t at = 0; at < text.size(); at += kPiece) {
      DWORD written = 0;
      const size_t size = std::min(kPiece, text.size() - at);
      if (!WriteConsoleW(handle, text.data() + at, static_cast<DWORD>(size), &written, nullptr)) return;
    }
    return;
  }
  const std::string bytes = common::Utf8(text);
  size_t at = 0;
  while (at < bytes.size()) {
    DWORD written = 0;
    const DWORD size = static_cast<DWORD>(std::min<size_t>(bytes.size() - at, 1u << 20));
    // A closed pipe (the reader went away) ends the writing; nothing else is to be done.
    if (!WriteFile(handle, bytes.data() + at, size, &written, nullptr) || written == 0) return;
    at += written;
  }
}

// text without surrounding blanks, its ASCII letters in lower case.
std::wstring Normalized(std::wstring_view text) {
  const size_t first = text.find_first_not_of(L" \t\r\n\x3000");
  if (first == std::wstring_view::npos) return {};
  const size_t last = text.find_last_not_of(L" \t\r\n\x3000");
  std::wstring trimmed(text.substr(first, last - first + 1));
  for (wchar_t& c : trimmed)
    if (c < 0x80) c = static_cast<wchar_t>(towlower(c));
  return trimmed;
}

}  // namespace

Language ConsoleLanguage(UINT outputCodePage) {
  return outputCodePage == 0 || outputCodePage == 932 || outputCodePage == CP_UTF8 ? Language::Japanese
                                                                                     : Language::English;
}

std::optional<bool> ParseAnswer(std::wstring_view typed) {
  const std::wstring answer = Normalized(typed);
  for (const wchar_t* yes : {L"y", L"yes", L"はい"})
    if (answer == yes) return true;
  for (const wchar_t* no : {L"n", L"no", L"いいえ"})
    if (answer == no) return false;
  return std::nullopt;
}

TStdConsole::TStdConsole()
    : out_(GetStdHandle(STD_OUTPUT_HANDLE)),
      err_(GetStdHandle(STD_ERROR_HANDLE)),
      in_(GetStdHandle(STD_INPUT_HANDLE)),
      language_(ConsoleLanguage(GetConsoleOutputCP())) {}

void TStdConsole::Out(std::wstring_view text) { Write(out_, text); }

void TStdConsole::Err(std::wstring_view text) { Write(err_, text); }

std::optional<bool> TStdConsole::Ask(std::wstring_view question) {
  if (!IsConsole(in_)) return std::nullopt;
  const std::wstring prompt = std::wstring(question) + L" [Y/N] ";
  for (;;) {
    Write(err_, prompt);
    wchar_t typed[256] = {};
    DWORD read = 0;
    if (!ReadConsoleW(in_, typed, 255, &read, nullptr) || read == 0) return false;
    if (const std::optional<bool> answer = ParseAnswer(std::wstring_view(typed, read))) return answer;
  }
}

}  // namespace cli
