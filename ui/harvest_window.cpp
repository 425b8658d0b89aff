#include "ui/harvest_window.h"

#include <QCloseEvent>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTimerEvent>
#include <optional>

#include "app/error_box.h"
#include "app/export/table_export.h"
#include "app/list_line_fields.h"
#include "app/minus_words.h"
#include "base/cp1251.h"
#include "base/int_conversion.h"
#include "base/list_line.h"
#include "harvest/project_export.h"
#include "harvest/run_figures.h"
#include "harvest/sqlite_store.h"
#include "ui/form_main.h"
#include "ui/harvest_session.h"
#include "ui/qt_text.h"
#include "ui/save_dialog.h"

namespace kv::ui {
namespace {

constexpr int kPollPeriodMs = 250;
// The latest keywords are read from the disk every few polls.
constexpr int kPollsPerTableRead = 4;
constexpr int kLatestRows = 100;

// One phrase a line, the blanks around it dropped; blank lines skipped.
std::vector<std::string> PhrasesOf(const QString& text) {
  std::vector<std::string> phrases;
  for (const QString& line : text.split(u'\n')) {
    if (const QString phrase = line.trimmed(); !phrase.isEmpty()) phrases.push_back(FromQt(phrase));
  }
  return phrases;
}

// "4 мин 12 с", "1 ч 05 мин", written in UTF-8 and shown converted.
std::string Duration(double seconds) {
  constexpr harvest::DurationWords kWords = {" ч", " мин", " с", " "};
  return Utf8ToCp1251(harvest::DurationText(seconds, kWords));
}

std::string ProgressLine(const harvest::HarvestProgress& progress, double elapsed) {
  const harvest::SeedCounts& seeds = progress.seeds;
  char pace[32];
  std::snprintf(pace, sizeof pace, "%.1f", harvest::PagesPerSecond(progress, elapsed));
  const std::optional<double> left = harvest::SecondsLeft(progress, elapsed);
  return std::string("Сиды: "_w1251) + IntToStr(seeds.done) + std::string(" готово / "_w1251) +
         IntToStr(seeds.queued) + std::string(" в очереди / "_w1251) + IntToStr(seeds.failed) +
         std::string(" с ошибкой; кейвордов: "_w1251) + IntToStr(seeds.results) + "; " + pace +
         std::string(" стр./с; осталось: "_w1251) + (left ? Duration(*left) : std::string("?"));
}

bool AskToStopDialog(QWidget* parent) {
  return QMessageBox::question(parent, ToQt("Пакетный сбор"_w1251),
                               ToQt("Сбор ещё идёт. Остановить его и закрыть окно?"_w1251)) == QMessageBox::Yes;
}

}  // namespace

HarvestWindow::HarvestWindow(FormMain& form) : QWidget(&form, Qt::Window), form_(form) {
  setObjectName("HarvestWindow");
  setWindowTitle(ToQt("Пакетный сбор"_w1251));
  AskToStop = AskToStopDialog;
  export_dialog_.Title = std::string("Экспорт проекта"_w1251);
  export_dialog_.Filter =
      std::string("Книга Excel (*.xlsx)|*.xlsx|Текст CSV (*.csv)|*.csv|Текстовый файл (*.txt)|*.txt"_w1251);
  export_dialog_.DefaultExt = "xlsx";
  export_dialog_.Runner = [this](const TSaveDialog& dialog) { return RunSaveDialog(this, dialog); };
  CreateControls();
  resize(760, 620);
  UpdateButtons();
}

HarvestWindow::~HarvestWindow() = default;

bool HarvestWindow::Running() const { return session_ && !session_->Finished(); }

void HarvestWindow::Open() {
  if (!session_) {
    // The keywords of the text list, the part after the count.
    QString seeds;
    const TMemo& list = form_.Model().MemoArea;
    for (size_t i = 0, n = list.LineCount(); i < n; ++i) {
      if (const std::string_view keyword = KeywordOf(list.LineView(i)); !keyword.empty())
        seeds += ToQt(keyword) + u'\n';
    }
    seeds_edit_->setPlainText(seeds);
  }
  UpdateButtons();
  show();
  raise();
  activateWindow();
}

std::string HarvestWindow::ProjectPath() const {
  return QFile::encodeName(project_edit_->text().trimmed()).toStdString();
}

void HarvestWindow::Guarded(const std::function<void()>& action) {
  RunHandler(action, [this](const std::string& text) {
    // Our failures name files as the file system does, in UTF-8.
    form_.ShowErrorBox(this, {ErrorBoxTitle(), Utf8ToCp1251Substituting(text)});
  });
}

void HarvestWindow::ChooseProject() {
  QFileDialog dialog(this, ToQt("Файл проекта"_w1251));
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setOption(QFileDialog::DontConfirmOverwrite);
  // An existing project, or the name of a new one.
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setNameFilters({ToQt("Проект сбора (*.kvh)"_w1251), ToQt("Все файлы (*)"_w1251)});
  dialog.setDefaultSuffix("kvh");
  if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
    project_edit_->setText(dialog.selectedFiles().constFirst());
}

void HarvestWindow::ChooseProxies() {
  QFileDialog dialog(this, ToQt("Файл прокси"_w1251));
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setFileMode(QFileDialog::ExistingFile);
  if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
    proxies_edit_->setText(dialog.selectedFiles().constFirst());
}

void HarvestWindow::StartClick() {
  if (session_) return;
  Guarded([this] {
    if (ProjectPath().empty()) throw Exception("Укажите файл проекта");
    HarvestSettings settings;
    settings.project = ProjectPath();
    settings.seeds = PhrasesOf(seeds_edit_->toPlainText());
    settings.dig = {depth_spin_->value(), pages_spin_->value(), min_count_spin_->value()};
    settings.workers = workers_spin_->value();
    settings.proxies_file = QFile::encodeName(proxies_edit_->text().trimmed()).toStdString();
    settings.pause_ms = pause_spin_->value();
    settings.minus_words = PhrasesOf(ToQt(form_.Model().MinusDialog1.Words()));
    settings.service_url = form_.Model().ServiceUrl();
    session_ = std::make_unique<HarvestSession>(settings);
    error_list_->clear();
    latest_table_->setRowCount(0);
    polls_ = 0;
    poll_.start(kPollPeriodMs, this);
    ShowProgress();
  });
  UpdateButtons();
}

void HarvestWindow::StopClick() {
  if (!Running()) return;
  session_->Stop();
  progress_text_->setText(ToQt("Остановка..."_w1251));
  stop_butt_->setEnabled(false);
}

void HarvestWindow::timerEvent(QTimerEvent* event) {
  if (event->timerId() != poll_.timerId() || !session_) return QWidget::timerEvent(event);
  for (const std::string& error : session_->TakeErrors()) error_list_->addItem(ToQt(error));
  if (session_->Finished()) return RunEnded();
  ShowProgress();
  if (++polls_ % kPollsPerTableRead == 0) ShowLatest();
}

void HarvestWindow::ShowProgress() {
  const harvest::HarvestProgress progress = session_->Progress();
  const harvest::SeedCounts& seeds = progress.seeds;
  const int64_t total = seeds.done + seeds.failed + seeds.queued;
  progress_bar_->setRange(0, static_cast<int>(std::max<int64_t>(total, 1)));
  progress_bar_->setValue(static_cast<int>(seeds.done + seeds.failed));
  if (stop_butt_->isEnabled()) progress_text_->setText(ToQt(ProgressLine(progress, session_->ElapsedSeconds())));
}

void HarvestWindow::ShowLatest() {
  std::vector<harvest::ResultRecord> latest;
  Guarded([&] { latest = session_->LatestResults(kLatestRows); });
  latest_table_->setRowCount(static_cast<int>(latest.size()));
  for (int row = 0; row < static_cast<int>(latest.size()); ++row) {
    const harvest::ResultRecord& result = latest[static_cast<size_t>(row)];
    const QString cells[] = {ToQt(result.keyword), QString::number(result.count), ToQt(result.seed),
                             QString::number(result.depth)};
    for (int column = 0; column < 4; ++column)
      latest_table_->setItem(row, column, new QTableWidgetItem(cells[column]));
  }
}

void HarvestWindow::RunEnded() {
  poll_.stop();
  stop_butt_->setEnabled(true);
  ShowProgress();
  ShowLatest();
  const harvest::HarvestProgress progress = session_->Progress();
  const std::optional<std::string> failure = session_->Failure();
  const std::string how = failure                     ? std::string("Сбор прерван: "_w1251) + *failure
                          : progress.seeds.queued > 0 ? std::string("Сбор остановлен. "_w1251)
                                                      : std::string("Сбор окончен. "_w1251);
  // The project is closed and unlocked before "Старт" may run it again.
  session_.reset();
  progress_text_->setText(ToQt(how) + progress_text_->text());
  UpdateButtons();
}

void HarvestWindow::UpdateButtons() {
  const bool running = session_ != nullptr;
  start_butt_->setEnabled(!running);
  stop_butt_->setEnabled(running);
  project_edit_->setEnabled(!running);
  minus_label_->setText(ToQt(std::string("из окна \"Минус-слова...\": "_w1251) +
                             IntToStr(static_cast<int64_t>(PhrasesOf(ToQt(form_.Model().MinusDialog1.Words())).size()))));
}

void HarvestWindow::ExportClick() {
  Guarded([this] {
    if (ProjectPath().empty()) throw Exception("Укажите файл проекта");
    if (!export_dialog_.Execute()) return;
    const std::string& path = export_dialog_.FileName();
    const std::optional<ExportFormat> format = ExportFormatOf(path);
    if (!format) throw EExportError("Cannot export to \"" + path + "\": the name must end in .xlsx, .csv or .txt");
    const auto store = harvest::OpenSqliteProject(ProjectPath(), harvest::ProjectOpening::kExisting);
    const int64_t rows = harvest::ExportProject(*store, path, *format, 0);
    progress_text_->setText(ToQt(std::string("Экспортировано кейвордов: "_w1251) + IntToStr(rows) + " -> " +
                                 Utf8ToCp1251Substituting(path)));
  });
}

void HarvestWindow::ToListClick() {
  Guarded([this] {
    if (ProjectPath().empty()) throw Exception("Укажите файл проекта");
    const auto store = harvest::OpenSqliteProject(ProjectPath(), harvest::ProjectOpening::kExisting);
    const MinusWords minus(store->MinusWordList());
    std::string lines;
    int64_t count = 0;
    store->ForEachResult(0, [&](const harvest::ResultRecord& result) {
      if (minus.Matches(result.keyword)) return;
      AppendListLine(lines, IntToStr(result.count), result.keyword);
      lines += "\r\n";
      ++count;
    });
    // A command of the main window: its list shows the new lines, and the
    // status text tells how many.
    form_.RunCommand([&] {
      TMemo& list = form_.Model().MemoArea;
      if (list.LineCount() > 0 && !list.EndsWithLineEnd()) lines.insert(0, "\r\n");
      list.ReplaceRange({list.LineCount(), 0}, {list.LineCount(), 0}, lines);
      form_.Model().StatusBar1.SetSimpleText(std::string("Добавлено строк: "_w1251) + IntToStr(count));
    });
  });
}

void HarvestWindow::closeEvent(QCloseEvent* event) {
  if (Running()) {
    if (!AskToStop(this)) return event->ignore();
    // Within a second: the requests under way are cut off.
    session_.reset();
    poll_.stop();
    UpdateButtons();
  }
  QWidget::closeEvent(event);
}

}  // namespace kv::ui
