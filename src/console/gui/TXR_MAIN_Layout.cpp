// The window's controls: where they sit, what they say, their names.
#include <QButtonGroup>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStyle>
#include <QTabWidget>
#include <QVBoxLayout>

#include "console/gui/StatePictures.h"
#include "console/gui/TXR_MAIN.h"

namespace ruvo::gui {

namespace {

constexpr int kPictureSize = 32;

// The port and syntax lists take no typing but Enter: a key that would jump to another
// entry by its first letter changes nothing.
class PickOnly final : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::KeyPress) {
      const auto* key = static_cast<QKeyEvent*>(event);
      const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
      if (!enter && !key->text().isEmpty() && key->text()[0].isPrint()) return true;
    }
    return QObject::eventFilter(watched, event);
  }
};

QPushButton* Button(const char* name, const QString& caption, QWidget* parent) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(name);
  button->setAutoDefault(false);
  return button;
}

QLineEdit* ReadOnlyEdit(const char* name, const char* text, QWidget* parent) {
  auto* edit = new QLineEdit(text, parent);
  edit->setObjectName(name);
  edit->setReadOnly(true);
  edit->setFixedWidth(90);
  return edit;
}

// "Masca Nume" and "Extensie" of one of the two fixed file names.
QGroupBox* FileNameBox(const char* title, QLineEdit* name, QLineEdit* extension, QWidget* parent) {
  auto* box = new QGroupBox(title, parent);
  auto* grid = new QGridLayout(box);
  grid->addWidget(new QLabel("Masca Nume", box), 0, 0);
  grid->addWidget(new QLabel("Extensie", box), 0, 1);
  name->setParent(box);
  extension->setParent(box);
  grid->addWidget(name, 1, 0);
  grid->addWidget(extension, 1, 1);
  return box;
}

}  // namespace

void TXR_MAIN::BuildLeftColumn() {
  auto* column = new QWidget(this);
  column->setObjectName("LeftColumn");
  column->setFixedWidth(190);
  auto* layout = new QVBoxLayout(column);
  layout->setContentsMargins(0, 0, 0, 0);

  auto* startRow = new QHBoxLayout;
  bstare_ = Button("Bstare", "Stop procesare", column);
  bstare_->setMinimumHeight(40);
  i1_ = new QLabel(column);
  i1_->setObjectName("I1");
  i1_->setPixmap(RunningPicture(kPictureSize));
  i2_ = new QLabel(column);
  i2_->setObjectName("I2");
  i2_->setPixmap(StoppedPicture(kPictureSize));
  i2_->hide();
  startRow->addWidget(bstare_, 1);
  startRow->addWidget(i1_);
  startRow->addWidget(i2_);
  layout->addLayout(startRow);
  layout->addSpacing(12);

  bconfig2_ = Button("BConfig2", "&Configurari", column);
  bconfig2_->setIcon(style()->standardIcon(QStyle::SP_FileDialogDetailedView));
  biesire_ = Button("Biesire", "I&esire", column);
  biesire_->setIcon(style()->standardIcon(QStyle::SP_TitleBarMinButton));
  jetButton1_ = Button("JetButton1", "&Stop program", column);
  jetButton1_->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
  // Maroon only while it can be pressed: a disabled window must look disabled.
  jetButton1_->setStyleSheet(
      "QPushButton { color: maroon; font-weight: bold; } "
      "QPushButton:disabled { color: palette(mid); }");
  for (QPushButton* button : {bconfig2_, biesire_, jetButton1_}) {
    button->setMinimumHeight(34);
    layout->addWidget(button);
  }
  loperatie_ = new QLabel(column);
  loperatie_->setObjectName("LOperatie");
  loperatie_->setWordWrap(true);
  loperatie_->setStyleSheet("color: darkgreen; font-weight: bold;");
  loperatie_->hide();
  layout->addSpacing(8);
  layout->addWidget(loperatie_);
  lasteptare_ = new QLabel(column);
  lasteptare_->setObjectName("LAsteptare");
  lasteptare_->setWordWrap(true);
  lasteptare_->setStyleSheet("color: navy;");
  lasteptare_->hide();
  layout->addSpacing(8);
  layout->addWidget(lasteptare_);
  layout->addStretch(1);

  auto* status = new QFrame(column);
  status->setObjectName("PStatus");
  status->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  auto* statusLayout = new QHBoxLayout(status);
  lcomunicatie_ = new QLabel(status);
  lcomunicatie_->setObjectName("LComunicatie");
  lcomunicatie_->setWordWrap(true);
  QFont bold = lcomunicatie_->font();
  bold.setBold(true);
  lcomunicatie_->setFont(bold);
  statusLayout->addWidget(lcomunicatie_);
  layout->addWidget(status);

  static_cast<QHBoxLayout*>(this->layout())->addWidget(column);
}

void TXR_MAIN::BuildManualPanel() {
  pinfo_ = new QWidget(this);
  pinfo_->setObjectName("PInfo");
  auto* layout = new QVBoxLayout(pinfo_);
  layout->setContentsMargins(0, 0, 0, 0);

  auto* pages = new QTabWidget(pinfo_);
  pages->setObjectName("PageControl1");
  QWidget* page[2] = {new QWidget(pages), new QWidget(pages)};
  page[0]->setObjectName("Comenzi");
  page[1]->setObjectName("RapoarteMFJE");
  QVBoxLayout* pageLayout[2] = {new QVBoxLayout(page[0]), new QVBoxLayout(page[1])};
  for (const ManualButton& entry : kManualButtons) {
    QPushButton* button = Button(entry.name, entry.caption, page[entry.page]);
    button->setMinimumHeight(28);
    const ManualOperation operation = entry.operation;
    connect(button, &QPushButton::clicked, this,
            [this, operation] { RunManualOperation(operation); });
    pageLayout[entry.page]->addWidget(button);
  }
  for (QVBoxLayout* each : pageLayout) each->addStretch(1);
  pages->addTab(page[0], "Comenzi");
  pages->addTab(page[1], "Rapoarte MF/JE");
  layout->addWidget(pages, 1);

  auto* warnings = new QGroupBox("Mesaje avertizare", pinfo_);
  warnings->setObjectName("GroupBox1");
  auto* warningsLayout = new QVBoxLayout(warnings);
  malarma_ = new QPlainTextEdit(warnings);
  malarma_->setObjectName("Malarma");
  malarma_->setReadOnly(true);
  malarma_->setLineWrapMode(QPlainTextEdit::NoWrap);
  malarma_->setFixedHeight(80);
  QPalette palette = malarma_->palette();
  palette.setColor(QPalette::Base, QColor(192, 192, 192));
  palette.setColor(QPalette::Text, Qt::red);
  malarma_->setPalette(palette);
  warningsLayout->addWidget(malarma_);
  layout->addWidget(warnings);
}

void TXR_MAIN::BuildSettingsPanel() {
  pconfig_ = new QWidget(this);
  pconfig_->setObjectName("PConfig");
  auto* layout = new QVBoxLayout(pconfig_);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* pages = new QTabWidget(pconfig_);
  pages->setObjectName("PageControl2");
  pages->addTab(BuildGeneralPage(), "Setari &generale");
  pages->addTab(BuildErrorPage(), "Mod tratare &erori ");
  layout->addWidget(pages);
  pconfig_->hide();
}

QGroupBox* TXR_MAIN::RadioGroup(const char* name, const QString& title, const QStringList& items,
                                QButtonGroup*& group, QWidget* parent) {
  auto* box = new QGroupBox(title, parent);
  box->setObjectName(name);
  auto* layout = new QVBoxLayout(box);
  group = new QButtonGroup(box);
  for (int k = 0; k < items.size(); ++k) {
    auto* item = new QRadioButton(items[k], box);
    group->addButton(item, k);
    layout->addWidget(item);
  }
  return box;
}

QWidget* TXR_MAIN::BuildGeneralPage() {
  auto* page = new QWidget;
  page->setObjectName("SetariGenerale");
  auto* layout = new QVBoxLayout(page);

  auto* portRow = new QHBoxLayout;
  portRow->addWidget(new QLabel("Port serial   COM ", page));
  cport_ = new QComboBox(page);
  cport_->setObjectName("CPORT");
  for (int port = 1; port <= 16; ++port) cport_->addItem(QString(" %1").arg(port));
  cport_->installEventFilter(new PickOnly(cport_));
  portRow->addWidget(cport_);
  portRow->addStretch(1);
  layout->addLayout(portRow);

  QGroupBox* rate =
      RadioGroup("RRata", "Rata de transmisie", {"19200", "38400", "57600"}, rrata_, page);
  rate->hide();

  QGroupBox* cut =
      RadioGroup("RG", "Mod taiere hartie la finalizare bon",
                 {"Taiere totala", "Taiere partiala si avans                linii"}, rg_, page);
  // The spin box sits in the gap the second item's caption leaves for it.
  QAbstractButton* partial = rg_->button(1);
  liniiAvans_ = new QSpinBox(partial);
  liniiAvans_->setObjectName("LiniiAvans");
  liniiAvans_->setRange(0, 9);
  const int indicator = style()->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth) +
                        style()->pixelMetric(QStyle::PM_RadioButtonLabelSpacing);
  const int gapStart = partial->fontMetrics().horizontalAdvance("Taiere partiala si avans ");
  const int gapWidth = partial->fontMetrics().horizontalAdvance(QString(14, ' '));
  liniiAvans_->setGeometry(indicator + gapStart + 2, 0, std::max(gapWidth, 36),
                           partial->sizeHint().height());
  partial->setMinimumHeight(liniiAvans_->sizeHint().height());
  liniiAvans_->setFixedHeight(liniiAvans_->sizeHint().height());
  layout->addWidget(cut);

  auto* names = new QHBoxLayout;
  names->addWidget(FileNameBox("Fisier bonuri", ReadOnlyEdit("ENumeBon", "ONLINE", page),
                               ReadOnlyEdit("EExtBon", "TXT", page), page));
  names->addWidget(FileNameBox("Fisier raspuns", ReadOnlyEdit("ENumeOut", "ERROR", page),
                               ReadOnlyEdit("EExtOut", "TXT", page), page));
  layout->addLayout(names);

  auto* syntaxRow = new QHBoxLayout;
  syntaxRow->addWidget(new QLabel("Sintaxa bon", page));
  csintaxa_ = new QComboBox(page);
  csintaxa_->setObjectName("CSintaxa");
  csintaxa_->addItems({"Ruvo_Drv", "XRuvoDrv (driver vechi)"});
  csintaxa_->installEventFilter(new PickOnly(csintaxa_));
  syntaxRow->addWidget(csintaxa_);
  syntaxRow->addStretch(1);
  layout->addLayout(syntaxRow);
  layout->addStretch(1);
  return page;
}

QWidget* TXR_MAIN::BuildErrorPage() {
  auto* page = new QWidget;
  page->setObjectName("ModTratareErori");
  auto* layout = new QVBoxLayout(page);
  layout->addWidget(RadioGroup("RGErImpr", "     La aparitia unei erori de stare imprimanta ",
                               {" Generez cod eroare in fisierul text",
                                " Initiez dialog pentru rezolvare eroare"},
                               rgErImpr_, page));
  QGroupBox* cancel =
      RadioGroup("RGErAnulare", "     La aparitia erorii BON IN DERULARE",
                 {" Generez cod eroare in fisierul text", " Initiez dialog pentru anulare bon",
                  " Anulez automat bonul si continui listarea"},
                 rgErAnulare_, page);
  cancel->setEnabled(false);
  layout->addWidget(cancel);

  QGroupBox* payment =
      RadioGroup("RGErModPlata", "La aparitia unei erori de forma plata neprogramata ",
                 {" Retransmit linia cu codul de forma plata .. ",
                  " Initiez dialog pentru rezolvare eroare"},
                 rgErModPlata_, page);
  // SForma stands beside the first item.
  auto* paymentLayout = static_cast<QVBoxLayout*>(payment->layout());
  QAbstractButton* resend = rgErModPlata_->button(0);
  paymentLayout->removeWidget(resend);
  auto* resendRow = new QHBoxLayout;
  resendRow->addWidget(resend);
  sforma_ = new QSpinBox(payment);
  sforma_->setObjectName("SForma");
  sforma_->setRange(1, 7);
  resendRow->addWidget(sforma_);
  resendRow->addStretch(1);
  paymentLayout->insertLayout(0, resendRow);
  layout->addWidget(payment);
  layout->addStretch(1);
  return page;
}

}  // namespace ruvo::gui
