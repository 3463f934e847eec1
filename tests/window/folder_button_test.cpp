// The folder buttons: what a chosen folder puts into its field, with the real folder dialog
// driven from the test.
#include <filesystem>
#include <functional>
#include <string>

#include "browse/folder_browser.h"
#include "gui/std_controls.h"
#include "support/temp_dir.h"
#include "window/window_fixture.h"

namespace kel {
namespace {

namespace fs = std::filesystem;
using test::FolderDialogDriver;
using test::Separator;
using test::TempDir;
using test::WindowTest;

class FolderButtonTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    ShowWindow();
  }
  // Clicks `button` and lets `action` drive the dialog it opens.
  void ClickWithDialog(TButton* button, std::function<void(FolderDialogDriver&)> action) {
    WhenFolderDialogOpens(std::move(action));
    test::Click(*button);
  }
  void MakeDir(const std::string& path) { ASSERT_TRUE(fs::create_directory(path)) << path; }
  // `path` with the separator the folder buttons add.
  static std::string Field(const std::string& path) { return path + Separator(); }

  TempDir dir;
};

TEST_F(FolderButtonTest, ConfirmedFolderGoesIntoItsFieldWithASeparatorAndIsPreselectedNext) {
  MakeDir(dir / "data");
  ClickWithDialog(Form1->Button2, [&](FolderDialogDriver& dialog) {
    ASSERT_TRUE(dialog.SelectPath(dir / "data"));
    dialog.Ok();
  });
  EXPECT_EQ(Form1->Edit1->Text(), Field(dir / "data"));
  EXPECT_EQ(Form1->FolderBrowser1->Folder, dir / "data");
  EXPECT_EQ(Form1->Edit2->Text(), "");  // the other pair is not touched

  // A root already ends in its separator and gets no second one.
  const std::string root = fs::path(dir.path()).root_path().string();
  ClickWithDialog(Form1->Button3, [&](FolderDialogDriver& dialog) {
    ASSERT_TRUE(dialog.SelectPath(root));
    dialog.Ok();
  });
  EXPECT_EQ(Form1->Edit2->Text(), root);
  EXPECT_EQ(Form1->Edit1->Text(), Field(dir / "data"));

  // The next opening starts from the folder chosen last: OK at once gives it back.
  Form1->Edit1->SetText("");
  ClickWithDialog(Form1->Button2, [&](FolderDialogDriver& dialog) {
    EXPECT_EQ(dialog.Title(), "Select folder");
    dialog.Ok();
  });
  EXPECT_EQ(Form1->Edit1->Text(), Field(dir / "data"));
}

TEST_F(FolderButtonTest, CancelLeavesATextTypedByHand) {
  MakeDir(dir / "data");
  test::Type(*Form1->Edit1, "typed/by/hand");
  ClickWithDialog(Form1->Button2, [&](FolderDialogDriver& dialog) {
    ASSERT_TRUE(dialog.SelectPath(dir / "data"));
    dialog.Cancel();
  });
  EXPECT_EQ(Form1->Edit1->Text(), "typed/by/hand");
  EXPECT_EQ(Form1->FolderBrowser1->Folder, "");
}

TEST_F(FolderButtonTest, ChoiceThatIsNoExistingFolderLeavesTheFieldAndShowsNothing) {
  MakeDir(dir / "gone");
  Form1->Edit2->SetText("kept");
  // The folder disappears while the dialog is open.
  ClickWithDialog(Form1->Button3, [&](FolderDialogDriver& dialog) {
    ASSERT_TRUE(dialog.SelectPath(dir / "gone"));
    ASSERT_TRUE(fs::remove(dir / "gone"));
    dialog.Ok();
  });
  EXPECT_EQ(Form1->Edit2->Text(), "kept");
  // The browser keeps the rejected path; the next opening starts from it.
  EXPECT_EQ(Form1->FolderBrowser2->Folder, dir / "gone");

  // An item without a file-system path (the computer).
  ClickWithDialog(Form1->Button3, [&](FolderDialogDriver& dialog) {
    dialog.SelectItemWithoutPath();
    dialog.Ok();
  });
  EXPECT_EQ(Form1->Edit2->Text(), "kept");
  EXPECT_EQ(Form1->FolderBrowser2->Folder, "");
  EXPECT_TRUE(capture.boxes.empty());
}

}  // namespace
}  // namespace kel
