// Makes a window from its description (form_description.h): the properties, each control, each
// non-visual component, and the events bound to the window's handlers by name.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <string_view>

#include "window/form_description.h"
#include "gui/component.h"
#include "gui/form.h"
#include "platform/exceptions.h"
#include "search/search_file.h"

namespace kel {

// A description names a handler the window does not have, or a component it lacks.
class EReadError : public EStreamError {
 public:
  using EStreamError::EStreamError;
  const char* ClassName() const noexcept override { return "EReadError"; }
};

// The handlers a window class publishes, by name and event type.
struct THandlerTable {
  std::map<std::string, TNotifyEvent, std::less<>> Notify;  // OnClick, OnTimer, OnCreate
  std::map<std::string, TFindFileEvent, std::less<>> Find;  // OnFind
  std::map<std::string, TCloseEvent, std::less<>> Close;    // OnClose
};

// The file search as a component the window owns.
class TSearchFileComponent : public TComponent, public TSearchFile {
 public:
  explicit TSearchFileComponent(TComponent* owner) : TComponent(owner) {}
};

// Builds `form` from `description`: the properties first, then every control in order (owned
// by the form and shown in it, so creation order is stacking order), then every component in
// order; each gets its Name, its settings and its events. Does not run OnCreate.
// Raises EReadError("メソッド 'X' が見つかりません") for a handler name missing from `handlers`,
// and passes on the picture reader's EStreamError/EInvalidGraphic and the folder browser's
// owner check. What was made before a failure stays owned by `form`.
void BuildForm(TForm& form, const TFormDescription& description, const THandlerTable& handlers);

// The component named `name` that `owner` owns, or null.
TComponent* FindComponent(const TComponent& owner, std::string_view name);

// The component named `name`, as a T. Raises EReadError("コンポーネント 'X' が見つかりません")
// when there is none of that name and class.
template <class T>
T& ComponentNamed(const TComponent& owner, std::string_view name) {
  if (auto* found = dynamic_cast<T*>(FindComponent(owner, name))) return *found;
  throw EReadError("コンポーネント '" + std::string(name) + "' が見つかりません");
}

}  // namespace kel
