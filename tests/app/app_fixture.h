#pragma once
// A main window on a sandboxed registry, with boxes, dialogs and help answered by script.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/UnitFormMain.h"
#include "assoc/backup_store.h"
#include "support/registry_sandbox.h"
#include "support/temp_files.h"
#include "support/ui_doubles.h"
#include "ui/application.h"

class MainWindowTest : public testing::Test {
 protected:
  void SetUp() override {
    ui::Application::Instance().SetTitle(kApplicationTitle);
    form = std::make_unique<TFormMain>(96);
    form->Show();
    ui::ProcessMessages();
  }
  void TearDown() override {
    form.reset();
    ui::ProcessMessages();
  }

  // Rectangle of a control in design coordinates (client coordinates plus the menu band).
  RECT DesignRect(int id) const {
    RECT r;
    GetWindowRect(form->Item(id), &r);
    MapWindowPoints(nullptr, form->Handle(), reinterpret_cast<POINT*>(&r), 2);
    OffsetRect(&r, 0, kMenuBand);
    return r;
  }
  std::wstring Caption() const {
    wchar_t text[256] = {};
    GetWindowTextW(form->Handle(), text, 256);
    return text;
  }
  // Fills the five fields.
  void Fill(const std::wstring& ext, const std::wstring& command, const std::wstring& fileType,
            const std::wstring& iconFile, const std::wstring& iconIndex) {
    form->EditExt.SetText(ext);
    form->EditCommand.SetText(command);
    form->EditFileType.SetText(fileType);
    form->EditIconFile.SetText(iconFile);
    form->EditIconIndex.SetText(iconIndex);
  }

  static constexpr int kMenuBand = 23;

  testsupport::RegistrySandbox sandbox{testsupport::SandboxRoots::WithMachine};
  // Backups go to a folder of the test's own.
  testsupport::TempFolder appData;
  common::Seam<std::wstring()>::Scope appDataScope = assoc::MachineDataFolder.Replace([this] { return appData.Path(); });
  testsupport::BoxScript boxes;
  std::unique_ptr<TFormMain> form;
};

// The system's shell32.dll, which holds many icons.
inline std::wstring Shell32Path() { return testsupport::SystemShell32(); }
// A file of the test's own that holds no icon.
inline std::wstring TextFilePath() {
  static const testsupport::TempFolder folder;
  return testsupport::Written(folder / L"not-an-icon.txt", "not an icon\r\n");
}
