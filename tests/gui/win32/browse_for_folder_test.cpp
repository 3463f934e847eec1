// BrowseForFolder on the shell's own dialog: what the callback hears of each selection (path and
// name in the program's code page, the computer, a folder whose path has no form there), what
// comes back, and an exception from the callback. The status line, the title and OK are tested
// through TFolderBrowser (tests/browse/win32).
#include <gtest/gtest.h>
#include <windows.h>
// clang-format off: the system headers below need <windows.h> before them.
#include <shlobj.h>
// clang-format on

#include <functional>
#include <string>
#include <vector>

#include "gui/browse_protocol.h"
#include "platform/exceptions.h"
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

// The callback's part, written by each test: steps at kBffmInitialized and an answer to every
// selection; everything it was told is kept (the shell's id list only as "there was one").
struct Script {
  std::function<void(BrowseWindowHandle)> initialized;
  std::function<void(BrowseWindowHandle, const ItemIdList&)> selected;
  std::vector<ItemIdList> heard;
  int calls = 0;
};

int ScriptCallback(BrowseWindowHandle window, unsigned msg, LParam lparam, LParam data) {
  auto* script = reinterpret_cast<Script*>(data);
  ++script->calls;
  if (msg == kBffmInitialized && script->initialized) script->initialized(window);
  if (msg == kBffmSelChanged) {
    const ItemIdList& item = *reinterpret_cast<const ItemIdList*>(lparam);
    script->heard.push_back(item);
    if (script->selected) script->selected(window, item);
  }
  return 0;
}

LResult SelectPath(BrowseWindowHandle window, const std::string& path) {
  return SendBrowseMessage(window, kBffmSetSelectionA, 1, reinterpret_cast<LParam>(path.c_str()));
}

// Closes a dialog of this thread that is still open after the time given, and says so: a broken
// dialog fails its test instead of hanging it.
class DialogWatchdog {
 public:
  explicit DialogWatchdog(UINT ms) : timer_(SetTimer(nullptr, 0, ms, &Expire)) {}
  ~DialogWatchdog() { KillTimer(nullptr, timer_); }

 private:
  static void CALLBACK Expire(HWND, UINT, UINT_PTR, DWORD) {
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM) -> BOOL {
          wchar_t name[16] = {};
          GetClassNameW(window, name, 16);
          if (std::wstring(name) == L"#32770" && IsWindowVisible(window)) {
            ADD_FAILURE() << "a dialog was still open";
            PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
          }
          return TRUE;
        },
        0);
  }
  UINT_PTR timer_;
};

class ShellFolderDialogTest : public testing::Test {
 protected:
  void SetUp() override {
    if (GetACP() != 932) GTEST_SKIP() << "needs the ANSI code page 932 (LANG=ja_JP.UTF-8)";
    ASSERT_TRUE(CreateDirectoryW(japanese_.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(accented_.c_str(), nullptr));
    // The new folders, and those along their paths that changed, are read once, as folders that
    // have been around were. Wine's dialog looks a path up in its tree by the folders' access
    // times too (see ShellParses in gui/win32/browse_for_folder.cpp), and it reads a new folder
    // itself while it fills the tree, after it took its times: a later selection of that folder
    // by path would miss it.
    for (const std::wstring& folder : {japanese_, accented_}) {
      for (std::size_t end = folder.find(L'\\'); end != std::wstring::npos;
           end = folder.find(L'\\', end + 1)) {
        ReadFolder(folder.substr(0, end + 1));
      }
      ReadFolder(folder + L'\\');
    }
  }
  static void ReadFolder(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    const HANDLE lookup = FindFirstFileW((folder + L'*').c_str(), &found);
    ASSERT_NE(lookup, INVALID_HANDLE_VALUE);
    FindClose(lookup);
  }

  std::unique_ptr<ItemIdList> Browse(uint32_t flags, const char* title = nullptr) {
    BrowseInfo info;
    info.title = title;
    info.flags = flags;
    info.callback = &ScriptCallback;
    info.data = reinterpret_cast<LParam>(&script_);
    return BrowseForFolder(info);
  }

  test::TempDir dir_;
  // "資料" has a form in code page 932, "é" has none.
  const std::wstring japanese_ = Wide(dir_.path() + "\\資料");
  const std::wstring accented_ = Wide(dir_.path() + "\\café");
  Script script_;
  DialogWatchdog watchdog_{20000};
};

// Whether `heard` holds items matching `expected`, in this order, among others.
void ExpectHeardInOrder(const std::vector<ItemIdList>& heard,
                        const std::vector<std::function<bool(const ItemIdList&)>>& expected) {
  std::size_t at = 0;
  for (const ItemIdList& item : heard) {
    if (at < expected.size() && expected[at](item)) ++at;
  }
  EXPECT_EQ(at, expected.size()) << "only the first " << at << " selections were heard";
}

TEST_F(ShellFolderDialogTest, SelectionsReachTheCallbackInTheProgramsCodePageAndOkReturnsOne) {
  const std::string japanese = Ansi(japanese_);
  script_.initialized = [&](BrowseWindowHandle window) {
    // The folder without a form is selected by the shell's id list, as only the shell knows it.
    PIDLIST_ABSOLUTE list = nullptr;
    ASSERT_TRUE(SUCCEEDED(SHParseDisplayName(accented_.c_str(), nullptr, &list, 0, nullptr)));
    ItemIdList item;
    item.shell_item = list;
    SendBrowseMessage(window, kBffmSetSelectionA, 0, reinterpret_cast<LParam>(&item));
    CoTaskMemFree(list);
    SelectPath(window, japanese);
  };
  WhenFolderDialogOpens([&](FolderDialogDriver& dialog) {
    dialog.SelectItemWithoutPath();
    ASSERT_TRUE(dialog.SelectPath(japanese));
    dialog.Ok();
  });
  const std::unique_ptr<ItemIdList> chosen = Browse(0);

  auto is_japanese = [&](const ItemIdList& item) {
    return item.path == japanese && item.display_name == ProgramText("資料") && !item.computer &&
           item.shell_item != nullptr;
  };
  ExpectHeardInOrder(script_.heard, {[](const ItemIdList& item) {
                                       // Never "cafe": a path the code page cannot hold is no path.
                                       return item.display_name == "caf<U+00E9>" &&
                                              item.path.empty() && item.path_outside_code_page &&
                                              !item.computer && item.shell_item != nullptr;
                                     },
                                     is_japanese,
                                     [](const ItemIdList& item) {
                                       return item.computer && item.path.empty() &&
                                              !item.path_outside_code_page &&
                                              !item.display_name.empty() &&
                                              item.shell_item != nullptr;
                                     },
                                     is_japanese});
  ASSERT_NE(chosen, nullptr);
  EXPECT_EQ(chosen->path, japanese);
  EXPECT_EQ(chosen->display_name, ProgramText("資料"));
  EXPECT_FALSE(chosen->computer);
  EXPECT_EQ(chosen->shell_item, nullptr);  // the shell's list is freed
}

TEST_F(ShellFolderDialogTest, ExceptionFromTheCallbackClosesTheDialogAndComesOutAfterIt) {
  const std::string japanese = Ansi(japanese_);
  for (const bool at_start : {true, false}) {
    SCOPED_TRACE(at_start ? "thrown at kBffmInitialized" : "thrown at a selection");
    script_ = Script();
    int calls_when_thrown = -1;
    auto fail = [&] {
      calls_when_thrown = script_.calls;
      throw Exception("フォルダを調べられません");
    };
    if (at_start) {
      script_.initialized = [&](BrowseWindowHandle) { fail(); };
    } else {
      script_.selected = [&](BrowseWindowHandle, const ItemIdList& item) {
        if (item.path == japanese) fail();
      };
      WhenFolderDialogOpens([&](FolderDialogDriver& dialog) {
        dialog.SelectPath(japanese);
        dialog.SelectPath(dir_.path());  // too late: the dialog is closing
      });
    }
    try {
      Browse(0);
      ADD_FAILURE() << "BrowseForFolder returned";
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message(), "フォルダを調べられません");
    }
    EXPECT_EQ(script_.calls, calls_when_thrown);  // nothing after the exception
  }
}

}  // namespace
}  // namespace kel
