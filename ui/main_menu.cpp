#include "ui/main_menu.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include "ui/qt_text.h"
#include "base/cp1251.h"

namespace kv::ui {
namespace {

QAction* AddItem(QMenu* menu, const char* name, std::string_view caption, QKeySequence shortcut = {}) {
  QAction* item = menu->addAction(ToQt(caption));
  item->setObjectName(name);
  item->setShortcut(shortcut);
  return item;
}

QMenu* AddMenu(QMenuBar* bar, const char* name, std::string_view caption) {
  QMenu* menu = bar->addMenu(ToQt(caption));
  menu->setObjectName(name);
  return menu;
}

}  // namespace

MainMenu BuildMainMenu(QMenuBar* bar) {
  bar->setObjectName("MainMenu1");
  MainMenu m{};
  QMenu* file = AddMenu(bar, "File1", "Файл"_w1251);
  m.Save1 = AddItem(file, "Save1", "Сохранить"_w1251);
  m.Savekwonly1 = AddItem(file, "Savekwonly1", "Сохранить кейворды"_w1251);
  m.Export1 = AddItem(file, "Export1", "Экспорт..."_w1251);
  file->addSeparator()->setObjectName("N3");
  m.Harvest1 = AddItem(file, "Harvest1", "Пакетный сбор..."_w1251);
  file->addSeparator()->setObjectName("N1");
  m.Exit1 = AddItem(file, "Exit1", "Выход"_w1251);

  QMenu* edit = AddMenu(bar, "Edit1", "Редактировать"_w1251);
  m.Clear1 = AddItem(edit, "Clear1", "Очистить"_w1251);
  m.RemDup1 = AddItem(edit, "RemDup1", "Убрать дубликаты"_w1251, QKeySequence(Qt::CTRL | Qt::Key_R));
  m.Sort1 = AddItem(edit, "Sort1", "Сортировать"_w1251, QKeySequence(Qt::CTRL | Qt::Key_S));
  m.Count1 = AddItem(edit, "Count1", "Количество"_w1251, QKeySequence(Qt::CTRL | Qt::Key_C));
  edit->addSeparator()->setObjectName("N2");
  m.LtoR = AddItem(edit, "LtoR", "L <- R  Перенести правую часть налево"_w1251);
  edit->addSeparator()->setObjectName("N4");
  m.MinusWords1 = AddItem(edit, "MinusWords1", "Минус-слова..."_w1251);

  QMenu* help = AddMenu(bar, "Help1", "?"_w1251);
  m.About1 = AddItem(help, "About1", "О программе..."_w1251);
  return m;
}

QList<QAction*> MainMenu::WithShortcuts() const { return {RemDup1, Sort1, Count1}; }

}  // namespace kv::ui
