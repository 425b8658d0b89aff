#pragma once
// The status bar StatusBar1 on the screen: one text, no panels. A running
// command repaints it through the model's repaint hook, since nothing else
// of the window is painted until the command ends.

#include <QStatusBar>

#include "app/controls.h"
#include "ui/revision_sync.h"

class QLabel;

namespace kv::ui {

class StatusLine : public QStatusBar {
 public:
  StatusLine(TStatusBar& status, QWidget* parent);
  ~StatusLine() override;

  void Push();
  QString Text() const;

 private:
  void ShowNow(const std::string& text);

  TStatusBar& status_;
  // A label rather than a status message: a menu item the pointer passes
  // over would clear a message.
  QLabel* label_;
  RevisionSync<TStatusBar> shown_{status_};
};

}  // namespace kv::ui
