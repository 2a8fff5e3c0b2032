#pragma once
// Whole-file reading and replacing for settings files, with the failure messages the user sees.

#include <windows.h>

#include <functional>
#include <string>
#include <string_view>

#include "common/text.h"
#include "settings/byte_sink.h"

namespace settings {

// The absolute form of name (against the current directory); name itself when it has none.
std::wstring FullPathName(const std::wstring& name);

using common::SystemMessageText;

// All bytes of an existing file, opened so that others may read it meanwhile but not write it.
// Raises Exception "ファイル <absolute path> は開けません。 <system text> " when it cannot be read.
std::string ReadWholeFile(const std::wstring& name);

// Replaces the whole content of the file (creating it when missing) in one step, so that no
// step can be turned elsewhere by swapping a folder for a link: the folders of the path are
// opened one inside the other from the root, none through a link, and the last is held open
// (others may not rename or delete it) while produce writes the new content into a temporary
// file created inside it; every byte is checked and flushed to the disk, then that file is
// renamed, inside the same held folder, over the old one, and takes its attributes and access
// list. On failure the old file is left as it was and no temporary file remains. Raises
// Exception: "ストリームへの書き込みエラー" when fewer bytes were written or flushed;
// "ファイル "<absolute path>" を作成できません。<system text>" when a folder cannot be opened,
// or the file is read-only, a folder, in use, or cannot be created or replaced;
// 「保存先のフォルダー「<folder>」はリンクのため、保存しません。」 when a folder on the way is a
// link (a junction or symbolic link), 「保存先のファイル「<absolute path>」はリンクのため、保存しません。」
// when the file is; and whatever produce raises.
void ReplaceWholeFile(const std::wstring& name, const std::function<void(ByteSink&)>& produce);

// ReplaceWholeFile with bytes as the new content.
void ReplaceWholeFile(const std::wstring& name, std::string_view bytes);

}  // namespace settings
