#pragma once
// The character encodings of settings files: detection by byte-order mark, decoding that never
// gives up on bad bytes, and encoding that says whether every character survived.

#include <cstddef>
#include <string>
#include <string_view>

namespace settings {

// Ansi is the system's ANSI code page (CP_ACP) and has no byte-order mark.
enum class TextEncoding { Ansi, Utf16LE, Utf16BE, Utf8 };

// Detects the encoding from the byte-order mark (FF FE, FE FF, EF BB BF, else Ansi) and decodes
// what follows it. The text ends before the first NUL character. A byte sequence that is invalid
// in the encoding becomes U+FFFD; line ends are never swallowed by a broken character.
std::wstring DecodeText(std::string_view bytes, TextEncoding& encoding);

// Builds the bytes of a file piece by piece: the byte-order mark of the encoding first, then each
// piece encoded. A character that the ANSI code page cannot give back unchanged marks the result
// as lossy instead of passing silently as a replacement or look-alike character.
class TextEncoder {
 public:
  // expectedUnits: about how many UTF-16 units will be put (room is reserved for them).
  TextEncoder(TextEncoding encoding, size_t expectedUnits);
  void Put(std::wstring_view text);
  // False once a character could not be represented; the bytes are then of no use.
  bool Lossless() const { return lossless_; }
  std::string& Bytes() { return bytes_; }

 private:
  void PutRun(std::wstring_view run);
  TextEncoding encoding_;
  bool lossless_ = true;
  std::string bytes_;
};

}  // namespace settings
