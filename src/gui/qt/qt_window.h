// The Qt backend keeps a QWidget* in the opaque NativeWindow.
#pragma once

#include <QWidget>

#include "gui/native_window.h"

namespace kel {

inline QWidget* Widget(NativeWindow window) { return reinterpret_cast<QWidget*>(window); }
inline NativeWindow Native(QWidget* widget) { return reinterpret_cast<NativeWindow>(widget); }

}  // namespace kel
