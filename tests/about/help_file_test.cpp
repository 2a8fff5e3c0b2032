// The compiled help file beside the tool, read the way the help viewer reads it (through the
// platform's storage of compiled help files): the help contexts of the main window (3), the
// icon picker (4) and the list of associations (5) lead to their topics, and every topic of the
// contents is in the file.
#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "about_fixture.h"
#include "common/text.h"

// The platform's reader of compiled help files (itss.dll), as the help viewer uses it. Declared
// outside the unnamed namespace: there the compiler, seeing no class derived from it, would take
// calls through it for unreachable.
struct IITStorage : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE StgCreateDocfile(const WCHAR* name, DWORD mode, DWORD reserved,
                                                     IStorage** storage) = 0;
  virtual HRESULT STDMETHODCALLTYPE StgCreateDocfileOnILockBytes(ILockBytes* bytes, DWORD mode, DWORD reserved,
                                                                 IStorage** storage) = 0;
  virtual HRESULT STDMETHODCALLTYPE StgIsStorageFile(const WCHAR* name) = 0;
  virtual HRESULT STDMETHODCALLTYPE StgIsStorageILockBytes(ILockBytes* bytes) = 0;
  virtual HRESULT STDMETHODCALLTYPE StgOpenStorage(const WCHAR* name, IStorage* priority, DWORD mode, SNB exclude,
                                                   DWORD reserved, IStorage** storage) = 0;
};

namespace {

constexpr CLSID kClsidITStorage = {0x5d02926a, 0x212e, 0x11d0, {0x9d, 0xf9, 0x00, 0xa0, 0xc9, 0x22, 0xe6, 0xec}};
constexpr IID kIidITStorage = {0x88cc31de, 0x27ab, 0x11d0, {0x9d, 0xf9, 0x00, 0xa0, 0xc9, 0x22, 0xe6, 0xec}};

struct Releaser {
  void operator()(IUnknown* p) const { p->Release(); }
};
template <typename T>
using ComPtr = std::unique_ptr<T, Releaser>;

// COM for the length of a test.
class ComScope {
 public:
  ComScope() : ok_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
  ~ComScope() {
    if (ok_) CoUninitialize();
  }

 private:
  bool ok_;
};

// A compiled help file opened for reading.
class HelpFile {
 public:
  explicit HelpFile(const std::wstring& path) {
    IITStorage* reader = nullptr;
    if (FAILED(CoCreateInstance(kClsidITStorage, nullptr, CLSCTX_INPROC_SERVER, kIidITStorage,
                                reinterpret_cast<void**>(&reader))))
      return;
    ComPtr<IITStorage> owner(reader);
    IStorage* storage = nullptr;
    if (SUCCEEDED(reader->StgOpenStorage(path.c_str(), nullptr, STGM_READ | STGM_SHARE_DENY_WRITE, nullptr, 0,
                                         &storage)))
      storage_.reset(storage);
  }
  bool IsOpen() const { return storage_ != nullptr; }

  // The bytes of an inner file; nothing when the file has none of that name.
  std::optional<std::string> Read(const std::wstring& name) const {
    IStream* raw = nullptr;
    if (FAILED(storage_->OpenStream(name.c_str(), nullptr, STGM_READ, 0, &raw))) return std::nullopt;
    ComPtr<IStream> stream(raw);
    std::string bytes;
    char buffer[4096];
    ULONG read = 0;
    while (SUCCEEDED(stream->Read(buffer, sizeof buffer, &read)) && read > 0) bytes.append(buffer, read);
    return bytes;
  }

  // The topic of a help context as the viewer finds it: the context's entry in #IVB (pairs of
  // context number and offset) names a text in #STRINGS.
  std::optional<std::string> TopicOf(DWORD context) const {
    auto ivb = Read(L"#IVB");
    auto strings = Read(L"#STRINGS");
    if (!ivb || !strings || ivb->size() < 4) return std::nullopt;
    DWORD size = 0;
    std::memcpy(&size, ivb->data(), 4);
    for (size_t at = 4; at + 8 <= ivb->size() && at + 8 <= 4 + size; at += 8) {
      DWORD number = 0, offset = 0;
      std::memcpy(&number, ivb->data() + at, 4);
      std::memcpy(&offset, ivb->data() + at + 4, 4);
      if (number == context && offset < strings->size()) return std::string(strings->c_str() + offset);
    }
    return std::nullopt;
  }

 private:
  ComPtr<IStorage> storage_;
};

// Text in code page 932, the help file's, as UTF-16.
std::wstring FromHelpText(const std::string& text) {
  std::wstring wide(text.size(), L'\0');
  wide.resize(MultiByteToWideChar(932, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                                  static_cast<int>(wide.size())));
  return wide;
}

// The title of an HTML page.
std::wstring TitleOf(const std::string& page) {
  std::smatch m;
  if (!std::regex_search(page, m, std::regex("<title>([^<]*)</title>"))) return {};
  return FromHelpText(m[1]);
}

// The tool's help file: its own path with ".chm".
std::wstring ToolHelpFile() { return common::ChangeFileExt(BuildFile(L"tavrelo.exe"), L".chm"); }

TEST(HelpFile, ContextsLeadToTheTopicsOfTheirWindows) {
  ComScope com;
  HelpFile help(ToolHelpFile());
  ASSERT_TRUE(help.IsOpen()) << "no help file beside the tool";

  const std::pair<DWORD, std::wstring> contexts[] = {
      {3, L"メイン画面"}, {4, L"アイコン選択画面"}, {5, L"関連づけの一覧"}, {6, L"ファイルタイプの詳細"}};
  for (const auto& [context, title] : contexts) {
    auto topic = help.TopicOf(context);
    ASSERT_TRUE(topic) << "context " << context << " is not mapped";
    auto page = help.Read(std::wstring(topic->begin(), topic->end()));
    ASSERT_TRUE(page) << "context " << context << " names " << *topic << ", which the file does not hold";
    EXPECT_EQ(TitleOf(*page), title) << "context " << context;
  }
  EXPECT_FALSE(help.TopicOf(1));
  EXPECT_FALSE(help.TopicOf(0));
}

TEST(HelpFile, HoldsEveryTopicOfItsContentsInJapanese) {
  ComScope com;
  HelpFile help(ToolHelpFile());
  ASSERT_TRUE(help.IsOpen()) << "no help file beside the tool";
  auto contents = help.Read(L"toc.hhc");
  ASSERT_TRUE(contents);

  const std::regex local("<param name=\"Local\" value=\"([^\"]+)\">");
  std::vector<std::string> topics;
  for (auto it = std::sregex_iterator(contents->begin(), contents->end(), local); it != std::sregex_iterator(); ++it)
    topics.push_back((*it)[1]);
  const std::vector<std::string> expected = {"overview.html", "main.html",     "iconpicker.html", "list.html",
                                             "filetype.html", "windows.html",  "settings.html", "task.html",
                                             "console.html"};
  EXPECT_EQ(topics, expected);
  for (const std::string& topic : topics) {
    auto page = help.Read(std::wstring(topic.begin(), topic.end()));
    ASSERT_TRUE(page) << topic;
    EXPECT_NE(page->find("charset=Shift_JIS"), std::string::npos) << topic;
    EXPECT_FALSE(TitleOf(*page).empty()) << topic;
  }
  auto settings = help.Read(L"settings.html");
  ASSERT_TRUE(settings);
  EXPECT_NE(FromHelpText(*settings).find(L"TASK セクション"), std::wstring::npos);
}

}  // namespace
