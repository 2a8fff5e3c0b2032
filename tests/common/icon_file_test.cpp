// The icon-file check on files built here byte by byte: a sound library of each format holds
// its icon, and every fault from the table leaves the file with none, without the platform's
// reader ever being handed it (Wine's reader faults on several of them).
#include "common/icons.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "common/handles.h"
#include "support/temp_files.h"

namespace {

using testsupport::SystemShell32;
using testsupport::TempFolder;
using testsupport::Written;

// The bytes of a file being built; a value put past the end makes the file longer.
class Bytes {
 public:
  template <typename T>
  void Put(size_t offset, const T& value) {
    if (data_.size() < offset + sizeof value) data_.resize(offset + sizeof value);
    std::memcpy(data_.data() + offset, &value, sizeof value);
  }
  void Put(size_t offset, const std::string& bytes) {
    if (data_.size() < offset + bytes.size()) data_.resize(offset + bytes.size());
    std::memcpy(data_.data() + offset, bytes.data(), bytes.size());
  }
  size_t Size() const { return data_.size(); }
  void Resize(size_t size) { data_.resize(size); }
  const std::string& Data() const { return data_; }

 private:
  std::string data_;
};

// One 16 x 16 true-colour icon image as libraries and icon files hold it: header, pixels, mask.
std::string IconImage() {
  Bytes b;
  BITMAPINFOHEADER header{sizeof header, 16, 32, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  b.Put(0, header);
  for (size_t i = 0; i < 16 * 16; ++i) b.Put<DWORD>(sizeof header + 4 * i, 0xFF2060C0);
  b.Resize(sizeof header + 16 * 16 * 4 + 16 * 4);
  return b.Data();
}

// An icon group of one entry naming icon id.
std::string IconGroup(WORD id) {
  Bytes b;
  b.Put<WORD>(0, 0);
  b.Put<WORD>(2, 1);
  b.Put<WORD>(4, 1);
  const BYTE size[4] = {16, 16, 0, 0};
  b.Put(6, size);
  b.Put<WORD>(10, 1);
  b.Put<WORD>(12, 32);
  b.Put<DWORD>(14, static_cast<DWORD>(IconImage().size()));
  b.Put<WORD>(18, id);
  return b.Data();
}

constexpr DWORD kSubdirectory = 0x80000000;

// A resource directory at offset at whose entries are {id, offset of the target}.
void PutDirectory(Bytes& b, size_t at, const std::vector<std::pair<DWORD, DWORD>>& entries) {
  IMAGE_RESOURCE_DIRECTORY dir{};
  dir.NumberOfIdEntries = static_cast<WORD>(entries.size());
  b.Put(at, dir);
  for (size_t i = 0; i < entries.size(); ++i) {
    b.Put<DWORD>(at + sizeof dir + 8 * i, entries[i].first);
    b.Put<DWORD>(at + sizeof dir + 8 * i + 4, entries[i].second);
  }
}

size_t DirectorySize(size_t entries) { return sizeof(IMAGE_RESOURCE_DIRECTORY) + 8 * entries; }

// A 64-bit library whose only section holds the resources; offsets are those of the file.
struct PeFile {
  static constexpr size_t kSection = 0x200;  // where the section's bytes begin
  static constexpr DWORD kRva = 0x1000;      // where it is loaded
  Bytes bytes;
  size_t groupLanguages = 0;  // the language directory of the icon group
  size_t groupName = 0;       // the entry of the group in its type's directory
  size_t groupData = 0;       // the group's data entry, then its bytes
  size_t group = 0;
  size_t iconData = 0;
  size_t icon = 0;

  DWORD Rva(size_t offset) const { return static_cast<DWORD>(offset - kSection + kRva); }
  // Headers and section table for a resource section of the current size.
  void Finish() {
    const DWORD size = static_cast<DWORD>(bytes.Size() - kSection);
    IMAGE_DOS_HEADER dos{};
    dos.e_magic = IMAGE_DOS_SIGNATURE;
    dos.e_lfanew = sizeof dos;
    bytes.Put(0, dos);
    IMAGE_NT_HEADERS64 nt{};
    nt.Signature = IMAGE_NT_SIGNATURE;
    nt.FileHeader.Machine = IMAGE_FILE_MACHINE_AMD64;
    nt.FileHeader.NumberOfSections = 1;
    nt.FileHeader.SizeOfOptionalHeader = sizeof nt.OptionalHeader;
    nt.FileHeader.Characteristics = IMAGE_FILE_EXECUTABLE_IMAGE | IMAGE_FILE_DLL | IMAGE_FILE_LARGE_ADDRESS_AWARE;
    nt.OptionalHeader.Magic = IMAGE_NT_OPTIONAL_HDR64_MAGIC;
    nt.OptionalHeader.SectionAlignment = 0x1000;
    nt.OptionalHeader.FileAlignment = 0x200;
    nt.OptionalHeader.SizeOfHeaders = kSection;
    nt.OptionalHeader.SizeOfImage = kRva + ((size + 0xFFF) & ~0xFFFu);
    nt.OptionalHeader.Subsystem = IMAGE_SUBSYSTEM_WINDOWS_GUI;
    nt.OptionalHeader.NumberOfRvaAndSizes = IMAGE_NUMBEROF_DIRECTORY_ENTRIES;
    nt.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_RESOURCE] = {kRva, size};
    bytes.Put(sizeof dos, nt);
    IMAGE_SECTION_HEADER section{};
    std::memcpy(section.Name, ".rsrc", 5);
    section.Misc.VirtualSize = size;
    section.VirtualAddress = kRva;
    section.SizeOfRawData = size;
    section.PointerToRawData = kSection;
    section.Characteristics = IMAGE_SCN_CNT_INITIALIZED_DATA | IMAGE_SCN_MEM_READ;
    bytes.Put(sizeof dos + sizeof nt, section);
  }
};

// One icon (RT_ICON 1) and one group naming it (RT_GROUP_ICON 1), the group's bytes last.
PeFile SoundPe() {
  PeFile f;
  const DWORD root = 0;  // offsets below are those of the section, as the directories hold them
  const DWORD iconType = DirectorySize(2), groupType = iconType + DirectorySize(1);
  const DWORD iconNames = groupType + DirectorySize(1), groupNames = iconNames + DirectorySize(1);
  const DWORD iconEntry = groupNames + DirectorySize(1), groupEntry = iconEntry + 16;
  const DWORD iconBytes = groupEntry + 16;
  const std::string image = IconImage(), group = IconGroup(1);
  const DWORD groupBytes = iconBytes + static_cast<DWORD>(image.size());
  Bytes& b = f.bytes;
  const size_t s = PeFile::kSection;
  PutDirectory(b, s + root, {{3, kSubdirectory | iconType}, {14, kSubdirectory | groupType}});
  PutDirectory(b, s + iconType, {{1, kSubdirectory | iconNames}});
  PutDirectory(b, s + groupType, {{1, kSubdirectory | groupNames}});
  PutDirectory(b, s + iconNames, {{0x409, iconEntry}});
  PutDirectory(b, s + groupNames, {{0x409, groupEntry}});
  f.groupName = s + groupType + sizeof(IMAGE_RESOURCE_DIRECTORY);
  f.groupLanguages = s + groupNames;
  f.iconData = s + iconEntry;
  f.groupData = s + groupEntry;
  f.icon = s + iconBytes;
  f.group = s + groupBytes;
  b.Put(f.iconData, IMAGE_RESOURCE_DATA_ENTRY{f.Rva(f.icon), static_cast<DWORD>(image.size()), 0, 0});
  b.Put(f.groupData, IMAGE_RESOURCE_DATA_ENTRY{f.Rva(f.group), static_cast<DWORD>(group.size()), 0, 0});
  b.Put(f.icon, image);
  b.Put(f.group, group);
  f.Finish();
  return f;
}

// Directories whose every entry leads to the same directory of the next level: levels of
// 1,000 entries, the last level's entries leading to one data entry.
std::string SharedDirectoriesPe(int levels) {
  PeFile f;
  const size_t s = PeFile::kSection;
  const DWORD level = static_cast<DWORD>(DirectorySize(1000));
  const DWORD data = level * levels;
  for (int l = 0; l < levels; ++l) {
    std::vector<std::pair<DWORD, DWORD>> entries;
    for (DWORD id = 1; id <= 1000; ++id)
      entries.push_back({id, l + 1 < levels ? kSubdirectory | (level * (l + 1)) : data});
    PutDirectory(f.bytes, s + level * l, entries);
  }
  f.bytes.Put(s + data, IMAGE_RESOURCE_DATA_ENTRY{f.Rva(s + data + 16), 16, 0, 0});
  f.bytes.Resize(s + data + 32);
  f.Finish();
  return f.bytes.Data();
}

// A 16-bit library (NE) with one icon group naming one icon; the group's bytes come last.
struct NeFile {
  static constexpr size_t kHeader = 0x40;           // the NE header
  static constexpr size_t kTable = kHeader + 0x40;  // the resource table: alignment shift, then types
  static constexpr WORD kShift = 4;
  Bytes bytes;
  size_t groupType = kTable + 2;
  size_t groupName = groupType + 8;
  size_t iconType = groupName + 12;
  size_t iconName = iconType + 8;
  size_t end = iconName + 12;  // the type list's closing 0
  size_t icon = 0x100;
  size_t group = 0;
};

NeFile SoundNe() {
  NeFile f;
  Bytes& b = f.bytes;
  IMAGE_DOS_HEADER dos{};
  dos.e_magic = IMAGE_DOS_SIGNATURE;
  dos.e_lfanew = NeFile::kHeader;
  b.Put(0, dos);
  IMAGE_OS2_HEADER ne{};
  ne.ne_magic = IMAGE_OS2_SIGNATURE;
  ne.ne_rsrctab = static_cast<WORD>(NeFile::kTable - NeFile::kHeader);
  ne.ne_restab = static_cast<WORD>(f.end + 2 - NeFile::kHeader);
  ne.ne_exetyp = 2;  // Windows
  b.Put(NeFile::kHeader, ne);
  const std::string image = IconImage(), group = IconGroup(1);
  const auto units = [](size_t n) { return static_cast<WORD>((n + (1u << NeFile::kShift) - 1) >> NeFile::kShift); };
  f.group = f.icon + (size_t{units(image.size())} << NeFile::kShift);
  b.Put<WORD>(NeFile::kTable, NeFile::kShift);
  const auto typeInfo = [&](size_t at, WORD type) {
    b.Put<WORD>(at, type);
    b.Put<WORD>(at + 2, 1);
    b.Put<DWORD>(at + 4, 0);
  };
  const auto nameInfo = [&](size_t at, size_t offset, size_t length) {
    const WORD fields[6] = {static_cast<WORD>(offset >> NeFile::kShift), units(length), 0x0C30, 0x8001, 0, 0};
    b.Put(at, fields);
  };
  typeInfo(f.groupType, 0x800E);
  nameInfo(f.groupName, f.group, group.size());
  typeInfo(f.iconType, 0x8003);
  nameInfo(f.iconName, f.icon, image.size());
  b.Put<WORD>(f.end, 0);
  b.Put<BYTE>(f.end + 2, 0);  // an empty resident-name table
  b.Put(f.icon, image);
  b.Put(f.group, group);
  b.Resize(f.group + (size_t{units(group.size())} << NeFile::kShift));
  return f;
}

// An icon file of one image.
std::string IconFileBytes() {
  Bytes b;
  const std::string image = IconImage();
  const WORD header[3] = {0, 1, 1};
  b.Put(0, header);
  const BYTE size[4] = {16, 16, 0, 0};
  b.Put(6, size);
  b.Put<WORD>(10, 1);
  b.Put<WORD>(12, 32);
  b.Put<DWORD>(14, static_cast<DWORD>(image.size()));
  b.Put<DWORD>(18, 22);
  b.Put(22, image);
  return b.Data();
}

struct Fault {
  const char* name;
  std::function<std::string()> bytes;
};

std::string Pe(const std::function<void(PeFile&)>& fault) {
  PeFile f = SoundPe();
  fault(f);
  return f.bytes.Data();
}

std::string Ne(const std::function<void(NeFile&)>& fault) {
  NeFile f = SoundNe();
  fault(f);
  return f.bytes.Data();
}

const Fault kFaults[] = {
    {"NE: the group type claims 65535 resources",
     [] { return Ne([](NeFile& f) { f.bytes.Put<WORD>(f.groupType + 2, 0xFFFF); }); }},
    {"NE: the icon type claims 65535 resources",
     [] { return Ne([](NeFile& f) { f.bytes.Put<WORD>(f.iconType + 2, 0xFFFF); }); }},
    {"NE: the icon lies past the end", [] { return Ne([](NeFile& f) { f.bytes.Put<WORD>(f.iconName, 0xFF00); }); }},
    {"NE: the group runs past the end",
     [] { return Ne([](NeFile& f) { f.bytes.Put<WORD>(f.groupName + 2, 0x4000); }); }},
    {"NE: alignment shift of 40", [] { return Ne([](NeFile& f) { f.bytes.Put<WORD>(NeFile::kTable, 40); }); }},
    {"NE: alignment shift of 24", [] { return Ne([](NeFile& f) { f.bytes.Put<WORD>(NeFile::kTable, 24); }); }},
    {"NE: the resource table lies past the end",
     [] {
       return Ne([](NeFile& f) {
         f.bytes.Put<WORD>(NeFile::kHeader + offsetof(IMAGE_OS2_HEADER, ne_rsrctab), 0xF000);
         f.bytes.Put<WORD>(NeFile::kHeader + offsetof(IMAGE_OS2_HEADER, ne_restab), 0xF100);
       });
     }},
    {"NE: the file ends inside the type list", [] { return Ne([](NeFile& f) { f.bytes.Resize(f.end + 1); }); }},
    {"NE: the group claims 65535 icons", [] { return Ne([](NeFile& f) { f.bytes.Put<WORD>(f.group + 4, 0xFFFF); }); }},
    {"NE: the group names a missing icon", [] { return Ne([](NeFile& f) { f.bytes.Put<WORD>(f.group + 18, 7); }); }},
    {"PE: the group claims 65535 icons", [] { return Pe([](PeFile& f) { f.bytes.Put<WORD>(f.group + 4, 0xFFFF); }); }},
    {"PE: the group claims one icon more than its data holds",
     [] {
       return Pe([](PeFile& f) {
         f.bytes.Put<WORD>(f.group + 4, 2);
         f.bytes.Put(f.bytes.Size(), IconGroup(1).substr(6));
         f.Finish();
       });
     }},
    {"PE: the group names a missing icon", [] { return Pe([](PeFile& f) { f.bytes.Put<WORD>(f.group + 18, 7); }); }},
    {"PE: the group has no language level",
     [] {
       return Pe(
           [](PeFile& f) { f.bytes.Put<DWORD>(f.groupName + 4, static_cast<DWORD>(f.groupData - PeFile::kSection)); });
     }},
    {"PE: the group's language directory is empty",
     [] { return Pe([](PeFile& f) { f.bytes.Put<WORD>(f.groupLanguages + 14, 0); }); }},
    {"PE: a name lies past the end", [] { return Pe([](PeFile& f) { f.bytes.Put<DWORD>(f.groupName, 0xFFFFFFF0); }); }},
    {"PE: two types share one directory",
     [] {
       return Pe(
           [](PeFile& f) { f.bytes.Put(PeFile::kSection + 20, f.bytes.Data().substr(PeFile::kSection + 28, 4)); });
     }},
    // Walked entry by entry, these two ask for 10^9 and 10^12 steps.
    {"PE: three levels of 1,000 entries that share their directories", [] { return SharedDirectoriesPe(3); }},
    {"PE: four levels of 1,000 entries that share their directories", [] { return SharedDirectoriesPe(4); }},
};

TEST(IconFile, SoundLibrariesOfBothFormatsHoldTheirIcon) {
  const TempFolder scratch;
  const std::pair<const wchar_t*, std::string> files[] = {
      {L"sound32.dll", SoundPe().bytes.Data()},
      {L"sound16.dll", SoundNe().bytes.Data()},
      {L"sound.ico", IconFileBytes()},
  };
  for (const auto& [name, bytes] : files) {
    const common::IconFile file(Written(scratch / name, bytes));
    EXPECT_EQ(file.Count(), 1u) << testing::PrintToString(name);
    const common::UniqueHIcon icon = file.Icon(0);
    ICONINFO info{};
    ASSERT_TRUE(icon && GetIconInfo(icon.get(), &info)) << testing::PrintToString(name);
    const common::UniqueHBitmap color(info.hbmColor), mask(info.hbmMask);
  }
}

TEST(IconFile, AFaultyFileHoldsNoIconsAndNeverReachesThePlatform) {
  const TempFolder scratch;
  std::vector<std::wstring> asked;
  auto watch = common::CreateIconRaw.Replace([&](const std::vector<BYTE>& image, int cx, int cy) {
    asked.push_back(L"an image of " + std::to_wstring(image.size()) + L" bytes");
    return common::CreateIconRaw.Real(image, cx, cy);
  });
  int serial = 0;
  for (const Fault& fault : kFaults) {
    const std::wstring path = Written(scratch / (L"fault" + std::to_wstring(++serial) + L".dll"), fault.bytes());
    const common::IconFile file(path);
    EXPECT_EQ(file.Count(), 0u) << fault.name;
    EXPECT_FALSE(file.Icon(0)) << fault.name;
    EXPECT_TRUE(asked.empty()) << fault.name;
    asked.clear();
  }
}

TEST(IconFile, ANameIsCheckedWhereThePlatformFindsItOnTheSearchPath) {
  const TempFolder scratch;
  const std::wstring name = L"tavrelo-crafted-16.dll";
  Written(scratch / name, Ne([](NeFile& f) { f.bytes.Put<WORD>(f.groupType + 2, 0xFFFF); }));
  std::wstring saved(32767, L'\0');
  const DWORD length = GetEnvironmentVariableW(L"PATH", saved.data(), static_cast<DWORD>(saved.size()));
  ASSERT_TRUE(length > 0 && length < saved.size());
  saved.resize(length);
  ASSERT_TRUE(SetEnvironmentVariableW(L"PATH", (scratch.Path() + L";" + saved).c_str()));
  const UINT crafted = common::IconFile(name).Count();
  const UINT system = common::IconFile(L"shell32.dll").Count();
  SetEnvironmentVariableW(L"PATH", saved.c_str());
  EXPECT_EQ(crafted, 0u);
  EXPECT_EQ(system, common::IconFile(SystemShell32()).Count());
  EXPECT_GT(system, 100u);
}

// The pixels of icon drawn at size x size on white, then on black (which shows its mask too).
std::vector<DWORD> Pixels(HICON icon, int size) {
  BITMAPINFO info{};
  info.bmiHeader = {sizeof info.bmiHeader, size, -size, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  const common::UniqueHdc dc(CreateCompatibleDC(nullptr));
  const common::UniqueHBitmap bitmap(CreateDIBSection(dc.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  const HGDIOBJ old = SelectObject(dc.get(), bitmap.get());
  std::vector<DWORD> pixels;
  for (int background : {WHITE_BRUSH, BLACK_BRUSH}) {
    const RECT all{0, 0, size, size};
    FillRect(dc.get(), &all, static_cast<HBRUSH>(GetStockObject(background)));
    DrawIconEx(dc.get(), 0, 0, icon, size, size, 0, nullptr, DI_NORMAL);
    GdiFlush();
    const auto* p = static_cast<const DWORD*>(bits);
    pixels.insert(pixels.end(), p, p + size * size);
  }
  SelectObject(dc.get(), old);
  return pixels;
}

TEST(IconFile, BuildsTheIconsThePlatformsReaderTakesFromTheSameFile) {
  struct Case {
    std::wstring file;
    std::vector<int> indexes;
  };
  const Case cases[] = {
      {testsupport::TestData(L"app.ico"), {0}},                   // its 256-pixel image is a PNG
      {testsupport::TestData(L"icons3.dll"), {0, 1, 2, -2, -3}},  // negative: resource ids
      {SystemShell32(), {0, 1, 3, 15}},
  };
  for (const Case& c : cases) {
    const common::IconFile file(c.file);
    ASSERT_GT(file.Count(), 0u) << testing::PrintToString(c.file);
    for (int index : c.indexes) {
      for (int size : {16, 24, 32, 48, 256}) {
        SCOPED_TRACE(testing::PrintToString(c.file) + " #" + std::to_string(index) + " at " + std::to_string(size));
        HICON platform = nullptr;
        UINT id = 0;
        ASSERT_EQ(PrivateExtractIconsW(c.file.c_str(), index, size, size, &platform, &id, 1, 0), 1u);
        const common::UniqueHIcon expected(platform);
        const common::UniqueHIcon built = file.Icon(index, size);
        ASSERT_TRUE(built);
        EXPECT_TRUE(Pixels(built.get(), size) == Pixels(expected.get(), size));
      }
    }
  }
}

// The images that reach the platform's reader, while it lives.
class ReaderInputs {
 public:
  ReaderInputs()
      : watch_(common::CreateIconRaw.Replace([this](const std::vector<BYTE>& image, int cx, int cy) {
          images_.emplace_back(image.begin(), image.end());
          return common::CreateIconRaw.Real(image, cx, cy);
        })) {}
  std::vector<std::string> Take() { return std::exchange(images_, {}); }

 private:
  std::vector<std::string> images_;
  common::Seam<HICON(const std::vector<BYTE>&, int, int)>::Scope watch_;
};

// A change of the sound library's icon image or group, at an offset from where it starts.
struct ImageFault {
  const char* name;
  bool inGroup;  // at the group's bytes, else at the image's
  size_t offset;
  std::string bytes;
};

template <typename T>
std::string AsBytes(T value) {
  return std::string(reinterpret_cast<const char*>(&value), sizeof value);
}

const ImageFault kImageFaults[] = {
    {"wider than its pixels", false, offsetof(BITMAPINFOHEADER, biWidth), AsBytes<LONG>(4096)},
    {"taller than its pixels", false, offsetof(BITMAPINFOHEADER, biHeight), AsBytes<LONG>(600)},
    {"a header longer than the image", false, 0, AsBytes<DWORD>(100000)},
    {"a colour table of 65,536 colours", false, offsetof(BITMAPINFOHEADER, biClrUsed), AsBytes<DWORD>(65536)},
    {"3 bits a pixel", false, offsetof(BITMAPINFOHEADER, biBitCount), AsBytes<WORD>(3)},
    {"a compressed bitmap", false, offsetof(BITMAPINFOHEADER, biCompression), AsBytes<DWORD>(BI_RLE8)},
    {"no rows", false, offsetof(BITMAPINFOHEADER, biHeight), AsBytes<LONG>(0)},
    {"a PNG of 65,535 x 65,535 pixels", false, 0,
     std::string("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR\0\0\xff\xff\0\0\xff\xff", 24)},
    {"the group claims 65,535 icons", true, 4, AsBytes<WORD>(0xFFFF)},
    {"the group names a missing icon", true, 18, AsBytes<WORD>(7)},
};

TEST(IconFile, AnImageWhoseBytesDoNotHoldItReachesNoReader) {
  const TempFolder scratch;
  ReaderInputs reader;
  int serial = 0;
  for (const ImageFault& fault : kImageFaults) {
    PeFile f = SoundPe();
    f.bytes.Put((fault.inGroup ? f.group : f.icon) + fault.offset, fault.bytes);
    const common::IconFile file(Written(scratch / (L"image" + std::to_wstring(++serial) + L".dll"), f.bytes.Data()));
    EXPECT_FALSE(file.Icon(0)) << fault.name;
    EXPECT_FALSE(file.Icon(0, 16)) << fault.name;
    EXPECT_EQ(reader.Take(), std::vector<std::string>{}) << fault.name;
  }
}

TEST(IconFile, BytesChangedOrSwappedAfterTheCheckNeverReachTheReader) {
  const TempFolder scratch;
  const std::string image = IconImage();
  ReaderInputs reader;
  int serial = 0;
  // Changed in place through another handle: the mapping shows the new bytes, which are checked
  // again on their way to the reader.
  for (const ImageFault& fault : kImageFaults) {
    const PeFile f = SoundPe();
    const std::wstring path = Written(scratch / (L"changed" + std::to_wstring(++serial) + L".dll"), f.bytes.Data());
    const common::IconFile file(path);
    ASSERT_EQ(file.Count(), 1u);
    {
      common::UniqueFileHandle writer(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                  nullptr, OPEN_EXISTING, 0, nullptr));
      ASSERT_TRUE(writer);
      LARGE_INTEGER at{};
      at.QuadPart = static_cast<LONGLONG>((fault.inGroup ? f.group : f.icon) + fault.offset);
      DWORD written = 0;
      ASSERT_TRUE(
          SetFilePointerEx(writer.get(), at, nullptr, FILE_BEGIN) &&
          WriteFile(writer.get(), fault.bytes.data(), static_cast<DWORD>(fault.bytes.size()), &written, nullptr));
    }
    EXPECT_FALSE(file.Icon(0, 16)) << fault.name;
    EXPECT_EQ(reader.Take(), std::vector<std::string>{}) << fault.name;
  }
  // Renamed away and replaced by a crafted file: the icon still comes from the bytes checked.
  const std::wstring path = Written(scratch / L"swapped.dll", SoundPe().bytes.Data());
  const common::IconFile file(path);
  ASSERT_TRUE(MoveFileW(path.c_str(), (path + L".old").c_str()));
  Written(path, Ne([](NeFile& f) { f.bytes.Put<WORD>(f.groupType + 2, 0xFFFF); }));
  EXPECT_TRUE(file.Icon(0, 16));
  EXPECT_EQ(reader.Take(), std::vector<std::string>{image});
}

}  // namespace
