#pragma once
// The longest texts that Windows accepts for the text fields of an association. A longer field can
// be neither registered nor shown in reasonable time, so it is refused where it comes in (a
// settings file, a read-back from the registry). No window code: the checks are plain functions.

#include <cstddef>
#include <string_view>

namespace common {

// The text fields that have a limit.
enum class LimitedField { Extension, Command, FileType, IconFile };

// The longest name of a registry key, which is what the extension becomes.
inline constexpr size_t kMaxExtensionLength = 255;
// The longest path or command line that Windows accepts, and so the limit of the other fields.
inline constexpr size_t kMaxPathLength = 32767;

// The most UTF-16 units the field may hold: kMaxExtensionLength for the extension (counted as its
// key name, see TooLong), kMaxPathLength for the others.
constexpr size_t MaxLength(LimitedField field) {
  return field == LimitedField::Extension ? kMaxExtensionLength : kMaxPathLength;
}

// True when value is longer than MaxLength(field). The extension is counted as the key name it
// becomes: with a "." in front unless it begins with one.
constexpr bool TooLong(LimitedField field, std::wstring_view value) {
  const bool dotSupplied = field == LimitedField::Extension && (value.empty() || value.front() != L'.');
  return value.size() + (dotSupplied ? 1 : 0) > MaxLength(field);
}

}  // namespace common
