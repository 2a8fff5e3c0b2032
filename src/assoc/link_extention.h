#pragma once
// What the association store speaks of: an icon's place, and what a delete did with the file type
// an extension named. The store's operations are plans (link_extention_base.h), applied by the
// change engine; its read-back is ReadClassicRecord (link_extention_winxp.h), which creates nothing.

#include <string>
#include <vector>

namespace TLinkExtention {

// Where the icon of a file type lives. Empty IconFile and IconIndex 0 when none is recorded.
struct TIconInfo {
  std::wstring IconFile;
  int IconIndex = 0;
};

// Why a delete kept the file type key that the extension named.
enum class TFileTypeKept {
  No,         // removed, or there was none to remove
  KeyPath,    // the name holds "\" and would reach other keys
  Extention,  // the name begins with ".", so it is an extension key itself
  SystemKey,  // one of the keys the system keeps in HKEY_CLASSES_ROOT
  Shared,     // other extension keys name it too
  Protocol,   // a protocol's key (it holds a "URL Protocol" value)
  ComClass,   // a COM class's ProgID (it has a CLSID sub-key)
  Chosen,     // the user's choice of another extension names it
  UsedElsewhere,  // an Open with list, a protocol's choice, an application, a CurVer or another account names it
};

// What a delete did with the file type key.
struct TUnlinkResult {
  std::wstring FileTypeKey;              // the name the extension key held; empty when none
  TFileTypeKept Kept = TFileTypeKept::No;
  std::vector<std::wstring> SharedWith;  // for Shared: the other extensions, in the registry's order
};

}  // namespace TLinkExtention
