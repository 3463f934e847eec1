// The main window as built from its description: frame, controls, Tab order and focus, the
// components and their settings, the background and the icon, and what a broken description
// does to the start.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "window/embedded_assets.h"
#include "window/form_builder.h"
#include "job/job_state.h"
#include "window/window_fixture.h"
#include "browse/folder_browser.h"
#include "gui/box_capture.h"
#include "gui/memory_canvas.h"
#include "gui/image.h"
#include "gui/jpeg_image.h"
#include "gui/std_controls.h"
#include "gui/timer.h"
#include "search/search_file.h"
#include "support/temp_dir.h"

namespace kel {
namespace {

using test::BoxCapture;
using test::Key;
using test::ProgramText;
using test::ReadFile;
using test::Shown;
using test::ShownBy;
using test::WindowTest;

std::string Asset(const std::string& name) { return ReadFile(KEL_ASSETS_DIR "/" + name); }

std::vector<std::string> ComponentNames(const TComponent& owner) {
  std::vector<std::string> names;
  for (int i = 0; i < owner.ComponentCount(); ++i) names.push_back(owner.Components(i)->Name);
  return names;
}

struct ControlRow {
  TWinControl* control;
  int left, top, width, height;
  std::string text;  // UTF-8
  int tab_order;
};

TEST_F(WindowTest, FrameIsFixedAt640By480WithoutMaximiseBoxCentredWithCaptionFontAndIcon) {
  ShowWindow();
  const Shown window = ShownBy(*Form1);
  EXPECT_EQ(window.width, 640);
  EXPECT_EQ(window.height, 480);
  EXPECT_EQ(window.text, "Kelvarin");
  const test::Frame frame = test::FrameOf(*Form1);
  EXPECT_FALSE(frame.resizable);
  EXPECT_FALSE(frame.maximise_box);
  EXPECT_TRUE(frame.minimise_box);
  EXPECT_TRUE(frame.system_menu);
  EXPECT_TRUE(frame.has_icon);
  // Centred on the primary screen; the designed position 213, 141 is not used.
  const test::Area area = test::CentringArea();
  EXPECT_NEAR(window.left, area.left + std::max(0, (area.width - 640) / 2), 16);
  EXPECT_NEAR(window.top, area.top + std::max(0, (area.height - 480) / 2), 40);
  EXPECT_EQ(Form1->Name, "Form1");

  EXPECT_EQ(Form1->Font().Name, ProgramText("ＭＳ Ｐゴシック"));
  EXPECT_EQ(Form1->Font().Height, -12);
  EXPECT_EQ(frame.font_pixel_height, 12);
  // Without the Windows font the metric-compatible IPA font stands in.
  EXPECT_TRUE(frame.font_face == "ＭＳ Ｐゴシック" || frame.font_face == "IPAPGothic" ||
              frame.font_face == "IPAPゴシック" || frame.font_face == "Noto Sans CJK JP")
      << frame.font_face;
  EXPECT_TRUE(embedded::IconPng() == Asset("kelvarin.png"));
}

TEST_F(WindowTest, EveryControlSitsWhereTheDescriptionPutsItWithItsTextAndTabNumber) {
  ShowWindow();
  const std::vector<ControlRow> rows = {
      {Form1->Button1, 352, 296, 75, 25, "圧縮実行", 4},
      {Form1->Edit1, 328, 32, 273, 20, "", 1},
      {Form1->Button2, 528, 56, 75, 25, "対象選択", 0},
      {Form1->Edit2, 328, 88, 273, 20, "", 3},
      {Form1->Button3, 528, 120, 75, 25, "出力先選択", 2},
      {Form1->Panel1, 328, 264, 273, 25, "", 5},
  };
  for (const ControlRow& row : rows) {
    SCOPED_TRACE(row.control->Name);
    const Shown shown = ShownBy(*row.control);
    EXPECT_EQ(shown.left, row.left);
    EXPECT_EQ(shown.top, row.top);
    EXPECT_EQ(shown.width, row.width);
    EXPECT_EQ(shown.height, row.height);
    EXPECT_TRUE(shown.visible);
    EXPECT_TRUE(shown.enabled);
    EXPECT_EQ(shown.text, ProgramText(row.text));
    EXPECT_EQ(row.control->TabOrder(), row.tab_order);
  }
  // The picture fills the client area below every control.
  EXPECT_EQ(Form1->Image1->Align(), TAlign::alClient);
  EXPECT_EQ(Form1->Image1->Left(), 0);
  EXPECT_EQ(Form1->Image1->Top(), 0);
  EXPECT_EQ(Form1->Image1->Width(), 640);
  EXPECT_EQ(Form1->Image1->Height(), 480);
}

TEST_F(WindowTest, ControlsAreStackedAndComponentsOwnedInCreationOrder) {
  const std::vector<TControl*> stacked = {Form1->Image1,  Form1->Button1, Form1->Edit1,
                                          Form1->Button2, Form1->Edit2,   Form1->Button3,
                                          Form1->Panel1};
  ASSERT_EQ(Form1->ControlCount(), 7);
  for (int i = 0; i < 7; ++i) EXPECT_EQ(Form1->Controls(i), stacked[i]) << i;
  // The windows do not overlap, so their order among themselves shows nothing; the picture,
  // windowless, is below all of them.
  EXPECT_EQ(test::StackingOrder(*Form1).size(), 6u);
  EXPECT_EQ(ComponentNames(*Form1),
            (std::vector<std::string>{"Image1", "Button1", "Edit1", "Button2", "Edit2", "Button3",
                                      "Panel1", "SearchFile1", "FolderBrowser1", "Timer1",
                                      "FolderBrowser2"}));
  EXPECT_EQ(dynamic_cast<TSearchFile*>(Form1->Components(7)), Form1->SearchFile1);
  EXPECT_EQ(Form1->Components(8), Form1->FolderBrowser1);
  EXPECT_EQ(Form1->Components(9), Form1->Timer1);
  EXPECT_EQ(Form1->Components(10), Form1->FolderBrowser2);
}

TEST_F(WindowTest, FocusStartsOnButton2AndTabWalksTheNumberedOrderRound) {
  ShowWindow();
  EXPECT_EQ(test::FocusedControl(*Form1), Form1->Button2);
  EXPECT_EQ(Form1->ActiveControl(), Form1->Button2);
  std::vector<TWinControl*> visited;
  for (int i = 0; i < 5; ++i) {
    test::Press(Key::Tab);
    test::Wait(10);
    visited.push_back(test::FocusedControl(*Form1));
  }
  EXPECT_EQ(visited, (std::vector<TWinControl*>{Form1->Edit1, Form1->Button3, Form1->Edit2,
                                                Form1->Button1, Form1->Button2}));
}

TEST_F(WindowTest, EnterAndEscapeMeanNothingWindowWide) {
  ShowWindow();
  int clicks = 0;
  for (TButton* button : {Form1->Button1, Form1->Button2, Form1->Button3}) {
    button->OnClick = [&](TComponent*) { ++clicks; };
  }
  for (TWinControl* field : std::vector<TWinControl*>{Form1->Edit1, Form1->Edit2}) {
    field->SetFocus();
    test::Press(Key::Enter);
    test::Press(Key::Escape);
    test::Wait(20);
  }
  EXPECT_EQ(clicks, 0);
  EXPECT_TRUE(ShownBy(*Form1).visible);
  EXPECT_TRUE(capture.boxes.empty());
}

TEST_F(WindowTest, ComponentsCarryTheirSettingsAndTheTimerStandsStill) {
  for (TFolderBrowser* browser : {Form1->FolderBrowser1, Form1->FolderBrowser2}) {
    EXPECT_EQ(browser->Title, "Select folder");
    EXPECT_TRUE(browser->BrowseFlags.Empty());
    EXPECT_EQ(browser->Folder, "");
    EXPECT_FALSE(browser->OnChangeFolder);
    EXPECT_EQ(browser->ParentHandle(), Form1->Handle());
  }
  EXPECT_EQ(Form1->SearchFile1->Directory, "");
  EXPECT_FALSE(Form1->SearchFile1->Recursive);
  EXPECT_EQ(Form1->SearchFile1->SearchName, "");
  EXPECT_TRUE(Form1->SearchFile1->OnFind);
  EXPECT_EQ(Form1->Timer1->Interval(), 0u);
  EXPECT_TRUE(Form1->Timer1->Enabled());
  EXPECT_FALSE(Form1->Timer1->Armed());
  EXPECT_EQ(Form1->CurrentSourceDir(), "");
  // FormCreate ran once everything was built: the job lists exist.
  EXPECT_TRUE(TheJobState().Exists());
}

TEST_F(WindowTest, BackgroundIsTheTaggedJpegPaintedAtNaturalSizeFromTheCorner) {
  const std::string jpeg = Asset("background.jpg");
  const std::string_view tagged = embedded::BackgroundPicture();
  ASSERT_GT(tagged.size(), 15u);
  EXPECT_EQ(tagged.substr(0, 11), std::string_view("\x0ATJPEGImage", 11));
  uint32_t count = 0;
  for (int i = 0; i < 4; ++i) count |= uint32_t(uint8_t(tagged[11 + i])) << (8 * i);
  EXPECT_EQ(count, jpeg.size());
  EXPECT_TRUE(tagged.substr(15) == jpeg) << "the embedded picture differs from the asset";

  auto* picture = dynamic_cast<TJPEGImage*>(Form1->Image1->Picture());
  ASSERT_NE(picture, nullptr);
  EXPECT_EQ(picture->Width(), 640);
  EXPECT_EQ(picture->Height(), 480);
  ShowWindow();
  const TBitmap shot = test::Capture(*Form1);
  ASSERT_EQ(shot.Width, 640);
  ASSERT_EQ(shot.Height, 480);
  const TBitmap expected = DecodeJpeg(jpeg);
  // Points that no control covers.
  for (auto [x, y] : {std::pair{0, 0}, {639, 479}, {100, 400}, {320, 200}}) {
    EXPECT_EQ(test::PixelAt(shot, x, y), test::PixelAt(expected, x, y)) << x << "," << y;
  }
}

// A window whose description names a handler it does not publish.
class TBrokenForm : public TForm {
 public:
  explicit TBrokenForm(TComponent* owner) : TForm(owner) {
    TFormDescription description;
    description.Name = "BrokenForm";
    description.Controls = {
        {.Name = "Button1", .Kind = TControlKind::kButton, .OnClick = "Button1Click"}};
    BuildForm(*this, description, THandlerTable{});
  }
};

TEST(WindowDescription, MissingHandlerEndsTheStartWithTheStartupErrorDisplay) {
  BoxCapture capture;
  TBrokenForm* broken = nullptr;
  const int status = RunStartSequence([&] {
    Application.Title = "Kelvarin";
    Application.CreateForm(broken);
    ADD_FAILURE() << "the start went on after a broken description";
  });
  EXPECT_EQ(status, 1);
  ASSERT_EQ(capture.boxes.size(), 1u);
  const MessageBoxRequest& box = capture.boxes[0];
  EXPECT_EQ(box.Caption, ProgramText("アプリケーション エラー"));
  EXPECT_EQ(box.Flags, 0x2010u);
  EXPECT_EQ(box.Text.rfind(ProgramText("EReadErrorがモジュール "), 0), 0u) << box.Text;
  const std::string message = ProgramText("\nメソッド 'Button1Click' が見つかりません.");
  EXPECT_TRUE(box.Text.ends_with(message)) << box.Text;
  EXPECT_EQ(Application.MainForm(), nullptr);
}

}  // namespace
}  // namespace kel
