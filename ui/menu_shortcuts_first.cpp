#include "ui/menu_shortcuts_first.h"

#include <QAction>
#include <QKeyEvent>
#include <QWidget>

namespace kv::ui {

MenuShortcutsFirst::MenuShortcutsFirst(QList<QAction*> items, QObject* parent)
    : QObject(parent), items_(std::move(items)) {}

void MenuShortcutsFirst::Watch(QWidget* root) {
  root->installEventFilter(this);
  for (QWidget* child : root->findChildren<QWidget*>()) child->installEventFilter(this);
}

bool MenuShortcutsFirst::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::ShortcutOverride) return QObject::eventFilter(watched, event);
  const QKeySequence pressed(static_cast<QKeyEvent*>(event)->keyCombination());
  for (const QAction* item : items_) {
    if (item->isEnabled() && item->shortcut() == pressed) {
      // Left unaccepted and kept from the widget: Qt then runs the shortcut.
      event->ignore();
      return true;
    }
  }
  return false;
}

}  // namespace kv::ui
