#include "ui/app_icon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace kv::ui {
namespace {

const QColor kNavy(0x00, 0x00, 0x80);

// The picture on a 64 x 64 canvas: a list of keyword lines, longest first,
// and a spade digging into it.
void PaintIcon(QPainter& p) {
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(kNavy, 2));
  p.setBrush(QColor(0xf2, 0xf0, 0xe6));
  p.drawRoundedRect(QRectF(2, 2, 60, 60), 8, 8);

  p.setPen(Qt::NoPen);
  p.setBrush(kNavy);
  const int lengths[] = {30, 24, 18, 12};
  for (int i = 0; i < 4; ++i) p.drawRoundedRect(QRectF(10, 14 + 11 * i, lengths[i], 5), 2, 2);

  p.translate(46, 34);
  p.rotate(35);
  p.translate(-46, -34);
  p.setBrush(QColor(0x8a, 0x5a, 0x2b));
  p.drawRect(QRectF(44, 8, 4, 28));
  p.drawRoundedRect(QRectF(40, 6, 12, 4), 2, 2);
  QPainterPath blade;
  blade.moveTo(38, 36);
  blade.lineTo(54, 36);
  blade.lineTo(54, 44);
  blade.quadTo(54, 54, 46, 58);
  blade.quadTo(38, 54, 38, 44);
  blade.closeSubpath();
  p.setPen(QPen(QColor(0x4a, 0x52, 0x5a), 1.5));
  p.setBrush(QColor(0x9a, 0xa4, 0xad));
  p.drawPath(blade);
}

}  // namespace

QIcon AppIcon() {
  QIcon icon;
  for (int size : {16, 24, 32, 48, 64, 128}) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.scale(size / 64.0, size / 64.0);
    PaintIcon(painter);
    painter.end();
    icon.addPixmap(pixmap);
  }
  return icon;
}

}  // namespace kv::ui
