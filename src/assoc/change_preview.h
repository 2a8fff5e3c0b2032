#pragma once
// What the user sees of a change before it is applied: what it is about (the extensions,
// protocols, file types with the extensions that use them, application registrations), what it
// touches that others use or that Windows protects, then every step. Nothing is hidden: no step
// is left out, a long value is cut only in its line and shown whole on demand, and characters that
// do not show or that turn the direction of the text are written out ("‹U+202E›").

#include <string>
#include <string_view>
#include <vector>

#include "assoc/change_plan.h"

namespace assoc {

// The preview of a plan.
struct TPreview {
  size_t Added = 0;
  size_t Changed = 0;
  size_t Removed = 0;
  std::wstring Summary;             // "追加 2 件、変更 1 件、削除 0 件"
  std::vector<std::wstring> About;  // what needs the user's attention first, then what it is about
};

// The preview of plan; reads the registry only to find what else uses a file type it touches.
TPreview PreviewOf(const TChangePlan& plan);

// The line of one step: what it does to which key, a value's data cut at kShownCharacters (its
// length said), runs of blanks and characters that do not show written out.
std::wstring StepLine(const TChangeStep& step);

// The whole of one step: the key, the value's name and every character of its data before and
// after, characters that do not show written out.
std::wstring StepDetail(const TChangeStep& step);

// How much of a value a step's line shows.
inline constexpr size_t kShownCharacters = 120;

// text with every character that does not show, turns the text's direction or separates lines
// written as "‹U+XXXX›", so that what is shown is what is there.
std::wstring Visible(std::wstring_view text);

}  // namespace assoc
