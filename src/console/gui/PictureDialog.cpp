#include "console/gui/PictureDialog.h"

#include <QDateTime>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QImageReader>
#include <QLabel>
#include <QPixmap>
#include <QSplitter>
#include <QTreeView>

#include "console/gui/QtStockTexts.h"

namespace ruvo::gui {

namespace {

constexpr int kNameColumnWidth = 220;
constexpr int kPlacesWidth = 130;
constexpr int kWidth = 900;
constexpr int kHeight = 440;

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

class PictureDialog::FileDates final : public QIdentityProxyModel {
 public:
  using QIdentityProxyModel::QIdentityProxyModel;
  static constexpr int kDateColumn = 3;

  QVariant data(const QModelIndex& index, int role) const override {
    if (role == Qt::DisplayRole && index.column() == kDateColumn) {
      if (const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel())) {
        const QDateTime changed = files->lastModified(mapToSource(index));
        if (changed.isValid()) return changed.toString("dd.MM.yyyy hh:mm");
      }
    }
    return QIdentityProxyModel::data(index, role);
  }
};

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
  setProxyModel(new FileDates(this));
  SizeTheLists();
  resize(sizeHint().expandedTo(QSize(kWidth, kHeight)));
  connect(this, &QFileDialog::currentChanged, this, &PictureDialog::ShowPreview);
}

void PictureDialog::SizeTheLists() {
  if (auto* files = findChild<QTreeView*>("treeView")) {
    QHeaderView* header = files->header();
    header->setMinimumSectionSize(60);
    header->setStretchLastSection(true);
    header->resizeSection(0, kNameColumnWidth);
    header->resizeSection(1, 80);
    header->resizeSection(2, 90);
  }
  if (auto* splitter = findChild<QSplitter*>("splitter")) {
    splitter->setSizes({kPlacesWidth, kWidth - kPlacesWidth});
  }
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
