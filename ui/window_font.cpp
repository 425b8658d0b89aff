#include "ui/window_font.h"

#include <QFontDatabase>
#include <QStringList>

namespace kv::ui {
namespace {

constexpr int kPointSize = 8;

bool ShowsCyrillic(const QString& family) {
  return QFontDatabase::writingSystems(family).contains(QFontDatabase::Cyrillic);
}

}  // namespace

QFont WindowFont() {
  // Ordered by how closely their widths match the design font: the window
  // places its controls at fixed pixels, so a wide font would clip captions.
  static const QStringList kNearest = {"MS Sans Serif", "Microsoft Sans Serif", "Liberation Sans", "Arial",
                                       "DejaVu Sans Condensed", "DejaVu Sans", "Noto Sans", "FreeSans"};
  for (const QString& family : kNearest)
    if (QFontDatabase::hasFamily(family) && ShowsCyrillic(family)) return QFont(family, kPointSize);
  for (const QString& family : QFontDatabase::families(QFontDatabase::Cyrillic))
    if (!QFontDatabase::isFixedPitch(family)) return QFont(family, kPointSize);
  QFont fallback;
  fallback.setStyleHint(QFont::SansSerif);
  fallback.setPointSize(kPointSize);
  return fallback;
}

}  // namespace kv::ui
