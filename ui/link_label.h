#pragma once
// A link-style static text: navy, bold and underlined, with the pointing
// hand; a click runs OnClick.

#include <QLabel>
#include <functional>

namespace kv::ui {

class LinkLabel : public QLabel {
 public:
  LinkLabel(const QString& caption, QWidget* parent);

  std::function<void()> OnClick;

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  bool pressed_ = false;
};

}  // namespace kv::ui
