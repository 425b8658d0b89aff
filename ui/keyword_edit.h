#pragma once
// The keyword box EditKw on the screen: one line of any length.

#include <QLineEdit>

#include "app/controls.h"
#include "ui/revision_sync.h"

namespace kv::ui {

class KeywordEdit : public QLineEdit {
 public:
  KeywordEdit(TEdit& edit, QWidget* parent);

  void Pull();
  void Push();

 private:
  TEdit& edit_;
  RevisionSync<TEdit> shown_{edit_};
};

}  // namespace kv::ui
