// A window description as data: the form's properties, its controls in creation order and its
// non-visual components in creation order, each with its settings and the names of the
// handlers its events are bound to. BuildForm (form_builder.h) makes a window from it.
//
// Everything is held by view: the strings and bytes a description refers to must outlive it
// (the program's own description refers only to constants).
#pragma once

#include <string_view>
#include <vector>

#include "gui/component.h"
#include "gui/font.h"
#include "gui/form.h"

namespace kel {

enum class TControlKind { kImage, kButton, kEdit, kPanel };

struct TControlDescription {
  std::string_view Name = {};
  TControlKind Kind = TControlKind::kImage;
  int Left = 0, Top = 0, Width = 0, Height = 0;
  TAlign Align = TAlign::alNone;
  std::string_view Text = {};     // a button's or panel's caption, an edit field's text
  int TabOrder = -1;              // windowed controls; -1 takes the next free number
  std::string_view OnClick = {};  // handler name, empty for none (buttons)
  std::string_view Picture = {};  // an image's picture in the tagged form, empty for none
};

enum class TComponentKind { kSearchFile, kFolderBrowser, kTimer };

struct TComponentDescription {
  std::string_view Name = {};
  TComponentKind Kind = TComponentKind::kSearchFile;
  std::string_view Title = {};  // folder browser
  unsigned Interval = 0;        // timer, milliseconds; 0 stands still
  bool Enabled = true;          // timer
  std::string_view Event = {};  // OnFind of a search, OnTimer of a timer; empty for none
};

// The colours a description may name; the button face is the only one the program uses.
enum class TColor { clBtnFace };

struct TFontDescription {
  std::string_view Name = {};
  int Height = -12;  // negative: character height in pixels
  int Charset = kShiftJisCharset;
};

struct TFormDescription {
  std::string_view Name = {};
  std::string_view Caption = {};
  int Left = 0, Top = 0;  // the designed position; poScreenCenter replaces it
  int ClientWidth = 0, ClientHeight = 0;
  TFormBorderStyle BorderStyle = TFormBorderStyle::bsSizeable;
  TBorderIcons BorderIcons;
  TPosition Position = TPosition::poDesigned;
  TColor Color = TColor::clBtnFace;
  TFontDescription Font;
  std::string_view Icon = {};  // PNG bytes, empty for none
  std::string_view OnCreate = {};
  std::string_view OnClose = {};
  std::vector<TControlDescription> Controls;
  std::vector<TComponentDescription> Components;
};

// The main window's description: "Kelvarin", 640 x 480 client pixels, fixed size, the
// background picture, the two folder fields with their buttons, the start button, the status
// panel, then SearchFile1, FolderBrowser1, Timer1 and FolderBrowser2.
const TFormDescription& Form1Description();

}  // namespace kel
