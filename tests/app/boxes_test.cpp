// The real message boxes, driven from another thread as a user would work them, and the
// top-level error box for exceptions that no command catches.
#include <gtest/gtest.h>

#include "app_fixture.h"
#include "common/exception.h"

namespace {

using testsupport::DialogDriver;
using testsupport::DialogView;

struct KindCase {
  ui::BoxKind kind;
  const wchar_t* title;
  ui::BoxButtons buttons;
  std::vector<std::wstring> captions;
  int press;     // button pressed, 0 for the close box
  int expected;  // answer of the box
};

TEST(RealMessageBox, EachKindShowsItsTitleTextAndButtonsAndAnswersThePress) {
  const KindCase cases[] = {
      {ui::BoxKind::Warning, L"警告", ui::BoxButtons::Ok, {L"OK"}, IDOK, ui::mrOk},
      {ui::BoxKind::Error, L"エラー", ui::BoxButtons::Ok, {L"OK"}, IDOK, ui::mrOk},
      {ui::BoxKind::Information, L"情報", ui::BoxButtons::Ok, {L"OK"}, IDOK, ui::mrOk},
      {ui::BoxKind::Confirmation, L"確認", ui::BoxButtons::YesNoCancel,
       {L"はい(&Y)", L"いいえ(&N)", L"キャンセル"}, IDNO, ui::mrNo},
      {ui::BoxKind::Confirmation, L"確認", ui::BoxButtons::YesNoCancel,
       {L"はい(&Y)", L"いいえ(&N)", L"キャンセル"}, IDYES, ui::mrYes},
      // Closing the box declines.
      {ui::BoxKind::Confirmation, L"確認", ui::BoxButtons::YesNoCancel,
       {L"はい(&Y)", L"いいえ(&N)", L"キャンセル"}, 0, ui::mrCancel},
  };
  for (const KindCase& c : cases) {
    DialogDriver driver(c.press);
    int answer = ui::ShowMessageBox(nullptr, c.kind, L"拡張子「.txt」の関連づけを登録します。\nよろしいですか？",
                                    c.buttons);
    const DialogView& view = driver.Wait();
    ASSERT_TRUE(view.hwnd) << "no box appeared";
    EXPECT_EQ(answer, c.expected);
    EXPECT_EQ(view.caption, c.title);
    ASSERT_FALSE(view.texts.empty());
    EXPECT_EQ(view.texts.back(), L"拡張子「.txt」の関連づけを登録します。\nよろしいですか？");
    std::vector<std::wstring> captions;
    for (const auto& b : view.buttons) captions.push_back(b.caption);
    EXPECT_EQ(captions, c.captions);

    // Centred on the screen's work area.
    RECT work;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    int cx = (view.rect.left + view.rect.right) / 2, cy = (view.rect.top + view.rect.bottom) / 2;
    EXPECT_NEAR(cx, (work.left + work.right) / 2, 1);
    EXPECT_NEAR(cy, (work.top + work.bottom) / 2, 1);
  }
}

TEST(RealMessageBox, IsModalToItsOwner) {
  ui::Application::Instance().SetTitle(kApplicationTitle);
  TFormMain form(96);
  form.Show();
  DialogDriver driver(IDOK);
  ui::ShowMessageBox(form.Handle(), ui::BoxKind::Information, L"関連づけを登録しました。");
  const DialogView& view = driver.Wait();
  EXPECT_EQ(view.owner, form.Handle());
  EXPECT_FALSE(view.ownerEnabled);
  EXPECT_TRUE(IsWindowEnabled(form.Handle()));
}

TEST(TopLevelErrorBox, AppendsAFullStopUnlessTheMessageEndsInOneOrBelow) {
  const std::pair<const wchar_t*, const wchar_t*> cases[] = {
      {L"", L""},
      {L"failed", L"failed."},
      {L"failed.", L"failed."},
      {L"failed!", L"failed!"},
      {L"failed ", L"failed "},
      {L"変更できませんでした。", L"変更できませんでした。."},
      {L"x-", L"x-"},
      {L"x/", L"x/."},
  };
  for (auto [message, text] : cases) EXPECT_EQ(ui::Application::ErrorBoxText(message), text);
}

TEST_F(MainWindowTest, AnExceptionThatNoCommandCatchesShowsTheErrorBoxAndTheWindowStays) {
  // A command whose failure nobody catches: the window procedure hands it to the error box.
  struct Throwing : TFormMain {
    using TFormMain::TFormMain;
    int kind = 0;
    void OnCommand(int id) override {
      if (id != 4242) return TFormMain::OnCommand(id);
      if (kind == 0) throw Exception(L"レジストリを変更できませんでした。");
      throw 42;
    }
  };
  auto throwing = std::make_unique<Throwing>(96);
  throwing->Show();
  boxes.Then(ui::mrOk).Then(ui::mrOk);
  SendMessageW(throwing->Handle(), WM_COMMAND, 4242, 0);
  throwing->kind = 1;
  SendMessageW(throwing->Handle(), WM_COMMAND, 4242, 0);
  auto shown = boxes.Take();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].kind, ui::BoxKind::Error);
  EXPECT_EQ(shown[0].title, L"Tavrelo 関連づけ編集ソフト");
  EXPECT_EQ(shown[0].text, L"レジストリを変更できませんでした。.");
  EXPECT_EQ(shown[0].buttons, ui::BoxButtons::Ok);
  EXPECT_EQ(shown[1].text, L"");
  EXPECT_TRUE(IsWindow(throwing->Handle()));
}

TEST(RealMessageBox, TopLevelErrorBoxIsTitledWithTheApplication) {
  ui::Application::Instance().SetTitle(kApplicationTitle);
  DialogDriver driver(IDOK);
  try {
    throw Exception(L"バージョン情報を取得できません");
  } catch (...) {
    ui::Application::Instance().HandleException();
  }
  const DialogView& view = driver.Wait();
  ASSERT_TRUE(view.hwnd);
  EXPECT_EQ(view.caption, L"Tavrelo 関連づけ編集ソフト");
  EXPECT_EQ(view.texts.back(), L"バージョン情報を取得できません.");
}

}  // namespace
