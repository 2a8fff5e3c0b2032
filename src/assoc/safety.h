#pragma once
// What keeps a change of an association from breaking other extensions or the system: the
// keys a delete never removes, and the extensions whose association starts programs.

#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "assoc/link_extention.h"

namespace assoc {

// True when a and b name the same registry key or value: equal but for letter case, compared
// code unit by code unit with the upper-case table the registry itself uses.
bool SameKeyName(std::wstring_view a, std::wstring_view b) noexcept;

// True for an extension that names exactly a key of its own below a classes root: a leading "."
// and more, no "\" (a path to other keys) and no NUL (at which the API would end the name).
bool IsExtensionKeyName(std::wstring_view extension) noexcept;

// The keys the system itself keeps in HKEY_CLASSES_ROOT: class, interface and type tables,
// the shell's own objects, the file types that start programs, and the protocols the system
// serves. A delete never removes one.
inline constexpr std::wstring_view kSystemClassKeys[] = {
    // class, interface and type tables
    L"CLSID", L"Interface", L"TypeLib", L"AppID", L"Component Categories", L"Installer", L"Licenses", L"Wow6432Node",
    // the shell's own objects and the keys it reads for every file
    L"*", L"AllFilesystemObjects", L"Directory", L"Folder", L"Drive", L"DesktopBackground", L"Unknown", L"Network",
    L"NetServer", L"NetShare", L"Printers", L"Applications", L"SystemFileAssociations", L"FileType",
    L"Local Settings",
    // media and content types
    L"MIME", L"Media Type", L"MediaFoundation", L"DirectShow", L"Filter",
    // the file types that start programs
    L"exefile", L"batfile", L"cmdfile", L"comfile", L"lnkfile", L"piffile", L"scrfile",
    // protocols
    L"PROTOCOLS", L"http", L"https", L"file",
};

// True when name is one of kSystemClassKeys, letter case aside.
bool IsSystemClassKey(std::wstring_view name) noexcept;

// The file type key name that HKEY_CLASSES_ROOT\extension names: its default value when
// REG_SZ or REG_EXPAND_SZ, up to its first NUL. Empty when the key or value is missing, of
// another type, or too long to name a key, and for an extension that is empty or holds "\" or a
// NUL. Reads only; never raises.
std::wstring FileTypeKeyOf(std::wstring_view extension);

// True when HKEY_CLASSES_ROOT\key is a protocol's key: it holds a "URL Protocol" value. Reads only;
// never raises.
bool IsProtocolKey(std::wstring_view key);

// The reason fileTypeKey is not an association's own file type, from its name (a path, a name
// beginning with ".", a system key) and from HKEY_CLASSES_ROOT: a protocol's key (a "URL
// Protocol" value) or a COM class's ProgID (a CLSID sub-key). No change writes or removes such
// a key. TFileTypeKept::No when none applies. Reads only; never raises.
TLinkExtention::TFileTypeKept GuardOfFileType(std::wstring_view fileTypeKey);

// The reason a delete keeps fileTypeKey that its name alone gives (a path, a name beginning
// with ".", a system key), or TFileTypeKept::No. Reads nothing.
TLinkExtention::TFileTypeKept JudgeFileTypeKeyByName(std::wstring_view fileTypeKey) noexcept;

// Whether deleting extension may also remove the file type key fileTypeKey it names, and if
// not, why: GuardOfFileType or a program's file type (ProgramTypes); then anything else that
// names it (TTypeUsers, read only for an existing key, as it passes over both classes trees):
// another extension's choice (Chosen), another extension (Shared, SharedWith listing them), or an
// Open with list, a protocol's choice, an application's registration, a CurVer or another account
// (UsedElsewhere, SharedWith naming the first). An empty name or a missing key keeps nothing.
// Reads only.
TLinkExtention::TUnlinkResult JudgeFileTypeKey(const std::wstring& fileTypeKey, std::wstring_view extension);

// The extensions whose association starts programs or scripts, or runs what a file says: Windows'
// executable and high-risk types. Registering one can stop every program, this one included,
// from starting, or make opening a document run code; one table for the policy, the delete guard
// and the warning.
inline constexpr std::wstring_view kProgramExtensions[] = {
    L".exe",  L".com",      L".bat",  L".cmd",  L".pif",  L".scr",  L".lnk",         L".cpl",       L".hta",
    L".inf",  L".jar",      L".js",   L".jse",  L".msc",  L".msi",  L".msp",         L".mst",       L".ps1",
    L".psm1", L".psd1",     L".ps1xml", L".psc1", L".reg", L".scf", L".url",         L".vb",        L".vbe",
    L".vbs",  L".ws",       L".wsf",  L".wsh",  L".gadget", L".xbap", L".application", L".appref-ms", L".library-ms",
    L".settingcontent-ms", L".search-ms", L".searchconnector-ms", L".msix", L".msixbundle", L".appx", L".appxbundle",
};

// True when extension (with its leading ".") is one of kProgramExtensions, letter case aside.
bool StartsPrograms(std::wstring_view extension) noexcept;

// The file types that start programs: those the program extensions name now in every classes
// tree (TypesNamedBy), letter case folded. The system's own (exefile and its kin) are in
// kSystemClassKeys. Reads only.
std::unordered_set<std::wstring> ProgramTypes();

}  // namespace assoc
