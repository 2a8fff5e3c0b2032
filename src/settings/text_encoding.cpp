#include "settings/text_encoding.h"

#include <windows.h>

#include <array>
#include <cstring>

namespace settings {

namespace {

constexpr wchar_t kReplacement = 0xFFFD;

// Every trail byte of the Windows double-byte code pages is 0x40 or above; a lead byte followed by
// anything lower (a line end, a NUL) stands alone as a broken character.
constexpr unsigned char kLowestTrailByte = 0x40;

struct Bom {
  TextEncoding encoding;
  std::string_view bytes;
};
constexpr Bom kBoms[] = {
    {TextEncoding::Utf16LE, "\xFF\xFE"},
    {TextEncoding::Utf16BE, "\xFE\xFF"},
    {TextEncoding::Utf8, "\xEF\xBB\xBF"},
};

// The lead bytes of the ANSI code page, read once; all false for a single-byte code page.
const std::array<bool, 256>& LeadByteTable() {
  static const std::array<bool, 256> table = [] {
    std::array<bool, 256> lead{};
    CPINFO info{};
    if (GetCPInfo(CP_ACP, &info) && info.MaxCharSize == 2)
      for (int i = 0; i + 1 < MAX_LEADBYTES && info.LeadByte[i]; i += 2)
        for (int b = info.LeadByte[i]; b <= info.LeadByte[i + 1]; ++b) lead[b] = true;
    return lead;
  }();
  return table;
}

// Decodes one run of non-ASCII characters into out; returns the units written. In the ANSI code
// page a run with an invalid character is decoded again character by character, so that only the
// broken characters become U+FFFD. UTF-8 gets U+FFFD from the platform itself.
size_t DecodeRun(UINT codePage, const unsigned char* run, size_t n, wchar_t* out, size_t room) {
  auto convert = [codePage](const unsigned char* p, size_t count, wchar_t* to, size_t space) {
    DWORD flags = codePage == CP_UTF8 ? 0 : MB_ERR_INVALID_CHARS;
    return static_cast<size_t>(MultiByteToWideChar(codePage, flags, reinterpret_cast<const char*>(p),
                                                   static_cast<int>(count), to, static_cast<int>(space)));
  };
  if (size_t written = convert(run, n, out, room)) return written;
  const auto& lead = LeadByteTable();
  size_t written = 0;
  for (size_t i = 0; i < n && written < room;) {
    size_t length = (codePage != CP_UTF8 && lead[run[i]] && i + 1 < n) ? 2 : 1;
    size_t got = convert(run + i, length, out + written, room - written);
    if (got == 0) out[written++] = kReplacement;
    written += got;
    i += length;
  }
  return written;
}

}  // namespace

size_t DetectEncoding(std::string_view bytes, TextEncoding& encoding) {
  for (const Bom& bom : kBoms) {
    if (bytes.substr(0, bom.bytes.size()) == bom.bytes) {
      encoding = bom.encoding;
      return bom.bytes.size();
    }
  }
  encoding = TextEncoding::Ansi;
  return 0;
}

std::wstring DecodeBytes(std::string_view bytes, TextEncoding encoding) {
  const UINT codePage = encoding == TextEncoding::Utf8 ? CP_UTF8 : CP_ACP;
  const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
  const size_t n = bytes.size();
  const auto& lead = LeadByteTable();
  // No character of these encodings takes more units than bytes.
  std::wstring out(n, L'\0');
  size_t o = 0;
  for (size_t i = 0; i < n;) {
    while (i < n && b[i] < 0x80) out[o++] = b[i++];
    const size_t start = i;
    while (i < n && b[i] >= 0x80)
      i += (codePage != CP_UTF8 && lead[b[i]] && i + 1 < n && b[i + 1] >= kLowestTrailByte) ? 2 : 1;
    if (i > start) o += DecodeRun(codePage, b + start, i - start, out.data() + o, out.size() - o);
  }
  out.resize(o);
  return out;
}

std::wstring DecodeUtf16(std::string_view bytes, bool bigEndian) {
  std::wstring out((bytes.size() + 1) / 2, kReplacement);
  std::memcpy(out.data(), bytes.data(), bytes.size() / 2 * 2);
  if (bigEndian)
    for (size_t i = 0; i < bytes.size() / 2; ++i)
      out[i] = static_cast<wchar_t>(((out[i] & 0xFF) << 8) | ((out[i] >> 8) & 0xFF));
  return out;
}

bool AnsiStartsCharacter(std::string_view text, size_t pos) {
  const auto& lead = LeadByteTable();
  const auto* b = reinterpret_cast<const unsigned char*>(text.data());
  // Only a byte after a lead byte can be the second byte of a character.
  if (pos == 0 || !lead[b[pos - 1]]) return true;
  size_t i = 0;
  while (i < pos) i += lead[b[i]] && i + 1 < text.size() && b[i + 1] >= kLowestTrailByte ? 2 : 1;
  return i == pos;
}

bool AnsiCanHold(std::wstring_view text) {
  if (text.empty()) return true;
  const int size = static_cast<int>(text.size());
  std::string bytes(text.size() * 2, '\0');
  const int n = WideCharToMultiByte(CP_ACP, 0, text.data(), size, bytes.data(), size * 2, nullptr, nullptr);
  std::wstring back(text.size(), L'\0');
  const int m = n > 0 ? MultiByteToWideChar(CP_ACP, 0, bytes.data(), n, back.data(), size) : 0;
  return std::wstring_view(back.data(), static_cast<size_t>(m)) == text;
}

TextEncoder::TextEncoder(TextEncoding encoding, ByteSink& sink) : encoding_(encoding), sink_(sink) {
  for (const Bom& bom : kBoms)
    if (bom.encoding == encoding) sink_.Write(bom.bytes);
}

void TextEncoder::Put(std::wstring_view text) {
  // A long text goes in pieces, so that its bytes never take much memory; a piece never ends
  // between the two halves of a surrogate pair.
  constexpr size_t kPiece = 1 << 16;
  while (text.size() > kPiece) {
    const size_t n = IS_HIGH_SURROGATE(text[kPiece - 1]) ? kPiece - 1 : kPiece;
    Put(text.substr(0, n));
    text.remove_prefix(n);
  }
  if (text.empty()) return;
  scratch_.clear();
  if (encoding_ == TextEncoding::Utf16LE) {
    // wchar_t is 16 bits and the machine little-endian wherever this runs.
    scratch_.resize(text.size() * 2);
    std::memcpy(scratch_.data(), text.data(), text.size() * 2);
  } else if (encoding_ == TextEncoding::Utf16BE) {
    for (wchar_t c : text) {
      scratch_ += static_cast<char>((c >> 8) & 0xFF);
      scratch_ += static_cast<char>(c & 0xFF);
    }
  } else {
    // ASCII is the same in the ANSI code page and in UTF-8; runs of other characters go through
    // the platform.
    const UINT codePage = encoding_ == TextEncoding::Utf8 ? CP_UTF8 : CP_ACP;
    for (size_t i = 0; i < text.size();) {
      while (i < text.size() && text[i] < 0x80) scratch_ += static_cast<char>(text[i++]);
      const size_t start = i;
      while (i < text.size() && text[i] >= 0x80) ++i;
      if (i == start) continue;
      const size_t old = scratch_.size();
      const int room = static_cast<int>((i - start) * 3);
      scratch_.resize(old + room);
      const int n = WideCharToMultiByte(codePage, 0, text.data() + start, static_cast<int>(i - start),
                                        scratch_.data() + old, room, nullptr, nullptr);
      scratch_.resize(old + static_cast<size_t>(n > 0 ? n : 0));
    }
  }
  sink_.Write(scratch_);
}

}  // namespace settings
