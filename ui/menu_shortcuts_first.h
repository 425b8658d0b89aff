#pragma once
// Menu shortcuts act for the whole window before the focused control sees
// the key. Qt asks the focused widget first (a ShortcutOverride event), and
// text boxes claim Ctrl+C there to copy; this filter answers for them that
// the key belongs to the menu, so Ctrl+C runs its menu item and copies
// nothing.

#include <QList>
#include <QObject>

class QAction;
class QWidget;

namespace kv::ui {

class MenuShortcutsFirst : public QObject {
 public:
  MenuShortcutsFirst(QList<QAction*> items, QObject* parent);

  // Filters `root` and every widget inside it.
  void Watch(QWidget* root);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QList<QAction*> items_;
};

}  // namespace kv::ui
