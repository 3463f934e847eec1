// The form and its controls: ownership, geometry, texts, focus, painting.
#include <gtest/gtest.h>

#include <QFontInfo>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <fstream>
#include <iterator>
#include <string>

#include "gui/application.h"
#include "gui/form.h"
#include "gui/image.h"
#include "gui/jpeg_image.h"
#include "gui/memory_canvas.h"
#include "gui/qt/qt_window.h"
#include "gui/std_controls.h"

namespace kel {
namespace {

std::string ReadAsset(const std::string& name) {
  std::ifstream in(std::string(KEL_ASSETS_DIR) + "/" + name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

template <class T>
T* Place(TForm* form, int left, int top, int width, int height) {
  auto* control = new T(form);
  control->SetParent(form);
  control->SetBounds(left, top, width, height);
  return control;
}

// A fixed-size form as the main window uses it.
class FormTest : public testing::Test {
 protected:
  FormTest() {
    form->SetCaption("Kelvarin");
    form->BorderStyle = TFormBorderStyle::bsSingle;
    form->BorderIcons.biMaximize = false;
    form->Position = TPosition::poScreenCenter;
    form->SetClientSize(640, 480);
  }
  std::unique_ptr<TForm> form = std::make_unique<TForm>(nullptr);
};

TEST(Components, OwnerDestroysWhatItOwnsAndEarlyDeletionLeavesTheOwner) {
  struct TProbe : TComponent {
    TProbe(TComponent* owner, int* destroyed) : TComponent(owner), destroyed_(destroyed) {}
    ~TProbe() override { ++*destroyed_; }
    int* destroyed_;
  };
  int destroyed = 0;
  auto* owner = new TComponent(nullptr);
  new TProbe(owner, &destroyed);
  auto* second = new TProbe(owner, &destroyed);
  new TProbe(second, &destroyed);  // owned by an owned one
  EXPECT_EQ(owner->ComponentCount(), 2);
  delete second;  // and what it owns
  EXPECT_EQ(destroyed, 2);
  EXPECT_EQ(owner->ComponentCount(), 1);
  delete owner;
  EXPECT_EQ(destroyed, 3);
}

TEST_F(FormTest, FixedClientSizeCaptionNoMaximiseBoxAndCentred) {
  form->Show();
  QWidget* w = Widget(form->Handle());
  EXPECT_EQ(w->size(), QSize(640, 480));
  EXPECT_EQ(w->minimumSize(), QSize(640, 480));
  EXPECT_EQ(w->maximumSize(), QSize(640, 480));
  EXPECT_EQ(w->windowTitle(), QString("Kelvarin"));
  EXPECT_FALSE(w->windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_TRUE(w->windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_TRUE(w->windowFlags() & Qt::WindowCloseButtonHint);
  QRect screen = QGuiApplication::primaryScreen()->geometry();
  EXPECT_EQ(w->x(), std::max(0, (screen.width() - 640) / 2));
  EXPECT_EQ(w->y(), std::max(0, (screen.height() - 480) / 2));
}

TEST_F(FormTest, WindowFontIsTheJapaneseGothicAtTwelvePixels) {
  auto* button = Place<TButton>(form.get(), 10, 10, 75, 25);
  form->Show();
  QFontInfo info(Widget(button->Handle())->font());  // controls take the window's font
  EXPECT_EQ(info.pixelSize(), 12);
  // "ＭＳ Ｐゴシック" is not on a Linux machine; the metric-compatible IPA font stands in.
  if (info.family() != QString("ＭＳ Ｐゴシック")) {
    EXPECT_TRUE(info.family() == "IPAPGothic" || info.family() == "Noto Sans CJK JP")
        << info.family().toStdString();
  }
}

TEST_F(FormTest, ControlsSitWhereTheyArePlacedWithTheirTexts) {
  auto* edit = Place<TEdit>(form.get(), 328, 32, 273, 20);
  auto* button = Place<TButton>(form.get(), 528, 56, 75, 25);
  auto* panel = Place<TPanel>(form.get(), 328, 264, 273, 25);
  button->SetCaption("対象選択");
  edit->SetText("/tmp/");
  form->Show();
  EXPECT_EQ(Widget(edit->Handle())->geometry(), QRect(328, 32, 273, 20));
  EXPECT_EQ(Widget(button->Handle())->geometry(), QRect(528, 56, 75, 25));
  EXPECT_EQ(Widget(panel->Handle())->geometry(), QRect(328, 264, 273, 25));
  EXPECT_EQ(static_cast<QPushButton*>(Widget(button->Handle()))->text(), QString("対象選択"));
  EXPECT_EQ(static_cast<QLineEdit*>(Widget(edit->Handle()))->text(), QString("/tmp/"));
  EXPECT_EQ(panel->Caption(), "");
}

TEST_F(FormTest, PanelShowsOneCentredLineInARaisedOnePixelBevelAndTakesNoFocus) {
  auto* panel = Place<TPanel>(form.get(), 328, 264, 273, 25);
  form->Show();
  panel->SetCaption("(3/10)");
  auto* label = static_cast<QLabel*>(Widget(panel->Handle()));
  EXPECT_EQ(label->text(), QString("(3/10)"));
  EXPECT_EQ(label->alignment(), Qt::AlignCenter);
  EXPECT_EQ(label->frameShape(), QFrame::Panel);
  EXPECT_EQ(label->frameShadow(), QFrame::Raised);
  EXPECT_EQ(label->lineWidth(), 1);
  EXPECT_FALSE(label->wordWrap());
  EXPECT_EQ(label->backgroundRole(), QPalette::Button);
  EXPECT_TRUE(label->autoFillBackground());
  EXPECT_EQ(label->focusPolicy(), Qt::NoFocus);
  panel->SetFocus();
  EXPECT_FALSE(panel->Focused());
  panel->SetCaption("圧縮が完了しました．");
  EXPECT_EQ(label->text(), QString("圧縮が完了しました．"));
}

TEST_F(FormTest, EditGivesBackWhatWasTypedAndButtonClicksRunTheHandler) {
  auto* edit = Place<TEdit>(form.get(), 328, 32, 273, 20);
  auto* button = Place<TButton>(form.get(), 528, 56, 75, 25);
  std::vector<TComponent*> senders;
  button->OnClick = [&](TComponent* sender) { senders.push_back(sender); };
  form->Show();
  edit->SetFocus();
  QTest::keyClicks(Widget(edit->Handle()), "/home/");
  QTest::sendKeyEvent(QTest::Press, Widget(edit->Handle()), Qt::Key_unknown, QString("データ"),
                      Qt::NoModifier);
  EXPECT_EQ(edit->Text(), "/home/データ");

  QTest::mouseClick(Widget(button->Handle()), Qt::LeftButton);
  button->SetFocus();
  QTest::keyClick(Widget(button->Handle()), Qt::Key_Space);
  EXPECT_EQ(senders, (std::vector<TComponent*>{button, button}));
  // Enter in the field means nothing window-wide: no button is the default.
  edit->SetFocus();
  QTest::keyClick(Widget(edit->Handle()), Qt::Key_Return);
  EXPECT_EQ(senders.size(), 2u);
}

TEST_F(FormTest, EditHoldsExactlyTheTextsItGivesBackByteForByte) {
  auto* edit = Place<TEdit>(form.get(), 328, 32, 273, 20);
  form->Show();
  struct HoldCase {
    std::string text;
    bool held;
  };
  // Bytes that are text in UTF-8 and in Shift-JIS alike, and bytes that are text in neither.
  const std::vector<HoldCase> cases = {
      {"/home/data/", true}, {"", true},
      {"/tmp/\x83/", false},  // a Shift-JIS lead byte without its trail byte
      {"/tmp/\xFF", false},  {"/tmp/\x80/", false},
  };
  for (const HoldCase& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.text));
    EXPECT_EQ(TEdit::Holds(c.text), c.held);
    edit->SetText(c.text);
    EXPECT_EQ(edit->Text() == c.text, c.held);
  }
}

TEST_F(FormTest, DisabledButtonIgnoresClicksAndGivesTheFocusOn) {
  auto* button = Place<TButton>(form.get(), 352, 296, 75, 25);
  auto* edit = Place<TEdit>(form.get(), 328, 32, 273, 20);
  int clicks = 0;
  button->OnClick = [&](TComponent*) { ++clicks; };
  ASSERT_FALSE(button->HandleAllocated());
  button->SetEnabled(false);  // kept until the widget is made
  form->Show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(Widget(form->Handle())));
  EXPECT_FALSE(Widget(button->Handle())->isEnabled());
  QTest::mouseClick(Widget(button->Handle()), Qt::LeftButton);
  EXPECT_EQ(clicks, 0);

  button->SetEnabled(true);
  button->SetFocus();
  button->SetEnabled(false);
  EXPECT_FALSE(button->Enabled());
  EXPECT_EQ(form->ActiveControl(), edit);
  button->SetEnabled(true);
  QTest::mouseClick(Widget(button->Handle()), Qt::LeftButton);
  EXPECT_EQ(clicks, 1);
}

TEST_F(FormTest, FocusStartsOnTheFirstInTabOrderAndTabFollowsTheOrder) {
  // Placed in one order, numbered in another, as a window description does.
  auto* button1 = Place<TButton>(form.get(), 352, 296, 75, 25);
  auto* edit1 = Place<TEdit>(form.get(), 328, 32, 273, 20);
  auto* button2 = Place<TButton>(form.get(), 528, 56, 75, 25);
  auto* panel = Place<TPanel>(form.get(), 328, 264, 273, 25);
  button1->SetTabOrder(3);
  edit1->SetTabOrder(1);
  button2->SetTabOrder(0);
  panel->SetTabOrder(2);
  form->Show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(Widget(form->Handle())));
  EXPECT_EQ(form->ActiveControl(), button2);
  EXPECT_TRUE(button2->Focused());

  std::vector<TWinControl*> visited;
  for (int i = 0; i < 4; ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    visited.push_back(form->ActiveControl());
  }
  EXPECT_EQ(visited, (std::vector<TWinControl*>{edit1, button1, button2, edit1}));
}

TEST_F(FormTest, ActiveControlSetBeforeShowGetsTheFocus) {
  Place<TButton>(form.get(), 10, 10, 75, 25);
  auto* edit = Place<TEdit>(form.get(), 10, 50, 100, 20);
  form->SetActiveControl(edit);
  form->Show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(Widget(form->Handle())));
  EXPECT_TRUE(edit->Focused());
}

TEST_F(FormTest, ImageIsPaintedOnTheFormSurfaceBelowTheControls) {
  auto* image = new TImage(form.get());
  image->SetParent(form.get());
  image->SetAlign(TAlign::alClient);
  auto jpeg = std::make_unique<TJPEGImage>();
  jpeg->LoadFromBytes(ReadAsset("background.jpg"));
  TJPEGImage* picture = jpeg.get();
  image->SetPicture(std::move(jpeg));
  auto* panel = Place<TPanel>(form.get(), 328, 264, 273, 25);
  EXPECT_EQ(image->Width(), 640);
  EXPECT_EQ(image->Height(), 480);
  EXPECT_FALSE(picture->Decoded());

  form->Show();
  QImage shot = Widget(form->Handle())->grab().toImage();
  ASSERT_TRUE(picture->Decoded());
  const TBitmap& bitmap = picture->Bitmap();
  for (QPoint p : {QPoint(0, 0), QPoint(100, 200), QPoint(639, 479), QPoint(320, 20)}) {
    EXPECT_EQ(shot.pixel(p) & 0xFFFFFF, test::PixelAt(bitmap, p.x(), p.y())) << p.x() << ","
                                                                            << p.y();
  }
  // The panel is a window above the picture: its face is not the picture.
  QPoint inside_panel(330, 266);
  EXPECT_EQ(shot.pixel(inside_panel) & 0xFFFFFF,
            Widget(panel->Handle())->palette().color(QPalette::Button).rgb() & 0xFFFFFF);
  const std::uint8_t* decoded = bitmap.Pixels.data();
  Widget(form->Handle())->repaint();
  EXPECT_EQ(picture->Bitmap().Pixels.data(), decoded);  // decoded once
}

TEST_F(FormTest, ImageFollowsTheClientSizeAndForgetsItsParentWhenDestroyed) {
  auto* image = new TImage(form.get());
  image->SetParent(form.get());
  image->SetAlign(TAlign::alClient);
  form->SetClientSize(300, 200);
  EXPECT_EQ(image->Width(), 300);
  EXPECT_EQ(image->Height(), 200);
  EXPECT_EQ(form->ControlCount(), 1);
  delete image;
  EXPECT_EQ(form->ControlCount(), 0);
  EXPECT_EQ(form->ComponentCount(), 0);
}

}  // namespace
}  // namespace kel
