#include "window/embedded_assets.h"
#include "window/form_description.h"

namespace kel {

const TFormDescription& Form1Description() {
  using C = TControlKind;
  using K = TComponentKind;
  using A = TAlign;
  static const TFormDescription description{
      .Name = "Form1",
      .Caption = "Kelvarin",
      .Left = 213,
      .Top = 141,
      .ClientWidth = 640,
      .ClientHeight = 480,
      .BorderStyle = TFormBorderStyle::bsSingle,
      .BorderIcons = {.biMinimize = true, .biMaximize = false},
      .Position = TPosition::poScreenCenter,
      .Color = TColor::clBtnFace,
      .Font = {.Name = "ＭＳ Ｐゴシック", .Height = -12},
      .Icon = embedded::IconPng(),
      .OnCreate = "FormCreate",
      .OnClose = "FormClose",
      // clang-format off
      // Creation order, which is also the stacking order from the bottom.
      .Controls = {
          // Name     Kind        Left Top  W    H    Align        Text         Tab OnClick
          {"Image1",  C::kImage,  0,   0,   640, 480, A::alClient, "",          -1, "",
           embedded::BackgroundPicture()},
          {"Button1", C::kButton, 352, 296, 75,  25,  A::alNone,   "圧縮実行",   4, "Button1Click"},
          {"Edit1",   C::kEdit,   328, 32,  273, 20,  A::alNone,   "",           1, ""},
          {"Button2", C::kButton, 528, 56,  75,  25,  A::alNone,   "対象選択",   0, "Button2Click"},
          {"Edit2",   C::kEdit,   328, 88,  273, 20,  A::alNone,   "",           3, ""},
          {"Button3", C::kButton, 528, 120, 75,  25,  A::alNone,   "出力先選択", 2, "Button3Click"},
          {"Panel1",  C::kPanel,  328, 264, 273, 25,  A::alNone,   "",           5, ""},
      },
      // Created after the controls, in this order.
      .Components = {
          // Name            Kind               Title            Interval Enabled Event
          {"SearchFile1",    K::kSearchFile,    "",              0,       true,  "SearchFile1Find"},
          {"FolderBrowser1", K::kFolderBrowser, "Select folder", 0,       true,  ""},
          {"Timer1",         K::kTimer,         "",              0,       true,  "Timer1Timer"},
          {"FolderBrowser2", K::kFolderBrowser, "Select folder", 0,       true,  ""},
      },
      // clang-format on
  };
  return description;
}

}  // namespace kel
