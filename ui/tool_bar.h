#pragma once
// The tool bar ToolBar1: push buttons side by side from its left edge in
// their given order, a gap between the digging buttons and the list
// buttons, lines along its top and bottom edges. A hidden button takes no
// room.

#include <QWidget>

class QPushButton;

namespace kv::ui {

class ToolBar : public QWidget {
 public:
  static constexpr int kHeight = 29;

  explicit ToolBar(QWidget* parent);

  QPushButton* DigButt;
  QPushButton* BroadButt;  // hidden: no menu item leads to it either
  QPushButton* DeepButt;
  QPushButton* ClearButt;
  QPushButton* RemDupButt;
  QPushButton* SortButt;

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace kv::ui
