#pragma once
// Containers whose aligned children follow their size: the client area
// with the tool bar along its top edge, and a panel with one control along
// its left edge and one along its right. Every other child keeps the
// position it was given.

#include <QFrame>
#include <QWidget>

namespace kv::ui {

class ClientArea : public QWidget {
 public:
  explicit ClientArea(QWidget* parent) : QWidget(parent) {}
  // `child` spans the full width at the top, `height` pixels high.
  void AlignTop(QWidget* child, int height);

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  QWidget* top_ = nullptr;
  int top_height_ = 0;
};

class SidePanel : public QFrame {
 public:
  explicit SidePanel(QWidget* parent) : QFrame(parent) {}
  // `child` fills the inner height along the left (right) edge, `width`
  // pixels wide.
  void AlignLeft(QWidget* child, int width);
  void AlignRight(QWidget* child, int width);

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void Place();

  QWidget* left_ = nullptr;
  QWidget* right_ = nullptr;
  int left_width_ = 0;
  int right_width_ = 0;
};

}  // namespace kv::ui
