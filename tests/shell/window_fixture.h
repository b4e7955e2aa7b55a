// A shown main window for each test, deleted afterwards.
#pragma once

#include <QApplication>
#include <QPointer>
#include <QString>
#include <QTest>

#include <gtest/gtest.h>

#include "shell/main_window.h"
#include "shell/window_ops.h"

namespace vellumara {

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window_ = new MainWindow;
    window_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.data()));
    c_ = window_->controls();
  }
  void TearDown() override { delete window_.data(); }

  // Activate: makes the window the active one, so the focus and the keyboard
  // work as for a user.
  void Activate() {
    window_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window_.data()));
  }

  QPointer<MainWindow> window_;
  MainControls c_;
};

// Shown: what the user sees for a UTF-8 literal.
inline QString Shown(const char* utf8) { return QString::fromUtf8(utf8); }

}  // namespace vellumara
