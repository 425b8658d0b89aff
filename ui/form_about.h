#pragma once
// The About window FormAbout: the program's name and version, and the
// author line. Created hidden at start-up and shown modally as often as
// asked; it has no buttons and is closed with its close box.

#include <QDialog>

class QLabel;

namespace kv::ui {

class FormAbout : public QDialog {
 public:
  explicit FormAbout(QWidget* parent);

  // Shows the window modally; returns when the user has closed it.
  void ShowModal();

 private:
  QLabel* Label1;
  QLabel* Label2;
};

}  // namespace kv::ui
