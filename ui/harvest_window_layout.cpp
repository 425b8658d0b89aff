// The harvest window's controls and their places: the project and the
// settings of a run at the top, the seeds beside them, then the buttons,
// the progress, the latest keywords and the errors.

#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>

#include "base/cp1251.h"
#include "ui/harvest_window.h"
#include "ui/qt_text.h"

namespace kv::ui {
namespace {

QSpinBox* NumberField(const char* name, int min, int max, int value, QWidget* parent) {
  auto* field = new QSpinBox(parent);
  field->setObjectName(name);
  field->setRange(min, max);
  field->setValue(value);
  return field;
}

QPushButton* Button(const char* name, std::string_view caption, QWidget* parent) {
  auto* button = new QPushButton(ToQt(caption), parent);
  button->setObjectName(name);
  return button;
}

// A file name box with its "Выбрать..." button.
QWidget* FileField(QLineEdit* edit, QPushButton* button, QWidget* parent) {
  auto* row = new QWidget(parent);
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(edit, 1);
  layout->addWidget(button);
  return row;
}

}  // namespace

void HarvestWindow::CreateControls() {
  auto* top = new QHBoxLayout;
  top->addLayout(CreateSettings(), 3);
  top->addLayout(CreateSeeds(), 2);

  progress_bar_ = new QProgressBar(this);
  progress_bar_->setObjectName("ProgressBar");
  progress_bar_->setRange(0, 1);
  progress_bar_->setValue(0);
  progress_text_ = new QLabel(this);
  progress_text_->setObjectName("ProgressText");

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addLayout(CreateButtons());
  layout->addWidget(progress_bar_);
  layout->addWidget(progress_text_);
  layout->addWidget(CreateResults(), 1);
}

QLayout* HarvestWindow::CreateSettings() {
  project_edit_ = new QLineEdit(this);
  project_edit_->setObjectName("ProjectEdit");
  project_edit_->setPlaceholderText(ToQt("файл проекта (.kvh): существующий или новый"_w1251));
  auto* project_butt = Button("ProjectButt", "Выбрать..."_w1251, this);
  connect(project_butt, &QPushButton::clicked, this, [this] { ChooseProject(); });

  depth_spin_ = NumberField("DepthSpin", 0, 10, 1, this);
  pages_spin_ = NumberField("PagesSpin", 1, 999, 5, this);
  min_count_spin_ = NumberField("MinCountSpin", 1, 99999, 1, this);
  workers_spin_ = NumberField("WorkersSpin", 1, 64, 4, this);
  pause_spin_ = NumberField("PauseSpin", 0, 60000, 0, this);
  pause_spin_->setSingleStep(100);
  pause_spin_->setSuffix(ToQt(" мс"_w1251));
  proxies_edit_ = new QLineEdit(this);
  proxies_edit_->setObjectName("ProxiesEdit");
  proxies_edit_->setPlaceholderText(ToQt("без прокси"_w1251));
  auto* proxies_butt = Button("ProxiesButt", "Выбрать..."_w1251, this);
  connect(proxies_butt, &QPushButton::clicked, this, [this] { ChooseProxies(); });
  minus_label_ = new QLabel(this);
  minus_label_->setObjectName("MinusLabel");

  auto* settings = new QFormLayout;
  settings->addRow(ToQt("Проект:"_w1251), FileField(project_edit_, project_butt, this));
  settings->addRow(ToQt("Глубина:"_w1251), depth_spin_);
  settings->addRow(ToQt("Страниц на кейворд:"_w1251), pages_spin_);
  settings->addRow(ToQt("Кейвордов за месяц не меньше:"_w1251), min_count_spin_);
  settings->addRow(ToQt("Потоков:"_w1251), workers_spin_);
  settings->addRow(ToQt("Прокси (файл):"_w1251), FileField(proxies_edit_, proxies_butt, this));
  settings->addRow(ToQt("Пауза между запросами:"_w1251), pause_spin_);
  settings->addRow(ToQt("Минус-слова:"_w1251), minus_label_);
  return settings;
}

QLayout* HarvestWindow::CreateSeeds() {
  seeds_edit_ = new QPlainTextEdit(this);
  seeds_edit_->setObjectName("SeedsEdit");
  seeds_edit_->setLineWrapMode(QPlainTextEdit::NoWrap);
  seeds_edit_->setTabChangesFocus(true);
  auto* seeds = new QVBoxLayout;
  seeds->addWidget(new QLabel(ToQt("Сиды (по одному в строке):"_w1251), this));
  seeds->addWidget(seeds_edit_);
  return seeds;
}

QLayout* HarvestWindow::CreateButtons() {
  start_butt_ = Button("StartButt", "Старт"_w1251, this);
  stop_butt_ = Button("StopButt", "Стоп"_w1251, this);
  export_butt_ = Button("ExportButt", "Экспорт..."_w1251, this);
  to_list_butt_ = Button("ToListButt", "В список"_w1251, this);
  connect(start_butt_, &QPushButton::clicked, this, [this] { StartClick(); });
  connect(stop_butt_, &QPushButton::clicked, this, [this] { StopClick(); });
  connect(export_butt_, &QPushButton::clicked, this, [this] { ExportClick(); });
  connect(to_list_butt_, &QPushButton::clicked, this, [this] { ToListClick(); });
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(start_butt_);
  buttons->addWidget(stop_butt_);
  buttons->addStretch();
  buttons->addWidget(export_butt_);
  buttons->addWidget(to_list_butt_);
  return buttons;
}

QWidget* HarvestWindow::CreateResults() {
  latest_table_ = new QTableWidget(0, 4, this);
  latest_table_->setObjectName("LatestTable");
  latest_table_->setHorizontalHeaderLabels(
      {ToQt("Кейворд"_w1251), ToQt("Всего запросов"_w1251), ToQt("Сид"_w1251), ToQt("Глубина"_w1251)});
  latest_table_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
  latest_table_->verticalHeader()->hide();
  latest_table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  error_list_ = new QListWidget(this);
  error_list_->setObjectName("ErrorList");

  auto* latest = new QWidget(this);
  auto* latest_layout = new QVBoxLayout(latest);
  latest_layout->setContentsMargins(0, 0, 0, 0);
  latest_layout->addWidget(new QLabel(ToQt("Последние найденные кейворды:"_w1251), latest));
  latest_layout->addWidget(latest_table_);
  auto* errors = new QWidget(this);
  auto* errors_layout = new QVBoxLayout(errors);
  errors_layout->setContentsMargins(0, 0, 0, 0);
  errors_layout->addWidget(new QLabel(ToQt("Ошибки:"_w1251), errors));
  errors_layout->addWidget(error_list_);
  auto* results = new QSplitter(Qt::Vertical, this);
  results->addWidget(latest);
  results->addWidget(errors);
  results->setStretchFactor(0, 3);
  results->setStretchFactor(1, 1);
  return results;
}

}  // namespace kv::ui
