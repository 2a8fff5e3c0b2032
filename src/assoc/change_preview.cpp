#include "assoc/change_preview.h"

#include <cstring>
#include <cwchar>
#include <iterator>
#include <memory>
#include <unordered_set>

#include "assoc/assoc_texts.h"
#include "assoc/change_policy.h"
#include "assoc/reg_value.h"
#include "assoc/safety.h"
#include "assoc/type_users.h"

namespace assoc {

namespace {

// How many bytes of data that is not text a step's line shows.
constexpr size_t kShownBytes = 40;

// Characters that show nothing of their own or change how the text around them shows: format
// and direction controls, separators of lines and paragraphs, the byte-order mark.
bool IsInvisible(wchar_t c) {
  return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x061C || (c >= 0x200B && c <= 0x200F) ||
         (c >= 0x2028 && c <= 0x202E) || (c >= 0x2060 && c <= 0x206F) || c == 0xFEFF || (c >= 0xFFF9 && c <= 0xFFFB);
}

// text for a step's line: invisible characters written out, runs of four blanks or more counted,
// cut after kShownCharacters with its whole length said.
std::wstring Shown(std::wstring_view text) {
  std::wstring out;
  size_t taken = 0;
  for (size_t i = 0; i < text.size() && taken < kShownCharacters;) {
    size_t run = 0;
    while (i + run < text.size() && text[i + run] == L' ') ++run;
    if (run >= 4) {
      out += texts::Blanks(run);
      i += run;
      taken += run;
      continue;
    }
    out += Visible(text.substr(i, 1));
    ++i;
    ++taken;
  }
  if (taken < text.size()) out += texts::CutMark(text.size());
  return out;
}

std::wstring HexOf(const std::string& data, size_t limit) {
  std::wstring hex;
  for (size_t i = 0; i < data.size() && i < limit; ++i) {
    wchar_t byte[4];
    std::swprintf(byte, std::size(byte), L"%02x ", static_cast<unsigned char>(data[i]));
    hex += byte;
  }
  if (data.size() > limit) hex += texts::CutMark(data.size());
  return hex.empty() ? L"（なし）" : hex;
}

// A value's data: text quoted, a number in decimal, other bytes in hex; whole, or as a line
// shows it.
std::wstring DataOf(const TValueState& state, bool whole) {
  if (const std::optional<std::wstring> text = TextOfValue(TRawValue{state.Type, state.Data}))
    return L"「" + (whole ? Visible(*text) : Shown(*text)) + L"」";
  if (state.Type == REG_DWORD && state.Data.size() == sizeof(DWORD)) {
    DWORD number = 0;
    std::memcpy(&number, state.Data.data(), sizeof number);
    return std::to_wstring(number);
  }
  return HexOf(state.Data, whole ? state.Data.size() : kShownBytes);
}

std::wstring ValueName(const std::wstring& name) { return name.empty() ? L"（既定）" : L"「" + Visible(name) + L"」"; }

std::wstring Describe(const TChangeStep& step, bool whole) {
  const std::wstring key = Visible(step.Key);
  switch (step.Kind) {
    case TStepKind::CreateKey:
      return L"追加　キー " + key;
    case TStepKind::DeleteKey:
      return L"削除　キー " + key;
    case TStepKind::SetValue:
      if (step.Before.Exists)
        return L"変更　" + key + L" の値" + ValueName(step.Value) + L"：" + DataOf(step.Before, whole) + L" → " +
               DataOf(step.After, whole);
      return L"追加　" + key + L" の値" + ValueName(step.Value) + L"：" + DataOf(step.After, whole);
    case TStepKind::DeleteValue:
      return L"削除　" + key + L" の値" + ValueName(step.Value) + L"：" + DataOf(step.Before, whole);
  }
  return key;
}

void AddOnce(std::vector<std::wstring>& list, std::unordered_set<std::wstring>& seen, std::wstring_view name) {
  if (seen.insert(FoldName(name)).second) list.emplace_back(name);
}

}  // namespace

std::wstring Visible(std::wstring_view text) {
  std::wstring out;
  out.reserve(text.size());
  for (wchar_t c : text) {
    if (!IsInvisible(c)) {
      out += c;
      continue;
    }
    wchar_t code[16];
    std::swprintf(code, std::size(code), L"‹U+%04X›", static_cast<unsigned>(c));
    out += code;
  }
  return out;
}

std::wstring StepLine(const TChangeStep& step) { return Describe(step, false); }

std::wstring StepDetail(const TChangeStep& step) { return Describe(step, true); }

TPreview PreviewOf(const TChangePlan& plan) {
  TPreview preview;
  std::vector<std::wstring> extensions, protocols, fileTypes, notices;
  std::unordered_set<std::wstring> seenExtensions, seenProtocols, seenTypes, seenNotices;
  const bool fromFile = plan.Operation == TChangeOperation::Import || plan.Operation == TChangeOperation::Restore;
  const bool subjectIsProtocol = std::any_of(plan.Protocols.begin(), plan.Protocols.end(),
                                             [&](const std::wstring& p) { return SameKeyName(p, plan.Subject); });
  if (!fromFile && !plan.Subject.empty() && !subjectIsProtocol) AddOnce(extensions, seenExtensions, plan.Subject);
  for (const std::wstring& e : plan.Extensions) AddOnce(extensions, seenExtensions, e);
  for (const std::wstring& p : plan.Protocols) AddOnce(protocols, seenProtocols, p);
  for (const std::wstring& t : plan.FileTypes) AddOnce(fileTypes, seenTypes, t);

  for (const TChangeStep& step : plan.Steps) {
    switch (step.Kind) {
      case TStepKind::CreateKey:
        ++preview.Added;
        break;
      case TStepKind::DeleteKey:
        ++preview.Removed;
        break;
      case TStepKind::SetValue:
        ++(step.Before.Exists ? preview.Changed : preview.Added);
        break;
      case TStepKind::DeleteValue:
        ++preview.Removed;
        break;
    }
    const std::optional<TKeyPlace> place = PlaceOfKey(step.Key);
    if (!place) continue;
    if (IsChoiceKey(step.Key) && step.Kind == TStepKind::DeleteKey && place->Below.size() == 1)
      AddOnce(notices, seenNotices, texts::NoticeChoiceRemoved(place->Head));
    if (place->Area == TKeyArea::Classes && !place->Head.empty() && place->Head[0] == L'.' &&
        StartsPrograms(place->Head))
      AddOnce(notices, seenNotices, texts::NoticeProgramExtension(place->Head));
    // The file types the change writes into: the keys of the classes that are neither an
    // extension's, a protocol's nor the system's.
    if (place->Area == TKeyArea::Classes && !place->Head.empty() && place->Head[0] != L'.' &&
        !seenProtocols.count(FoldName(place->Head)) && !IsSystemClassKey(place->Head) &&
        !SameKeyName(place->Head, L"SystemFileAssociations") && !SameKeyName(place->Head, L"Applications"))
      AddOnce(fileTypes, seenTypes, place->Head);
  }
  preview.Summary = texts::PreviewSummary(preview.Added, preview.Changed, preview.Removed);

  // Who else uses the file types: what needs the user's attention comes first.
  std::vector<std::wstring> aboutTypes;
  if (!fileTypes.empty()) {
    const TTypeUsers users;
    std::vector<std::wstring> subjects = extensions;
    subjects.insert(subjects.end(), protocols.begin(), protocols.end());
    for (const std::wstring& type : fileTypes) {
      for (const TTypeReference& other : users.Others(type, subjects))
        AddOnce(notices, seenNotices, texts::NoticeSharedType(type, other));
      std::vector<std::wstring> using_;
      std::unordered_set<std::wstring> seenUsers;
      for (const TTypeReference& reference : users.Of(type))
        if (reference.Kind == TReferenceKind::Extension) AddOnce(using_, seenUsers, reference.By);
      aboutTypes.push_back(texts::AboutFileType(type, using_));
    }
  }
  preview.About = std::move(notices);
  if (!extensions.empty()) preview.About.push_back(texts::AboutExtensions(extensions));
  if (!protocols.empty()) preview.About.push_back(texts::AboutProtocols(protocols));
  preview.About.insert(preview.About.end(), aboutTypes.begin(), aboutTypes.end());
  if (!plan.Applications.empty()) preview.About.push_back(texts::AboutApplications(plan.Applications));
  for (std::wstring& line : preview.About) line = Visible(line);
  return preview;
}

}  // namespace assoc
