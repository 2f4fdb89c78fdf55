// The notification-area icon, its pop-up menu, and where the window goes when put away.
#include <QAction>
#include <QMenu>
#include <QSystemTrayIcon>

#include "console/gui/StatePictures.h"
#include "console/gui/TXR_MAIN.h"

namespace ruvo::gui {

void TXR_MAIN::FollowTray() {
  if (closeDone_) return;
  const bool available = trayAvailable_();
  if (available && tray_ == nullptr) {
    tray_ = new QSystemTrayIcon(StateIcon(driver_.State().processing), this);
    tray_->setToolTip(kTitle);
    tray_->setContextMenu(popup_);
    connect(tray_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) { OnTrayActivated(reason); });
    tray_->show();
  } else if (!available && tray_ != nullptr) {
    delete tray_;
    tray_ = nullptr;
  }
  // Without a tray the window is the only way to the driver: it never stays hidden.
  if (tray_ == nullptr && !isVisible()) {
    showNormal();
    raise();
  }
}

void TXR_MAIN::OnTrayActivated(int reason) {
  if (reason != QSystemTrayIcon::Trigger) return;
  if (isVisible() && !isMinimized()) {
    hide();
  } else {
    ShowFromTray();
  }
}

void TXR_MAIN::ShowFromTray() {
  showNormal();
  raise();
  activateWindow();
}

void TXR_MAIN::OnMenuConfigurari() {
  if (Working() || driver_.State().processing) return;
  ShowFromTray();
  if (pconfig_->isHidden()) ToggleSettingsPanel();
}

void TXR_MAIN::PutAway() {
  if (tray_ != nullptr) {
    hide();
  } else {
    showMinimized();
  }
}

void TXR_MAIN::RemoveTray() {
  delete tray_;
  tray_ = nullptr;
}

}  // namespace ruvo::gui
