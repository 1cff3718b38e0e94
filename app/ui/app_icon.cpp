#include "app/ui/app_icon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace zavel::app {

// A blue rounded square with a white "Z", at the sizes trays and title bars ask for.
QIcon appIcon() {
  QIcon icon;
  for (int size : {16, 22, 32, 48, 64, 128}) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x1e, 0x6f, 0xd9));
    p.drawRoundedRect(QRectF(0, 0, size, size), size * 0.2, size * 0.2);
    const double m = size * 0.24;
    const double w = size * 0.12;
    QPainterPath z;
    z.moveTo(m, m);
    z.lineTo(size - m, m);
    z.lineTo(m, size - m);
    z.lineTo(size - m, size - m);
    p.setPen(QPen(Qt::white, w, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(z);
    icon.addPixmap(pixmap);
  }
  return icon;
}

}  // namespace zavel::app
