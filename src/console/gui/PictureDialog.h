#pragma once

#include <QFileDialog>
#include <QFileIconProvider>

class QLabel;

namespace ruvo::gui {

// The picture-file open dialog `OD` of the logo upload: Qt's own open dialog with a preview
// of the picture under the cursor, Romanian by itself (its labels here, Qt's stock texts
// through QtStockTexts, the type of each file from the dialog's own icon provider). Its
// filter is the standard one of the picture formats this system reads, all of them first;
// the upload itself takes only BMP and refuses the others with its own message.
class PictureDialog final : public QFileDialog {
  Q_OBJECT
 public:
  explicit PictureDialog(QWidget* parent);

  static constexpr int kPreviewSize = 160;

  // "Toate imaginile (*.bmp *.BMP ...)", then one filter per format ("Imagini BMP (...)").
  static QStringList PictureFilters();

 protected:
  void changeEvent(QEvent* event) override;

 private:
  // The "Tip" column: "Dosar", or "Fisier " and the extension, instead of the system's
  // description of the file's type in its own language.
  class FileTypes final : public QFileIconProvider {
   public:
    QString type(const QFileInfo& info) const override;
  };
  // The "Data modificarii" column as dd.mm.yyyy hh:mm, instead of the system locale's
  // form with an English month.
  class FileDates;

  // The dialog's own captions and labels; Qt puts its stock ones back at a language change.
  void SetOwnTexts();
  void ShowPreview(const QString& path);
  // Room for every column and for the places' names.
  void SizeTheLists();

  FileTypes fileTypes_;
  QLabel* preview_ = nullptr;
};

}  // namespace ruvo::gui
