// The handle behind window_ops.h's Control: which widget a control is and what
// kind of control it is. Private to the shell.
//
//   Control* box = Control::New(Control::Kind::kNameBox, lineEdit);
//   if (auto* edit = static_cast<QLineEdit*>(box->widget())) ...
#pragma once

#include <QPointer>
#include <QWidget>

namespace vellumara {

class Control {
 public:
  enum class Kind { kNameBox, kBookBuffer, kButton, kList, kStatusBar };

  // New: a handle for widget. Handles are never freed: a worker may still hold
  // one after the window is gone, and its calls must then find an empty handle
  // rather than freed memory. Window's thread only.
  static Control* New(Kind kind, QWidget* widget);

  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  [[nodiscard]] Kind kind() const { return kind_; }
  // widget: the control's widget; null once the window is closed or destroyed.
  // Window's thread only.
  [[nodiscard]] QWidget* widget() const { return widget_.data(); }
  // Detach: cuts the handle off its widget; every later call on it does nothing.
  void Detach() { widget_.clear(); }

 private:
  Control(Kind kind, QWidget* widget) : kind_(kind), widget_(widget) {}

  const Kind kind_;
  QPointer<QWidget> widget_;
};

}  // namespace vellumara
