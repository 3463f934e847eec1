// TFolderBrowser over the shell's own folder dialog (SHBrowseForFolderW), driven as a user would:
// the preselected folder, the handler's status line and OK button, Cancel and OK, and a folder
// deeper than MAX_PATH. Paths and texts are in the ANSI code page 932.
#include "browse/folder_browser.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "gui/form.h"
#include "platform/win32/wide_text.h"
#include "support/temp_dir.h"
#include "support/win32/files.h"
#include "window/window_driver.h"

namespace kel {
namespace {

using test::Ansi;
using test::FolderDialogDriver;
using test::ProgramText;
using test::WhenFolderDialogOpens;
using test::Wide;

class Win32FolderBrowserTest : public testing::Test {
 protected:
  void SetUp() override {
    if (GetACP() != 932) GTEST_SKIP() << "needs the ANSI code page 932 (LANG=ja_JP.UTF-8)";
    browser_->OnChangeFolder = [this](const std::string& folder, int32_t& ok, std::string& text) {
      handled_.push_back(folder);
      if (answer_) answer_(folder, ok, text);
    };
  }

  // A new folder below the temporary one, by its UTF-8 name; its path in code page 932.
  std::string MakeDir(const std::string& utf8_name) {
    const std::wstring path = Wide(temp_.path() + "\\" + utf8_name);
    EXPECT_TRUE(CreateDirectoryW(path.c_str(), nullptr)) << Ansi(path);
    return Ansi(path);
  }

  // Reads the folders along `path` once, as folders that have been around were. Wine's dialog
  // looks a path up in its tree by the folders' access times too (see ShellParses in
  // gui/win32/browse_for_folder.cpp), and it reads a new folder itself while it fills the tree,
  // after it took its times: a later selection of that folder by path would miss it.
  static void ReadFoldersAlong(const std::string& path) {
    const std::wstring wide = win32::WideFromText(path).value_or(std::wstring());
    for (std::size_t end = wide.find(L'\\'); end != std::wstring::npos;
         end = wide.find(L'\\', end + 1)) {
      ReadFolder(wide.substr(0, end + 1));
    }
    ReadFolder(wide + L'\\');
  }
  static void ReadFolder(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    const HANDLE lookup = FindFirstFileW((folder + L'*').c_str(), &found);
    ASSERT_NE(lookup, INVALID_HANDLE_VALUE) << Ansi(folder);
    FindClose(lookup);
  }

  test::TempDir temp_;
  TForm form_{nullptr};
  TFolderBrowser* browser_ = new TFolderBrowser(&form_);
  std::vector<std::string> handled_;
  TFolderChangeEvent answer_;
};

TEST_F(Win32FolderBrowserTest, PreselectedFolderIsTheFirstSelectionAndOkReturnsIt) {
  // A folder deeper than MAX_PATH: Wine's shell stops there, Windows' may too. The dialog then
  // starts at the deepest folder above it that is shorter than MAX_PATH.
  std::wstring deep = Wide(temp_.path());
  while (deep.size() <= 300) {
    deep += L"\\" + std::wstring(40, L'n');
    ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + deep).c_str(), nullptr));
  }
  std::wstring reachable = deep;
  while (reachable.size() >= MAX_PATH) reachable.resize(reachable.rfind(L'\\'));

  struct Case {
    const char* what;
    std::string folder;
    std::vector<std::string> accepted;  // what the dialog may start at
  };
  const std::string japanese = MakeDir("出力先");
  const Case cases[] = {
      {"a Japanese name", japanese, {japanese}},
      {"deeper than MAX_PATH", Ansi(deep), {Ansi(deep), Ansi(reachable)}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    handled_.clear();
    browser_->Folder = c.folder;
    WhenFolderDialogOpens([](FolderDialogDriver& dialog) { dialog.Ok(); });
    ASSERT_TRUE(browser_->Execute());
    ASSERT_FALSE(handled_.empty());
    EXPECT_EQ(handled_.front(), browser_->Folder);
    EXPECT_NE(std::find(c.accepted.begin(), c.accepted.end(), browser_->Folder), c.accepted.end())
        << browser_->Folder;
  }
}

TEST_F(Win32FolderBrowserTest, HandlerSetsTheStatusLineAndOkOfTheOpenDialog) {
  const std::string refused = MakeDir("拒否");
  const std::string fine = MakeDir("可");
  for (const std::string& folder : {refused, fine}) ReadFoldersAlong(folder);
  browser_->Folder = temp_.path();
  browser_->Title = ProgramText("出力先を選んでください");
  browser_->BrowseFlags = {bfStatusText};
  answer_ = [&](const std::string& folder, int32_t& ok, std::string& text) {
    if (folder == refused) ok = 0;
    if (folder == fine) text = ProgramText("空き容量 3 GB ・ 選べます");
  };
  WhenFolderDialogOpens([&](FolderDialogDriver& dialog) {
    EXPECT_EQ(dialog.Title(), ProgramText("出力先を選んでください"));
    EXPECT_TRUE(dialog.OkEnabled());
    // A later selection, not the first: DESIGN.md's note on Wine and BFFM_ENABLEOK.
    ASSERT_TRUE(dialog.SelectPath(refused));
    EXPECT_FALSE(dialog.OkEnabled());
    dialog.Ok();  // refused while disabled
    ASSERT_TRUE(dialog.SelectPath(fine));
    EXPECT_TRUE(dialog.OkEnabled());
    EXPECT_EQ(dialog.StatusText(), ProgramText("空き容量 3 GB ・ 選べます"));
    // The computer has no path: the handler is not asked and the status line stays.
    dialog.SelectItemWithoutPath();
    EXPECT_EQ(dialog.StatusText(), ProgramText("空き容量 3 GB ・ 選べます"));
    dialog.Cancel();
  });
  EXPECT_FALSE(browser_->Execute());
  EXPECT_EQ(handled_, (std::vector<std::string>{temp_.path(), refused, fine}));
  EXPECT_EQ(browser_->Folder, temp_.path());
}

TEST_F(Win32FolderBrowserTest, CancelLeavesFolderAndOkTakesTheNewSelection) {
  const std::string first = MakeDir("一");
  const std::string second = MakeDir("二");
  for (const std::string& folder : {first, second}) ReadFoldersAlong(folder);
  for (const bool confirm : {false, true}) {
    SCOPED_TRACE(confirm ? "OK" : "Cancel");
    browser_->Folder = first;
    WhenFolderDialogOpens([&](FolderDialogDriver& dialog) {
      ASSERT_TRUE(dialog.SelectPath(second));
      confirm ? dialog.Ok() : dialog.Cancel();
    });
    EXPECT_EQ(browser_->Execute(), confirm);
    EXPECT_EQ(browser_->Folder, confirm ? second : first);
  }
}

}  // namespace
}  // namespace kel
