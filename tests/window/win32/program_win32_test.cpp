// kelvarin.exe as a program of its own, started as a shortcut starts it.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "gui/win32/win32_text.h"
#include "gui/win32/win32_window.h"
#include "window/window_driver.h"

#ifndef KELVARIN_PROGRAM
#error "KELVARIN_PROGRAM must name kelvarin.exe"
#endif

namespace kel {
namespace {

std::wstring Wide(const std::string& utf8) {
  std::wstring wide(utf8.size(), L'\0');
  wide.resize(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()),
                                  wide.data(), static_cast<int>(wide.size())));
  return wide;
}

// kelvarin.exe started as a shortcut starts it: the window comes up as the start-up show
// command says; closed by its close box, the program ends with exit status 0.
struct ShowCase {
  const char* name;
  bool given;  // STARTF_USESHOWWINDOW
  WORD command;
  bool maximised;
  bool minimised;
};

HWND FindProgramWindow(DWORD process_id) {
  struct Search {
    DWORD process_id;
    HWND found;
  } search{process_id, nullptr};
  EnumWindows(
      [](HWND hwnd, LPARAM data) -> BOOL {
        auto* s = reinterpret_cast<Search*>(data);
        DWORD owner = 0;
        GetWindowThreadProcessId(hwnd, &owner);
        wchar_t window_class[64] = {};
        GetClassNameW(hwnd, window_class, 64);
        if (owner != s->process_id || lstrcmpW(window_class, win32::kFormClass) != 0 ||
            !IsWindowVisible(hwnd)) {
          return TRUE;
        }
        s->found = hwnd;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

TEST(Win32Program, StartsAsTheShowCommandSaysWithTheFocusOnButton2AndEndsWhenClosed) {
  const std::vector<ShowCase> cases = {
      {"no command", false, 0, false, false},
      {"normal", true, SW_SHOWNORMAL, false, false},
      {"maximised", true, SW_SHOWMAXIMIZED, true, false},
      {"minimised", true, SW_SHOWMINNOACTIVE, false, true},
  };
  const std::wstring program = Wide(KELVARIN_PROGRAM);
  for (const ShowCase& c : cases) {
    SCOPED_TRACE(c.name);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (c.given) {
      startup.dwFlags = STARTF_USESHOWWINDOW;
      startup.wShowWindow = c.command;
    }
    PROCESS_INFORMATION process{};
    std::wstring command = L"\"" + program + L"\"";
    ASSERT_TRUE(CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &process))
        << "cannot start " << KELVARIN_PROGRAM << " (error " << GetLastError() << ")";
    HWND window = nullptr;
    const ULONGLONG end = GetTickCount64() + 20000;
    while (!window && GetTickCount64() < end) {
      Sleep(20);
      window = FindProgramWindow(process.dwProcessId);
    }
    EXPECT_NE(window, nullptr) << "no window";
    if (window) {
      test::Wait(300);  // the show command follows the first showing
      EXPECT_EQ(IsZoomed(window) != FALSE, c.maximised);
      EXPECT_EQ(IsIconic(window) != FALSE, c.minimised);
      GUITHREADINFO gui{};
      gui.cbSize = sizeof gui;
      if (!c.minimised && GetGUIThreadInfo(process.dwThreadId, &gui)) {
        EXPECT_EQ(win32::WindowText(gui.hwndFocus), Wide("対象選択"));
      }
      // Minimised and not active: never activated on the way.
      if (c.minimised && GetGUIThreadInfo(process.dwThreadId, &gui)) {
        EXPECT_EQ(gui.hwndActive, nullptr);
        EXPECT_NE(GetForegroundWindow(), window);
      }
      PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    }
    if (WaitForSingleObject(process.hProcess, 20000) != WAIT_OBJECT_0) {
      ADD_FAILURE() << "the program did not end";
      TerminateProcess(process.hProcess, 99);
    }
    DWORD status = 99;
    GetExitCodeProcess(process.hProcess, &status);
    EXPECT_EQ(status, 0u);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
}

}  // namespace
}  // namespace kel
