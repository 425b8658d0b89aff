#include "ui/tool_bar.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPushButton>

#include "ui/qt_text.h"
#include "base/cp1251.h"

namespace kv::ui {
namespace {

constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 22;
constexpr int kSeparatorWidth = 8;

QPushButton* AddButton(QHBoxLayout* row, const char* name, std::string_view caption, std::string_view hint) {
  auto* button = new QPushButton(ToQt(caption));
  button->setObjectName(name);
  button->setToolTip(ToQt(hint));
  button->setFixedSize(kButtonWidth, kButtonHeight);
  row->addWidget(button);
  return button;
}

}  // namespace

ToolBar::ToolBar(QWidget* parent) : QWidget(parent) {
  setObjectName("ToolBar1");
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, (kHeight - kButtonHeight) / 2, 0, 0);
  row->setSpacing(0);
  row->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  DigButt = AddButton(row, "DigButt", "Получить"_w1251, "Копать для кейворда"_w1251);
  BroadButt = AddButton(row, "BroadButt", "Вширь"_w1251, "Копать вширь"_w1251);
  BroadButt->hide();
  DeepButt = AddButton(row, "DeepButt", "Вглубь"_w1251, "Копать вглубь"_w1251);
  row->addSpacing(kSeparatorWidth);  // ToolButton1
  ClearButt = AddButton(row, "ClearButt", "Очистить"_w1251, "Очистить"_w1251);
  RemDupButt = AddButton(row, "RemDupButt", "Дубликаты"_w1251, "Убрать дубликаты"_w1251);
  SortButt = AddButton(row, "SortButt", "Сортировать"_w1251, "Сортировка по популярности"_w1251);
  row->addStretch(1);
}

void ToolBar::paintEvent(QPaintEvent*) {
  // An etched line along each edge: dark above light.
  QPainter painter(this);
  const QColor dark = palette().color(QPalette::Dark);
  const QColor light = palette().color(QPalette::Light);
  const int right = width() - 1;
  painter.setPen(dark);
  painter.drawLine(0, 0, right, 0);
  painter.drawLine(0, height() - 2, right, height() - 2);
  painter.setPen(light);
  painter.drawLine(0, 1, right, 1);
  painter.drawLine(0, height() - 1, right, height() - 1);
}

}  // namespace kv::ui
