// The folder dialog on its own: the callback protocol as a caller sees it, the tree, and the
// answers to the three messages.
#include "gui/qt/folder_dialog.h"
#include "gui/qt/qt_window.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QLabel>
#include <QPushButton>
#include <QTreeView>
#include <QWidget>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "browse/qt/folder_dialog_driver.h"
#include "support/temp_dir.h"

namespace kel {
namespace {

using test::TempDir;
using test::WhenFolderDialogOpens;
using test::WriteFile;

// What the callback was told, and a way to answer.
struct Script {
  struct Call {
    unsigned msg;
    std::string path;
    bool computer;
  };
  std::vector<Call> calls;
  std::function<void(BrowseWindowHandle, unsigned, const ItemIdList*)> answer;
};

int RecordingCallback(BrowseWindowHandle window, unsigned msg, LParam lparam, LParam data) {
  auto* script = reinterpret_cast<Script*>(data);
  const ItemIdList* item =
      msg == kBffmSelChanged ? reinterpret_cast<const ItemIdList*>(lparam) : nullptr;
  script->calls.push_back({msg, item ? item->path : "", item && item->computer});
  if (script->answer) script->answer(window, msg, item);
  return 0;
}

LParam Text(const std::string& s) { return reinterpret_cast<LParam>(s.c_str()); }

void MakeDir(const std::string& path) { ASSERT_EQ(mkdir(path.c_str(), 0755), 0) << path; }

class FolderDialogTest : public testing::Test {
 protected:
  BrowseInfo Info(uint32_t flags = 0) {
    BrowseInfo info;
    info.owner = Native(&owner_);
    info.title = title_.c_str();
    info.flags = flags;
    info.callback = &RecordingCallback;
    info.data = reinterpret_cast<LParam>(&script_);
    return info;
  }

  QWidget owner_;
  std::string title_ = "保存先のフォルダを選んでください";
  Script script_;
  TempDir temp_;
};

TEST_F(FolderDialogTest, OpensInitializedOnTheComputerAndCancelReturnsNothing) {
  std::vector<Script::Call> seen;
  WhenFolderDialogOpens([&](FolderDialog& dialog) {
    seen = script_.calls;
    EXPECT_EQ(dialog.TitleLabel()->text().toStdString(), title_);
    EXPECT_EQ(dialog.parentWidget(), &owner_);
    EXPECT_TRUE(dialog.isModal());
    EXPECT_TRUE(dialog.CurrentItem().computer);
    EXPECT_TRUE(dialog.OkButton()->isEnabled());
    dialog.CancelButton()->click();
  });
  EXPECT_EQ(BrowseForFolder(Info()), nullptr);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].msg, kBffmInitialized);
  EXPECT_EQ(seen[1].msg, kBffmSelChanged);
  EXPECT_TRUE(seen[1].computer);
  EXPECT_EQ(seen[1].path, "");
  EXPECT_EQ(FolderDialog::Active(), nullptr);
}

TEST_F(FolderDialogTest, SetSelectionByPathRevealsTheFolderAndOkReturnsIt) {
  MakeDir(temp_ / "a");
  MakeDir(temp_ / "a/b");
  const std::string target = temp_ / "a/b";
  LResult answered = -1;
  script_.answer = [&](BrowseWindowHandle window, unsigned msg, const ItemIdList*) {
    if (msg == kBffmInitialized)
      answered = SendBrowseMessage(window, kBffmSetSelectionA, 1, Text(target));
  };
  WhenFolderDialogOpens([&](FolderDialog& dialog) {
    EXPECT_EQ(dialog.CurrentItem().path, target);
    const QModelIndex current = dialog.Tree()->currentIndex();
    for (QModelIndex up = current.parent(); up.isValid(); up = up.parent()) {
      EXPECT_TRUE(dialog.Tree()->isExpanded(up));
    }
    dialog.OkButton()->click();
  });
  const std::unique_ptr<ItemIdList> chosen = BrowseForFolder(Info());
  EXPECT_EQ(answered, 1);
  ASSERT_NE(chosen, nullptr);
  std::string path;
  EXPECT_TRUE(GetPathFromIDList(chosen.get(), path));
  EXPECT_EQ(path, target);
  EXPECT_EQ(chosen->display_name, "b");
  // The preselection is the first selection the callback hears of: no extra news of the
  // computer item before it.
  ASSERT_EQ(script_.calls.size(), 2u);
  EXPECT_EQ(script_.calls[1].path, target);
}

TEST_F(FolderDialogTest, SetSelectionLeavesTheSelectionForWhatIsNoFolder) {
  WriteFile(temp_ / "file.txt", "x");
  const std::vector<std::string> refused = {"", "relative/path", temp_ / "missing",
                                            temp_ / "file.txt", temp_ / "file.txt/"};
  std::vector<LResult> answers;
  script_.answer = [&](BrowseWindowHandle window, unsigned msg, const ItemIdList*) {
    if (msg != kBffmInitialized) return;
    for (const std::string& path : refused) {
      answers.push_back(SendBrowseMessage(window, kBffmSetSelectionA, 1, Text(path)));
    }
    answers.push_back(SendBrowseMessage(window, kBffmSetSelectionA, 1, 0));
  };
  WhenFolderDialogOpens([&](FolderDialog& dialog) {
    EXPECT_TRUE(dialog.CurrentItem().computer);
    dialog.OkButton()->click();
  });
  const std::unique_ptr<ItemIdList> chosen = BrowseForFolder(Info());
  EXPECT_EQ(answers, std::vector<LResult>(refused.size() + 1, 0));
  ASSERT_NE(chosen, nullptr);
  EXPECT_TRUE(chosen->computer);
  std::string path = "stale";
  EXPECT_FALSE(GetPathFromIDList(chosen.get(), path));
  EXPECT_EQ(path, "");
  EXPECT_FALSE(GetPathFromIDList(nullptr, path));
}

TEST_F(FolderDialogTest, SelectPathTakesEveryFormOfAFolderPath) {
  MakeDir(temp_ / "sub");
  MakeDir(temp_ / ".hidden");
  MakeDir(temp_ / ".hidden/inner");
  ASSERT_EQ(symlink((temp_ / "sub").c_str(), (temp_ / "link").c_str()), 0);
  WhenFolderDialogOpens([&](FolderDialog& dialog) {
    EXPECT_TRUE(dialog.SelectPath(temp_ / "sub/"));
    EXPECT_EQ(dialog.CurrentItem().path, temp_ / "sub");
    EXPECT_TRUE(dialog.SelectPath(temp_.path() + "/./sub/../sub"));
    EXPECT_EQ(dialog.CurrentItem().path, temp_ / "sub");
    // Hidden folders are not listed but can be reached, and a link keeps its own path.
    EXPECT_TRUE(dialog.SelectPath(temp_ / ".hidden/inner"));
    EXPECT_EQ(dialog.CurrentItem().path, temp_ / ".hidden/inner");
    EXPECT_TRUE(dialog.SelectPath(temp_ / "link"));
    EXPECT_EQ(dialog.CurrentItem().path, temp_ / "link");
    EXPECT_TRUE(dialog.SelectPath("/"));
    EXPECT_EQ(dialog.CurrentItem().path, "/");
    dialog.SelectComputer();
    EXPECT_TRUE(dialog.CurrentItem().computer);
  });
  EXPECT_EQ(BrowseForFolder(Info()), nullptr);
}

TEST_F(FolderDialogTest, TreeListsVisibleSubfoldersOnlyInCaseInsensitiveOrder) {
  MakeDir(temp_ / "B1");
  MakeDir(temp_ / "a2");
  MakeDir(temp_ / ".dot");
  WriteFile(temp_ / "file.txt", "x");
  std::vector<std::string> names;
  WhenFolderDialogOpens([&](FolderDialog& dialog) {
    ASSERT_TRUE(dialog.SelectPath(temp_.path()));
    const QModelIndex folder = dialog.Tree()->currentIndex();
    dialog.Tree()->expand(folder);
    const QAbstractItemModel* model = dialog.Tree()->model();
    for (int row = 0; row < model->rowCount(folder); ++row) {
      names.push_back(model->index(row, 0, folder).data().toString().toStdString());
    }
  });
  BrowseForFolder(Info());
  EXPECT_EQ(names, (std::vector<std::string>{"a2", "B1"}));
}

TEST_F(FolderDialogTest, FlagsDecideTheStatusLineAndWhereOkStartsEnabled) {
  MakeDir(temp_ / "dir");
  struct Case {
    uint32_t flags;
    bool status_shown, ok_on_computer, ok_on_folder;
  };
  const Case cases[] = {
      {0, false, true, true},
      {kBifStatusText, true, true, true},
      {kBifReturnOnlyFsDirs, false, false, true},
      {kBifBrowseForComputer, false, true, false},
      {kBifBrowseForPrinter, false, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.flags);
    WhenFolderDialogOpens([&](FolderDialog& dialog) {
      EXPECT_EQ(dialog.StatusLabel()->isVisibleTo(&dialog), c.status_shown);
      EXPECT_EQ(dialog.OkButton()->isEnabled(), c.ok_on_computer);
      ASSERT_TRUE(dialog.SelectPath(temp_ / "dir"));
      EXPECT_EQ(dialog.OkButton()->isEnabled(), c.ok_on_folder);
      dialog.SelectComputer();
      EXPECT_EQ(dialog.OkButton()->isEnabled(), c.ok_on_computer);
    });
    BrowseForFolder(Info(c.flags));
  }
}

TEST_F(FolderDialogTest, CallbackExceptionClosesTheDialogAndComesOutAfterIt) {
  MakeDir(temp_ / "bad");
  script_.answer = [&](BrowseWindowHandle, unsigned msg, const ItemIdList* item) {
    if (msg == kBffmSelChanged && item->path == temp_ / "bad") throw std::runtime_error("boom");
  };
  std::size_t calls_at_throw = 0;
  WhenFolderDialogOpens([&](FolderDialog& dialog) {
    dialog.SelectPath(temp_ / "bad");
    calls_at_throw = script_.calls.size();
    EXPECT_FALSE(dialog.isVisible());
    // Closed for the error: further selections reach no callback.
    dialog.SelectComputer();
  });
  EXPECT_THROW(BrowseForFolder(Info()), std::runtime_error);
  EXPECT_EQ(script_.calls.size(), calls_at_throw);
  EXPECT_EQ(FolderDialog::Active(), nullptr);
}

TEST_F(FolderDialogTest, OwnerDestroyedWhileOpenEndsTheDialogAsCancelled) {
  auto* owner = new QWidget;
  BrowseInfo info = Info();
  info.owner = Native(owner);
  WhenFolderDialogOpens([&](FolderDialog&) { delete owner; });
  EXPECT_EQ(BrowseForFolder(info), nullptr);
  EXPECT_EQ(FolderDialog::Active(), nullptr);
}

}  // namespace
}  // namespace kel
