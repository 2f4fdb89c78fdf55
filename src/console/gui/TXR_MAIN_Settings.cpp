// The settings panel: the driver's settings shown in its controls and edited through them.
#include <QButtonGroup>
#include <QComboBox>
#include <QPushButton>
#include <QSpinBox>

#include "console/gui/TXR_MAIN.h"
#include "console/gui/WinText.h"
#include "platform/PortNames.h"

namespace ruvo::gui {

void TXR_MAIN::ShowSettings() {
  const Settings& s = driver_.State().settings;
  updatingControls_ = true;
  cport_->setCurrentIndex(s.port >= 1 && s.port <= 16 ? s.port - 1 : -1);
  // Where each port leads (a device, or a serial device server's address), on hover.
  for (int k = 0; k < cport_->count(); ++k) {
    const std::string entry = ReadPortEntry(driver_.SettingsPath(), "COM" + std::to_string(k + 1));
    cport_->setItemData(k, FromWinText(entry), Qt::ToolTipRole);
  }
  if (QAbstractButton* b = rrata_->button(s.baudRate)) b->setChecked(true);
  if (QAbstractButton* b = rg_->button(s.modTaiere)) b->setChecked(true);
  liniiAvans_->setValue(s.liniiAvans);
  csintaxa_->setCurrentIndex(s.sintaxa);
  if (QAbstractButton* b = rgErImpr_->button(s.tratareEroareStare)) b->setChecked(true);
  if (QAbstractButton* b = rgErAnulare_->button(s.tratareBonInDerulare)) b->setChecked(true);
  if (QAbstractButton* b = rgErModPlata_->button(s.tratareFormaPlata)) b->setChecked(true);
  sforma_->setValue(s.codFormaPlata);
  sforma_->setVisible(s.tratareFormaPlata == 0);
  updatingControls_ = false;
}

// Every change in the panel goes straight into the driver's settings, which the next save
// writes.
void TXR_MAIN::ConnectSettingsControls() {
  auto edit = [this](auto change) {
    return [this, change](int value) {
      if (updatingControls_) return;
      change(driver_.State().settings, value);
    };
  };
  connect(cport_, &QComboBox::currentIndexChanged, this,
          edit([](Settings& s, int index) { s.port = index + 1; }));
  connect(rrata_, &QButtonGroup::idClicked, this,
          edit([](Settings& s, int id) { s.baudRate = id; }));
  connect(rg_, &QButtonGroup::idClicked, this, edit([](Settings& s, int id) { s.modTaiere = id; }));
  connect(liniiAvans_, &QSpinBox::valueChanged, this,
          edit([](Settings& s, int value) { s.liniiAvans = value; }));
  connect(csintaxa_, &QComboBox::currentIndexChanged, this,
          edit([](Settings& s, int index) { s.sintaxa = index < 0 ? 0 : index; }));
  connect(rgErImpr_, &QButtonGroup::idClicked, this,
          edit([](Settings& s, int id) { s.tratareEroareStare = id; }));
  connect(rgErModPlata_, &QButtonGroup::idClicked, this, [this](int id) {
    if (updatingControls_) return;
    driver_.State().settings.tratareFormaPlata = id;
    sforma_->setVisible(id == 0);
  });
  connect(sforma_, &QSpinBox::valueChanged, this,
          edit([](Settings& s, int value) { s.codFormaPlata = value; }));
}

void TXR_MAIN::ToggleSettingsPanel() {
  if (!bconfig2_->isEnabled()) return;
  pconfig_->setVisible(pconfig_->isHidden());
  pinfo_->setVisible(pconfig_->isHidden());
  if (!pconfig_->isHidden()) showingSettings_ = true;
}

}  // namespace ruvo::gui
