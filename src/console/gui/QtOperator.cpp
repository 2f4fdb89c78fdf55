#include "console/gui/QtOperator.h"

#include <QApplication>
#include <QCoreApplication>
#include <QMessageBox>

#include "console/gui/RomMessageDlg.h"
#include "console/gui/TEGetFormaPlata.h"
#include "console/gui/WinText.h"
#include "platform/Log.h"

namespace ruvo::gui {

MsgResult QtOperator::RomMessageDlg(const std::string& text, const std::string& caption,
                                    MsgKind kind, MsgButtons buttons) {
  return gui::RomMessageDlg(text, caption, kind, buttons);
}

void QtOperator::ShowDefaultError(const std::string& text) {
  Log(LogLevel::Error, DefaultErrorText(text));
  QMessageBox box(QMessageBox::Critical, QApplication::applicationName(), FromWinText(text),
                  QMessageBox::Ok);
  box.setObjectName("DefaultError");
  QApplication::setOverrideCursor(Qt::ArrowCursor);
  box.exec();
  QApplication::restoreOverrideCursor();
}

bool QtOperator::AskPaymentForm(int& paymentForm) { return gui::AskPaymentForm(paymentForm); }

void QtOperator::Beep() { QApplication::beep(); }

void QtEventPump::Pump() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

}  // namespace ruvo::gui
