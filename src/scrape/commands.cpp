#include "scrape/commands.h"

#include <atomic>
#include <memory>
#include <thread>

#include "scrape/export.h"
#include "scrape/phrases.h"
#include "scrape/search.h"

namespace vellumara {
namespace {

// The buttons' disabled states are the users' view of this; the flags decide
// who may enable 按钮1 again, since a search and an export can overlap when the
// export was started while a search dispatched events.
struct CommandState {
  MainControls controls;
  SiteSettings settings;
  std::atomic<bool> searching{false};
  std::atomic<bool> exporting{false};
};

void RunSearch(CommandState& state) {
  const MainControls& c = state.controls;
  if (state.searching || state.exporting) return;
  state.searching = true;
  SetControlDisabled(c.按钮1, true);
  ListClear(c.超级列表框1);
  Text status = SearchNovels(EditGetText(c.编辑框1), c.超级列表框1, state.settings);
  SetStatus(status);
  state.searching = false;
  if (!state.exporting) SetControlDisabled(c.按钮1, false);
}

void RunExportWorker(const std::shared_ptr<CommandState>& state) {
  const MainControls& c = state->controls;
  int row = ListSelectedRow(c.超级列表框1);
  if (row < 0) {
    SetStatus(ScrapePhrases().selectFirst);
  } else {
    ExportBook(ListCellText(c.超级列表框1, row, 0), ListCellText(c.超级列表框1, row, 1),
               c.编辑框2, state->settings);
  }
  state->exporting = false;
  if (!state->searching) SetControlDisabled(c.按钮1, false);
  SetControlDisabled(c.按钮2, false);
}

void StartExport(const std::shared_ptr<CommandState>& state) {
  if (state->exporting.exchange(true)) return;
  // Both buttons go grey before the worker exists, so a double click cannot
  // start two exports and no search can start under this one.
  SetControlDisabled(state->controls.按钮1, true);
  SetControlDisabled(state->controls.按钮2, true);
  // Nobody waits for the worker; closing the window ends the process with it.
  std::thread([state] { RunExportWorker(state); }).detach();
}

}  // namespace

void AttachCommands(const MainControls& controls) { AttachCommands(controls, SiteSettings{}); }

void AttachCommands(const MainControls& controls, const SiteSettings& settings) {
  auto state = std::make_shared<CommandState>();
  state->controls = controls;
  state->settings = settings;
  OnClicked(controls.按钮1, [state] { RunSearch(*state); });
  OnClicked(controls.按钮2, [state] { StartExport(state); });
}

}  // namespace vellumara
