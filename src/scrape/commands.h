// Binds the two commands to the main window's buttons.
//
//   MainWindow window;
//   AttachCommands(window.controls());
#pragma once

#include "scrape/site.h"
#include "shell/window_ops.h"

namespace vellumara {

// AttachCommands: "搜  索" runs the search on the window's thread; "生成TXT"
// starts an export worker for the selected row. Searches and exports exclude
// each other through the buttons' disabled states.
void AttachCommands(const MainControls& controls);
void AttachCommands(const MainControls& controls, const SiteSettings& settings);

}  // namespace vellumara
