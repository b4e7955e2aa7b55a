#include "http/url.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace vellumara {
namespace {

struct AddressCase {
  const char* name;
  std::string address;
  std::string host;          // UrlHost, every option left out
  std::string hostWithPort;  // UrlHost, keepPort true
  int port;
  std::string path;
};

TEST(UrlTest, DecomposesAddresses) {
  const AddressCase cases[] = {
      // scheme, host case folded, path case kept
      {"plain", "http://Site.EXAMPLE/a/b?x=1", "site.example", "site.example", 80, "/a/b?x=1"},
      {"https bare host", "https://site.example", "site.example", "site.example", 443, "/"},
      {"no scheme", "site.example/a", "site.example", "site.example", 80, "/a"},
      {"port", "http://site.example:8080/a", "site.example", "site.example:8080", 8080, "/a"},
      {"capital https with port", "HTTPS://SITE.EXAMPLE:8443/A", "site.example",
       "site.example:8443", 8443, "/A"},
      {"root", "http://site.example/", "site.example", "site.example", 80, "/"},
      {"empty", "", "", "", 80, "/"},
      // a query straight after the host has no slash before it, so it is taken
      // as part of the host
      {"query after host", "http://site.example?x=1", "site.example?x=1", "site.example?x=1", 80,
       "/"},
      // only five letters decide the default port: a bare host named https...
      {"bare host starting https", "httpsrv.example/a", "httpsrv.example", "httpsrv.example", 443,
       "/a"},
      // a port text that is no number reads as 0
      {"empty port", "http://site.example:/a", "site.example", "site.example:", 0, "/a"},
      {"letter port", "http://site.example:x/a", "site.example", "site.example:x", 0, "/a"},
      // the scheme is looked for anywhere, so one inside the query wins
      {"scheme inside query", "site.example/go?to=http://other.example/x", "other.example",
       "other.example", 80, "/x"},
      // only letters at character starts are made small
      {"double-byte host", "http://\xb0" "A.Example/P", "\xb0" "A.example", "\xb0" "A.example", 80,
       "/P"},
  };
  for (const AddressCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(UrlHost(c.address), c.host);
    EXPECT_EQ(UrlHost(c.address, std::nullopt, true), c.hostWithPort);
    EXPECT_EQ(UrlPort(c.address), c.port);
    EXPECT_EQ(UrlPath(c.address), c.path);
  }
}

struct HostCase {
  const char* name;
  std::string address;
  std::optional<bool> mainDomain;
  std::optional<bool> keepPort;
  std::optional<int> levels;
  std::string host;
};

TEST(UrlTest, MainDomainAndLevels) {
  const std::string deep = "http://a.b.site.example/x";
  const HostCase cases[] = {
      // standard mode keeps the last two labels; the port sticks to the last
      {"main domain", "http://a.site.example/", true, std::nullopt, std::nullopt, "site.example"},
      {"main domain of one label", "http://intranet/", true, std::nullopt, std::nullopt,
       "intranet"},
      {"main domain, port dropped", "http://a.site.example:81/", true, std::nullopt, std::nullopt,
       "site.example"},
      {"main domain, port kept", "http://a.site.example:81/", true, true, std::nullopt,
       "site.example:81"},
      // level mode runs whenever levels is given, 0 included
      {"levels 0", deep, std::nullopt, std::nullopt, 0, "site.example"},
      {"levels 0 main", deep, true, std::nullopt, 0, "example"},
      {"levels 1", deep, std::nullopt, std::nullopt, 1, "b.site.example"},
      {"levels 1 main", deep, true, std::nullopt, 1, "site.example"},
      {"levels 2", deep, std::nullopt, std::nullopt, 2, "a.b.site.example"},
      {"levels 2 main", deep, true, std::nullopt, 2, "b.site.example"},
      {"levels 3", deep, std::nullopt, std::nullopt, 3, "a.b.site.example"},
      {"levels 3 main", deep, true, std::nullopt, 3, "a.b.site.example"},
      {"levels 7 main", deep, true, std::nullopt, 7, "a.b.site.example"},
      {"negative levels count as 0", deep, std::nullopt, std::nullopt, -2, "site.example"},
      {"levels without scheme", "a.b.site.example/x", std::nullopt, std::nullopt, 1,
       "b.site.example"},
      {"levels over https", "HTTPS://A.B.Site.Example/x", std::nullopt, std::nullopt, 0,
       "site.example"},
      {"levels, port dropped", "http://a.b.site.example:81/x", std::nullopt, std::nullopt, 0,
       "site.example"},
      {"levels, port kept", "http://a.b.site.example:81/x", std::nullopt, true, 0,
       "site.example:81"},
      {"levels of empty address", "", true, std::nullopt, 0, ""},
  };
  for (const HostCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(UrlHost(c.address, c.mainDomain, c.keepPort, c.levels), c.host);
  }
}

}  // namespace
}  // namespace vellumara
