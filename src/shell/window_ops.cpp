#include "shell/window_ops.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <type_traits>
#include <utility>

#include "shell/control.h"
#include "shell/main_window.h"
#include "text/codepage.h"

namespace vellumara {

namespace {

// OnWindowThread: runs f on the window's thread and hands back its result. From
// any other thread the caller waits until the window's thread has run it, so
// one thread's calls take effect in the order made. Without an application
// nothing runs and the result is empty.
//
// The call is posted to the application object, which lives as long as the
// event loop; if the application goes away first, the pending call is dropped
// and the caller is released with an empty result.
template <typename F>
std::invoke_result_t<F&> OnWindowThread(F f) {
  using Result = std::invoke_result_t<F&>;
  QCoreApplication* app = QCoreApplication::instance();
  if (app == nullptr) return Result();
  if (QThread::currentThread() == app->thread()) return f();
  if constexpr (std::is_void_v<Result>) {
    QMetaObject::invokeMethod(app, f, Qt::BlockingQueuedConnection);
  } else {
    Result result{};
    QMetaObject::invokeMethod(
        app, [&result, &f] { result = f(); }, Qt::BlockingQueuedConnection);
    return result;
  }
}

// WidgetOf: the control's widget when the control is of the given kind and its
// window is still there; null otherwise. Window's thread only.
template <typename W>
W* WidgetOf(Control* control, Control::Kind kind) {
  if (control == nullptr || control->kind() != kind) return nullptr;
  return static_cast<W*>(control->widget());
}

QTreeWidgetItem* ListRow(QTreeWidget* list, int row) {
  if (list == nullptr || row < 0 || row >= list->topLevelItemCount()) return nullptr;
  return list->topLevelItem(row);
}

Text BytesOf(const QByteArray& bytes) { return Text(bytes.constData(), bytes.size()); }

void SetPart(StatusBar* bar, int part, const Text& text) {
  if (bar != nullptr) bar->SetPartText(part, text);
}

}  // namespace

void SetStatus(const Text& text) {
  OnWindowThread([&] {
    if (MainWindow* window = RegisteredMainWindow()) SetPart(window->状态条1, 1, text);
  });
}

void StatusSetText(Control* bar, int part, const Text& text) {
  OnWindowThread([&] { SetPart(WidgetOf<StatusBar>(bar, Control::Kind::kStatusBar), part, text); });
}

Text StatusPartText(Control* bar, int part) {
  return OnWindowThread([&]() -> Text {
    auto* widget = WidgetOf<StatusBar>(bar, Control::Kind::kStatusBar);
    return widget != nullptr ? widget->PartText(part) : Text();
  });
}

void SetControlDisabled(Control* control, bool disabled) {
  OnWindowThread([&] {
    if (control == nullptr) return;
    if (QWidget* widget = control->widget()) widget->setEnabled(!disabled);
  });
}

bool ControlDisabled(Control* control) {
  return OnWindowThread([&] {
    if (control == nullptr) return false;
    const QWidget* widget = control->widget();
    return widget != nullptr && !widget->isEnabled();
  });
}

void ListClear(Control* list) {
  OnWindowThread([&] {
    if (auto* widget = WidgetOf<QTreeWidget>(list, Control::Kind::kList)) widget->clear();
  });
}

int ListAppendRow(Control* list) {
  return OnWindowThread([&] {
    auto* widget = WidgetOf<QTreeWidget>(list, Control::Kind::kList);
    if (widget == nullptr) return -1;
    auto* item = new QTreeWidgetItem();
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren);
    widget->addTopLevelItem(item);
    return widget->indexOfTopLevelItem(item);
  });
}

void ListSetCell(Control* list, int row, int column, const Text& text) {
  OnWindowThread([&] {
    auto* widget = WidgetOf<QTreeWidget>(list, Control::Kind::kList);
    QTreeWidgetItem* item = ListRow(widget, row);
    if (item == nullptr || column < 0 || column >= widget->columnCount()) return;
    item->setData(column, kCellBytesRole,
                  QByteArray(text.data(), static_cast<qsizetype>(text.size())));
    item->setText(column, DisplayText(text));
  });
}

int ListSelectedRow(Control* list) {
  return OnWindowThread([&] {
    auto* widget = WidgetOf<QTreeWidget>(list, Control::Kind::kList);
    if (widget == nullptr) return -1;
    const QList<QTreeWidgetItem*> selected = widget->selectedItems();
    return selected.isEmpty() ? -1 : widget->indexOfTopLevelItem(selected.first());
  });
}

Text ListCellText(Control* list, int row, int column) {
  return OnWindowThread([&]() -> Text {
    auto* widget = WidgetOf<QTreeWidget>(list, Control::Kind::kList);
    QTreeWidgetItem* item = ListRow(widget, row);
    if (item == nullptr || column < 0 || column >= widget->columnCount()) return Text();
    return BytesOf(item->data(column, kCellBytesRole).toByteArray());
  });
}

Text EditGetText(Control* box) {
  return OnWindowThread([&]() -> Text {
    if (auto* buffer = WidgetOf<BookBuffer>(box, Control::Kind::kBookBuffer)) {
      return buffer->bytes();
    }
    if (auto* edit = WidgetOf<QLineEdit>(box, Control::Kind::kNameBox)) {
      return Utf8ToGbk(edit->text().toStdString());
    }
    return Text();
  });
}

void EditAppendText(Control* box, const Text& text) {
  if (text.empty()) return;
  OnWindowThread([&] {
    if (auto* buffer = WidgetOf<BookBuffer>(box, Control::Kind::kBookBuffer)) {
      buffer->Append(text);
      return;
    }
    if (auto* edit = WidgetOf<QLineEdit>(box, Control::Kind::kNameBox)) {
      // setText keeps no undo step; the caret ends up after the new text.
      edit->setText(edit->text() + QString::fromUtf8(GbkToUtf8(text)));
      edit->setCursorPosition(static_cast<int>(edit->text().size()));
    }
  });
}

void EditClear(Control* box) {
  OnWindowThread([&] {
    if (auto* buffer = WidgetOf<BookBuffer>(box, Control::Kind::kBookBuffer)) buffer->Clear();
    if (auto* edit = WidgetOf<QLineEdit>(box, Control::Kind::kNameBox)) edit->clear();
  });
}

void ProgressShow(int done, int total) {
  // Nothing waits on the progress bar, so another thread only posts the value;
  // it still takes effect in order with that thread's other calls, which go
  // through the same queue.
  auto show = [done, total] {
    if (MainWindow* window = RegisteredMainWindow()) window->状态条1->ShowProgress(done, total);
  };
  QCoreApplication* app = QCoreApplication::instance();
  if (app == nullptr) return;
  if (QThread::currentThread() == app->thread()) {
    show();
  } else {
    QMetaObject::invokeMethod(app, show, Qt::QueuedConnection);
  }
}

void OnClicked(Control* button, std::function<void()> handler) {
  if (!handler) return;
  OnWindowThread([&] {
    auto* widget = WidgetOf<QPushButton>(button, Control::Kind::kButton);
    if (widget == nullptr) return;
    QObject::connect(widget, &QPushButton::clicked, widget,
                     [run = std::move(handler)] { run(); });
  });
}

}  // namespace vellumara
