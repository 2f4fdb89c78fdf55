#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>

#include "app/DriverTestSupport.h"
#include "console/gui/TXR_MAIN.h"

namespace ruvo::testing {

// Does `act` to the next modal dialog as soon as it is up (the caller is about to block in
// it). Gives up after about five seconds so a missing dialog fails instead of hanging.
inline void WhenModal(std::function<void(QWidget*)> act, int triesLeft = 500) {
  QTimer::singleShot(10, [act = std::move(act), triesLeft]() mutable {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal != nullptr && modal->isVisible()) {
      act(modal);
    } else if (triesLeft > 0) {
      WhenModal(std::move(act), triesLeft - 1);
    }
  });
}

// Lets the event loop run until condition holds or timeoutMs have passed.
inline bool RunUntil(const std::function<bool()>& condition, int timeoutMs) {
  QElapsedTimer timer;
  timer.start();
  while (!condition() && timer.elapsed() < timeoutMs) {
    QApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return condition();
}

// The main window on a driver with the simulated ECR (DriverBench), tray or not as the
// test says.
struct WindowBench : DriverBench {
  explicit WindowBench(bool tray = false)
      : trayShown(tray), window(driver, [this] { return trayShown; }) {}

  template <class T = QWidget>
  T* Find(const char* name) {
    T* found = window.findChild<T*>(name);
    EXPECT_NE(found, nullptr) << name;
    return found;
  }
  void Click(const char* name) {
    if (auto* button = Find<QAbstractButton>(name)) button->click();
  }
  // The radio buttons of a group box, in their order.
  QAbstractButton* Item(const char* group, int index) {
    auto buttons = Find<QWidget>(group)->findChildren<QAbstractButton*>();
    if (index >= buttons.size()) return nullptr;
    return buttons[index];
  }
  bool Shown(const char* name) { return !Find<QWidget>(name)->isHidden(); }

  bool trayShown;
  gui::TXR_MAIN window;
};

}  // namespace ruvo::testing
