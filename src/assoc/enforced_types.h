#pragma once
// The extensions whose association Windows enforces: for them Explorer uses only a valid choice
// of the user (with its Hash) and ignores the classic records of both the machine and the user;
// without such a choice it opens Windows' own default app.

#include <string_view>

namespace assoc {

// Microsoft publishes no such list. This one is the set documented by people who study what
// Windows 10 and 11 do with associations; it changes with Windows and may need to follow it.
inline constexpr std::wstring_view kEnforcedExtensions[] = {
    L".3g2",  L".3gp",  L".3gpp", L".aac",  L".adt",  L".adts", L".amr", L".arw",  L".avi",  L".bmp",  L".cr2",
    L".crw",  L".dib",  L".epub", L".erf",  L".flac", L".gif",  L".htm", L".html", L".jfif", L".jpe",  L".jpeg",
    L".jpg",  L".jxr",  L".kdc",  L".m2t",  L".m2ts", L".m3u",  L".m4a", L".m4r",  L".m4v",  L".mkv",  L".mod",
    L".mov",  L".mp3",  L".mp4",  L".mp4v", L".mpa",  L".mpv2", L".mrw", L".mts",  L".nef",  L".nrw",  L".orf",
    L".pdf",  L".pef",  L".png",  L".raf",  L".raw",  L".rw2",  L".rwl", L".sr2",  L".svg",  L".ts",   L".tts",
    L".wav",  L".wdp",  L".wm",   L".wma",  L".wmv",  L".wpl",  L".xvid", L".zpl",
};

// The protocols whose choice Windows guards the same way: it takes only a choice of the user's
// with its Hash.
inline constexpr std::wstring_view kEnforcedProtocols[] = {L"http", L"https"};

// True when extension (with its leading ".") is one of kEnforcedExtensions, letter case aside.
bool IsEnforcedExtension(std::wstring_view extension) noexcept;

// True when Explorer, on the Windows it is judged for (ExplorerWindowsVersion), enforces the
// association of extension.
bool IsEnforcedHere(std::wstring_view extension);

// True when Explorer, on the Windows it is judged for, guards the choice of scheme (one of
// kEnforcedProtocols, letter case aside).
bool IsEnforcedProtocolHere(std::wstring_view scheme);

}  // namespace assoc
