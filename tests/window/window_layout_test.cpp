// The main window as built from its description: frame, controls, Tab order and focus, the
// components and their settings, the background and the icon, and what a broken description
// does to the start.
#include <QFontInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
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
#include "gui/image.h"
#include "gui/jpeg_image.h"
#include "gui/std_controls.h"
#include "gui/timer.h"
#include "search/search_file.h"
#include "support/temp_dir.h"

namespace kel {
namespace {

using test::BoxCapture;
using test::ReadFile;
using test::WindowTest;

std::string Asset(const std::string& name) { return ReadFile(KEL_ASSETS_DIR "/" + name); }

std::vector<std::string> ComponentNames(const TComponent& owner) {
  std::vector<std::string> names;
  for (int i = 0; i < owner.ComponentCount(); ++i) names.push_back(owner.Components(i)->Name);
  return names;
}

struct ControlRow {
  TWinControl* control;
  QRect bounds;
  std::string text;
  int tab_order;
};

TEST_F(WindowTest, FrameIsFixedAt640By480WithoutMaximiseBoxCentredWithCaptionFontAndIcon) {
  ShowWindow();
  QWidget* w = Form1->Handle();
  EXPECT_EQ(w->size(), QSize(640, 480));
  EXPECT_EQ(w->minimumSize(), QSize(640, 480));
  EXPECT_EQ(w->maximumSize(), QSize(640, 480));
  EXPECT_EQ(w->windowTitle(), QString("Kelvarin"));
  EXPECT_FALSE(w->windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_TRUE(w->windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_TRUE(w->windowFlags() & Qt::WindowSystemMenuHint);
  // Centred on the primary screen; the designed position 213, 141 is not used.
  QRect screen = QGuiApplication::primaryScreen()->geometry();
  EXPECT_EQ(w->pos(), QPoint(std::max(0, (screen.width() - 640) / 2),
                             std::max(0, (screen.height() - 480) / 2)));
  EXPECT_EQ(w->backgroundRole(), QPalette::Button);
  EXPECT_EQ(Form1->Name, "Form1");

  EXPECT_EQ(Form1->Font().families().value(0), QString("ＭＳ Ｐゴシック"));
  QFontInfo font(Form1->Button1->Handle()->font());  // controls take the window's font
  EXPECT_EQ(font.pixelSize(), 12);
  // Without the Windows font the metric-compatible IPA font stands in.
  EXPECT_TRUE(font.family() == "ＭＳ Ｐゴシック" || font.family() == "IPAPGothic" ||
              font.family() == "Noto Sans CJK JP")
      << font.family().toStdString();

  EXPECT_TRUE(embedded::IconPng() == Asset("kelvarin.png"));
  EXPECT_EQ(w->windowIcon().pixmap(QSize(120, 120)).size(), QSize(120, 120));
}

TEST_F(WindowTest, EveryControlSitsWhereTheDescriptionPutsItWithItsTextAndTabNumber) {
  ShowWindow();
  const std::vector<ControlRow> rows = {
      {Form1->Button1, QRect(352, 296, 75, 25), "圧縮実行", 4},
      {Form1->Edit1, QRect(328, 32, 273, 20), "", 1},
      {Form1->Button2, QRect(528, 56, 75, 25), "対象選択", 0},
      {Form1->Edit2, QRect(328, 88, 273, 20), "", 3},
      {Form1->Button3, QRect(528, 120, 75, 25), "出力先選択", 2},
      {Form1->Panel1, QRect(328, 264, 273, 25), "", 5},
  };
  for (const ControlRow& row : rows) {
    SCOPED_TRACE(row.control->Name);
    QWidget* widget = row.control->Handle();
    EXPECT_EQ(widget->geometry(), row.bounds);
    EXPECT_TRUE(widget->isVisible());
    EXPECT_TRUE(widget->isEnabled());
    EXPECT_EQ(row.control->TabOrder(), row.tab_order);
    QString shown;
    if (auto* button = qobject_cast<QPushButton*>(widget)) {
      shown = button->text();
      EXPECT_FALSE(button->isDefault());
      EXPECT_FALSE(button->autoDefault());
    } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
      shown = edit->text();
      EXPECT_FALSE(edit->isReadOnly());
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
      shown = label->text();
    } else {
      ADD_FAILURE() << "unexpected widget";
    }
    EXPECT_EQ(shown, QString::fromStdString(row.text));
  }
  // The picture fills the client area below every control.
  EXPECT_EQ(Form1->Image1->Align(), TAlign::alClient);
  EXPECT_EQ(QRect(Form1->Image1->Left(), Form1->Image1->Top(), Form1->Image1->Width(),
                  Form1->Image1->Height()),
            QRect(0, 0, 640, 480));
}

TEST_F(WindowTest, ControlsAreStackedAndComponentsOwnedInCreationOrder) {
  const std::vector<TControl*> stacked = {Form1->Image1,  Form1->Button1, Form1->Edit1,
                                          Form1->Button2, Form1->Edit2,   Form1->Button3,
                                          Form1->Panel1};
  ASSERT_EQ(Form1->ControlCount(), 7);
  for (int i = 0; i < 7; ++i) EXPECT_EQ(Form1->Controls(i), stacked[i]) << i;
  // Qt stacks sibling widgets in the order of children(): the last one is on top.
  std::vector<QWidget*> widgets;
  for (QObject* child : Form1->Handle()->children()) {
    if (auto* widget = qobject_cast<QWidget*>(child)) widgets.push_back(widget);
  }
  EXPECT_EQ(widgets, (std::vector<QWidget*>{Form1->Button1->Handle(), Form1->Edit1->Handle(),
                                            Form1->Button2->Handle(), Form1->Edit2->Handle(),
                                            Form1->Button3->Handle(), Form1->Panel1->Handle()}));
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
  EXPECT_EQ(Form1->ActiveControl(), Form1->Button2);
  EXPECT_TRUE(Form1->Button2->Focused());
  std::vector<TWinControl*> visited;
  for (int i = 0; i < 5; ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    visited.push_back(Form1->ActiveControl());
  }
  EXPECT_EQ(visited, (std::vector<TWinControl*>{Form1->Edit1, Form1->Button3, Form1->Edit2,
                                                Form1->Button1, Form1->Button2}));
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
  const QImage shot = Form1->Handle()->grab().toImage();
  const QImage expected = DecodeJpeg(jpeg);
  // Points that no control covers.
  for (QPoint p : {QPoint(0, 0), QPoint(639, 479), QPoint(100, 400), QPoint(320, 200)}) {
    EXPECT_EQ(shot.pixel(p) & 0xFFFFFF, expected.pixel(p) & 0xFFFFFF) << p.x() << "," << p.y();
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
  EXPECT_EQ(box.Caption, "アプリケーション エラー");
  EXPECT_EQ(box.Flags, 0x2010u);
  EXPECT_EQ(box.Text.rfind("EReadErrorがモジュール ", 0), 0u) << box.Text;
  const std::string message = "\nメソッド 'Button1Click' が見つかりません.";
  EXPECT_TRUE(box.Text.ends_with(message)) << box.Text;
  EXPECT_EQ(Application.MainForm(), nullptr);
}

}  // namespace
}  // namespace kel
