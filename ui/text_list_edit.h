#pragma once
// A multi-line text box on the screen: the text list MemoArea, which the
// user may edit. No word wrap and no scroll bars; Tab moves the focus on.

#include <QPlainTextEdit>

#include "app/memo.h"
#include "ui/revision_sync.h"

namespace kv::ui {

class TextListEdit : public QPlainTextEdit {
 public:
  TextListEdit(TMemo& memo, QWidget* parent);

  // The text goes into the model only when the user changed it since the
  // model's text was last shown: the list can be long.
  void Pull();
  void Push();

 private:
  TMemo& memo_;
  RevisionSync<TMemo> shown_{memo_};
  bool edited_ = false;
  bool pushing_ = false;
};

}  // namespace kv::ui
