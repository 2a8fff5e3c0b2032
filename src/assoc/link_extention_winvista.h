#pragma once
// Windows 6.0 and later: before every register and delete, removes the shell's per-user
// records of the extension below HKEY_CURRENT_USER, then does the classic work.

#include "assoc/link_extention_winxp.h"

class TLinkExtentionWinVista : public TLinkExtentionWinXp {
 public:
  void Link(const std::wstring& Extention, const std::wstring& Command, const std::wstring& IconFile, int IconIndex,
            const std::wstring& FileType) override;
  TLinkExtention::TUnlinkResult Unlink(const std::wstring& Extention) override;
};
