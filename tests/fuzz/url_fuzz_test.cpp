// Random addresses for the address routines: mostly address-shaped (scheme,
// labels, port, path), sometimes raw bytes.
#include <gtest/gtest.h>

#include <string>

#include "fuzz/fuzz_support.h"
#include "fuzz/reference.h"
#include "http/url.h"

namespace vellumara {
namespace {

using fuzz::Args;
using fuzz::FuzzRun;
using fuzz::Rng;

const fuzz::Pieces kHostPieces{
    {6, "", 'a', 'z'}, {2, "", 'A', 'Z'}, {2, "", '0', '9'}, {4, "."}, {1, "-"},
    {1, "\xb0\xa1"}, {1, "\xb0" "A"}, {1, "", 0x80, 0xFF}, {1, ":"}, {1, "?"},
};

const fuzz::Pieces kPathPieces{
    {6, "/"}, {6, "", 'a', 'z'}, {2, "", 'A', 'Z'}, {2, "?"}, {2, "="}, {1, "&"}, {1, "#"},
    {1, ":"}, {1, "."}, {1, "http://"}, {1, "https://"}, {1, "\xb0\xa1"}, {1, "", 0x80, 0xFF},
};

std::string Address(Rng& rng) {
  if (rng.Chance(20)) return fuzz::kTextPieces.Text(rng, 40);
  static const char* const kSchemes[] = {"", "", "http://", "https://", "HTTP://", "Https://",
                                         "http:/", "https", "http://http://"};
  std::string out = kSchemes[rng.Range(0, 8)];
  out += kHostPieces.Text(rng, 24);
  if (rng.Chance(30)) {
    out += ":";
    if (rng.Chance(80)) out += std::to_string(rng.Range(0, 99999));
    if (rng.Chance(10)) out += "x";
  }
  if (rng.Chance(70)) out += kPathPieces.Text(rng, 24);
  return out;
}

bool EndsWith(std::string_view text, std::string_view end) {
  return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

TEST(UrlFuzz, HostPortPathHoldTheirShape) {
  FuzzRun run("address routines", 0x0a11'0001ULL, 150000);
  long i = 0;
  for (; run.More(i); ++i) {
    Rng rng = run.InputRng(i);
    const std::string address = Address(rng);
    const std::optional<bool> mainDomain = fuzz::MaybeBool(rng);
    const std::optional<bool> keepPort = fuzz::MaybeBool(rng);
    const std::optional<int> levels =
        rng.Chance(50) ? std::nullopt : std::optional<int>(rng.Range(-2, 5));
    auto args = [&] {
      return Args()
          .Add("address", address)
          .Add("mainDomain", mainDomain)
          .Add("keepPort", keepPort)
          .Add("levels", levels)
          .str();
    };

    // any options: lower case, no slash, cut from the address
    const Text host = UrlHost(address, mainDomain, keepPort, levels);
    run.Expect(ref::Lower(host) == host, i, "UrlHost not lower case", args);
    run.Expect(host.size() <= address.size(), i, "UrlHost longer than the address", args);
    run.Expect(ref::Find(host, "/", std::nullopt, false) == -1, i, "UrlHost holds a slash", args);
    if (!keepPort.value_or(false)) {
      run.Expect(ref::Find(host, ":", std::nullopt, false) == -1, i, "UrlHost kept a port", args);
    }

    // without keepPort the host is the kept-port host cut before its ":"
    const Text withPort = UrlHost(address, mainDomain, true, levels);
    const Text withoutPort = UrlHost(address, mainDomain, false, levels);
    const int colon = ref::Find(withPort, ":", std::nullopt, false);
    run.Expect(withoutPort == (colon == -1 ? withPort : ref::Left(withPort, colon - 1)), i,
               "UrlHost without port is not the kept-port host cut at its colon", args);

    // level mode keeps labels from the right: fewer with mainDomain, more
    // with a higher level, each a tail of the next
    const int k = levels.value_or(0);
    const Text level = UrlHost(address, false, true, k);
    run.Expect(EndsWith(level, UrlHost(address, true, true, k)), i,
               "level host with mainDomain is not a tail of the one without", args);
    run.Expect(EndsWith(UrlHost(address, false, true, k + 1), level), i,
               "level host is not a tail of the next level's", args);

    // the port: the number after the last colon, else the scheme's default
    const std::int32_t port = UrlPort(address);
    const Text portHost = UrlHost(address, std::nullopt, true);
    if (ref::Find(portHost, ":", std::nullopt, false) == -1) {
      const bool https = ref::Left(ref::Lower(address), 5) == "https";
      run.Expect(port == (https ? 443 : 80), i, "UrlPort default", args);
    } else {
      const int last = ref::FindReverse(portHost, ":", std::nullopt, false);
      run.Expect(port == ref::ToInt(ref::Right(portHost, ref::Len(portHost) - last)), i,
                 "UrlPort is not the number after the last colon", args);
    }

    // the path: "/" or a tail of the address that starts with "/"
    const Text path = UrlPath(address);
    run.Expect(path == "/" || (!path.empty() && path[0] == '/' && EndsWith(address, path)), i,
               "UrlPath is neither / nor a tail of the address", args);
  }
  run.Finish(i);
}

}  // namespace
}  // namespace vellumara
