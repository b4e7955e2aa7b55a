// Where the commands fetch from, and the few knobs the tests turn.
//
//   SiteSettings settings;                       // the shipped addresses
//   settings.siteBase = "http://127.0.0.1:8080"; // a test's loopback site
//   AttachCommands(window.controls(), settings);
//
// The shipped program uses the defaults only; it reads no command line,
// environment or configuration. A packager sets the two hosts at build time
// (CMake cache variables VELLUMARA_SEARCH_ENDPOINT and VELLUMARA_SITE_BASE).
#pragma once

#include <string_view>

#include "http/request.h"
#include "scrape/site_hosts.h"
#include "text/text.h"

namespace vellumara {

// The site-search address up to and including "?q=".
inline constexpr std::string_view SearchEndpoint = VELLUMARA_SEARCH_ENDPOINT_TEXT;
// The search service's identifier of the novel site.
inline constexpr std::string_view SearchSiteId = "8108208238784316788";
// The novel site: scheme and host, no trailing slash.
inline constexpr std::string_view SiteBase = VELLUMARA_SITE_BASE_TEXT;

struct SiteSettings {
  Text searchEndpoint{SearchEndpoint};
  Text siteBase{SiteBase};
  Text outputDirectory;        // where books are written; empty: RunDirectory()
  HttpLimits limits;           // per exchange
  int pageTries = 3;           // tries in all for a page that fails transiently
  int firstRetryPauseMs = 1000;  // doubles with each further try
  int maxRetryAfterSeconds = 10; // a longer Retry-After is not waited for
  int maxFailuresInARow = 10;    // after so many lost chapters in a row the site is
                                 // taken as gone and the rest are not asked for
};

}  // namespace vellumara
