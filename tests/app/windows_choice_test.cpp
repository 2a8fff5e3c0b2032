// The extensions Windows enforces: after a register the tool says that Explorer will not use the
// records until the user picks the program in Windows, offers the program in Windows' list
// (OpenWithProgids, a change that undoes like any other) and opens Windows' own chooser, or its
// settings through the user's own desktop shell, or says where to choose. Windows 10 is chosen through the version seam, since Wine
// reports 6.1.
#include <gtest/gtest.h>

#include "app_fixture.h"
#include "assoc/change_history.h"
#include "assoc/shell_assoc.h"
#include "assoc/user_override.h"
#include "assoc/windows_version.h"
#include "ui/user_shell.h"
#include "ui/windows_chooser.h"

namespace {

using testsupport::KeyExists;

class WindowsChoiceTest : public MainWindowTest {
 protected:
  // Registers .pdf from the fields; the question and the information are answered Yes and OK,
  // the offer to choose in Windows with offer.
  // By the button, or as the batch task does.
  std::vector<ui::BoxRequest> Register(int offer, bool batch = false, bool thenOk = false) {
    Fill(L"pdf", L"\"C:\\Tools\\pdf.exe\" \"%1\"", L"", Shell32Path(), L"0");
    boxes.Then(ui::mrYes).Then(ui::mrOk).Then(offer);
    if (thenOk) boxes.Then(ui::mrOk);
    if (batch) {
      form->RunTask(1, 0);
    } else {
      form->DoExtLink();
    }
    return boxes.Take();
  }
  // The program's entry in Windows' list of .pdf: a REG_NONE value without data.
  static bool Offered(const wchar_t* fileType) {
    common::UniqueHKey key;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, L".pdf\\OpenWithProgids", 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS)
      return false;
    DWORD type = REG_SZ, size = 1;
    return RegQueryValueExW(key.get(), fileType, nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
           type == REG_NONE && size == 0;
  }

  HRESULT chooserAnswer_ = S_OK;
  bool settingsOpen_ = true;
  std::vector<std::wstring> chooser_, addresses_;
  common::Seam<assoc::WindowsVersion()>::Scope windows10_ =
      assoc::ExplorerWindowsVersion.Replace([] { return assoc::WindowsVersion{10, 0}; });
  common::Seam<HRESULT(HWND, const std::wstring&)>::Scope chooserScope_ =
      ui::OpenWithDialogSeam.Replace([this](HWND, const std::wstring& extension) {
        chooser_.push_back(extension);
        return chooserAnswer_;
      });
  common::Seam<bool(const std::wstring&)>::Scope addressScope_ =
      ui::UserShellSeam.Replace([this](const std::wstring& address) {
        addresses_.push_back(address);
        return settingsOpen_;
      });
  common::Seam<void()>::Scope quiet_ = assoc::NotifyAssocChanged.Replace([] {});
};

TEST_F(WindowsChoiceTest, ARegisterOfAnEnforcedExtensionOffersWindowsChooserAndFallsBackInTurn) {
  struct Case {
    const char* what;
    HRESULT chooser;
    bool settings;
    std::vector<std::wstring> addresses;
    bool told;  // a warning says where to choose
  };
  const Case cases[] = {
      {"the chooser opens", S_OK, true, {}, false},
      {"the user closes the chooser", HRESULT_FROM_WIN32(ERROR_CANCELLED), true, {}, false},
      {"no chooser (as under Wine): the settings", E_NOTIMPL, true, {L"ms-settings:defaultapps"}, false},
      {"neither: where to choose", E_NOTIMPL, false, {L"ms-settings:defaultapps"}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    chooserAnswer_ = c.chooser;
    settingsOpen_ = c.settings;
    chooser_.clear();
    addresses_.clear();
    auto shown = Register(ui::mrYes, false, c.told);
    ASSERT_EQ(shown.size(), c.told ? 4u : 3u);
    EXPECT_EQ(shown[2].kind, ui::BoxKind::Information);
    EXPECT_EQ(shown[2].buttons, ui::BoxButtons::YesNo);
    EXPECT_EQ(shown[2].text, assoc::WindowsChoiceQuestion(L".pdf"));
    if (c.told) {
      EXPECT_EQ(shown[3].kind, ui::BoxKind::Warning);
      EXPECT_EQ(shown[3].text, assoc::ChooseInSettings(L".pdf"));
    }
    EXPECT_EQ(chooser_, std::vector<std::wstring>{L".pdf"});
    EXPECT_EQ(addresses_, c.addresses);
    // Offered in Windows' list, and the note says who decides.
    EXPECT_TRUE(Offered(L"pdfFile"));
    EXPECT_EQ(form->ExplorerNote(), assoc::ExplorerNoteText(assoc::ResolveAssociation(L".pdf")));
    EXPECT_NE(form->ExplorerNote().find(L"Windows の既定"), std::wstring::npos);
  }
}

TEST_F(WindowsChoiceTest, NoLeavesWindowsListAloneAndTheBatchTaskAsksTheSame) {
  auto shown = Register(ui::mrNo);
  ASSERT_EQ(shown.size(), 3u);
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L".pdf\\OpenWithProgids"));
  EXPECT_TRUE(chooser_.empty());

  shown = Register(ui::mrNo, true);
  ASSERT_EQ(shown.size(), 3u);
  EXPECT_EQ(shown[2].text, assoc::WindowsChoiceQuestion(L".pdf"));

  // An extension Windows does not enforce is not asked about.
  Fill(L"abc", L"\"C:\\Tools\\abc.exe\" \"%1\"", L"", Shell32Path(), L"0");
  boxes.Then(ui::mrYes).Then(ui::mrOk);
  form->DoExtLink();
  EXPECT_EQ(boxes.Take().size(), 2u);
}

TEST_F(WindowsChoiceTest, TheOfferInWindowsListIsPartOfTheRegisterThatUndoesWithItAndGoesWithTheDelete) {
  {
    common::UniqueHKey key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, L".pdf\\OpenWithProgids", 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                              key.put(), nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(key.get(), L"Other.Reader", 0, REG_NONE, nullptr, 0);
  }
  Register(ui::mrYes);
  const assoc::THistory history = assoc::ReadHistory();
  ASSERT_EQ(history.Entries.size(), 1u) << "the register and its offer are one change";
  EXPECT_EQ(history.Entries[0].Operation, assoc::TChangeOperation::Link);

  // One undo takes the register back with its offer; the other program's entry stays.
  boxes.Then(ui::mrYes).Then(ui::mrOk);
  form->ActionFileUndoExecute();
  boxes.Take();
  EXPECT_FALSE(Offered(L"pdfFile"));
  EXPECT_TRUE(Offered(L"Other.Reader"));

  // A delete removes the extension key with all it holds.
  boxes.Then(ui::mrYes).Then(ui::mrOk);
  form->ActionFileRedoExecute();
  boxes.Take();
  EXPECT_TRUE(Offered(L"pdfFile"));
  form->EditExt.SetText(L"pdf");
  boxes.Then(ui::mrYes).Then(ui::mrOk);
  form->DoExtUnlink();
  boxes.Take();
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L".pdf"));
}

}  // namespace
