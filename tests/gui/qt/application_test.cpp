// The application object: the default and start-up error displays, the start sequence, the
// event loop and the message processing step.
#include "gui/application.h"
#include "gui/qt/qt_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <stdexcept>
#include <string>
#include <vector>

#include "gui/box_capture.h"
#include "gui/form.h"
#include "gui/std_controls.h"
#include "platform/exceptions.h"

namespace kel {
namespace {

using test::BoxCapture;

class ApplicationTest : public testing::Test {
 protected:
  void SetUp() override { Application.Title = "Kelvarin"; }
  void TearDown() override {
    Application.Shutdown();
    Application.Title.clear();
  }
  BoxCapture capture;
};

class EQuietAbort : public EAbort {};

struct PeriodCase {
  std::string message;
  std::string shown;
};

TEST_F(ApplicationTest, DefaultDisplayAddsThePeriodOnlyAfterCharactersAboveTheFullStop) {
  const std::vector<PeriodCase> cases = {
      {"ファイルを作成できません", "ファイルを作成できません."},  // Japanese last character
      {"処理が終わりました。", "処理が終わりました。."},          // even the ideographic full stop
      {"Disk error 12", "Disk error 12."},                        // a digit
      {"Cannot open file", "Cannot open file."},                  // a letter
      {"C:/data/", "C:/data/."},                                  // "/" is above "."
      {"Done.", "Done."},
      {"Stop!", "Stop!"},
      {"I/O エラー (5)", "I/O エラー (5)"},
      {"", ""},
  };
  for (const PeriodCase& c : cases) {
    capture.boxes.clear();
    Application.HandleException(std::make_exception_ptr(Exception(c.message)));
    ASSERT_EQ(capture.boxes.size(), 1u) << c.message;
    EXPECT_EQ(capture.boxes[0].Text, c.shown);
    EXPECT_EQ(capture.boxes[0].Caption, "Kelvarin");
    EXPECT_EQ(capture.boxes[0].Flags, kMbOk | kMbIconError);
  }
}

TEST_F(ApplicationTest, DefaultDisplayShowsDerivedClassesByTheirMessageAndTheTitleAsCaption) {
  Application.Title = "別の題";
  Application.HandleException(std::make_exception_ptr(EInOutError(2)));
  Application.HandleException(std::make_exception_ptr(EOutOfResources("タイマーを取得できません")));
  ASSERT_EQ(capture.boxes.size(), 2u);
  EXPECT_EQ(capture.boxes[0].Text, "ファイルが見つかりません.");
  EXPECT_EQ(capture.boxes[1].Text, "タイマーを取得できません.");
  EXPECT_EQ(capture.boxes[1].Caption, "別の題");
}

struct ReasonCase {
  Exception error;
  std::string shown;
};

TEST_F(ApplicationTest, DefaultDisplayShowsTheReasonOnASecondLineUnderTheUnchangedMessage) {
  const std::string message = "ファイル /out/0000_txt.zip を作成できません";
  EInOutError same_as_message(101);
  same_as_message.SetReason(Reason::FromErrorNumber(101));
  const std::vector<ReasonCase> cases = {
      {Exception(message, Reason::FromErrorNumber(101)), message + ".\nディスクがいっぱいです"},
      {Exception(message, Reason::FromErrorNumber(1117)), message + ".\nI/O エラー (1117)"},
      {Exception(message, {Reason::kChangedWhileRead}),
       message + ".\n読み込み中にファイルが変更されました"},
      {Exception(message, {Reason::kNotRegularFile}), message + ".\n通常のファイルではありません"},
      {Exception("Stop!", {Reason::kChangedWhileRead}),
       "Stop!\n読み込み中にファイルが変更されました"},
      {Exception(message, {Reason::kNone}), message + "."},
      {same_as_message, "ディスクがいっぱいです."},
      // The path in front of the reason, unless the message names it already.
      {Exception("ストリームへの書き込みエラー", Reason::FromErrorNumber(101, "o/files.txt")),
       "ストリームへの書き込みエラー.\no/files.txt: ディスクがいっぱいです"},
      {Exception(message, Reason::FromErrorNumber(5, "/out/0000_txt.zip")),
       message + ".\nファイルへのアクセスが拒否されました"},
      {[] {
         EInOutError move_refused(5);
         move_refused.SetReasonPath("o/0000_txt.zip");
         return move_refused;
       }(),
       "ファイルへのアクセスが拒否されました.\no/0000_txt.zip"},
  };
  for (const ReasonCase& c : cases) {
    capture.boxes.clear();
    Application.HandleException(std::make_exception_ptr(c.error));
    ASSERT_EQ(capture.boxes.size(), 1u) << c.shown;
    EXPECT_EQ(capture.boxes[0].Text, c.shown);
    EXPECT_EQ(capture.boxes[0].Flags, kMbOk | kMbIconError);
  }
}

TEST_F(ApplicationTest, AbortAndItsDescendantsShowNothing) {
  Application.HandleException(std::make_exception_ptr(EAbort()));
  Application.HandleException(std::make_exception_ptr(EQuietAbort()));
  EXPECT_TRUE(capture.boxes.empty());
}

TEST_F(ApplicationTest, ForeignExceptionGetsTheStartupBoxWithoutEndingTheProgram) {
  Application.HandleException(std::make_exception_ptr(std::runtime_error("boom")));
  ASSERT_EQ(capture.boxes.size(), 1u);
  EXPECT_EQ(capture.boxes[0].Caption, "アプリケーション エラー");
  EXPECT_EQ(capture.boxes[0].Text,
            "std::runtime_errorがモジュール gui_tests の 00000000 で発生しました。\nboom.");
  EXPECT_FALSE(Application.Terminated());
}

TEST(StartupErrorText, FillsTheTemplateAndAddsTheByteRulePeriod) {
  const std::string head = "がモジュール gui_tests の 00000000 で発生しました。\n";
  EXPECT_EQ(StartupErrorText(std::make_exception_ptr(EInOutError(2))),
            "EInOutError" + head + "ファイルが見つかりません.");
  EXPECT_EQ(StartupErrorText(std::make_exception_ptr(Exception("Bad stream."))),
            "Exception" + head + "Bad stream.");
  // The start-up display looks at the last byte only: "!" and "。" both get a period.
  EXPECT_EQ(StartupErrorText(std::make_exception_ptr(Exception("Stop!"))),
            "Exception" + head + "Stop!.");
  EXPECT_EQ(StartupErrorText(std::make_exception_ptr(Exception("完了。"))),
            "Exception" + head + "完了。.");
  EXPECT_EQ(StartupErrorText(std::make_exception_ptr(EAbort())),
            "EAbort" + head + "Operation aborted.");
  EXPECT_EQ(StartupErrorText(std::make_exception_ptr(Exception(""))), "Exception" + head);
  EXPECT_EQ(StartupErrorText(std::make_exception_ptr(42)), "int" + head);
}

TEST_F(ApplicationTest, StartSequenceFailureShowsTheStartupBoxAndGivesExitStatusOne) {
  int status = RunStartSequence([] { throw EInOutError(5); });
  EXPECT_EQ(status, 1);
  ASSERT_EQ(capture.boxes.size(), 1u);
  EXPECT_EQ(capture.boxes[0].Caption, kStartupErrorCaption);
  EXPECT_EQ(capture.boxes[0].Flags, kMbOk | kMbIconError | kMbTaskModal);
  EXPECT_NE(capture.boxes[0].Text.find("EInOutError"), std::string::npos);

  capture.boxes.clear();
  EXPECT_EQ(RunStartSequence([] {}), 0);
  EXPECT_TRUE(capture.boxes.empty());
}

TEST_F(ApplicationTest, ButtonHandlerExceptionIsShownAndTheWindowStaysUsable) {
  TForm* form = nullptr;
  Application.CreateForm(form);
  auto* button = new TButton(form);
  button->SetParent(form);
  button->SetBounds(10, 10, 75, 25);
  int clicks = 0;
  button->OnClick = [&](TComponent*) {
    ++clicks;
    throw EInOutError(101);
  };
  form->Show();
  QTest::mouseClick(Widget(button->Handle()), Qt::LeftButton);
  QTest::mouseClick(Widget(button->Handle()), Qt::LeftButton);
  EXPECT_EQ(clicks, 2);
  ASSERT_EQ(capture.boxes.size(), 2u);
  EXPECT_EQ(capture.boxes[1].Text, "ディスクがいっぱいです.");
  EXPECT_TRUE(form->Visible());
}

TEST_F(ApplicationTest, CreationHandlerErrorIsShownAndTheStartGoesOn) {
  class TFailingForm : public TForm {
   public:
    explicit TFailingForm(TComponent* owner) : TForm(owner) {
      OnCreate = [](TComponent*) { throw Exception("作成できません"); };
    }
  };
  TFailingForm* form = nullptr;
  Application.CreateForm(form);
  ASSERT_NE(form, nullptr);
  EXPECT_EQ(Application.MainForm(), form);
  ASSERT_EQ(capture.boxes.size(), 1u);
  EXPECT_EQ(capture.boxes[0].Text, "作成できません.");

  QTimer::singleShot(0, [form] { form->Close(); });
  Application.Run();  // shows the window, then ends when it is closed
  EXPECT_TRUE(Application.Terminated());
}

TEST_F(ApplicationTest, CloseHandlerRunsOnceAndAnErrorInItKeepsTheWindowOpen) {
  TForm* form = nullptr;
  Application.CreateForm(form);
  int calls = 0;
  form->OnClose = [&](TComponent* sender, TCloseAction& action) {
    EXPECT_EQ(sender, form);
    EXPECT_EQ(action, TCloseAction::caHide);
    if (++calls == 1) throw Exception("まだ閉じられません");
  };
  form->Show();
  form->Close();
  EXPECT_TRUE(form->Visible());
  EXPECT_FALSE(Application.Terminated());
  ASSERT_EQ(capture.boxes.size(), 1u);

  form->Close();
  EXPECT_EQ(calls, 2);
  EXPECT_FALSE(form->Visible());
  EXPECT_TRUE(Application.Terminated());
}

TEST_F(ApplicationTest, CloseMetInsideMessageProcessingOnlyMarksTheEnd) {
  TForm* form = nullptr;
  Application.CreateForm(form);
  std::vector<std::string> order;
  QTimer::singleShot(0, [&] {
    // A handler that processes messages, as the archiving pass does between files.
    QTimer::singleShot(0, [&] { form->Close(); });
    for (int i = 0; i < 5; ++i) Application.ProcessMessages();
    order.push_back(Application.Terminated() ? "marked" : "not marked");
    order.push_back("handler finished");
  });
  Application.Run();
  order.push_back("run returned");
  EXPECT_EQ(order, (std::vector<std::string>{"marked", "handler finished", "run returned"}));
}

TEST_F(ApplicationTest, ProcessMessagesDispatchesWhatWaitsAndNeverWaits) {
  bool posted_ran = false;
  bool late_ran = false;
  QTimer::singleShot(0, [&] { posted_ran = true; });
  QTimer late;
  late.setSingleShot(true);
  QObject::connect(&late, &QTimer::timeout, [&] { late_ran = true; });
  late.start(3000);
  auto start = std::chrono::steady_clock::now();
  Application.ProcessMessages();
  auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_TRUE(posted_ran);
  EXPECT_FALSE(late_ran);
  EXPECT_LT(elapsed, std::chrono::milliseconds(1500));
}

}  // namespace
}  // namespace kel
