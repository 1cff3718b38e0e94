#include "app/ui/app_icon.h"

#include <algorithm>

#include <QIconEngine>
#include <QList>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace zavel::app {

namespace {

// A blue rounded square with a white "Z", drawn afresh at whatever size is asked (a tray's
// 16 pixels or a dock's 256 at twice the density), so it is never scaled up blurred.
class DrawnIcon : public QIconEngine {
 public:
  void paint(QPainter* p, const QRect& rect, QIcon::Mode mode, QIcon::State) override {
    const double size = std::min(rect.width(), rect.height());
    const QRectF square(rect.x() + (rect.width() - size) / 2, rect.y() + (rect.height() - size) / 2,
                        size, size);
    p->save();
    p->setRenderHint(QPainter::Antialiasing);
    p->setPen(Qt::NoPen);
    p->setBrush(mode == QIcon::Disabled ? QColor(0x9a, 0xa4, 0xb1) : QColor(0x1e, 0x6f, 0xd9));
    p->drawRoundedRect(square, size * 0.2, size * 0.2);
    const double m = size * 0.24;
    QPainterPath z;
    z.moveTo(square.left() + m, square.top() + m);
    z.lineTo(square.right() - m, square.top() + m);
    z.lineTo(square.left() + m, square.bottom() - m);
    z.lineTo(square.right() - m, square.bottom() - m);
    p->setPen(QPen(Qt::white, size * 0.12, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p->setBrush(Qt::NoBrush);
    p->drawPath(z);
    p->restore();
  }

  QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
    QPixmap pixmap(size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    paint(&p, QRect(QPoint(0, 0), size), mode, state);
    return pixmap;
  }

  // What a window system asks to be sent ahead; any other size is drawn when asked.
  QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override {
    QList<QSize> sizes;
    for (int side : {16, 22, 24, 32, 48, 64, 128, 256}) sizes.append(QSize(side, side));
    return sizes;
  }

  QIconEngine* clone() const override { return new DrawnIcon(*this); }
  QString key() const override { return QStringLiteral("zavel-drawn"); }
};

}  // namespace

QIcon appIcon() {
  return QIcon(new DrawnIcon);
}

}  // namespace zavel::app
