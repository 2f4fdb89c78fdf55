#include "console/gui/WindowedDriver.h"

#include <QApplication>
#include <QMessageBox>
#include <QSocketNotifier>
#include <QTimer>
#include <cstdint>
#include <cstdlib>
#include <optional>

#include "console/gui/QtOperator.h"
#include "console/gui/QtStockTexts.h"
#include "console/gui/TXR_MAIN.h"
#include "console/gui/WinText.h"

namespace ruvo::gui {

namespace {

bool Set(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

const char* const kApplicationName = "Ruvo_Drv";

// How long a watched descriptor rests while the window is busy, rather than waking the
// event loop over and over while it stays readable.
constexpr int kBusyRetryMs = 100;

// How often the signals are looked for where they come through no descriptor.
constexpr int kStopPollMs = 250;

void Watch(TXR_MAIN& window, int fd, std::function<void()> work) {
  if (fd < 0) return;
  auto* notifier = new QSocketNotifier(fd, QSocketNotifier::Read, &window);
  QObject::connect(notifier, &QSocketNotifier::activated, &window, [&window, notifier, work] {
    if (window.RunIfIdle(work)) return;
    notifier->setEnabled(false);
    QTimer::singleShot(kBusyRetryMs, notifier, [notifier] { notifier->setEnabled(true); });
  });
}

// A descriptor whose work runs at once whenever it is readable, also inside the driver's
// waits, and again at short intervals while it keeps requests waiting for the work to end.
void Serve(TXR_MAIN& window, const DescriptorWatch& watch) {
  if (watch.fd < 0) return;
  auto* notifier = new QSocketNotifier(watch.fd, QSocketNotifier::Read, &window);
  // Started only while requests wait, so an idle window does not wake for it.
  auto* again = new QTimer(&window);
  again->setSingleShot(true);
  again->setInterval(kBusyRetryMs);
  const std::function<void()> work = watch.onReadable;
  const std::function<bool()> waiting = watch.keptWaiting;
  const auto serve = [&window, again, work, waiting] {
    window.RunServing(work);
    if (waiting && waiting()) again->start();
  };
  QObject::connect(notifier, &QSocketNotifier::activated, &window, serve);
  QObject::connect(again, &QTimer::timeout, &window, serve);
}

}  // namespace

void OnStopSignal(StopSignals& stop, QObject& owner, std::function<void()> onStop) {
  const auto look = [&stop, onStop] {
    if (stop.Requested()) onStop();
  };
  if (stop.Fd() >= 0) {
    auto* notifier = new QSocketNotifier(stop.Fd(), QSocketNotifier::Read, &owner);
    QObject::connect(notifier, &QSocketNotifier::activated, &owner, look);
  } else {
    auto* poll = new QTimer(&owner);
    QObject::connect(poll, &QTimer::timeout, &owner, look);
    poll->start(kStopPollMs);
  }
}

bool DisplayAvailable() {
  return Set("DISPLAY") || Set("WAYLAND_DISPLAY") || Set("QT_QPA_PLATFORM");
}

void ShowSimpleMessage(int& argc, char** argv, const std::string& text) {
  QApplication application(argc, argv);
  QMessageBox box(QMessageBox::Information, kApplicationName, FromWinText(text), QMessageBox::Ok);
  box.exec();
}

struct WindowedDriver::Parts {
  Parts(int& argc, char** argv) : application(argc, argv) {
    // Qt's stock texts (the picture dialog's places, columns and menus, the message boxes'
    // buttons) in Romanian, like the driver's own.
    InstallQtStockTexts();
  }
  QApplication application;
  QtOperator op;
  QtEventPump pump;
};

WindowedDriver::WindowedDriver(int& argc, char** argv)
    : parts_(std::make_unique<Parts>(argc, argv)) {
  QApplication::setApplicationName(kApplicationName);
  // Hidden in the tray is still running: the last window put away must not end the program.
  QApplication::setQuitOnLastWindowClosed(false);
}

WindowedDriver::~WindowedDriver() = default;

IOperator& WindowedDriver::Operator() { return parts_->op; }

IEventPump& WindowedDriver::Pump() { return parts_->pump; }

int WindowedDriver::Run(Driver& driver, IDriverObserver* alsoTell, StopSignals& stopSignals,
                        const std::vector<DescriptorWatch>& watches) {
  TXR_MAIN window(driver, {}, alsoTell);
  QObject::connect(&window, &TXR_MAIN::Closed, &parts_->application, &QApplication::quit,
                   Qt::QueuedConnection);
  // Receipt files that arrive (immediate pickup) are taken at once; more waiting ones one
  // per turn of the event loop, so the window stays alive between them.
  // A file written in place is taken once it has been left alone long enough, which no
  // event tells: the window looks again then (one timer, moved by every arrival).
  QTimer lookAgain;
  lookAgain.setSingleShot(true);
  std::function<void()> takeArrivals = [&driver, &window, &takeArrivals, &lookAgain] {
    driver.ReceiptArrived();
    if (const std::optional<std::int64_t> later = driver.NextArrivalInMs()) {
      lookAgain.start(static_cast<int>(*later));
    }
    if (!driver.ArrivalPending()) return;
    QTimer::singleShot(0, &window, [&window, &takeArrivals] { window.RunIfIdle(takeArrivals); });
  };
  QObject::connect(&lookAgain, &QTimer::timeout, &window,
                   [&window, &takeArrivals] { window.RunIfIdle(takeArrivals); });
  Watch(window, driver.ArrivalWatch().Fd(), takeArrivals);
  for (const DescriptorWatch& watch : watches) {
    if (watch.alsoWhileBusy) {
      Serve(window, watch);
    } else {
      Watch(window, watch.fd, watch.onReadable);
    }
  }
  window.Start();
  if (stopSignals.Requested()) window.RequestClose();
  OnStopSignal(stopSignals, window, [&window] { window.RequestClose(); });
  // Only for taking pictures of the window; a shop never sets it.
  if (const char* page = std::getenv("RUVO_DRV_SHOW_PAGE")) window.ShowPage(page);
  const int status = window.CloseDone() ? 0 : QApplication::exec();
  // A loop that ended some other way still leaves the driver closed.
  driver.Close();
  return status;
}

}  // namespace ruvo::gui
