// The program's icon is drawn at whatever size and density is asked, never scaled.
#include <gtest/gtest.h>

#include <QImage>
#include <QPixmap>

#include "app/ui/app_icon.h"

namespace zavel::app {
namespace {

TEST(AppIcon, IsDrawnSharpAtEverySizeAndDensity) {
  const QIcon icon = appIcon();
  struct Case {
    int side;
    qreal density;
  };
  for (const Case c : {Case{16, 1}, Case{22, 2}, Case{37, 1}, Case{48, 1.5}, Case{256, 2}}) {
    const QPixmap pixmap = icon.pixmap(QSize(c.side, c.side), c.density);
    const int pixels = qRound(c.side * c.density);
    EXPECT_EQ(pixmap.width(), pixels) << c.side << "@" << c.density;
    const QImage image = pixmap.toImage();
    // Blue at the rim, white on the Z's top bar, transparent in the corner: drawn at this size.
    EXPECT_EQ(image.pixelColor(pixels / 10, pixels / 2), QColor(0x1e, 0x6f, 0xd9)) << c.side;
    const int bar = static_cast<int>(pixels * 0.24);
    EXPECT_EQ(image.pixelColor(pixels / 2, bar), QColor(Qt::white)) << c.side;
    EXPECT_LT(image.pixelColor(0, 0).alpha(), 16) << c.side;
  }
}

}  // namespace
}  // namespace zavel::app
