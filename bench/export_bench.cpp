// How fast a whole book is exported through the real window, against curl
// fetching the same pages one after another over one connection.
//
//   QT_QPA_PLATFORM=offscreen ./build/bench/export_bench --chapters 2000 --latency-ms 20
//
// With --repeat R the export and curl take turns R times and the best run of
// each is shown; peak memory is that of the whole run.
//
// The site runs in a child process on 127.0.0.1 with every page generated
// before the first request, so neither its CPU time nor its memory shows in the
// figures, and it answers faster than either client can ask.
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QEventLoop>
#include <QTimer>

#include <httplib.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "http/request.h"
#include "scrape/commands.h"
#include "shell/event_pump.h"
#include "shell/main_window.h"
#include "text/codepage.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using vellumara::Text;
using vellumara::Utf8ToGbk;

struct Options {
  int chapters = 2000;
  int latencyMs = 0;
  int repeat = 1;
};

[[noreturn]] void Usage() {
  std::fprintf(stderr, "usage: export_bench [--chapters N] [--latency-ms L] [--repeat R]\n");
  std::exit(2);
}

Options ParseOptions(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (i + 1 >= argc) Usage();
    int value = std::atoi(argv[++i]);
    if (arg == "--chapters" && value > 0) {
      options.chapters = value;
    } else if (arg == "--latency-ms" && value >= 0) {
      options.latencyMs = value;
    } else if (arg == "--repeat" && value > 0) {
      options.repeat = value;
    } else {
      Usage();
    }
  }
  return options;
}

std::string BookPath() { return "/bench/book.html"; }
std::string CataloguePath() { return "/bench/index.html"; }
std::string ChapterPath(int i) { return "/bench/" + std::to_string(i) + ".html"; }

// About 6 KB of GBK: one sentence converted once, in paragraphs that open with
// non-breaking spaces and end with two line breaks, as the site writes them.
std::string ChapterText() {
  const Text sentence =
      Utf8ToGbk("天色渐渐暗了下来，远处的山峦笼罩在一片薄雾之中，他独自一人走在回家的小路上。");
  std::string text;
  while (text.size() < 6000) {
    text += "&nbsp;&nbsp;&nbsp;&nbsp;";
    for (int i = 0; i < 3; ++i) text += sentence;
    text += "<br /><br />";
  }
  return text;
}

// The site's pages by path, every link pointing back at base.
std::unordered_map<std::string, std::string> MakePages(int chapters, const std::string& base) {
  std::unordered_map<std::string, std::string> pages;
  const std::string name = "基准之书";
  pages["/cse/search"] =
      "<html><body><div class=\"result-game-item-detail\"><h3><a cpos=\"title\" href=\"" + base +
      BookPath() + "\" title=\"" + name +
      "\" class=\"result-game-item-title-link\">" + name +
      "</a></h3><p class=\"result-game-item-desc\">测量导出速度的书</p>"
      "<p><span>作者：</span><span>无名</span></p><p><span>更新状态：</span>完本</p></div>"
      "</body></html>";
  pages[BookPath()] = Utf8ToGbk("<html><body><h1>" + name +
                                "</h1><span class=\"btn\"><a href=\"/bench/1.html\">开始阅读</a>"
                                "</span> <span class=\"btn\"><a href=\"" +
                                CataloguePath() + "\">查看目录</a></span></body></html>");
  const std::string text = ChapterText();
  std::string catalogue = "<html><body><div class=\"list\"><ul>\r\n";
  for (int i = 1; i <= chapters; ++i) {
    const Text title = Utf8ToGbk("第" + std::to_string(i) + "章 夜路");
    catalogue += "<li><a href='" + ChapterPath(i) + "'>" + title + "<span></span></a></li>\r\n";
    pages[ChapterPath(i)] = "<html><head><title>" + title +
                            "</title></head><body><div id=\"nr_title\">" + title +
                            "</div><div id=\"nr1\">" + text + "</div></body></html>";
  }
  pages[CataloguePath()] = catalogue + "</ul></div></body></html>";
  return pages;
}

// RunSite: the child's whole life. Sends the port down `portPipe`, then serves
// until killed.
[[noreturn]] void RunSite(const Options& options, int portPipe) {
  ::prctl(PR_SET_PDEATHSIG, SIGKILL);
  httplib::Server server;
  // Headers and body go out in separate writes: without this, Nagle and the
  // client's delayed ACK would add 40 ms to every page. It only takes effect
  // on sockets bound after it.
  server.set_tcp_nodelay(true);
  server.set_keep_alive_max_count(1 << 30);
  server.set_keep_alive_timeout(60);
  const int port = server.bind_to_any_port("127.0.0.1");
  const std::string base = "http://127.0.0.1:" + std::to_string(port);
  const auto pages = MakePages(options.chapters, base);
  const auto latency = std::chrono::milliseconds(options.latencyMs);
  server.Get(".*", [&](const httplib::Request& req, httplib::Response& res) {
    if (latency.count() > 0) std::this_thread::sleep_for(latency);
    auto page = pages.find(req.path);
    if (page == pages.end()) {
      res.status = 404;
      return;
    }
    const bool search = req.path == "/cse/search";
    res.set_content(page->second, search ? "text/html; charset=utf-8" : "text/html; charset=gbk");
  });
  if (::write(portPipe, &port, sizeof port) != sizeof port) ::_exit(1);
  ::close(portPipe);
  server.listen_after_bind();
  ::_exit(0);
}

double Seconds(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

double TimevalSeconds(const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; }

double CpuSeconds() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return TimevalSeconds(usage.ru_utime) + TimevalSeconds(usage.ru_stime);
}

double PeakResidentMegabytes() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024.0;  // kilobytes on Linux
}

// RunUntil: runs the event loop, as the program's own loop would, until done
// says so or the deadline passes. False on the deadline.
bool RunUntil(const std::function<bool()>& done, std::chrono::seconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  QEventLoop loop;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (done() || std::chrono::steady_clock::now() > deadline) loop.quit();
  });
  poll.start(5);
  loop.exec();
  return done();
}

struct CurlRun {
  double wall = -1;  // negative when curl failed
  double cpu = 0;
};

// RunCurl: one curl process fetching every address in turn, each to
// /dev/null, over one reused connection.
CurlRun RunCurl(const std::vector<std::string>& urls, const fs::path& config) {
  {
    std::ofstream out(config);
    out << "silent\nnoproxy = \"*\"\n";
    for (const std::string& url : urls) out << "url = \"" << url << "\"\noutput = \"/dev/null\"\n";
  }
  const std::string configPath = config.string();
  char* argv[] = {const_cast<char*>("curl"), const_cast<char*>("-K"),
                  const_cast<char*>(configPath.c_str()), nullptr};
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  if (::posix_spawnp(&pid, "curl", nullptr, nullptr, argv, environ) != 0) return {};
  int status = 0;
  rusage usage{};
  ::wait4(pid, &status, 0, &usage);
  CurlRun run;
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
    run.wall = Seconds(std::chrono::steady_clock::now() - start);
    run.cpu = TimevalSeconds(usage.ru_utime) + TimevalSeconds(usage.ru_stime);
  }
  return run;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace vellumara;
  const Options options = ParseOptions(argc, argv);

  int portPipe[2];
  if (::pipe(portPipe) != 0) return 1;
  const pid_t site = ::fork();
  if (site < 0) return 1;
  if (site == 0) {
    ::close(portPipe[0]);
    RunSite(options, portPipe[1]);
  }
  ::close(portPipe[1]);
  int port = 0;
  if (::read(portPipe[0], &port, sizeof port) != sizeof port) {
    std::fprintf(stderr, "export_bench: the site did not start\n");
    return 1;
  }
  ::close(portPipe[0]);
  const std::string base = "http://127.0.0.1:" + std::to_string(port);

  char dirTemplate[] = "/tmp/vellumara-bench-XXXXXX";
  if (::mkdtemp(dirTemplate) == nullptr) return 1;
  const fs::path out = dirTemplate;

  HttpGlobalInit();
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  int qtArgc = 1;
  char* qtArgv[] = {argv[0], nullptr};
  QApplication app(qtArgc, qtArgv);
  InstallWindowEventPump();

  MainWindow window;
  window.show();
  SiteSettings settings;
  settings.searchEndpoint = base + "/cse/search?q=";
  settings.siteBase = base;
  settings.outputDirectory = out.string();
  AttachCommands(window.controls(), settings);

  window.编辑框1->setText(QString::fromUtf8("基准"));
  window.按钮1->click();  // the search runs inside the click
  if (window.超级列表框1->topLevelItemCount() < 1) {
    std::fprintf(stderr, "export_bench: the search found no book\n");
    return 1;
  }
  window.超级列表框1->topLevelItem(0)->setSelected(true);

  std::vector<std::string> urls = {base + BookPath(), base + CataloguePath()};
  for (int i = 1; i <= options.chapters; ++i) urls.push_back(base + ChapterPath(i));
  const fs::path book = out / "基准之书.txt";

  // Export and curl take turns, so that a busy moment of the machine falls on
  // both alike; the best run of each counts.
  double wall = 0, cpu = 0;
  CurlRun baseline;
  std::uintmax_t size = 0;
  for (int run = 1; run <= options.repeat; ++run) {
    const double cpuBefore = CpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    window.按钮2->click();
    const bool ended = RunUntil(
        [&] { return window.按钮1->isEnabled() && window.按钮2->isEnabled(); },
        std::chrono::seconds(3600));
    const double runWall = Seconds(std::chrono::steady_clock::now() - start);
    const double runCpu = CpuSeconds() - cpuBefore;
    std::error_code error;
    size = fs::file_size(book, error);
    if (!ended || error) {
      std::fprintf(stderr, "export_bench: the export wrote no book (status: %s)\n",
                   GbkToUtf8(window.状态条1->PartText(1)).c_str());
      return 1;
    }
    if (run == 1 || runWall < wall) {
      wall = runWall;
      cpu = runCpu;
    }
    const CurlRun curl = RunCurl(urls, out / "curl.config");
    if (curl.wall >= 0 && (baseline.wall < 0 || curl.wall < baseline.wall)) baseline = curl;
  }
  const double peak = PeakResidentMegabytes();

  const double megabytes = static_cast<double>(size) / (1024.0 * 1024.0);
  std::printf("chapters: %d\n", options.chapters);
  std::printf("runs: %d\n", options.repeat);
  std::printf("latency ms: %d\n", options.latencyMs);
  std::printf("export wall seconds: %.3f\n", wall);
  std::printf("chapters per second: %.1f\n", options.chapters / wall);
  std::printf("export CPU seconds: %.3f\n", cpu);
  std::printf("peak resident MB: %.1f\n", peak);
  std::printf("output bytes: %llu\n", static_cast<unsigned long long>(size));
  std::printf("peak limit MB (3 x output + 100): %.1f\n", 3 * megabytes + 100);
  std::printf("status: %s\n", GbkToUtf8(window.状态条1->PartText(1)).c_str());
  if (baseline.wall < 0) {
    std::printf("curl wall seconds: failed\n");
  } else {
    std::printf("curl CPU seconds: %.3f\n", baseline.cpu);
    std::printf("curl wall seconds: %.3f\n", baseline.wall);
    std::printf("ratio export/curl: %.3f\n", wall / baseline.wall);
  }

  ::kill(site, SIGTERM);
  ::waitpid(site, nullptr, 0);
  std::error_code error;
  fs::remove_all(out, error);
  return baseline.wall < 0 ? 1 : 0;
}
