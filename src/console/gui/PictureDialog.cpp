#include "console/gui/PictureDialog.h"

#include <QFileInfo>
#include <QGridLayout>
#include <QHeaderView>
#include <QImageReader>
#include <QLabel>
#include <QPixmap>
#include <QTreeView>

#include "console/gui/QtStockTexts.h"

namespace ruvo::gui {

namespace {

constexpr int kNameColumnWidth = 220;

// "*.bmp *.BMP *.Bmp": the name filters of the file list tell case apart.
QString Patterns(const QString& suffix) {
  const QString lower = suffix.toLower();
  QString capitalised = lower;
  if (!capitalised.isEmpty()) capitalised[0] = capitalised[0].toUpper();
  QStringList patterns{"*." + lower, "*." + lower.toUpper()};
  if (capitalised != lower && capitalised != lower.toUpper()) patterns << "*." + capitalised;
  return patterns.join(' ');
}

}  // namespace

QStringList PictureDialog::PictureFilters() {
  QStringList suffixes;
  for (const QByteArray& format : QImageReader::supportedImageFormats()) {
    const QString suffix = QString::fromLatin1(format).toLower();
    if (!suffixes.contains(suffix)) suffixes << suffix;
  }
  // BMP, the one the ECR takes, leads the list of formats.
  suffixes.removeAll("bmp");
  suffixes.prepend("bmp");
  QStringList all;
  QStringList each;
  for (const QString& suffix : suffixes) {
    all << Patterns(suffix);
    each << "Imagini " + suffix.toUpper() + " (" + Patterns(suffix) + ")";
  }
  return QStringList{"Toate imaginile (" + all.join(' ') + ")"} + each;
}

QString PictureDialog::FileTypes::type(const QFileInfo& info) const {
  if (info.isDir()) return "Dosar";
  const QString suffix = info.suffix();
  return suffix.isEmpty() ? QString("Fisier") : "Fisier " + suffix.toUpper();
}

PictureDialog::PictureDialog(QWidget* parent) : QFileDialog(parent) {
  // The usual road (ChoosePicture) has installed them already; a dialog made some other way
  // follows them as soon as it handles its events.
  InstallQtStockTexts();
  setObjectName("OD");
  // Qt's own dialog: its texts can be set, and the preview placed beside the list.
  setOption(QFileDialog::DontUseNativeDialog, true);
  setIconProvider(&fileTypes_);
  setFileMode(QFileDialog::ExistingFile);
  setAcceptMode(QFileDialog::AcceptOpen);
  setViewMode(QFileDialog::Detail);
  setNameFilters(PictureFilters());
  SetOwnTexts();

  preview_ = new QLabel(this);
  preview_->setObjectName("Previzualizare");
  preview_->setFixedSize(kPreviewSize, kPreviewSize);
  preview_->setAlignment(Qt::AlignCenter);
  preview_->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  preview_->setText("(fara imagine)");
  if (auto* grid = qobject_cast<QGridLayout*>(layout())) {
    grid->addWidget(preview_, 1, grid->columnCount(), grid->rowCount() - 1, 1);
  }
  // Room for every column: the name, the size, the type and the date.
  if (auto* files = findChild<QTreeView*>("treeView")) {
    files->header()->resizeSection(0, kNameColumnWidth);
    files->header()->setMinimumSectionSize(60);
  }
  resize(sizeHint().expandedTo(QSize(860, 440)));
  connect(this, &QFileDialog::currentChanged, this, &PictureDialog::ShowPreview);
}

void PictureDialog::SetOwnTexts() {
  setWindowTitle("Deschide imagine");
  setLabelText(QFileDialog::LookIn, "Cauta in:");
  setLabelText(QFileDialog::FileName, "Nume fisier:");
  setLabelText(QFileDialog::FileType, "Tip fisier:");
  setLabelText(QFileDialog::Accept, "&Deschide");
  setLabelText(QFileDialog::Reject, "&Renunta");
}

void PictureDialog::changeEvent(QEvent* event) {
  QFileDialog::changeEvent(event);
  if (event->type() == QEvent::LanguageChange) SetOwnTexts();
}

void PictureDialog::ShowPreview(const QString& path) {
  QPixmap picture;
  if (QFileInfo(path).isFile()) picture.load(path);
  if (picture.isNull()) {
    preview_->setPixmap(QPixmap());
    preview_->setText("(fara imagine)");
    return;
  }
  preview_->setPixmap(
      picture.scaled(preview_->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
}

}  // namespace ruvo::gui
