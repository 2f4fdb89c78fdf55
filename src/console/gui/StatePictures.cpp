#include "console/gui/StatePictures.h"

#include <QPainter>
#include <QPolygonF>

namespace ruvo::gui {

namespace {

QPixmap Disc(int size, const QColor& colour, bool running) {
  QPixmap picture(size, size);
  picture.fill(Qt::transparent);
  QPainter painter(&picture);
  painter.setRenderHint(QPainter::Antialiasing);
  const double s = size;
  painter.setPen(QPen(colour.darker(160), s / 16));
  painter.setBrush(colour);
  painter.drawEllipse(QRectF(s / 16, s / 16, s * 7 / 8, s * 7 / 8));
  painter.setPen(Qt::NoPen);
  painter.setBrush(Qt::white);
  if (running) {
    painter.drawPolygon(QPolygonF(
        {QPointF(s * 0.38, s * 0.28), QPointF(s * 0.38, s * 0.72), QPointF(s * 0.74, s * 0.5)}));
  } else {
    painter.drawRect(QRectF(s * 0.32, s * 0.32, s * 0.36, s * 0.36));
  }
  return picture;
}

}  // namespace

QPixmap RunningPicture(int size) { return Disc(size, QColor(0, 150, 60), true); }

QPixmap StoppedPicture(int size) { return Disc(size, QColor(200, 30, 30), false); }

QIcon StateIcon(bool processing) {
  QIcon icon;
  for (int size : {16, 22, 24, 32, 48, 64}) {
    icon.addPixmap(processing ? RunningPicture(size) : StoppedPicture(size));
  }
  return icon;
}

}  // namespace ruvo::gui
