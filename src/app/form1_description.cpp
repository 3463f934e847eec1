#include "app/embedded_assets.h"
#include "app/form_description.h"

namespace kel {

const TFormDescription& Form1Description() {
  using C = TControlKind;
  using K = TComponentKind;
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
      // Creation order, which is also the stacking order from the bottom.
      .Controls =
          {
              {.Name = "Image1", .Kind = C::kImage, .Left = 0, .Top = 0, .Width = 640,
               .Height = 480, .Align = TAlign::alClient,
               .Picture = embedded::BackgroundPicture()},
              {.Name = "Button1", .Kind = C::kButton, .Left = 352, .Top = 296, .Width = 75,
               .Height = 25, .Text = "圧縮実行", .TabOrder = 4, .OnClick = "Button1Click"},
              {.Name = "Edit1", .Kind = C::kEdit, .Left = 328, .Top = 32, .Width = 273,
               .Height = 20, .TabOrder = 1},
              {.Name = "Button2", .Kind = C::kButton, .Left = 528, .Top = 56, .Width = 75,
               .Height = 25, .Text = "対象選択", .TabOrder = 0, .OnClick = "Button2Click"},
              {.Name = "Edit2", .Kind = C::kEdit, .Left = 328, .Top = 88, .Width = 273,
               .Height = 20, .TabOrder = 3},
              {.Name = "Button3", .Kind = C::kButton, .Left = 528, .Top = 120, .Width = 75,
               .Height = 25, .Text = "出力先選択", .TabOrder = 2, .OnClick = "Button3Click"},
              {.Name = "Panel1", .Kind = C::kPanel, .Left = 328, .Top = 264, .Width = 273,
               .Height = 25, .TabOrder = 5},
          },
      .Components =
          {
              {.Name = "SearchFile1", .Kind = K::kSearchFile, .Event = "SearchFile1Find"},
              {.Name = "FolderBrowser1", .Kind = K::kFolderBrowser, .Title = "Select folder"},
              {.Name = "Timer1", .Kind = K::kTimer, .Interval = 0, .Event = "Timer1Timer"},
              {.Name = "FolderBrowser2", .Kind = K::kFolderBrowser, .Title = "Select folder"},
          },
  };
  return description;
}

}  // namespace kel
