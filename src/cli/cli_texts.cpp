#include "cli/cli_texts.h"

namespace cli::texts {

std::wstring Say(const TText& text, Language language, std::initializer_list<std::wstring_view> args) {
  const std::wstring_view pattern = language == Language::English ? text.English : text.Japanese;
  std::wstring said;
  said.reserve(pattern.size());
  for (size_t at = 0; at < pattern.size(); ++at) {
    if (pattern[at] == L'{' && at + 2 < pattern.size() && pattern[at + 2] == L'}' && pattern[at + 1] >= L'0' &&
        pattern[at + 1] <= L'9') {
      const size_t index = static_cast<size_t>(pattern[at + 1] - L'0');
      if (index < args.size()) said += *(args.begin() + index);
      at += 2;
      continue;
    }
    said += pattern[at];
  }
  return said;
}

}  // namespace cli::texts
