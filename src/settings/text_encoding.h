#pragma once
// The character encodings of settings files: detection by byte-order mark, decoding that never
// gives up on bad bytes, and encoding straight into a file.

#include <cstddef>
#include <string>
#include <string_view>

#include "settings/byte_sink.h"

namespace settings {

// Ansi is the system's ANSI code page (CP_ACP) and has no byte-order mark.
enum class TextEncoding { Ansi, Utf16LE, Utf16BE, Utf8 };

// Detects the encoding from the byte-order mark at the start of bytes (FF FE, FE FF, EF BB BF,
// else Ansi); returns the length of that mark (0 for Ansi).
size_t DetectEncoding(std::string_view bytes, TextEncoding& encoding);

// Decodes ANSI or UTF-8 bytes without mark. A byte sequence that is invalid in the encoding
// becomes U+FFFD; line ends are never swallowed by a broken character.
std::wstring DecodeBytes(std::string_view bytes, TextEncoding encoding);

// The UTF-16 units of little- or big-endian bytes; an odd last byte becomes U+FFFD.
std::wstring DecodeUtf16(std::string_view bytes, bool bigEndian);

// True when the byte at pos of text, which starts at a character, starts one of its own in the
// ANSI code page: in a double-byte code page it may be the second byte of a character instead.
bool AnsiStartsCharacter(std::string_view text, size_t pos);

// True when the ANSI code page gives text back unchanged: no character becomes the default
// character or a look-alike (such as ¥ becoming \).
bool AnsiCanHold(std::wstring_view text);

// Encodes text into a sink: the byte-order mark of the encoding first, then each piece, a long one
// in several writes. A character that the ANSI code page lacks becomes its default character;
// check with AnsiCanHold.
class TextEncoder {
 public:
  TextEncoder(TextEncoding encoding, ByteSink& sink);
  void Put(std::wstring_view text);
  // Passes on bytes that are already in the encoding.
  void PutEncoded(std::string_view bytes) { sink_.Write(bytes); }

 private:
  TextEncoding encoding_;
  ByteSink& sink_;
  std::string scratch_;
};

}  // namespace settings
