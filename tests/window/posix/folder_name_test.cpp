// Folder names and the folder buttons where only POSIX file names can be made: a Shift-JIS
// trail byte 0x5C and a name that is no text.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>

#include "browse/folder_browser.h"
#include "gui/std_controls.h"
#include "support/temp_dir.h"
#include "window/folder_choice.h"
#include "window/window_fixture.h"

namespace kel {
namespace {

namespace fs = std::filesystem;
using test::FolderDialogDriver;
using test::Separator;
using test::TempDir;
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
  void ClickWithDialog(TButton* button, std::function<void(FolderDialogDriver&)> action) {
    WhenFolderDialogOpens(std::move(action));
    test::Click(*button);
  }
  // `path` with the separator the folder buttons add.
  static std::string Field(const std::string& path) { return path + Separator(); }

  TempDir dir;
};

TEST_F(FolderButtonTest, FolderWhoseNameTheFieldCannotHoldIsRefusedWithABoxAndTheFieldKept) {
  // 0x83 alone is a Shift-JIS lead byte without its trail byte: no text in UTF-8 or Shift-JIS.
  const std::string unusable = dir / (std::string("\x83") + "data");
  MakeDir(unusable);
  Form1->Edit1->SetText("/kept/");
  ClickWithDialog(Form1->Button2, [&](FolderDialogDriver& dialog) {
    ASSERT_TRUE(dialog.SelectPath(unusable));
    dialog.Ok();
  });
  EXPECT_EQ(Form1->FolderBrowser1->Folder, unusable);
  EXPECT_EQ(Form1->Edit1->Text(), "/kept/");
  ASSERT_EQ(capture.boxes.size(), 1u);
  EXPECT_EQ(capture.boxes[0].Text, "フォルダ名に使えない文字が含まれています.");
  EXPECT_EQ(capture.boxes[0].Caption, "Kelvarin");
  EXPECT_EQ(capture.boxes[0].Flags, kMbOk | kMbIconError);
}

}  // namespace
}  // namespace kel
