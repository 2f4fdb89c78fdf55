#include "console/gui/PictureDialog.h"

#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QPixmap>

namespace ruvo::gui {

PictureDialog::PictureDialog(QWidget* parent) : QFileDialog(parent) {
  setObjectName("OD");
  // Qt's own dialog: its texts can be set, and the preview placed beside the list.
  setOption(QFileDialog::DontUseNativeDialog, true);
  setWindowTitle("Deschide imagine");
  setFileMode(QFileDialog::ExistingFile);
  setAcceptMode(QFileDialog::AcceptOpen);
  setNameFilters({"Imagini BMP (*.bmp *.BMP *.Bmp)", "Toate fisierele (*)"});
  setLabelText(QFileDialog::LookIn, "Cauta in:");
  setLabelText(QFileDialog::FileName, "Nume fisier:");
  setLabelText(QFileDialog::FileType, "Tip fisier:");
  setLabelText(QFileDialog::Accept, "&Deschide");
  setLabelText(QFileDialog::Reject, "&Renunta");

  preview_ = new QLabel(this);
  preview_->setObjectName("Previzualizare");
  preview_->setFixedSize(kPreviewSize, kPreviewSize);
  preview_->setAlignment(Qt::AlignCenter);
  preview_->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  preview_->setText("(fara imagine)");
  if (auto* grid = qobject_cast<QGridLayout*>(layout())) {
    grid->addWidget(preview_, 1, grid->columnCount(), grid->rowCount() - 1, 1);
  }
  connect(this, &QFileDialog::currentChanged, this, &PictureDialog::ShowPreview);
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
