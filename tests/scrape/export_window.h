// Drives the real window (offscreen) for the fault and hostile-input tests:
// type, search, pick a row, export, and run the event loop as the program does
// until the export has ended. Also a scratch directory whose output folder is
// checked for anything written beside it.
//
//   ScratchDir dir;
//   settings.outputDirectory = dir.Out().string();
//   ExportWindow ui(settings);
//   ui.Search("x");
//   Text status = ui.Export(0);
#pragma once

#include <stdlib.h>

#include <QEventLoop>
#include <QString>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "scrape/commands.h"
#include "shell/main_window.h"
#include "text/text.h"

namespace vellumara::testing {

inline std::string ReadWholeFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  return content.str();
}

// A fresh directory under the system's temporary one, with the output folder
// "out" inside it; removed with everything in it at the end.
// SameBytes: succeeds when actual equals expected; a failure names the first
// byte that differs instead of printing megabytes.
inline ::testing::AssertionResult SameBytes(std::string_view actual, std::string_view expected) {
  if (actual == expected) return ::testing::AssertionSuccess();
  std::size_t at = 0;
  while (at < actual.size() && at < expected.size() && actual[at] == expected[at]) ++at;
  auto around = [at](std::string_view s) {
    std::string_view part = s.substr(at < 20 ? 0 : at - 20, 60);
    std::string shown;
    for (unsigned char c : part) {
      if (c >= 0x20 && c < 0x7F) {
        shown += static_cast<char>(c);
      } else {
        char hex[5];
        std::snprintf(hex, sizeof hex, "\\x%02X", c);
        shown += hex;
      }
    }
    return shown;
  };
  return ::testing::AssertionFailure()
         << "differs at byte " << at << " of " << actual.size() << " (expected " << expected.size()
         << ")\n  actual:   ..." << around(actual) << "\n  expected: ..." << around(expected);
}

class ScratchDir {
 public:
  ScratchDir() {
    std::string dir = (std::filesystem::temp_directory_path() / "vellumara-scrape-XXXXXX").string();
    if (::mkdtemp(dir.data()) == nullptr) ADD_FAILURE() << "no temporary directory";
    root_ = dir;
    std::filesystem::create_directories(Out());
  }
  ~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  [[nodiscard]] std::filesystem::path Out() const { return root_ / "out"; }
  // Written: the names of the files in Out(), sorted, and "outside: <path>"
  // for anything that appeared next to it.
  [[nodiscard]] std::vector<std::string> Written() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(root_)) {
      if (entry.path() != Out()) names.push_back("outside: " + entry.path().string());
    }
    for (const auto& entry : std::filesystem::directory_iterator(Out())) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  std::filesystem::path root_;
};

class ExportWindow {
 public:
  explicit ExportWindow(const SiteSettings& settings) {
    window_.show();
    AttachCommands(window_.controls(), settings);
  }

  [[nodiscard]] MainWindow& window() { return window_; }
  [[nodiscard]] Text Status() const { return window_.状态条1->PartText(1); }
  [[nodiscard]] int Rows() const { return window_.超级列表框1->topLevelItemCount(); }
  [[nodiscard]] Text Cell(int row, int column) {
    return ListCellText(window_.controls().超级列表框1, row, column);
  }

  // Search: types name and clicks "搜  索"; the search runs inside the click.
  // Yields the number of rows.
  int Search(const QString& name) {
    window_.编辑框1->setText(name);
    window_.按钮1->click();
    return Rows();
  }

  // Export: selects row, clicks "生成TXT" and runs the event loop until the
  // worker has enabled both buttons again. Yields the final status; a failure
  // when the export does not end in time.
  Text Export(int row) {
    window_.超级列表框1->clearSelection();
    if (row >= 0 && row < Rows()) window_.超级列表框1->topLevelItem(row)->setSelected(true);
    window_.按钮2->click();
    EXPECT_TRUE(RunUntilIdle()) << "the export did not end";
    return Status();
  }

  // RunUntilIdle: the event loop as the program runs it, so the worker's
  // calls into the window are answered at once. False when it did not end.
  bool RunUntilIdle(std::chrono::seconds limit = std::chrono::seconds(90)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
      if (Idle() || std::chrono::steady_clock::now() > deadline) loop.quit();
    });
    poll.start(5);
    loop.exec();
    return Idle();
  }
  [[nodiscard]] bool Idle() const {
    return window_.按钮1->isEnabled() && window_.按钮2->isEnabled();
  }

 private:
  MainWindow window_;
};

}  // namespace vellumara::testing
