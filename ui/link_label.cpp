#include "ui/link_label.h"

#include <QMouseEvent>

namespace kv::ui {

LinkLabel::LinkLabel(const QString& caption, QWidget* parent) : QLabel(caption, parent) {
  QFont link_font = font();
  link_font.setBold(true);
  link_font.setUnderline(true);
  setFont(link_font);
  QPalette navy = palette();
  navy.setColor(QPalette::WindowText, QColor(0x00, 0x00, 0x80));
  setPalette(navy);
  setCursor(Qt::PointingHandCursor);
  // The caption is shown as written, never as markup.
  setTextFormat(Qt::PlainText);
}

void LinkLabel::mousePressEvent(QMouseEvent* event) {
  pressed_ = event->button() == Qt::LeftButton;
  event->accept();
}

void LinkLabel::mouseReleaseEvent(QMouseEvent* event) {
  // A click is a press and a release on the text, like a button's.
  const bool clicked = pressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
  pressed_ = false;
  event->accept();
  if (clicked && OnClick) OnClick();
}

}  // namespace kv::ui
