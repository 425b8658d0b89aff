#include "ui/aligned_panels.h"

namespace kv::ui {

void ClientArea::AlignTop(QWidget* child, int height) {
  top_ = child;
  top_height_ = height;
  top_->setGeometry(0, 0, width(), top_height_);
}

void ClientArea::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (top_) top_->setGeometry(0, 0, width(), top_height_);
}

void SidePanel::AlignLeft(QWidget* child, int width) {
  left_ = child;
  left_width_ = width;
  Place();
}

void SidePanel::AlignRight(QWidget* child, int width) {
  right_ = child;
  right_width_ = width;
  Place();
}

void SidePanel::resizeEvent(QResizeEvent* event) {
  QFrame::resizeEvent(event);
  Place();
}

void SidePanel::Place() {
  // Inside the bevel.
  const QRect inner = contentsRect();
  if (left_) left_->setGeometry(inner.left(), inner.top(), left_width_, inner.height());
  if (right_) right_->setGeometry(inner.right() + 1 - right_width_, inner.top(), right_width_, inner.height());
}

}  // namespace kv::ui
