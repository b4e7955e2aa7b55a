// The window operations: everything the commands may do with the main window.
//
//   SetControlDisabled(controls.按钮1, true);
//   int row = ListAppendRow(controls.超级列表框1);
//   ListSetCell(controls.超级列表框1, row, 1, name);
//   SetStatus("搜索完成!");
//
// No window-system type appears here. Every operation may be called from the
// window's thread or from any other thread; from another thread it is carried
// out on the window's thread while the caller waits, and one thread's calls take
// effect in the order made. Rows, columns and status parts count from 0. Texts
// go in and come out as the very code page 936 bytes given; conversion to
// Unicode happens for display only. Once the window is gone every operation does
// nothing and reads give empty values.
#pragma once

#include <functional>

#include "text/text.h"

namespace vellumara {

// A control of the main window. Owned by the window; the commands only pass
// the pointers on.
class Control;

// The controls the commands work with.
struct MainControls {
  Control* 编辑框1 = nullptr;      // name box
  Control* 按钮1 = nullptr;        // "搜  索"
  Control* 按钮2 = nullptr;        // "生成TXT"
  Control* 超级列表框1 = nullptr;  // result list
  Control* 编辑框2 = nullptr;      // hidden book buffer
  Control* 状态条1 = nullptr;      // status bar
};

// SetStatus: shows text in part 1 of the status bar; empty clears the part.
void SetStatus(const Text& text);
// StatusSetText: shows text in the given part; a part out of range does nothing.
void StatusSetText(Control* bar, int part, const Text& text);
// StatusPartText: the text of a part; empty out of range.
[[nodiscard]] Text StatusPartText(Control* bar, int part);
// SetControlDisabled: true greys the control and stops its input; false enables it.
void SetControlDisabled(Control* control, bool disabled);
// ControlDisabled: whether the control is disabled now.
[[nodiscard]] bool ControlDisabled(Control* control);
// ListClear: removes every row.
void ListClear(Control* list);
// ListAppendRow: adds a row of empty cells at the end; its index, or -1.
[[nodiscard]] int ListAppendRow(Control* list);
// ListSetCell: sets one cell; a row or column that does not exist is ignored.
void ListSetCell(Control* list, int row, int column, const Text& text);
// ListSelectedRow: the selected row, -1 when none is selected.
[[nodiscard]] int ListSelectedRow(Control* list);
// ListCellText: the cell's text, of any length; empty for a missing row (-1).
[[nodiscard]] Text ListCellText(Control* list, int row, int column);
// EditGetText: the whole text of the box. The name box's typed text comes back
// as code page 936, '?' for characters it cannot hold.
[[nodiscard]] Text EditGetText(Control* box);
// EditAppendText: appends text after the box's last byte; time proportional to
// text, not to what the box holds.
void EditAppendText(Control* box, const Text& text);
// EditClear: empties the box.
void EditClear(Control* box);
// ProgressShow: shows done out of total in the status bar's progress bar;
// total < 1 hides the bar. The one operation another thread does not wait for:
// it only posts the value, in order with that thread's other calls.
void ProgressShow(int done, int total);
// OnClicked: runs handler on the window's thread each time button is clicked.
void OnClicked(Control* button, std::function<void()> handler);

}  // namespace vellumara
