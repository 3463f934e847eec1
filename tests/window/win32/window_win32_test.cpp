// What only the Win32 window has: the font the system resolved for it, the frame's and the
// controls' window styles, the panel as it paints itself, Tab through the dialog manager, real
// message boxes; and a whole run typed and clicked as a user makes it.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "gui/application.h"
#include "gui/box_capture.h"
#include "gui/image.h"
#include "gui/message_box.h"
#include "gui/std_controls.h"
#include "gui/timer.h"
#include "gui/win32/win32_text.h"
#include "gui/win32/win32_window.h"
#include "job/archive_step.h"
#include "platform/win32/wide_text.h"
#include "support/temp_dir.h"
#include "support/zip_readers.h"
#include "window/main_form.h"
#include "window/window_driver.h"

namespace kel {
namespace {

using win32::Hwnd;

std::wstring Wide(const std::string& utf8) {
  std::wstring wide(utf8.size(), L'\0');
  wide.resize(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()),
                                  wide.data(), static_cast<int>(wide.size())));
  return wide;
}

class Win32WindowTest : public testing::Test {
 protected:
  void SetUp() override {
    Application.Title = "Kelvarin";
    Application.CreateForm(Form1);
    ASSERT_NE(Form1, nullptr);
  }
  void TearDown() override { Application.Shutdown(); }

  test::BoxCapture capture;
};

// A device context of the screen with a font selected, released at the end.
class FontDc {
 public:
  explicit FontDc(HFONT font) : dc_(GetDC(nullptr)), old_(SelectObject(dc_, font)) {}
  ~FontDc() {
    SelectObject(dc_, old_);
    ReleaseDC(nullptr, dc_);
  }
  FontDc(const FontDc&) = delete;
  FontDc& operator=(const FontDc&) = delete;
  HDC get() const { return dc_; }

 private:
  HDC dc_;
  HGDIOBJ old_;
};

// The family names in the font's own name table (UTF-16 big-endian records, name id 1).
std::vector<std::wstring> FamilyNames(HDC dc) {
  constexpr DWORD kNameTable = 'n' | ('a' << 8) | ('m' << 16) | ('e' << 24);
  const DWORD size = GetFontData(dc, kNameTable, 0, nullptr, 0);
  std::vector<std::wstring> names;
  if (size == GDI_ERROR || size < 6) return names;
  std::vector<unsigned char> table(size);
  GetFontData(dc, kNameTable, 0, table.data(), size);
  auto u16 = [&](std::size_t at) { return static_cast<unsigned>(table[at] << 8 | table[at + 1]); };
  const unsigned count = u16(2);
  const unsigned strings = u16(4);
  for (unsigned i = 0; i < count && 6 + 12 * (i + 1) <= size; ++i) {
    const std::size_t record = 6 + 12 * i;
    const unsigned platform = u16(record), name_id = u16(record + 6);
    const unsigned length = u16(record + 8), offset = u16(record + 10);
    if (platform != 3 || name_id != 1 || strings + offset + length > size) continue;
    std::wstring name;
    for (unsigned at = 0; at + 1 < length; at += 2) {
      name += static_cast<wchar_t>(u16(strings + offset + at));
    }
    names.push_back(name);
  }
  return names;
}

TEST_F(Win32WindowTest, WindowFontIsAJapaneseGothicThatHasAndMeasuresTheCaptions) {
  ASSERT_TRUE(test::ShowAndActivate(*Form1));
  auto font =
      reinterpret_cast<HFONT>(SendMessageW(Hwnd(Form1->Button1->Handle()), WM_GETFONT, 0, 0));
  ASSERT_NE(font, nullptr) << "the controls have the system font, not the window's";
  LOGFONTW asked{};
  ASSERT_NE(GetObjectW(font, sizeof asked, &asked), 0);
  EXPECT_EQ(std::wstring(asked.lfFaceName), Wide("ＭＳ Ｐゴシック"));
  EXPECT_EQ(asked.lfHeight, -12);
  EXPECT_EQ(asked.lfCharSet, SHIFTJIS_CHARSET);

  const FontDc dc(font);
  TEXTMETRICW metrics{};
  ASSERT_TRUE(GetTextMetricsW(dc.get(), &metrics));
  EXPECT_EQ(metrics.tmCharSet, SHIFTJIS_CHARSET);
  EXPECT_EQ(metrics.tmHeight - metrics.tmInternalLeading, 12);
  // Windows has the font itself; a Wine prefix maps the name to IPA P Gothic
  // (scripts/test-windows.sh). Any other font means the mapping is missing.
  const std::vector<std::wstring> families = FamilyNames(dc.get());
  bool known = false;
  for (const std::wstring& family : families) {
    known = known || family == L"MS PGothic" || family == L"IPAPGothic";
  }
  std::string seen;
  for (const std::wstring& family : families) seen += " \"" + win32::FromWide(family) + "\"";
  EXPECT_TRUE(known) << "the window's font resolved to another font:" << seen;

  // Every caption's characters are in the font, and a kanji is a square of the character
  // height.
  for (const char* caption : {"圧縮実行", "対象選択", "出力先選択", "圧縮が完了しました．"}) {
    SCOPED_TRACE(caption);
    const std::wstring text = Wide(caption);
    std::vector<WORD> glyphs(text.size());
    ASSERT_EQ(GetGlyphIndicesW(dc.get(), text.c_str(), static_cast<int>(text.size()), glyphs.data(),
                               GGI_MARK_NONEXISTING_GLYPHS),
              static_cast<DWORD>(text.size()));
    for (WORD glyph : glyphs) EXPECT_NE(glyph, 0xFFFF);
  }
  SIZE extent{};
  const std::wstring kanji = Wide("圧縮実行");
  ASSERT_TRUE(GetTextExtentPoint32W(dc.get(), kanji.c_str(), 4, &extent));
  EXPECT_EQ(extent.cx, 4 * 12);
  EXPECT_EQ(extent.cy, metrics.tmHeight);
  // The window shows the captions the program holds in the ANSI code page as Japanese text.
  EXPECT_EQ(win32::WindowText(Hwnd(Form1->Button1->Handle())), kanji);
}

struct StyleRow {
  const char* name;
  TWinControl* control;
  const wchar_t* window_class;
  DWORD style_set;    // every one of these bits
  DWORD style_clear;  // none of these
  DWORD ex_style_set;
};

TEST_F(Win32WindowTest, FrameAndControlsHaveTheirWindowStyles) {
  ASSERT_TRUE(test::ShowAndActivate(*Form1));
  HWND form = Hwnd(Form1->Handle());
  const LONG_PTR frame = GetWindowLongPtrW(form, GWL_STYLE);
  EXPECT_EQ(frame & (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX),
            WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX);
  EXPECT_EQ(frame & (WS_MAXIMIZEBOX | WS_THICKFRAME), 0);
  RECT client{};
  GetClientRect(form, &client);
  EXPECT_EQ(client.right, 640);
  EXPECT_EQ(client.bottom, 480);

  const DWORD button_type = BS_TYPEMASK;  // BS_PUSHBUTTON is 0: none is the window's default
  const std::vector<StyleRow> rows = {
      {"Button1", Form1->Button1, L"Button", WS_TABSTOP | WS_VISIBLE, button_type, 0},
      {"Button2", Form1->Button2, L"Button", WS_TABSTOP | WS_VISIBLE, button_type, 0},
      {"Button3", Form1->Button3, L"Button", WS_TABSTOP | WS_VISIBLE, button_type, 0},
      {"Edit1", Form1->Edit1, L"Edit", WS_TABSTOP | WS_VISIBLE | ES_AUTOHSCROLL, ES_READONLY,
       WS_EX_CLIENTEDGE},
      {"Edit2", Form1->Edit2, L"Edit", WS_TABSTOP | WS_VISIBLE | ES_AUTOHSCROLL, ES_READONLY,
       WS_EX_CLIENTEDGE},
      {"Panel1", Form1->Panel1, win32::kPanelClass, WS_VISIBLE, WS_TABSTOP, 0},
  };
  for (const StyleRow& row : rows) {
    SCOPED_TRACE(row.name);
    HWND hwnd = Hwnd(row.control->Handle());
    wchar_t window_class[64] = {};
    GetClassNameW(hwnd, window_class, 64);
    EXPECT_EQ(lstrcmpiW(window_class, row.window_class), 0);
    const auto style = static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE));
    EXPECT_EQ(style & row.style_set, row.style_set);
    EXPECT_EQ(style & row.style_clear, 0u);
    const auto ex_style = static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_EXSTYLE));
    EXPECT_EQ(ex_style & row.ex_style_set, row.ex_style_set);
    EXPECT_NE(GetDlgCtrlID(hwnd), IDOK);
    EXPECT_NE(GetDlgCtrlID(hwnd), IDCANCEL);
  }
  EXPECT_EQ(SendMessageW(Hwnd(Form1->Edit1->Handle()), EM_GETLIMITTEXT, 0, 0), 32767);
}

// The panel's face as it paints it into a bitmap of its size (WM_PRINTCLIENT).
struct PanelPicture {
  int width = 0, height = 0;
  std::vector<COLORREF> pixels;
  COLORREF at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

PanelPicture PaintPanel(HWND panel) {
  RECT area{};
  GetClientRect(panel, &area);
  PanelPicture picture;
  picture.width = area.right;
  picture.height = area.bottom;
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, picture.width, picture.height);
  HGDIOBJ old = SelectObject(dc, bitmap);
  SendMessageW(panel, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
  for (int y = 0; y < picture.height; ++y) {
    for (int x = 0; x < picture.width; ++x) picture.pixels.push_back(GetPixel(dc, x, y));
  }
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);
  return picture;
}

TEST_F(Win32WindowTest, PanelPaintsARaisedOnePixelBevelAroundItsCentredLine) {
  ASSERT_TRUE(test::ShowAndActivate(*Form1));
  HWND panel = Hwnd(Form1->Panel1->Handle());
  const COLORREF face = GetSysColor(COLOR_BTNFACE);
  const COLORREF light = GetSysColor(COLOR_BTNHIGHLIGHT);
  const COLORREF shadow = GetSysColor(COLOR_BTNSHADOW);
  ASSERT_NE(light, shadow);

  struct Case {
    const char* caption;
    bool text;
  };
  for (const Case& c :
       {Case{"", false}, Case{"(3/10)", true}, Case{"圧縮が完了しました．", true}}) {
    SCOPED_TRACE(c.caption);
    Form1->Panel1->SetCaption(win32::FromWide(Wide(c.caption)));
    const PanelPicture picture = PaintPanel(panel);
    ASSERT_EQ(picture.width, 273);
    ASSERT_EQ(picture.height, 25);
    const int right = picture.width - 1, bottom = picture.height - 1;
    // One pixel: light above and to the left, shadow below and to the right; face inside.
    EXPECT_EQ(picture.at(0, 0), light);
    EXPECT_EQ(picture.at(right / 2, 0), light);
    EXPECT_EQ(picture.at(0, bottom / 2), light);
    EXPECT_EQ(picture.at(right, bottom), shadow);
    EXPECT_EQ(picture.at(right / 2, bottom), shadow);
    EXPECT_EQ(picture.at(right, bottom / 2), shadow);
    EXPECT_EQ(picture.at(1, 1), face);
    EXPECT_EQ(picture.at(right - 1, bottom - 1), face);
    // The text's ink sits in the middle both ways.
    int left_ink = picture.width, right_ink = -1, top_ink = picture.height, bottom_ink = -1;
    for (int y = 1; y < bottom; ++y) {
      for (int x = 1; x < right; ++x) {
        if (picture.at(x, y) == face) continue;
        left_ink = std::min(left_ink, x);
        right_ink = std::max(right_ink, x);
        top_ink = std::min(top_ink, y);
        bottom_ink = std::max(bottom_ink, y);
      }
    }
    if (!c.text) {
      EXPECT_EQ(right_ink, -1) << "ink without a caption";
      continue;
    }
    ASSERT_GE(right_ink, 0) << "no text painted";
    EXPECT_NEAR(left_ink + right_ink, right, 3);
    EXPECT_NEAR(top_ink + bottom_ink, bottom, 4);
  }
}

// The dialog manager tabs through the child windows in Z-order, so the Z-order is the Tab
// sequence (the panel, which takes no focus, at the bottom); the picture is no window and is
// painted below all of them. Enter and Space press the focused button, as in every dialog; Esc
// presses nothing.
TEST_F(Win32WindowTest, TabWalksTheNumberedOrderAndEnterOrSpacePressesTheFocusedButton) {
  ASSERT_TRUE(test::ShowAndActivate(*Form1));
  EXPECT_EQ(test::StackingOrder(*Form1),
            (std::vector<TWinControl*>{Form1->Panel1, Form1->Button1, Form1->Edit2, Form1->Button3,
                                       Form1->Edit1, Form1->Button2}));
  EXPECT_EQ(test::FocusedControl(*Form1), Form1->Button2);
  std::vector<TWinControl*> visited;
  for (int i = 0; i < 5; ++i) {
    test::Press(test::Key::Tab);
    visited.push_back(test::FocusedControl(*Form1));
  }
  EXPECT_EQ(visited, (std::vector<TWinControl*>{Form1->Edit1, Form1->Button3, Form1->Edit2,
                                                Form1->Button1, Form1->Button2}));

  int clicks = 0;
  Form1->Button2->OnClick = [&](TComponent* sender) {
    EXPECT_EQ(sender, Form1->Button2);
    ++clicks;
  };
  test::Press(test::Key::Escape);
  EXPECT_EQ(clicks, 0);
  EXPECT_TRUE(Form1->Visible());
  test::Press(test::Key::Enter);
  EXPECT_EQ(clicks, 1);
  test::Press(test::Key::Space);
  EXPECT_EQ(clicks, 2);
  EXPECT_EQ(test::FocusedControl(*Form1), Form1->Button2);
  // A click on Button3 moves the focus there, as the user's click does; Enter then presses it.
  int button3_clicks = 0;
  Form1->Button3->OnClick = [&](TComponent*) { ++button3_clicks; };
  test::Click(*Form1->Button3);
  EXPECT_EQ(test::FocusedControl(*Form1), Form1->Button3);
  test::Press(test::Key::Enter);
  EXPECT_EQ(button3_clicks, 2);
  EXPECT_EQ(clicks, 2);
  EXPECT_TRUE(capture.boxes.empty());
}

// The whole run as a user makes it on Windows: two folders typed, "圧縮実行" clicked, the
// completion text on the panel and an archive per file, also for names that Windows' plain paths
// take for a device ("nul") or strip ("omega ").
TEST_F(Win32WindowTest, TypedFoldersAndTheStartButtonArchiveTheFolder) {
  test::TempDir source;
  test::TempDir output;
  const std::string alpha = test::MakeBytes(70000, 1, /*text=*/true);
  test::WriteFile(source / "alpha.txt", alpha);
  test::WriteFile(source / "beta", "");
  for (const char* name : {"nul", "omega "}) {
    const HANDLE file = CreateFileW(win32::ExtendedPath(Wide(source / name)).c_str(),
                                    GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << name;
    DWORD written = 0;
    ::WriteFile(file, name, static_cast<DWORD>(lstrlenA(name)), &written, nullptr);
    CloseHandle(file);
  }
  ASSERT_TRUE(test::ShowAndActivate(*Form1));
  test::Type(*Form1->Edit1, source.path() + "\\");
  test::Type(*Form1->Edit2, output.path());
  EXPECT_EQ(test::ShownBy(*Form1->Edit1).text, source.path() + "\\");
  test::Click(*Form1->Button1);
  EXPECT_TRUE(Form1->Timer1->Armed());
  EXPECT_FALSE(test::ShownBy(*Form1->Button1).enabled) << "the start button stays pressable";
  ASSERT_TRUE(test::WaitUntil([] { return Form1->Panel1->Caption() == kCompletionText; }))
      << Form1->Panel1->Caption();
  EXPECT_EQ(test::ShownBy(*Form1->Panel1).text, kCompletionText);
  EXPECT_TRUE(test::ShownBy(*Form1->Button1).enabled);
  EXPECT_TRUE(capture.boxes.empty());
  test::ExpectArchiveReadable(output / "0000_TXT.ZIP", {{"alpha.txt", alpha}});
  test::ExpectArchiveReadable(output / "0001____.ZIP", {{"beta", ""}});
  test::ExpectArchiveReadable(output / "0002____.ZIP", {{"nul", "nul"}});
  test::ExpectArchiveReadable(output / "0003____.ZIP", {{"omega ", "omega "}});
  EXPECT_EQ(test::ReadFile(output / "files.txt"),
            "0000_TXT.ZIP\talpha\r\n0001____.ZIP\tbeta\r\n0002____.ZIP\tnul\r\n"
            "0003____.ZIP\tomega \r\n");
  // The temporary folder's clean-up takes plain paths, which miss these names.
  for (const char* name : {"nul", "omega "})
    DeleteFileW(win32::ExtendedPath(Wide(source / name)).c_str());
}

// A picture of known pixels: red grows to the right, green downwards, blue is fixed; seven
// pixels wide, so that each row of the bitmap carries padding.
class TPatternPicture : public TGraphic {
 public:
  TPatternPicture() : bitmap_(TBitmap::Make(7, 5)) {
    for (int y = 0; y < bitmap_.Height; ++y) {
      for (int x = 0; x < bitmap_.Width; ++x) {
        std::uint8_t* pixel = bitmap_.Row(y) + 3 * x;
        pixel[0] = 200;                                // blue
        pixel[1] = static_cast<std::uint8_t>(50 * y);  // green
        pixel[2] = static_cast<std::uint8_t>(30 * x);  // red
      }
    }
  }
  static COLORREF Expected(int x, int y) { return RGB(30 * x, 50 * y, 200); }
  const char* ClassName() const noexcept override { return "TPatternPicture"; }
  void LoadFromBytes(std::string) override {}
  int Width() const override { return bitmap_.Width; }
  int Height() const override { return bitmap_.Height; }
  void Draw(TCanvas& canvas, int x, int y) override { canvas.Draw(x, y, bitmap_); }

 private:
  TBitmap bitmap_;
};

// The form's client area as it paints itself (WM_PRINTCLIENT) into a bitmap.
std::vector<COLORREF> PaintForm(HWND form, int width, int height) {
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ old = SelectObject(dc, bitmap);
  SendMessageW(form, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
  std::vector<COLORREF> pixels;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) pixels.push_back(GetPixel(dc, x, y));
  }
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);
  return pixels;
}

// The picture goes to the screen as the bitmap holds it: rows from the top, blue-green-red,
// padded rows, clipped to the picture control, on the button face.
TEST(Win32FormPainting, PictureRowsArePaintedTopDownInTheirColoursClippedToTheImage) {
  TForm form(nullptr);
  form.SetClientSize(40, 30);
  auto* image = new TImage(&form);
  image->SetParent(&form);
  image->SetBounds(10, 20, 5, 4);  // smaller than the picture: its right and bottom are cut
  image->SetPicture(std::make_unique<TPatternPicture>());
  const std::vector<COLORREF> pixels = PaintForm(win32::Hwnd(form.Handle()), 40, 30);
  auto at = [&](int x, int y) { return pixels[static_cast<std::size_t>(y) * 40 + x]; };
  const COLORREF face = GetSysColor(COLOR_BTNFACE);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 5; ++x) {
      EXPECT_EQ(at(10 + x, 20 + y), TPatternPicture::Expected(x, y)) << x << "," << y;
    }
  }
  for (POINT outside : {POINT{15, 20}, POINT{16, 22}, POINT{10, 24}, POINT{9, 20}, POINT{10, 19},
                        POINT{0, 0}, POINT{39, 29}}) {
    EXPECT_EQ(at(outside.x, outside.y), face) << outside.x << "," << outside.y;
  }
}

// The box MessageBoxW shows for the request: the thread's dialog window with that caption.
HWND FindBox(const std::wstring& caption) {
  struct Search {
    const std::wstring* caption;
    HWND found;
  } search{&caption, nullptr};
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND hwnd, LPARAM data) -> BOOL {
        auto* s = reinterpret_cast<Search*>(data);
        wchar_t window_class[16] = {};
        GetClassNameW(hwnd, window_class, 16);
        if (lstrcmpW(window_class, L"#32770") != 0 || win32::WindowText(hwnd) != *s->caption) {
          return TRUE;
        }
        s->found = hwnd;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// A real box over the window: modal to every window of the program while it is up, its
// buttons' results, and the focus back where it was afterwards.
TEST_F(Win32WindowTest, MessageBoxIsModalToEveryWindowAndGivesTheFocusBack) {
  ASSERT_TRUE(test::ShowAndActivate(*Form1));
  TForm other(nullptr);
  other.SetClientSize(200, 100);
  other.Show();
  ASSERT_TRUE(test::ShowAndActivate(*Form1));
  test::Click(*Form1->Edit1);
  ASSERT_EQ(test::FocusedControl(*Form1), Form1->Edit1);
  HWND form = Hwnd(Form1->Handle());
  HWND other_window = Hwnd(other.Handle());

  struct BoxCase {
    unsigned flags;
    WORD answer;  // the button's command, 0 for the close box
    int result;
    bool owned;
  };
  for (const BoxCase& c : {BoxCase{kMbYesNo | kMbIconQuestion, IDYES, kIdYes, true},
                           BoxCase{kMbOkCancel, 0, kIdCancel, true},
                           BoxCase{kMbOk | kMbIconError | kMbTaskModal, IDOK, kIdOk, false}}) {
    SCOPED_TRACE(c.flags);
    MessageBoxRequest request;
    request.Text = win32::FromWide(Wide("圧縮が完了しました．\n二行目"));
    request.Caption = "Kelvarin";
    request.Flags = c.flags;
    request.Owner = c.owned ? Form1->Handle() : nullptr;
    bool seen = false;
    test::Later([&] {
      HWND box = nullptr;
      test::WaitUntil([&] { return (box = FindBox(L"Kelvarin")) != nullptr; }, 5000);
      ASSERT_NE(box, nullptr) << "no box";
      seen = true;
      EXPECT_EQ(GetWindow(box, GW_OWNER), c.owned ? form : nullptr);
      EXPECT_FALSE(IsWindowEnabled(form));
      EXPECT_FALSE(IsWindowEnabled(other_window));
      EXPECT_NE(GetDlgItem(box, IDOK) != nullptr || GetDlgItem(box, IDYES) != nullptr, false);
      if (c.answer) {
        PostMessageW(box, WM_COMMAND, c.answer,
                     reinterpret_cast<LPARAM>(GetDlgItem(box, c.answer)));
      } else {
        PostMessageW(box, WM_SYSCOMMAND, SC_CLOSE, 0);
      }
    });
    EXPECT_EQ(ShowToolkitMessageBox(request), c.result);
    EXPECT_TRUE(seen);
    EXPECT_TRUE(IsWindowEnabled(form));
    EXPECT_TRUE(IsWindowEnabled(other_window));
    EXPECT_TRUE(test::WaitUntil([&] { return GetActiveWindow() == form; }, 2000));
    EXPECT_EQ(test::FocusedControl(*Form1), Form1->Edit1);
  }
}

}  // namespace
}  // namespace kel
