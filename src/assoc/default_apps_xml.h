#pragma once
// The default associations file as XML, read and written with the system's XML library
// (XmlLite, which Windows and Wine both ship; MinGW has no import library for it, so it is
// loaded from System32 at run time). Knows the format's layout and encodings, nothing of the
// registry.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "assoc/default_apps.h"

namespace assoc::defaults {

struct XmlAttribute {
  std::wstring name;  // qualified, as written ("xmlns:p" included)
  std::wstring value;
};

// An element, or a text between elements that is not blank, as the reader met it.
struct XmlNode {
  bool text = false;
  std::wstring name;                     // the element's qualified name, or the text
  std::vector<XmlAttribute> attributes;  // in the file's order
  unsigned depth = 0;                    // 0 for the root element, 1 for its children
  // Where the reader places it: an element at its "<"; a text at its start on Windows, at its
  // end on Wine.
  unsigned line = 0;
  unsigned column = 0;
};

// A file as read: its elements and texts, or the one finding that refuses it (BadEncoding,
// EncodingMismatch or Malformed).
struct XmlFile {
  std::vector<XmlNode> nodes;  // in the file's order; empty when refused
  std::optional<Finding> refusal;
};

// Reads bytes: the encoding is checked first (UTF-8, a byte-order mark allowed, without any NUL
// byte, or UTF-16 after its little-endian byte-order mark; the declaration, if any, naming the
// same), then the XML with DTDs prohibited, at most kMaxDepth elements deep and no attribute twice
// on an element. Raises DefaultAppsError when the reader cannot be made.
XmlFile ReadXml(std::string_view bytes);

// The file's bytes for apps (see DefaultAppsXml). Every text must be one the file can hold
// (IsXmlText). Raises DefaultAppsError when the writer cannot be made or fails.
std::string WriteXml(const std::vector<DefaultApp>& apps);

// True for a text an attribute of the file holds as it is: no control character (tab and line
// ends included, as a reader turns them into blanks), no surrogate without its pair, neither
// U+FFFE nor U+FFFF.
bool IsXmlText(std::wstring_view text) noexcept;

}  // namespace assoc::defaults
