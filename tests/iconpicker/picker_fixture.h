#pragma once
// Test files for the icon picker and a picker owned by a main window.

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/UnitFormMain.h"
#include "common/text.h"
#include "iconpicker/UnitFormIconList.h"
#include "support/registry_sandbox.h"
#include "support/temp_files.h"
#include "support/ui_doubles.h"
#include "ui/application.h"

using testsupport::ReadBytes;
using testsupport::SystemShell32;
using testsupport::TempFolder;
using testsupport::TestData;
using testsupport::Written;

class PickerTest : public testing::Test {
 protected:
  void SetUp() override {
    ui::Application::Instance().SetTitle(kApplicationTitle);
    owner = std::make_unique<TFormMain>(96);
    owner->Show();
    picker = std::make_unique<TFormIconList>(owner->Handle(), 96);
  }
  void TearDown() override {
    picker.reset();
    owner.reset();
    ui::ProcessMessages();
  }

  int Count() const { return ListView_GetItemCount(picker->ListViewIcon()); }
  std::wstring CaptionOf(int i) const {
    wchar_t text[32] = {};
    ListView_GetItemText(picker->ListViewIcon(), i, 0, text, 32);
    return text;
  }
  int ImageOf(int i) const {
    LVITEMW item{};
    item.mask = LVIF_IMAGE;
    item.iItem = i;
    ListView_GetItem(picker->ListViewIcon(), &item);
    return item.iImage;
  }
  void Select(int i) const { ListView_SetItemState(picker->ListViewIcon(), i, LVIS_SELECTED, LVIS_SELECTED); }

  testsupport::RegistrySandbox sandbox;
  testsupport::BoxScript boxes;
  std::unique_ptr<TFormMain> owner;
  std::unique_ptr<TFormIconList> picker;
};
