#pragma once
// The menu bar MainMenu1: "Файл", "Редактировать" and "?" with their items,
// separators and shortcuts. No item has an accelerator letter.

#include <QList>

class QAction;
class QMenuBar;

namespace kv::ui {

struct MainMenu {
  QAction* Save1;
  QAction* Savekwonly1;
  QAction* Export1;
  QAction* Harvest1;
  QAction* Exit1;
  QAction* Clear1;
  QAction* RemDup1;
  QAction* Sort1;
  QAction* Count1;
  QAction* LtoR;
  QAction* MinusWords1;
  QAction* About1;

  QList<QAction*> WithShortcuts() const;
};

MainMenu BuildMainMenu(QMenuBar* bar);

}  // namespace kv::ui
