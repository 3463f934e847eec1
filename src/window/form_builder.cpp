#include "window/form_builder.h"

#include <cstdlib>

#include "browse/folder_browser.h"
#include "gui/graphics.h"
#include "gui/image.h"
#include "gui/std_controls.h"
#include "gui/timer.h"

namespace kel {

namespace {

template <class Handler>
Handler Lookup(const std::map<std::string, Handler, std::less<>>& table, std::string_view name) {
  if (name.empty()) return {};
  auto found = table.find(name);
  if (found == table.end()) {
    throw EReadError("メソッド '" + std::string(name) + "' が見つかりません");
  }
  return found->second;
}

void ApplyProperties(TForm& form, const TFormDescription& d, const THandlerTable& handlers) {
  form.Name = std::string(d.Name);
  form.SetCaption(std::string(d.Caption));
  form.BorderStyle = d.BorderStyle;
  form.BorderIcons = d.BorderIcons;
  form.Position = d.Position;
  form.SetBounds(d.Left, d.Top, d.ClientWidth, d.ClientHeight);
  form.SetFont(TFont{std::string(d.Font.Name), d.Font.Height, d.Font.Charset});
  if (!d.Icon.empty()) form.SetIcon(TIcon{std::string(d.Icon)});
  // The only colour a description gives, clBtnFace, is every backend's window colour.
  form.OnCreate = Lookup(handlers.Notify, d.OnCreate);
  form.OnClose = Lookup(handlers.Close, d.OnClose);
}

TControl* MakeControl(TForm& form, const TControlDescription& d, const THandlerTable& handlers) {
  const std::string text(d.Text);
  switch (d.Kind) {
    case TControlKind::kImage: {
      auto* image = new TImage(&form);
      if (!d.Picture.empty()) image->SetPicture(ReadTaggedGraphic(d.Picture));
      return image;
    }
    case TControlKind::kButton: {
      auto* button = new TButton(&form);
      button->SetCaption(text);
      button->OnClick = Lookup(handlers.Notify, d.OnClick);
      return button;
    }
    case TControlKind::kEdit: {
      auto* edit = new TEdit(&form);
      edit->SetText(text);
      return edit;
    }
    case TControlKind::kPanel: {
      auto* panel = new TPanel(&form);
      panel->SetCaption(text);
      return panel;
    }
  }
  throw EReadError("不明なコントロール '" + std::string(d.Name) + "'");
}

void AddControl(TForm& form, const TControlDescription& d, const THandlerTable& handlers) {
  TControl* control = MakeControl(form, d, handlers);
  control->Name = std::string(d.Name);
  control->SetBounds(d.Left, d.Top, d.Width, d.Height);
  control->SetParent(&form);
  control->SetAlign(d.Align);
  // After SetParent, which numbers a new child itself; setting it now re-chains the parent.
  if (auto* windowed = dynamic_cast<TWinControl*>(control); windowed && d.TabOrder >= 0) {
    windowed->SetTabOrder(d.TabOrder);
  }
}

void AddComponent(TForm& form, const TComponentDescription& d, const THandlerTable& handlers) {
  TComponent* component = nullptr;
  switch (d.Kind) {
    case TComponentKind::kSearchFile: {
      auto* search = new TSearchFileComponent(&form);
      search->OnFind = Lookup(handlers.Find, d.Event);
      component = search;
      break;
    }
    case TComponentKind::kFolderBrowser: {
      auto* browser = new TFolderBrowser(&form);
      browser->Title = std::string(d.Title);
      component = browser;
      break;
    }
    case TComponentKind::kTimer: {
      auto* timer = new TTimer(&form);
      // Interval before the handler: the timer must not start at its default period.
      timer->SetInterval(d.Interval);
      timer->SetEnabled(d.Enabled);
      timer->SetOnTimer(Lookup(handlers.Notify, d.Event));
      component = timer;
      break;
    }
  }
  if (!component) throw EReadError("不明なコンポーネント '" + std::string(d.Name) + "'");
  component->Name = std::string(d.Name);
}

}  // namespace

void BuildForm(TForm& form, const TFormDescription& description, const THandlerTable& handlers) {
  ApplyProperties(form, description, handlers);
  for (const TControlDescription& control : description.Controls) {
    AddControl(form, control, handlers);
  }
  for (const TComponentDescription& component : description.Components) {
    AddComponent(form, component, handlers);
  }
}

TComponent* FindComponent(const TComponent& owner, std::string_view name) {
  for (int i = 0; i < owner.ComponentCount(); ++i) {
    if (owner.Components(i)->Name == name) return owner.Components(i);
  }
  return nullptr;
}

}  // namespace kel
