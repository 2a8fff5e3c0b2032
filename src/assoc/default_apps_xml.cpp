#include "assoc/default_apps_xml.h"

#include <windows.h>
// After windows.h, which they need.
#include <shlwapi.h>
#include <xmllite.h>

#include <algorithm>
#include <iterator>
#include <unordered_set>
#include <utility>

#include "assoc/default_apps_texts.h"
#include "common/handles.h"
#include "common/libraries.h"
#include "common/text.h"

namespace assoc::defaults {

namespace {

template <typename T>
void ReleaseCom(T* object) noexcept {
  object->Release();
}

// The owner of one COM interface, from the one owner template.
template <typename T>
using ComOwner = common::UniqueHandle<common::NullTraits<T*, ReleaseCom<T>>>;

using CreateFn = HRESULT(WINAPI*)(REFIID, void**, IMalloc*);

// xmllite.dll of the system folder and its two factories. Declared before the objects it makes,
// so that they are released before the library is.
class XmlLibrary {
 public:
  // Raises NoXmlLibrary when the library or a factory is missing.
  XmlLibrary() : module_(common::LoadSystemLibrary(L"xmllite.dll")) {
    if (module_) {
      createReader_ = Factory("CreateXmlReader");
      createWriter_ = Factory("CreateXmlWriter");
    }
    if (!createReader_ || !createWriter_) throw NoXmlLibrary();
  }

  // A reader of bytes (copied) that refuses DTDs and nesting deeper than kMaxDepth.
  ComOwner<IXmlReader> Reader(std::string_view bytes) const {
    ComOwner<IXmlReader> reader;
    ComOwner<IStream> input(
        SHCreateMemStream(reinterpret_cast<const BYTE*>(bytes.data()), static_cast<UINT>(bytes.size())));
    if (!input || FAILED(createReader_(__uuidof(IXmlReader), reinterpret_cast<void**>(reader.put()), nullptr)) ||
        FAILED(reader.get()->SetProperty(XmlReaderProperty_DtdProcessing, DtdProcessing_Prohibit)) ||
        FAILED(reader.get()->SetProperty(XmlReaderProperty_MaxElementDepth, kMaxDepth)) ||
        FAILED(reader.get()->SetInput(input.get())))
      throw NoXmlLibrary();
    return reader;
  }

  // A writer into output that indents and writes no byte-order mark.
  ComOwner<IXmlWriter> Writer(IStream* output) const {
    ComOwner<IXmlWriter> writer;
    HRESULT result = createWriter_(__uuidof(IXmlWriter), reinterpret_cast<void**>(writer.put()), nullptr);
    if (SUCCEEDED(result)) result = writer.get()->SetProperty(XmlWriterProperty_ByteOrderMark, FALSE);
    if (SUCCEEDED(result)) result = writer.get()->SetProperty(XmlWriterProperty_Indent, TRUE);
    if (SUCCEEDED(result)) result = writer.get()->SetOutput(output);
    if (FAILED(result)) throw XmlWriteFailed(result);
    return writer;
  }

 private:
  CreateFn Factory(const char* name) const {
    return reinterpret_cast<CreateFn>(reinterpret_cast<void*>(GetProcAddress(module_.get(), name)));
  }

  common::UniqueHModule module_;
  CreateFn createReader_ = nullptr;
  CreateFn createWriter_ = nullptr;
};

// ---- encodings

enum class Encoding { Utf8, Utf16 };

// The encoding names a declaration may give for each, letter case aside.
constexpr const wchar_t* kEncodingNames[] = {L"UTF-8", L"UTF-16"};

// A place in the file, counted in characters as a text editor counts them.
struct Place {
  unsigned line = 1;
  unsigned column = 1;
  void Step(char32_t c) {
    if (c == U'\n') {
      ++line;
      column = 1;
    } else {
      ++column;
    }
  }
};

Finding BadEncodingAt(const Place& place) {
  Finding finding;
  finding.kind = FindingKind::BadEncoding;
  finding.line = place.line;
  finding.column = place.column;
  return finding;
}

// The first sequence of bytes that is not UTF-8 (overlong forms, surrogates and NUL included).
std::optional<Finding> CheckUtf8(std::string_view bytes) {
  Place place;
  for (size_t i = 0; i < bytes.size();) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    size_t length = 1;
    char32_t c = lead;
    char32_t least = 0;
    if (lead >= 0x80) {
      if ((lead & 0xE0) == 0xC0) {
        length = 2, c = lead & 0x1F, least = 0x80;
      } else if ((lead & 0xF0) == 0xE0) {
        length = 3, c = lead & 0x0F, least = 0x800;
      } else if ((lead & 0xF8) == 0xF0) {
        length = 4, c = lead & 0x07, least = 0x10000;
      } else {
        return BadEncodingAt(place);
      }
      if (bytes.size() - i < length) return BadEncodingAt(place);
      for (size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(bytes[i + k]);
        if ((next & 0xC0) != 0x80) return BadEncodingAt(place);
        c = (c << 6) | (next & 0x3F);
      }
    }
    // A NUL byte is what UTF-16 without its mark looks like here; XML holds no NUL anyway.
    if (c == 0 || c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return BadEncodingAt(place);
    place.Step(c);
    i += length;
  }
  return std::nullopt;
}

// The first unit of little-endian UTF-16 that is not part of a character, or an odd last byte.
std::optional<Finding> CheckUtf16(std::string_view bytes) {
  Place place;
  auto unit = [&](size_t i) {
    return static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                 (static_cast<unsigned char>(bytes[i + 1]) << 8));
  };
  size_t i = 0;
  for (; i + 1 < bytes.size(); i += 2) {
    const char16_t c = unit(i);
    if (IS_HIGH_SURROGATE(c)) {
      if (i + 3 >= bytes.size() || !IS_LOW_SURROGATE(unit(i + 2))) return BadEncodingAt(place);
      i += 2;
    } else if (IS_LOW_SURROGATE(c)) {
      return BadEncodingAt(place);
    }
    place.Step(c);
  }
  if (i < bytes.size()) return BadEncodingAt(place);
  return std::nullopt;
}

// The encoding of bytes from its byte-order mark (none: UTF-8), or the finding that refuses them.
std::optional<Finding> CheckEncoding(std::string_view bytes, Encoding& encoding) {
  if (bytes.starts_with("\xEF\xBB\xBF")) {
    encoding = Encoding::Utf8;
    return CheckUtf8(bytes.substr(3));
  }
  if (bytes.starts_with("\xFF\xFE")) {
    encoding = Encoding::Utf16;
    return CheckUtf16(bytes.substr(2));
  }
  // Big-endian UTF-16 and every other encoding are refused at their first byte.
  encoding = Encoding::Utf8;
  return CheckUtf8(bytes);
}

// ---- reading

std::wstring_view Text(const wchar_t* text, UINT length) {
  return text ? std::wstring_view(text, length) : std::wstring_view();
}

void PlaceOf(IXmlReader* reader, unsigned& line, unsigned& column) {
  UINT l = 0, c = 0;
  reader->GetLineNumber(&l);
  reader->GetLinePosition(&c);
  line = l;
  column = c;
}

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }

std::wstring_view Trimmed(std::wstring_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

Finding Refusal(FindingKind kind, unsigned line, unsigned column, HRESULT code = S_OK) {
  Finding finding;
  finding.kind = kind;
  finding.line = line;
  finding.column = column;
  finding.code = code;
  return finding;
}

// Reads the attributes of the element the reader stands on into node; false when one comes
// twice (Wine's reader lets that pass, Windows' refuses it).
bool ReadAttributes(IXmlReader* reader, XmlNode& node) {
  std::unordered_set<std::wstring_view> names;
  for (HRESULT at = reader->MoveToFirstAttribute(); at == S_OK; at = reader->MoveToNextAttribute()) {
    const wchar_t* name = nullptr;
    const wchar_t* value = nullptr;
    UINT nameLength = 0, valueLength = 0;
    reader->GetQualifiedName(&name, &nameLength);
    reader->GetValue(&value, &valueLength);
    node.attributes.push_back({std::wstring(Text(name, nameLength)), std::wstring(Text(value, valueLength))});
  }
  reader->MoveToElement();
  for (const XmlAttribute& attribute : node.attributes)
    if (!names.insert(attribute.name).second) return false;
  return true;
}

// The refusal when the declaration names another encoding than the bytes are in.
std::optional<Finding> CheckDeclaration(IXmlReader* reader, Encoding encoding) {
  Finding finding = Refusal(FindingKind::EncodingMismatch, 0, 0);
  PlaceOf(reader, finding.line, finding.column);
  if (reader->MoveToAttributeByName(L"encoding", nullptr) != S_OK) return std::nullopt;
  const wchar_t* value = nullptr;
  UINT length = 0;
  reader->GetValue(&value, &length);
  const std::wstring_view declared = Text(value, length);
  const wchar_t* actual = kEncodingNames[encoding == Encoding::Utf8 ? 0 : 1];
  reader->MoveToElement();
  if (common::EqualNoCase(declared, actual)) return std::nullopt;
  finding.asked = declared;
  finding.here = actual;
  return finding;
}

// ---- writing

// The bytes a memory stream holds.
std::string BytesOf(IStream* stream) {
  STATSTG stat{};
  LARGE_INTEGER start{};
  HRESULT result = stream->Stat(&stat, STATFLAG_NONAME);
  if (SUCCEEDED(result)) result = stream->Seek(start, STREAM_SEEK_SET, nullptr);
  if (FAILED(result)) throw XmlWriteFailed(result);
  std::string bytes(static_cast<size_t>(stat.cbSize.QuadPart), '\0');
  ULONG read = 0;
  result = stream->Read(bytes.data(), static_cast<ULONG>(bytes.size()), &read);
  if (FAILED(result)) throw XmlWriteFailed(result);
  bytes.resize(read);
  return bytes;
}

void Check(HRESULT result) {
  if (FAILED(result)) throw XmlWriteFailed(result);
}

// True when the library's writer escapes attribute values itself. Windows' does; Wine 8's puts
// them out as they are. Asked of the writer, so that a value is escaped exactly once either way.
bool WriterEscapes(const XmlLibrary& library) {
  const ComOwner<IStream> stream(SHCreateMemStream(nullptr, 0));
  if (!stream) throw XmlWriteFailed(E_OUTOFMEMORY);
  const ComOwner<IXmlWriter> writer = library.Writer(stream.get());
  Check(writer.get()->WriteStartElement(nullptr, L"a", nullptr));
  Check(writer.get()->WriteAttributeString(nullptr, L"b", nullptr, L"&"));
  Check(writer.get()->WriteEndElement());
  Check(writer.get()->Flush());
  return BytesOf(stream.get()).find("&amp;") != std::string::npos;
}

// value with the characters that end or break an attribute in double quotation marks escaped.
std::wstring Escaped(std::wstring_view value) {
  constexpr std::pair<wchar_t, std::wstring_view> kEscapes[] = {
      {L'&', L"&amp;"}, {L'<', L"&lt;"}, {L'>', L"&gt;"}, {L'"', L"&quot;"}};
  std::wstring escaped;
  escaped.reserve(value.size());
  for (wchar_t c : value) {
    const auto escape =
        std::find_if(std::begin(kEscapes), std::end(kEscapes), [&](const auto& e) { return e.first == c; });
    if (escape == std::end(kEscapes))
      escaped += c;
    else
      escaped += escape->second;
  }
  return escaped;
}

}  // namespace

bool IsXmlText(std::wstring_view text) noexcept {
  for (size_t i = 0; i < text.size(); ++i) {
    const wchar_t c = text[i];
    if (c < 0x20 || (c >= 0x7F && c < 0xA0) || c == 0xFFFE || c == 0xFFFF || IS_LOW_SURROGATE(c)) return false;
    if (IS_HIGH_SURROGATE(c) && (++i == text.size() || !IS_LOW_SURROGATE(text[i]))) return false;
  }
  return true;
}

XmlFile ReadXml(std::string_view bytes) {
  XmlFile file;
  Encoding encoding = Encoding::Utf8;
  if ((file.refusal = CheckEncoding(bytes, encoding))) return file;

  const XmlLibrary library;
  const ComOwner<IXmlReader> owner = library.Reader(bytes);
  IXmlReader* reader = owner.get();
  unsigned depth = 0;
  XmlNodeType type = XmlNodeType_None;
  HRESULT result = S_OK;
  while ((result = reader->Read(&type)) == S_OK) {
    if (type == XmlNodeType_XmlDeclaration) {
      if ((file.refusal = CheckDeclaration(reader, encoding))) break;
    } else if (type == XmlNodeType_Element) {
      XmlNode node;
      const wchar_t* name = nullptr;
      UINT length = 0;
      reader->GetQualifiedName(&name, &length);
      node.name = Text(name, length);
      node.depth = depth;
      PlaceOf(reader, node.line, node.column);
      const bool empty = reader->IsEmptyElement();
      if (!ReadAttributes(reader, node)) {
        file.refusal =
            Refusal(FindingKind::Malformed, node.line, node.column, static_cast<HRESULT>(WC_E_UNIQUEATTRIBUTE));
        break;
      }
      file.nodes.push_back(std::move(node));
      if (!empty) ++depth;
    } else if (type == XmlNodeType_EndElement) {
      --depth;
    } else if (type == XmlNodeType_Text || type == XmlNodeType_CDATA) {
      const wchar_t* value = nullptr;
      UINT length = 0;
      reader->GetValue(&value, &length);
      const std::wstring_view text = Trimmed(Text(value, length));
      if (text.empty()) continue;
      // Where the reader places the text: Windows' at its start, Wine's at its end.
      XmlNode node;
      node.text = true;
      node.name = text;
      node.depth = depth;
      PlaceOf(reader, node.line, node.column);
      file.nodes.push_back(std::move(node));
    }
  }
  if (!file.refusal && FAILED(result)) {
    file.refusal = Refusal(FindingKind::Malformed, 0, 0, result);
    PlaceOf(reader, file.refusal->line, file.refusal->column);
  }
  if (file.refusal) file.nodes.clear();
  return file;
}

std::string WriteXml(const std::vector<DefaultApp>& apps) {
  const XmlLibrary library;
  const bool escapes = WriterEscapes(library);
  const ComOwner<IStream> stream(SHCreateMemStream(nullptr, 0));
  if (!stream) throw XmlWriteFailed(E_OUTOFMEMORY);
  const ComOwner<IXmlWriter> owner = library.Writer(stream.get());
  IXmlWriter* writer = owner.get();
  Check(writer->WriteStartDocument(XmlStandalone_Omit));
  Check(writer->WriteStartElement(nullptr, L"DefaultAssociations", nullptr));
  for (const DefaultApp& app : apps) {
    Check(writer->WriteStartElement(nullptr, L"Association", nullptr));
    const std::pair<const wchar_t*, const std::wstring*> attributes[] = {
        {L"Identifier", &app.identifier}, {L"ProgId", &app.progId}, {L"ApplicationName", &app.applicationName}};
    for (const auto& [name, value] : attributes)
      Check(writer->WriteAttributeString(nullptr, name, nullptr, (escapes ? *value : Escaped(*value)).c_str()));
    Check(writer->WriteEndElement());
  }
  Check(writer->WriteEndElement());
  Check(writer->WriteEndDocument());
  Check(writer->Flush());
  // DISM's file ends its last line too. The writer is not asked to: Wine's refuses blanks after
  // the root in some states.
  std::string bytes = BytesOf(stream.get());
  if (!bytes.ends_with("\r\n")) bytes += "\r\n";
  return bytes;
}

}  // namespace assoc::defaults
