// The Search command: the typed novel name becomes rows of the result list.
//
//   Text status = SearchNovels(EditGetText(controls.编辑框1), controls.超级列表框1);
//   SetStatus(status);
//
// Runs on the window's thread and keeps the window answering through PumpEvents.
#pragma once

#include "scrape/site.h"
#include "shell/window_ops.h"
#include "text/text.h"

namespace vellumara {

// SearchAddress: the search service's address for name: the endpoint, the
// name's bytes percent-encoded (all but letters, digits and -._~), then
// "&s=" + the site id + "&nsid=&entry=1".
[[nodiscard]] Text SearchAddress(std::string_view name, std::string_view endpoint = SearchEndpoint);

// SearchNovels: asks the search service for name and appends one row per result
// to resultList (columns 0 address, 1 name, 2 introduction or "暂无简介",
// 3 author). The caller has emptied the list. Yields the status text to show:
// "搜索完成!", or why the search service could not be asked.
[[nodiscard]] Text SearchNovels(const Text& name, Control* resultList,
                                const SiteSettings& settings = {});

}  // namespace vellumara
