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

// The lead bytes of the ANSI code page, read once.
const std::array<bool, 256>& AnsiLeadBytes() {
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
  const auto& lead = AnsiLeadBytes();
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

// Decodes ANSI or UTF-8 bytes (already cut at the first NUL). ASCII bytes are widened directly;
// runs of other characters go through the platform.
std::wstring DecodeBytes(std::string_view bytes, UINT codePage) {
  const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
  const size_t n = bytes.size();
  const auto& lead = AnsiLeadBytes();
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
  std::wstring out(bytes.size() / 2, L'\0');
  std::memcpy(out.data(), bytes.data(), out.size() * 2);
  if (bigEndian)
    for (wchar_t& c : out) c = static_cast<wchar_t>(((c & 0xFF) << 8) | ((c >> 8) & 0xFF));
  if (bytes.size() % 2) out.push_back(kReplacement);
  if (size_t nul = out.find(L'\0'); nul != std::wstring::npos) out.resize(nul);
  return out;
}

}  // namespace

std::wstring DecodeText(std::string_view bytes, TextEncoding& encoding) {
  encoding = TextEncoding::Ansi;
  for (const Bom& bom : kBoms) {
    if (bytes.substr(0, bom.bytes.size()) == bom.bytes) {
      encoding = bom.encoding;
      bytes.remove_prefix(bom.bytes.size());
      break;
    }
  }
  if (encoding == TextEncoding::Utf16LE || encoding == TextEncoding::Utf16BE)
    return DecodeUtf16(bytes, encoding == TextEncoding::Utf16BE);
  if (const void* nul = std::memchr(bytes.data(), 0, bytes.size()))
    bytes = bytes.substr(0, static_cast<const char*>(nul) - bytes.data());
  return DecodeBytes(bytes, encoding == TextEncoding::Utf8 ? CP_UTF8 : CP_ACP);
}

TextEncoder::TextEncoder(TextEncoding encoding, size_t expectedUnits) : encoding_(encoding) {
  const bool wide = encoding == TextEncoding::Utf16LE || encoding == TextEncoding::Utf16BE;
  bytes_.reserve(wide ? expectedUnits * 2 + 2 : expectedUnits + expectedUnits / 8 + 3);
  for (const Bom& bom : kBoms)
    if (bom.encoding == encoding) bytes_.append(bom.bytes);
}

void TextEncoder::Put(std::wstring_view text) {
  if (!lossless_ || text.empty()) return;
  const size_t old = bytes_.size();
  if (encoding_ == TextEncoding::Utf16LE || encoding_ == TextEncoding::Utf16BE) {
    bytes_.resize(old + text.size() * 2);
    char* d = bytes_.data() + old;
    const int low = encoding_ == TextEncoding::Utf16LE ? 0 : 1;
    for (wchar_t c : text) {
      d[low] = static_cast<char>(c & 0xFF);
      d[1 - low] = static_cast<char>((c >> 8) & 0xFF);
      d += 2;
    }
    return;
  }
  // ASCII is the same in the ANSI code page and in UTF-8; the rest goes through the platform.
  bytes_.resize(old + text.size());
  char* d = bytes_.data() + old;
  size_t i = 0;
  while (i < text.size() && text[i] < 0x80) {
    d[i] = static_cast<char>(text[i]);
    ++i;
  }
  bytes_.resize(old + i);
  while (i < text.size() && lossless_) {
    size_t start = i;
    while (i < text.size() && text[i] >= 0x80) ++i;
    PutRun(text.substr(start, i - start));
    start = i;
    while (i < text.size() && text[i] < 0x80) ++i;
    for (size_t k = start; k < i; ++k) bytes_.push_back(static_cast<char>(text[k]));
  }
}

void TextEncoder::PutRun(std::wstring_view run) {
  if (run.empty()) return;
  const UINT codePage = encoding_ == TextEncoding::Utf8 ? CP_UTF8 : CP_ACP;
  const size_t old = bytes_.size();
  bytes_.resize(old + run.size() * 3);
  int n = WideCharToMultiByte(codePage, 0, run.data(), static_cast<int>(run.size()), bytes_.data() + old,
                              static_cast<int>(run.size() * 3), nullptr, nullptr);
  bytes_.resize(old + static_cast<size_t>(n > 0 ? n : 0));
  if (n <= 0) {
    lossless_ = false;
    return;
  }
  if (codePage == CP_UTF8) return;
  // Decoding the bytes again tells a faithful conversion from a default or look-alike character.
  std::wstring back(run.size() + 1, L'\0');
  int m = MultiByteToWideChar(CP_ACP, 0, bytes_.data() + old, n, back.data(), static_cast<int>(back.size()));
  if (std::wstring_view(back.data(), static_cast<size_t>(m)) != run) lossless_ = false;
}

}  // namespace settings
