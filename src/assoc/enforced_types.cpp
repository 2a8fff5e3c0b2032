#include "assoc/enforced_types.h"

#include <algorithm>
#include <iterator>

#include "assoc/windows_version.h"
#include "common/text.h"

namespace assoc {

bool IsEnforcedExtension(std::wstring_view extension) noexcept {
  return std::any_of(std::begin(kEnforcedExtensions), std::end(kEnforcedExtensions),
                     [&](std::wstring_view enforced) { return common::EqualNoCase(extension, enforced); });
}

bool IsEnforcedHere(std::wstring_view extension) {
  return HasUserChoices(ExplorerWindowsVersion()) && IsEnforcedExtension(extension);
}

bool IsEnforcedProtocolHere(std::wstring_view scheme) {
  return HasUserChoices(ExplorerWindowsVersion()) &&
         std::any_of(std::begin(kEnforcedProtocols), std::end(kEnforcedProtocols),
                     [&](std::wstring_view enforced) { return common::EqualNoCase(scheme, enforced); });
}

}  // namespace assoc
