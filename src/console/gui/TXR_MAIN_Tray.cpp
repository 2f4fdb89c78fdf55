// The notification-area icon, its pop-up menu, and where the window goes when put away.
#include <QAction>
#include <QCursor>
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
    // No context menu of the icon's own: a right click hides a shown window instead.
    connect(tray_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) { OnTrayActivated(reason); });
    tray_->show();
  } else if (!available && tray_ != nullptr) {
    delete tray_;
    tray_ = nullptr;
  }
  // With a tray the window goes there: minimising it is left to the task bar only when
  // there is none. Changing the flags hides a shown window, so it is shown again.
  const bool minimisable = tray_ == nullptr;
  if (windowFlags().testFlag(Qt::WindowMinimizeButtonHint) != minimisable) {
    const bool shown = isVisible();
    setWindowFlag(Qt::WindowMinimizeButtonHint, minimisable);
    if (shown) show();
  }
  // Without a tray the window is the only way to the driver: it never stays hidden.
  if (tray_ == nullptr && !isVisible()) {
    showNormal();
    raise();
  }
}

void TXR_MAIN::OnTrayActivated(int reason) {
  const bool shown = isVisible() && !isMinimized();
  if (reason == QSystemTrayIcon::Context) {
    // Right click: a shown window goes away; a hidden one is reached through the menu.
    if (shown) {
      hide();
    } else {
      popup_->popup(QCursor::pos());
    }
    return;
  }
  if (reason != QSystemTrayIcon::Trigger) return;
  if (shown) {
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
  // Only shows the panel, so it needs no wait for the work in hand.
  if (driver_.State().processing) return;
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
