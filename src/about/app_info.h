#pragma once
// The version-information block of an executable, read once and then asked field by field in
// the block's first language. Knows nothing of windows.

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class TkAppInfo {
 public:
  // The text fields of the block; each asks for the key of the same name ("LegalTradeMarks"
  // for aiLegalTradeMarks).
  enum TInfoKind : int {
    aiComments,
    aiCompanyName,
    aiFileDescription,
    aiFileVersion,
    aiInternalName,
    aiLegalCopyright,
    aiLegalTradeMarks,
    aiOriginalFilename,
    aiPrivateBuild,
    aiProductName,
    aiProductVersion,
  };

  // Reads the block of the running executable; raises Exception "バージョン情報を取得できません"
  // when it has none or it cannot be read.
  TkAppInfo();
  // Reads the block of the executable or library at path; raises as above.
  explicit TkAppInfo(const std::wstring& path);

  // The field's text in the first language of the block's translation table, up to its first
  // NUL; empty when the block has no such value, and for a kind outside the enumeration.
  std::wstring GetInfo(TInfoKind kind) const;

 private:
  // The first translation: language in the low 16 bits, code page in the high 16 bits; 0 when
  // the block has no translation table.
  std::uint32_t FTranslation = 0;
  // A copy of the whole block.
  std::vector<std::byte> FVersionBlock;
};
