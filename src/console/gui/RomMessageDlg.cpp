#include "console/gui/RomMessageDlg.h"

#include <QApplication>
#include <QFontMetrics>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>

#include "console/gui/WinText.h"

namespace ruvo::gui {

namespace {

struct ButtonLook {
  const char* caption;
  const char* name;
  MsgResult result;
};

// Caption, object name and answer of each kind, in DlgButton order. Help answers nothing.
const ButtonLook kButtonLooks[kDlgButtonCount] = {
    {"Da", "Yes", MsgResult::Yes},
    {"Nu", "No", MsgResult::No},
    {"OK", "OK", MsgResult::Ok},
    {"Cancel", "Cancel", MsgResult::Cancel},
    {"&Abort", "Abort", MsgResult::Abort},
    {"&Retry", "Retry", MsgResult::Retry},
    {"&Ignore", "Ignore", MsgResult::Ignore},
    {"&All", "All", MsgResult::All},
    {"Nu", "NoToAll", MsgResult::No},
    {"Yes to &All", "YesToAll", MsgResult::All},
    {"&Help", "Help", MsgResult::None},
};

constexpr int kMargin = 16;
constexpr int kButtonWidth = 75;
constexpr int kButtonGap = 16;

bool Has(DlgButtons buttons, DlgButton kind) {
  return buttons.test(static_cast<std::size_t>(kind));
}

// The alarm picture for warnings and errors, the question for confirmations, none otherwise.
QPixmap PictureOf(MsgKind kind) {
  QStyle* style = QApplication::style();
  switch (kind) {
    case MsgKind::Warning:
    case MsgKind::Error:
      return style->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(32, 32);
    case MsgKind::Confirmation:
      return style->standardIcon(QStyle::SP_MessageBoxQuestion).pixmap(32, 32);
    case MsgKind::Information:
    case MsgKind::Custom:
      break;
  }
  return {};
}

int HalfScreenWidth() {
  const QScreen* screen = QApplication::primaryScreen();
  return screen != nullptr ? std::max(200, screen->availableGeometry().width() / 2) : 400;
}

}  // namespace

DlgButtons ButtonsOf(MsgButtons buttons) {
  DlgButtons set;
  if (buttons == MsgButtons::YesNo) {
    set.set(static_cast<std::size_t>(DlgButton::Yes));
    set.set(static_cast<std::size_t>(DlgButton::No));
  } else {
    set.set(static_cast<std::size_t>(DlgButton::Ok));
  }
  return set;
}

RomMessageBox::RomMessageBox(const QString& text, const QString& caption, MsgKind kind,
                             DlgButtons buttons, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint) {
  setObjectName("RomMessageDlg");
  setWindowTitle(caption.isEmpty() ? FromWinText(DefaultCaption(kind)) : caption);
  setModal(true);

  auto* panel = new QFrame(this);
  panel->setObjectName("Panel");
  panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  auto* inside = new QHBoxLayout(panel);
  inside->setContentsMargins(10, 10, 16, 10);
  inside->setSpacing(10);

  const QPixmap picture = PictureOf(kind);
  if (!picture.isNull()) {
    auto* image = new QLabel(panel);
    image->setObjectName("Picture");
    image->setPixmap(picture);
    image->setAlignment(Qt::AlignCenter);
    inside->addWidget(image, 0, Qt::AlignVCenter);
  }

  auto* label = new QLabel(text, panel);
  label->setObjectName("Text");
  QFont bold = label->font();
  bold.setBold(true);
  label->setFont(bold);
  label->setWordWrap(true);
  label->setAlignment(Qt::AlignCenter);
  // Measured the way it will be drawn, so a long text grows the box downwards and never
  // beyond half the screen's width.
  const QRect measured = QFontMetrics(bold).boundingRect(QRect(0, 0, HalfScreenWidth(), 100000),
                                                         Qt::TextWordWrap | Qt::AlignCenter, text);
  label->setFixedSize(measured.width() + 4, measured.height() + 4);
  inside->addWidget(label, 1, Qt::AlignCenter);

  const int buttonCount = static_cast<int>(buttons.count());
  const int rowWidth = (kButtonWidth + kButtonGap) * buttonCount + kMargin;
  panel->setMinimumSize(std::max(150, rowWidth), 55);

  auto* line = new QFrame(this);
  line->setFrameShape(QFrame::HLine);
  line->setFrameShadow(QFrame::Sunken);

  auto* row = new QHBoxLayout;
  row->setSpacing(kButtonGap);
  row->addStretch(1);
  for (int k = 0; k < kDlgButtonCount; ++k) {
    if (buttons.test(static_cast<std::size_t>(k))) AddButton(static_cast<DlgButton>(k), row);
  }
  row->addStretch(1);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(kMargin, kMargin, kMargin, 10);
  layout->addWidget(panel);
  layout->addWidget(line);
  layout->addLayout(row);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  const bool hasNo = Has(buttons, DlgButton::No) || Has(buttons, DlgButton::NoToAll);
  const bool hasCancel = Has(buttons, DlgButton::Cancel);
  auto find = [this](const char* name) { return findChild<QPushButton*>(name); };
  enterButton_ = Has(buttons, DlgButton::Yes) ? find("Yes") : find("OK");
  if (hasCancel) {
    escapeButton_ = find("Cancel");
  } else if (hasNo) {
    escapeButton_ = Has(buttons, DlgButton::No) ? find("No") : find("NoToAll");
  } else {
    escapeButton_ = find("OK");
  }
  if (enterButton_ != nullptr) {
    enterButton_->setDefault(true);
    enterButton_->setFocus();
  }
}

void RomMessageBox::AddButton(DlgButton kind, QLayout* row) {
  const ButtonLook& look = kButtonLooks[static_cast<int>(kind)];
  auto* button = new QPushButton(QString::fromLatin1(look.caption), this);
  button->setObjectName(QString::fromLatin1(look.name));
  button->setAutoDefault(false);
  button->setFixedWidth(kButtonWidth);
  const MsgResult result = look.result;
  if (result != MsgResult::None) {
    connect(button, &QPushButton::clicked, this,
            [this, result] { done(static_cast<int>(result)); });
  }
  row->addWidget(button);
}

void RomMessageBox::keyPressEvent(QKeyEvent* event) {
  const int key = event->key();
  if (key == Qt::Key_Return || key == Qt::Key_Enter) {
    if (enterButton_ != nullptr) enterButton_->click();
    return;
  }
  if (key == Qt::Key_Escape) {
    if (escapeButton_ != nullptr) {
      escapeButton_->click();
    } else {
      reject();
    }
    return;
  }
  QDialog::keyPressEvent(event);
}

MsgResult RomMessageBox::Ask() {
  QApplication::setOverrideCursor(Qt::ArrowCursor);
  adjustSize();
  if (const QScreen* screen = QApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
  const int answer = exec();
  QApplication::restoreOverrideCursor();
  // The close box (and anything else that rejects the box) answers Cancel.
  return answer == QDialog::Rejected ? MsgResult::Cancel : static_cast<MsgResult>(answer);
}

MsgResult RomMessageDlg(const std::string& text, const std::string& caption, MsgKind kind,
                        MsgButtons buttons, QWidget* parent) {
  RomMessageBox box(FromWinText(text), FromWinText(caption), kind, ButtonsOf(buttons), parent);
  return box.Ask();
}

}  // namespace ruvo::gui
