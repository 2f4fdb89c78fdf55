#include "console/gui/TEGetFormaPlata.h"

#include <QApplication>
#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QVBoxLayout>

namespace ruvo::gui {

namespace {

const char* const kForms[] = {" 1 = NUMERAR",      " 2 = CEC",         " 3 = CREDIT CARD",
                              " 4 = THICHET MASA", " 5 = BON VALORIC", " 6 = DEBIT CARD",
                              " 7 = TICHET CADOU"};

}  // namespace

TEGetFormaPlata::TEGetFormaPlata(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint) {
  setObjectName("EGetFormaPlata");
  setWindowTitle("Eroare forma plata");
  setModal(true);

  auto* texts = new QVBoxLayout;
  for (const char* line : {"Forma de plata neprogramata in casa de marcat !",
                           "Pentru a inchide bonul trebuie sa introduceti codul",
                           "unei alte forme de plata :", "", "... si sa apasati butonul OK.", "",
                           "Daca doriti sa anulati bonul trebuie sa apasati butonul "}) {
    texts->addWidget(new QLabel(QString::fromLatin1(line), this));
  }
  auto* cancelName = new QLabel("ANULEAZA BON", this);
  QFont bold = cancelName->font();
  bold.setBold(true);
  cancelName->setFont(bold);
  texts->addWidget(cancelName);
  texts->addStretch(1);

  auto* group = new QGroupBox(this);
  group->setObjectName("RModPlata");
  auto* groupLayout = new QVBoxLayout(group);
  forms_ = new QButtonGroup(this);
  for (int k = 0; k < 7; ++k) {
    auto* item = new QRadioButton(QString::fromLatin1(kForms[k]), group);
    forms_->addButton(item, k + 1);
    groupLayout->addWidget(item);
  }
  forms_->button(1)->setChecked(true);

  auto* ok = new QPushButton("&OK", this);
  ok->setObjectName("BStart");
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  auto* cancel = new QPushButton("&Anuleaza bon", this);
  cancel->setObjectName("BitBtn1");
  cancel->setAutoDefault(false);
  // Escape rejects the dialog, which is what this button does.
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

  auto* top = new QHBoxLayout;
  top->addLayout(texts);
  top->addWidget(group);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  buttons->addStretch(1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  ok->setFocus();
}

int TEGetFormaPlata::PaymentForm() const {
  const int chosen = forms_->checkedId();
  return chosen >= 1 && chosen <= 7 ? chosen : 1;
}

bool AskPaymentForm(int& paymentForm, QWidget* parent) {
  TEGetFormaPlata dialog(parent);
  dialog.adjustSize();
  if (const QScreen* screen = QApplication::primaryScreen()) {
    dialog.move(screen->availableGeometry().center() - dialog.rect().center());
  }
  QApplication::setOverrideCursor(Qt::ArrowCursor);
  const int answer = dialog.exec();
  QApplication::restoreOverrideCursor();
  if (answer != QDialog::Accepted) return false;
  paymentForm = dialog.PaymentForm();
  return true;
}

}  // namespace ruvo::gui
