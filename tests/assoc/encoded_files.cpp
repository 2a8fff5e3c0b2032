#include "assoc/encoded_files.h"

#include <windows.h>

#include <cstdio>

#include "assoc/value_rows.h"
#include "support/temp_files.h"

namespace assoctest {

namespace {

// "xx,xx,...": the bytes as a hex value lists them.
std::wstring HexList(const std::string& bytes) {
  std::wstring out;
  for (unsigned char byte : bytes) {
    wchar_t pair[4];
    std::swprintf(pair, 4, L"%02x", byte);
    if (!out.empty()) out += L',';
    out += pair;
  }
  return out;
}

std::string Swapped(std::string utf16) {
  for (size_t i = 0; i + 1 < utf16.size(); i += 2) std::swap(utf16[i], utf16[i + 1]);
  return utf16;
}

}  // namespace

std::string Encoded(const std::vector<std::wstring>& lines, Encoding encoding) {
  std::wstring text;
  for (const std::wstring& line : lines) text += line + L"\r\n";
  switch (encoding) {
    case Encoding::Utf16:
      return Utf16(L"\xFEFF" + text);
    case Encoding::Utf16WithoutMark:
      return Utf16(text);
    case Encoding::Utf16BigEndian:
      return Swapped(Utf16(L"\xFEFF" + text));
    case Encoding::Utf16BigEndianNoMark:
      return Swapped(Utf16(text));
    case Encoding::Utf8WithMark:
      return "\xEF\xBB\xBF" + testsupport::Utf8(text);
    case Encoding::Utf8:
      return testsupport::Utf8(text);
    case Encoding::Ansi:
      return testsupport::Ansi(text);
  }
  return {};
}

std::vector<std::wstring> SmallFile(std::wstring_view header, const std::wstring& base, bool withStringHex) {
  const std::wstring command = L"%SystemRoot%\\メモ帳.exe \"%1\"";
  const std::wstring list(L"名前\0値\0", 6);
  const std::wstring text = L"日本の値";
  std::vector<std::wstring> lines = {
      std::wstring(header),
      L"",
      L"; 拡張子の関連づけ",
      L"[" + base + L"\\.tvr]",
      L"@=\"Tavrelo.ファイル\"",
      L"\"Content Type\"=\"text/plain\"",
      L"",
      L"[" + base + L"\\Tavrelo.ファイル]",
      L"@=\"アプリの \\\"値\\\" C:\\\\表示\"",
      L"\"EditFlags\"=dword:00010000",
      L"\"名前\"=hex:00,ff,\\",
      L"  10",
      L"\"gone\"=-",
      L"",
      L"[" + base + L"\\Tavrelo.ファイル\\shell\\開く\\command]",
  };
  if (withStringHex && header == L"REGEDIT4") {
    lines.push_back(L"@=hex(2):" + HexList(testsupport::Ansi(command)));
    lines.push_back(L"\"list\"=hex(7):" + HexList(testsupport::Ansi(list) + std::string(1, '\0')));
    lines.push_back(L"\"one\"=hex(1):" + HexList(testsupport::Ansi(text) + std::string(1, '\0')));
  } else if (withStringHex) {
    lines.push_back(L"@=hex(2):" + HexList(Utf16(command + L'\0')));
    lines.push_back(L"\"list\"=hex(7):" + HexList(Utf16(list + L'\0')));
    lines.push_back(L"\"one\"=hex(1):" + HexList(Utf16(text + L'\0')));
  }
  lines.insert(lines.end(), {L"", L"[-" + base + L"\\日本の値]"});
  return lines;
}

std::vector<std::wstring> MisreadAsAnsi(const std::vector<std::wstring>& lines) {
  std::vector<std::wstring> misread;
  for (const std::wstring& line : lines) {
    const std::string bytes = testsupport::Utf8(line);
    std::wstring text(bytes.size(), L'\0');
    text.resize(static_cast<size_t>(MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()),
                                                        text.data(), static_cast<int>(text.size()))));
    misread.push_back(text);
  }
  return misread;
}

}  // namespace assoctest
