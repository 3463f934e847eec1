// The folder buttons: what a chosen folder puts into its field, with the real folder dialog
// driven from the test.
#include <sys/stat.h>
#include <unistd.h>

#include <QPushButton>

#include "browse/folder_browser.h"
#include "browse/folder_dialog_driver.h"
#include "gui/std_controls.h"
#include "support/temp_dir.h"
#include "window/folder_choice.h"
#include "window/window_fixture.h"

namespace kel {
namespace {

using test::TempDir;
using test::WhenFolderDialogOpens;
using test::WindowTest;

void MakeDir(const std::string& path) { ASSERT_EQ(mkdir(path.c_str(), 0755), 0) << path; }

TEST(ChosenFolderFieldText, AppendsTheSeparatorOnlyToExistingFoldersThatLackIt) {
  TempDir dir;
  const PathSyntax native = PathSyntax::Native();
  test::WriteFile(dir / "file.txt", "x");
  EXPECT_EQ(ChosenFolderFieldText(dir.path(), native), dir.path() + "/");
  EXPECT_EQ(ChosenFolderFieldText(dir.path() + "/", native), dir.path() + "/");
  EXPECT_EQ(ChosenFolderFieldText("/", native), "/");  // a root gets no second separator
  EXPECT_EQ(ChosenFolderFieldText("", native), std::nullopt);
  EXPECT_EQ(ChosenFolderFieldText(dir / "missing", native), std::nullopt);
  EXPECT_EQ(ChosenFolderFieldText(dir / "file.txt", native), std::nullopt);
}

TEST(ChosenFolderFieldText, ShiftJisNameEndingInTrailByte5CStillGetsItsSeparator) {
  // "表" is 0x95 0x5C in Shift-JIS: its second byte is the byte of "\". Tested with the
  // Windows syntax on a real folder of that name.
  TempDir dir;
  const std::string folder = dir / "\x95\x5C";
  MakeDir(folder);
  const PathSyntax windows = PathSyntax::Windows(CodePage::kShiftJis);
  EXPECT_EQ(ChosenFolderFieldText(folder, windows), folder + "\\");
  // A real trailing "\" after the double-byte character is kept as it is.
  const std::string with_separator = dir / "\x95\x5C\\";
  MakeDir(with_separator);
  EXPECT_EQ(ChosenFolderFieldText(with_separator, windows), with_separator);
}

class FolderButtonTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    ShowWindow();
  }
  // Clicks `button` and lets `action` drive the dialog it opens.
  void ClickWithDialog(TButton* button, std::function<void(FolderDialog&)> action) {
    WhenFolderDialogOpens(std::move(action));
    QTest::mouseClick(button->Handle(), Qt::LeftButton);
  }
  TempDir dir;
};

TEST_F(FolderButtonTest, ConfirmedFolderGoesIntoItsFieldWithASeparatorAndIsPreselectedNext) {
  MakeDir(dir / "data");
  ClickWithDialog(Form1->Button2, [&](FolderDialog& dialog) {
    ASSERT_TRUE(dialog.SelectPath(dir / "data"));
    dialog.OkButton()->click();
  });
  EXPECT_EQ(Form1->Edit1->Text(), dir / "data/");
  EXPECT_EQ(Form1->FolderBrowser1->Folder, dir / "data");
  EXPECT_EQ(Form1->Edit2->Text(), "");  // the other pair is not touched

  ClickWithDialog(Form1->Button3, [&](FolderDialog& dialog) {
    ASSERT_TRUE(dialog.SelectPath("/"));
    dialog.OkButton()->click();
  });
  EXPECT_EQ(Form1->Edit2->Text(), "/");
  EXPECT_EQ(Form1->Edit1->Text(), dir / "data/");

  std::string preselected;
  ClickWithDialog(Form1->Button2, [&](FolderDialog& dialog) {
    preselected = dialog.CurrentItem().path;
    dialog.CancelButton()->click();
  });
  EXPECT_EQ(preselected, dir / "data");
}

TEST_F(FolderButtonTest, CancelLeavesATextTypedByHand) {
  MakeDir(dir / "data");
  Form1->Edit1->SetFocus();
  QTest::keyClicks(Form1->Edit1->Handle(), "typed/by/hand");
  ClickWithDialog(Form1->Button2, [&](FolderDialog& dialog) {
    ASSERT_TRUE(dialog.SelectPath(dir / "data"));
    dialog.CancelButton()->click();
  });
  EXPECT_EQ(Form1->Edit1->Text(), "typed/by/hand");
  EXPECT_EQ(Form1->FolderBrowser1->Folder, "");
}

TEST_F(FolderButtonTest, ChoiceThatIsNoExistingFolderLeavesTheFieldAndShowsNothing) {
  MakeDir(dir / "gone");
  Form1->Edit2->SetText("/kept/");
  // The folder disappears while the dialog is open.
  ClickWithDialog(Form1->Button3, [&](FolderDialog& dialog) {
    ASSERT_TRUE(dialog.SelectPath(dir / "gone"));
    ASSERT_EQ(rmdir((dir / "gone").c_str()), 0);
    dialog.OkButton()->click();
  });
  EXPECT_EQ(Form1->Edit2->Text(), "/kept/");
  // The browser keeps the rejected path; the next opening starts from it.
  EXPECT_EQ(Form1->FolderBrowser2->Folder, dir / "gone");

  // The virtual computer item has no file-system path.
  ClickWithDialog(Form1->Button3, [&](FolderDialog& dialog) {
    dialog.SelectComputer();
    dialog.OkButton()->click();
  });
  EXPECT_EQ(Form1->Edit2->Text(), "/kept/");
  EXPECT_EQ(Form1->FolderBrowser2->Folder, "");
  EXPECT_TRUE(capture.boxes.empty());
}

TEST_F(FolderButtonTest, FolderWhoseNameTheFieldCannotHoldIsRefusedWithABoxAndTheFieldKept) {
  // 0x83 alone is a Shift-JIS lead byte without its trail byte: no text in UTF-8 or Shift-JIS.
  const std::string unusable = dir / (std::string("\x83") + "data");
  MakeDir(unusable);
  Form1->Edit1->SetText("/kept/");
  std::string offered;
  ClickWithDialog(Form1->Button2, [&](FolderDialog& dialog) {
    ASSERT_TRUE(dialog.SelectPath(unusable));
    offered = dialog.CurrentItem().path;
    dialog.OkButton()->click();
  });
  EXPECT_EQ(offered, unusable);  // the dialog itself keeps the name's bytes
  EXPECT_EQ(Form1->FolderBrowser1->Folder, unusable);
  EXPECT_EQ(Form1->Edit1->Text(), "/kept/");
  ASSERT_EQ(capture.boxes.size(), 1u);
  EXPECT_EQ(capture.boxes[0].Text, "フォルダ名に使えない文字が含まれています.");
  EXPECT_EQ(capture.boxes[0].Caption, "Kelvarin");
  EXPECT_EQ(capture.boxes[0].Flags, MB_OK | MB_ICONERROR);
}

}  // namespace
}  // namespace kel
