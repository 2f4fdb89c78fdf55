#include "console/gui/WindowedDriver.h"

#include <QApplication>
#include <QMessageBox>
#include <QSocketNotifier>
#include <QTimer>
#include <cstdint>
#include <cstdlib>
#include <optional>

#include "console/gui/QtOperator.h"
#include "console/gui/StopSignals.h"
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

void Watch(TXR_MAIN& window, int fd, std::function<void()> work) {
  if (fd < 0) return;
  auto* notifier = new QSocketNotifier(fd, QSocketNotifier::Read, &window);
  QObject::connect(notifier, &QSocketNotifier::activated, &window, [&window, notifier, work] {
    if (window.RunIfIdle(work)) return;
    notifier->setEnabled(false);
    QTimer::singleShot(kBusyRetryMs, notifier, [notifier] { notifier->setEnabled(true); });
  });
}

}  // namespace

bool DisplayAvailable() {
  return Set("DISPLAY") || Set("WAYLAND_DISPLAY") || Set("QT_QPA_PLATFORM");
}

void ShowSimpleMessage(int& argc, char** argv, const std::string& text) {
  QApplication application(argc, argv);
  QMessageBox box(QMessageBox::Information, kApplicationName, FromWinText(text), QMessageBox::Ok);
  box.exec();
}

struct WindowedDriver::Parts {
  Parts(int& argc, char** argv) : application(argc, argv) {}
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

int WindowedDriver::Run(Driver& driver, IDriverObserver* alsoTell, IResponseWriter* response,
                        const std::function<bool()>& stoppedBefore,
                        const std::vector<DescriptorWatch>& watches) {
  TXR_MAIN window(driver, {}, alsoTell);
  window.SetResponseWriter(response);
  QObject::connect(&window, &TXR_MAIN::Closed, &parts_->application, &QApplication::quit,
                   Qt::QueuedConnection);
  StopSignals stopSignals([&window] { window.RequestClose(); });
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
  for (const DescriptorWatch& watch : watches) Watch(window, watch.fd, watch.onReadable);
  window.Start();
  if (stoppedBefore && stoppedBefore()) window.RequestClose();
  // Only for taking pictures of the window; a shop never sets it.
  if (const char* page = std::getenv("RUVO_DRV_SHOW_PAGE")) window.ShowPage(page);
  const int status = window.CloseDone() ? 0 : QApplication::exec();
  // A loop that ended some other way still leaves the driver closed.
  driver.Close();
  return status;
}

}  // namespace ruvo::gui
