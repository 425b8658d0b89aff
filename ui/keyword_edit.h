#pragma once
// The keyword box EditKw on the screen: one line of any length.

#include <QLineEdit>

#include "app/controls.h"

namespace kv::ui {

class KeywordEdit : public QLineEdit {
 public:
  KeywordEdit(TEdit& edit, QWidget* parent);

  void Pull();
  void Push();

 private:
  TEdit& edit_;
  unsigned long shown_revision_ = ~0UL;  // nothing shown yet
};

}  // namespace kv::ui
