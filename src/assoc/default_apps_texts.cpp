#include "assoc/default_apps_texts.h"

#include <xmllite.h>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <utility>

#include "assoc/assoc_texts.h"

namespace assoc::defaults {

namespace {

// The reader's reasons that people can act on; any other is named by its code.
struct ReaderReason {
  HRESULT code;
  const wchar_t* japanese;
  const wchar_t* english;
};

constexpr ReaderReason kReaderReasons[] = {
    {static_cast<HRESULT>(WC_E_DTDPROHIBITED), L"DOCTYPE（文書型定義）は使えません。",
     L"A DOCTYPE (document type definition) is not allowed."},
    {static_cast<HRESULT>(SC_E_MAXELEMENTDEPTH), L"要素の入れ子が深すぎます。", L"Elements are nested too deeply."},
    {static_cast<HRESULT>(WC_E_UNDECLAREDENTITY), L"定義されていない実体参照があります。",
     L"An entity reference that is not defined."},
    {static_cast<HRESULT>(WC_E_UNIQUEATTRIBUTE), L"同じ属性が二度あります。", L"An attribute appears twice."},
    {static_cast<HRESULT>(WC_E_ELEMENTMATCH), L"終了タグが開始タグと合いません。",
     L"An end tag does not match its start tag."},
    {static_cast<HRESULT>(MX_E_INPUTEND), texts::kFileEndsEarly, L"The file ends early."},
    {static_cast<HRESULT>(WC_E_XMLCHARACTER), L"XML に使えない文字があります。",
     L"A character that XML does not allow."},
    {static_cast<HRESULT>(WC_E_ENCNAME), L"文字コードの指定に誤りがあります。", L"The encoding is wrong."},
    {static_cast<HRESULT>(MX_E_ENCODING), L"文字コードの指定に誤りがあります。", L"The encoding is wrong."},
    {static_cast<HRESULT>(MX_E_ENCODINGSWITCH), L"文字コードの指定に誤りがあります。", L"The encoding is wrong."},
    {static_cast<HRESULT>(MX_E_ENCODINGSIGNATURE), L"文字コードの指定に誤りがあります。", L"The encoding is wrong."},
    {static_cast<HRESULT>(XML_E_INVALIDENCODING), L"文字コードの指定に誤りがあります。", L"The encoding is wrong."},
};

const wchar_t* Pick(Language language, const wchar_t* japanese, const wchar_t* english) {
  return language == Language::Japanese ? japanese : english;
}

std::wstring Hex(HRESULT code) {
  wchar_t text[16];
  std::swprintf(text, std::size(text), L"0x%08X", static_cast<unsigned>(code));
  return text;
}

std::wstring ReasonOf(HRESULT code, Language language) {
  for (const ReaderReason& reason : kReaderReasons)
    if (reason.code == code) return Pick(language, reason.japanese, reason.english);
  return (language == Language::Japanese ? L"（エラー " : L"(error ") + Hex(code) +
         (language == Language::Japanese ? L"）" : L")");
}

bool IsInvisible(char32_t c) {
  return c < 0x20 || (c >= 0x7F && c < 0xA0) || c == 0x2028 || c == 0x2029 || (c >= 0x200E && c <= 0x200F) ||
         (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

// text as a sentence shows it: on one line, with control characters and the marks that break
// lines or turn the direction of text written as \uHHHH, cut after kShownLimit characters.
std::wstring Shown(std::wstring_view text) {
  std::wstring shown;
  size_t taken = 0;
  for (size_t i = 0; i < text.size(); ++i, ++taken) {
    if (taken == kShownLimit) return shown + L"…";
    const wchar_t c = text[i];
    if (IsInvisible(c)) {
      wchar_t escaped[8];
      std::swprintf(escaped, std::size(escaped), L"\\u%04X", static_cast<unsigned>(c));
      shown += escaped;
      continue;
    }
    shown += c;
    // A surrogate pair is one character and is never split.
    if (IS_HIGH_SURROGATE(c) && i + 1 < text.size() && IS_LOW_SURROGATE(text[i + 1])) shown += text[++i];
  }
  return shown;
}

const FindingText* RowOf(FindingKind kind) {
  const auto row = std::find_if(std::begin(kFindingTexts), std::end(kFindingTexts),
                                [&](const FindingText& text) { return text.kind == kind; });
  return row == std::end(kFindingTexts) ? nullptr : row;
}

}  // namespace

Severity SeverityOf(FindingKind kind) noexcept {
  const FindingText* row = RowOf(kind);
  return row ? row->severity : Severity::Problem;
}

std::wstring FindingSentence(const Finding& finding, Language language) {
  const FindingText* row = RowOf(finding.kind);
  if (!row) return {};
  const std::wstring_view sentence = Pick(language, row->japanese, row->english);
  const std::pair<std::wstring_view, std::wstring> marks[] = {
      {L"{line}", std::to_wstring(finding.line)},
      {L"{column}", std::to_wstring(finding.column)},
      {L"{reason}", ReasonOf(finding.code, language)},
      {L"{id}", Shown(finding.identifier)},
      {L"{here}", Shown(finding.here)},
      {L"{asked}", Shown(finding.asked)},
  };
  // One pass, so that what goes in is never taken for a mark.
  std::wstring result;
  size_t at = 0;
  for (size_t open = sentence.find(L'{'); open != std::wstring_view::npos; open = sentence.find(L'{', at)) {
    result.append(sentence.substr(at, open - at));
    const auto mark = std::find_if(std::begin(marks), std::end(marks),
                                   [&](const auto& m) { return sentence.substr(open).starts_with(m.first); });
    if (mark == std::end(marks)) {
      result += L'{';
      at = open + 1;
    } else {
      result += mark->second;
      at = open + mark->first.size();
    }
  }
  result.append(sentence.substr(at));
  return result;
}

std::wstring CheckSummary(const CheckResult& result, Language language) {
  const auto problems =
      static_cast<size_t>(std::count_if(result.findings.begin(), result.findings.end(),
                                        [](const Finding& f) { return SeverityOf(f.kind) == Severity::Problem; }));
  const size_t notes = result.findings.size() - problems;
  const bool japanese = language == Language::Japanese;
  std::wstring summary =
      problems == 0 ? std::wstring(japanese ? L"問題は見つかりませんでした。" : L"No problems found.")
      : japanese    ? L"問題が " + std::to_wstring(problems) + L" 件見つかりました。"
                    : std::to_wstring(problems) + (problems == 1 ? L" problem found." : L" problems found.");
  if (notes > 0)
    summary += japanese ? L"注意が " + std::to_wstring(notes) + L" 件あります。"
                        : L" " + std::to_wstring(notes) + (notes == 1 ? L" note." : L" notes.");
  return summary;
}

std::wstring ExportSummary(size_t count, Language language) {
  return language == Language::Japanese
             ? L"既定の関連づけ " + std::to_wstring(count) + L" 件を保存しました。"
             : L"Saved " + std::to_wstring(count) + (count == 1 ? L" default association." : L" default associations.");
}

DefaultAppsError NoXmlLibrary() {
  return DefaultAppsError(L"XML を読み書きする Windows の部品（xmllite.dll）を読み込めません。",
                          L"The Windows XML library (xmllite.dll) cannot be loaded.");
}

DefaultAppsError XmlWriteFailed(HRESULT code) {
  return DefaultAppsError(L"XML を書き出せませんでした（エラー " + Hex(code) + L"）。",
                          L"The XML cannot be written (error " + Hex(code) + L").");
}

}  // namespace assoc::defaults
