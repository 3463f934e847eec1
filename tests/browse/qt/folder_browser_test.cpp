// TFolderBrowser: the owner check, defaults, the flag word, the callback's messages (against a
// window that records them) and Execute over the real folder dialog.
#include "browse/folder_browser.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QLabel>
#include <QPushButton>
#include <string>
#include <vector>

#include "browse/qt/folder_dialog_driver.h"
#include "gui/form.h"
#include "gui/qt/qt_window.h"
#include "gui/image.h"
#include "platform/exceptions.h"
#include "support/temp_dir.h"

namespace kel {
namespace {

using test::TempDir;
using test::WhenFolderDialogOpens;

// A dialog window that only records what it is sent.
class RecordingWindow : public BrowseWindow {
 public:
  struct Message {
    unsigned msg;
    WParam wparam;
    LParam lparam;
    std::string text;  // the zero-terminated text of 1124 and of 1126 with wParam 1
  };

  LResult Perform(unsigned msg, WParam wparam, LParam lparam) override {
    const bool has_text = msg == kBffmSetStatusTextA || (msg == kBffmSetSelectionA && wparam == 1);
    messages.push_back(
        {msg, wparam, lparam, has_text ? reinterpret_cast<const char*>(lparam) : ""});
    return 0;
  }

  std::vector<Message> messages;
};

std::string NeedWinControl(TComponent* owner) {
  try {
    TFolderBrowser browser(owner);
  } catch (const Exception& e) {
    return e.Message();
  }
  return "created";
}

TEST(FolderBrowserOwner, RefusesEveryOwnerWithoutAWindow) {
  TForm form(nullptr);
  auto* image = new TImage(&form);
  TComponent plain(nullptr);
  EXPECT_EQ(NeedWinControl(nullptr), "I need WinControl!!!");
  EXPECT_EQ(NeedWinControl(image), "I need WinControl!!!");
  EXPECT_EQ(NeedWinControl(&plain), "I need WinControl!!!");
  // Nothing was created: the owners hold no new component.
  EXPECT_EQ(image->ComponentCount(), 0);
  EXPECT_EQ(plain.ComponentCount(), 0);
}

TEST(FolderBrowserOwner, WindowedOwnerGetsAComponentWithDefaults) {
  TForm form(nullptr);
  EXPECT_FALSE(form.HandleAllocated());
  auto* browser = new TFolderBrowser(&form);
  // The owner's window is made for the handle and taken once.
  EXPECT_TRUE(form.HandleAllocated());
  EXPECT_EQ(browser->ParentHandle(), form.Handle());
  ASSERT_EQ(form.ComponentCount(), 1);
  EXPECT_EQ(form.Components(0), browser);
  EXPECT_EQ(browser->Title, "Select folder");
  EXPECT_TRUE(browser->BrowseFlags.Empty());
  EXPECT_EQ(browser->Folder, "");
  EXPECT_FALSE(browser->OnChangeFolder);
}

TEST(FolderBrowserFlags, SetIsOneByteWithBitNForMemberN) {
  EXPECT_EQ(sizeof(TBrowseFlags), 1u);
  EXPECT_EQ(TBrowseFlags{bfComputersOnly}.Bits(), 0x01);
  EXPECT_EQ(TBrowseFlags{bfPrintersOnly}.Bits(), 0x02);
  EXPECT_EQ(TBrowseFlags{bfDirsOnly}.Bits(), 0x04);
  EXPECT_EQ(TBrowseFlags{bfStatusText}.Bits(), 0x08);
  TBrowseFlags flags{bfDirsOnly, bfStatusText};
  flags.Exclude(bfDirsOnly);
  EXPECT_EQ(flags, TBrowseFlags{bfStatusText});
}

TEST(FolderBrowserFlags, FlagWordHasExactlyTheMappedBits) {
  EXPECT_EQ(BrowseFlagWord({}), 0u);
  EXPECT_EQ(BrowseFlagWord({bfComputersOnly}), 0x1000u);
  EXPECT_EQ(BrowseFlagWord({bfPrintersOnly}), 0x2000u);
  EXPECT_EQ(BrowseFlagWord({bfDirsOnly}), 0x0001u);
  EXPECT_EQ(BrowseFlagWord({bfStatusText}), 0x0004u);
  EXPECT_EQ(BrowseFlagWord({bfComputersOnly, bfPrintersOnly, bfDirsOnly, bfStatusText}),
            0x1000u | 0x2000u | 0x0001u | 0x0004u);
}

// The callback on its own, with the unit-wide state set by hand.
class BrowseCallbackTest : public testing::Test {
 protected:
  void SetUp() override {
    BrowseInitialFolder.clear();
    BrowseChangeHandler = nullptr;
  }
  void TearDown() override { SetUp(); }

  int SelChanged(const ItemIdList* item) {
    return BrowseCallback(&window_, kBffmSelChanged, reinterpret_cast<LParam>(item), 0);
  }

  RecordingWindow window_;
  ItemIdList folder_{"data", "/srv/data", false};
  std::vector<std::string> handled_;
};

TEST_F(BrowseCallbackTest, InitializedPreselectsTheInitialFolderEvenWhenEmptyOrLong) {
  const std::string long_folder = "/" + std::string(300, 'd');
  for (const std::string& initial : {std::string("/srv/data"), std::string(), long_folder}) {
    window_.messages.clear();
    BrowseInitialFolder = initial;
    EXPECT_EQ(BrowseCallback(&window_, kBffmInitialized, 0, 0), 0);
    ASSERT_EQ(window_.messages.size(), 1u);
    EXPECT_EQ(window_.messages[0].msg, kBffmSetSelectionA);
    EXPECT_EQ(window_.messages[0].wparam, 1u);
    EXPECT_EQ(window_.messages[0].text, initial);  // whole, never cut
  }
}

TEST_F(BrowseCallbackTest, HandlerThatDisablesOkSendsOnlyEnableOkWithZero) {
  BrowseChangeHandler = [&](const std::string& folder, int32_t& ok, std::string&) {
    handled_.push_back(folder);
    ok = 0;
  };
  EXPECT_EQ(SelChanged(&folder_), 0);
  EXPECT_EQ(handled_, std::vector<std::string>{"/srv/data"});
  ASSERT_EQ(window_.messages.size(), 1u);
  EXPECT_EQ(window_.messages[0].msg, kBffmEnableOk);
  EXPECT_EQ(window_.messages[0].wparam, 0u);
  EXPECT_EQ(window_.messages[0].lparam, 0);
}

TEST_F(BrowseCallbackTest, HandlerThatChangesNothingSendsNothing) {
  int32_t preset_ok = 0;
  std::string preset_text = "unset";
  BrowseChangeHandler = [&](const std::string&, int32_t& ok, std::string& text) {
    preset_ok = ok;
    preset_text = text;
  };
  SelChanged(&folder_);
  EXPECT_EQ(preset_ok, -1);
  EXPECT_EQ(preset_text, "");
  EXPECT_TRUE(window_.messages.empty());
}

TEST_F(BrowseCallbackTest, StatusTextAloneIsSentWithWParamMinusOne) {
  BrowseChangeHandler = [](const std::string&, int32_t&, std::string& text) { text = "空き 3 GB"; };
  SelChanged(&folder_);
  ASSERT_EQ(window_.messages.size(), 1u);
  EXPECT_EQ(window_.messages[0].msg, kBffmSetStatusTextA);
  EXPECT_EQ(static_cast<LParam>(window_.messages[0].wparam), -1);
  EXPECT_EQ(window_.messages[0].text, "空き 3 GB");
}

TEST_F(BrowseCallbackTest, BothAnswersGoOutEnableOkFirstAndStatusCarriesEnabledOk) {
  BrowseChangeHandler = [](const std::string&, int32_t& ok, std::string& text) {
    ok = 7;
    text = "ok";
  };
  SelChanged(&folder_);
  ASSERT_EQ(window_.messages.size(), 2u);
  EXPECT_EQ(window_.messages[0].msg, kBffmEnableOk);
  EXPECT_EQ(window_.messages[0].wparam, 7u);
  EXPECT_EQ(window_.messages[0].lparam, 7);
  EXPECT_EQ(window_.messages[1].msg, kBffmSetStatusTextA);
  EXPECT_EQ(window_.messages[1].wparam, 7u);
}

TEST_F(BrowseCallbackTest, SelectionWithoutPathOrWithoutHandlerSendsNothing) {
  BrowseChangeHandler = [&](const std::string& folder, int32_t& ok, std::string& text) {
    handled_.push_back(folder);
    ok = 0;
    text = "x";
  };
  const ItemIdList computer{"コンピューター", "", true};
  EXPECT_EQ(SelChanged(&computer), 0);
  EXPECT_EQ(SelChanged(nullptr), 0);
  EXPECT_TRUE(handled_.empty());
  BrowseChangeHandler = nullptr;
  SelChanged(&folder_);
  EXPECT_TRUE(window_.messages.empty());
}

// Execute over the real dialog, driven from inside its modal loop.
class FolderBrowserExecute : public testing::Test {
 protected:
  void MakeDir(const std::string& path) { ASSERT_EQ(mkdir(path.c_str(), 0755), 0) << path; }

  TForm form_{nullptr};
  TFolderBrowser* browser_ = new TFolderBrowser(&form_);
  TempDir temp_;
};

TEST_F(FolderBrowserExecute, ConfirmStoresTheChosenFolderAndKeepsTheUnitState) {
  MakeDir(temp_ / "chosen");
  browser_->Folder = temp_.path();
  browser_->Title = "出力先を選んでください";
  WhenFolderDialogOpens([&](FolderDialog& dialog) {
    EXPECT_EQ(dialog.parentWidget(), Widget(form_.Handle()));
    EXPECT_EQ(dialog.TitleLabel()->text().toStdString(), "出力先を選んでください");
    EXPECT_EQ(dialog.CurrentItem().path, temp_.path());  // preselected
    ASSERT_TRUE(dialog.SelectPath(temp_ / "chosen"));
    dialog.OkButton()->click();
  });
  EXPECT_TRUE(browser_->Execute());
  EXPECT_EQ(browser_->Folder, temp_ / "chosen");
  EXPECT_EQ(BrowseInitialFolder, temp_.path());
}

TEST_F(FolderBrowserExecute, CancelReturnsFalseAndLeavesFolder) {
  browser_->Folder = "/no/such/folder";
  WhenFolderDialogOpens([&](FolderDialog& dialog) {
    // A folder that does not exist preselects nothing.
    EXPECT_TRUE(dialog.CurrentItem().computer);
    ASSERT_TRUE(dialog.SelectPath(temp_.path()));
    dialog.CancelButton()->click();
  });
  EXPECT_FALSE(browser_->Execute());
  EXPECT_EQ(browser_->Folder, "/no/such/folder");
}

TEST_F(FolderBrowserExecute, ConfirmedComputerGivesAnEmptyFolder) {
  browser_->Folder = temp_.path();
  WhenFolderDialogOpens([&](FolderDialog& dialog) {
    dialog.SelectComputer();
    dialog.OkButton()->click();
  });
  EXPECT_TRUE(browser_->Execute());
  EXPECT_EQ(browser_->Folder, "");
}

TEST_F(FolderBrowserExecute, FolderLongerThan260BytesIsPreselectedAndReturnedWhole) {
  std::string deep = temp_.path();
  while (deep.size() <= 300) {
    deep += "/" + std::string(40, 'n');
    MakeDir(deep);
  }
  browser_->Folder = deep;
  WhenFolderDialogOpens([&](FolderDialog& dialog) {
    EXPECT_EQ(dialog.CurrentItem().path, deep);
    dialog.OkButton()->click();
  });
  EXPECT_TRUE(browser_->Execute());
  EXPECT_EQ(browser_->Folder, deep);
}

TEST_F(FolderBrowserExecute, HandlerControlsOkAndStatusOfTheOpenDialog) {
  MakeDir(temp_ / "refused");
  MakeDir(temp_ / "fine");
  std::vector<std::string> handled;
  browser_->BrowseFlags = {bfStatusText};
  browser_->OnChangeFolder = [&](const std::string& folder, int32_t& ok, std::string& text) {
    handled.push_back(folder);
    if (folder == temp_ / "refused") ok = 0;
    if (folder == temp_ / "fine") text = "選べます";
  };
  WhenFolderDialogOpens([&](FolderDialog& dialog) {
    ASSERT_TRUE(dialog.SelectPath(temp_ / "refused"));
    EXPECT_FALSE(dialog.OkButton()->isEnabled());
    dialog.OkButton()->click();
    EXPECT_TRUE(dialog.isVisible());
    // The next selection starts from the dialog's own OK state again.
    ASSERT_TRUE(dialog.SelectPath(temp_ / "fine"));
    EXPECT_TRUE(dialog.OkButton()->isEnabled());
    EXPECT_TRUE(dialog.StatusLabel()->isVisibleTo(&dialog));
    EXPECT_EQ(dialog.StatusLabel()->text().toStdString(), "選べます");
    // The computer has no path: the handler is not asked, OK and status stay as they are.
    dialog.SelectComputer();
    EXPECT_TRUE(dialog.OkButton()->isEnabled());
    EXPECT_EQ(dialog.StatusLabel()->text().toStdString(), "選べます");
    dialog.CancelButton()->click();
  });
  EXPECT_FALSE(browser_->Execute());
  EXPECT_EQ(handled, (std::vector<std::string>{temp_ / "refused", temp_ / "fine"}));
}

TEST_F(FolderBrowserExecute, HandlerErrorClosesTheDialogAndLeavesExecute) {
  MakeDir(temp_ / "bad");
  browser_->Folder = "/kept";
  browser_->OnChangeFolder = [&](const std::string& folder, int32_t&, std::string&) {
    if (folder == temp_ / "bad") throw Exception("フォルダを調べられません");
  };
  WhenFolderDialogOpens([&](FolderDialog& dialog) { dialog.SelectPath(temp_ / "bad"); });
  try {
    browser_->Execute();
    ADD_FAILURE() << "Execute returned";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "フォルダを調べられません");
  }
  EXPECT_EQ(browser_->Folder, "/kept");
  EXPECT_EQ(FolderDialog::Active(), nullptr);
}

}  // namespace
}  // namespace kel
