// Taking an address apart into host, port and path for the request routine.
//
//   UrlHost("http://Site.EXAMPLE:8080/a")                  -> "site.example"
//   UrlHost("http://site.example:8080/a", false, true)     -> "site.example:8080"
//   UrlPort("https://site.example")                        -> 443
//   UrlPath("http://site.example/a/b?x=1")                 -> "/a/b?x=1"
//
// Pure functions; they never fail. Positions follow text/text.h.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "text/text.h"

namespace vellumara {

// UrlHost: the lower-case host of address. Standard mode when levels is left
// out: the text between the scheme and the next "/" (a query right after the
// host stays part of it); mainDomain keeps the last two labels. Level mode when
// levels is supplied (any value, 0 included): the last levels + 2 labels, or
// levels + 1 with mainDomain. The port is cut off unless keepPort.
[[nodiscard]] Text UrlHost(std::string_view address, std::optional<bool> mainDomain = std::nullopt,
                           std::optional<bool> keepPort = std::nullopt,
                           std::optional<int> levels = std::nullopt);

// UrlPort: the number after the host's last ":", else 443 when the address
// starts with "https" (any case, five letters only), else 80.
[[nodiscard]] std::int32_t UrlPort(std::string_view address);

// UrlPath: path, query and fragment as the address spells them; "/" when none.
[[nodiscard]] Text UrlPath(std::string_view address);

}  // namespace vellumara
