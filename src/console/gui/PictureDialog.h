#pragma once

#include <QFileDialog>

class QLabel;

namespace ruvo::gui {

// The picture-file open dialog `OD` of the logo upload: Qt's own open dialog, in Romanian,
// with a preview of the picture under the cursor. Its filter offers the BMP pictures the
// upload takes, and every file (the upload refuses the others with its own message).
class PictureDialog final : public QFileDialog {
  Q_OBJECT
 public:
  explicit PictureDialog(QWidget* parent);

  static constexpr int kPreviewSize = 160;

 private:
  void ShowPreview(const QString& path);

  QLabel* preview_ = nullptr;
};

}  // namespace ruvo::gui
