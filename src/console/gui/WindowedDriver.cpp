#include "console/gui/WindowedDriver.h"

#include <QApplication>
#include <QMessageBox>
#include <cstdlib>

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

int WindowedDriver::Run(Driver& driver, IDriverObserver* alsoTell, IResponseWriter* response) {
  TXR_MAIN window(driver, {}, alsoTell);
  window.SetResponseWriter(response);
  QObject::connect(&window, &TXR_MAIN::Closed, &parts_->application, &QApplication::quit,
                   Qt::QueuedConnection);
  StopSignals stopSignals([&window] { window.RequestClose(); });
  window.Start();
  // Only for taking pictures of the window; a shop never sets it.
  if (const char* page = std::getenv("RUVO_DRV_SHOW_PAGE")) window.ShowPage(page);
  const int status = window.CloseDone() ? 0 : QApplication::exec();
  // A loop that ended some other way still leaves the driver closed.
  driver.Close();
  return status;
}

}  // namespace ruvo::gui
