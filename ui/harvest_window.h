#pragma once
// The harvest window: one harvest project dug from seeds with parallel
// workers, as kvornis-harvest does, while the main window stays usable.
// The run goes on threads of its own (HarvestSession); the window polls
// its figures, so neither window waits for the network.

#include <QBasicTimer>
#include <QWidget>
#include <functional>
#include <memory>

#include "app/controls.h"

class QLabel;
class QLayout;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTableWidget;

namespace kv::ui {

class FormMain;
class HarvestSession;

class HarvestWindow : public QWidget {
 public:
  explicit HarvestWindow(FormMain& form);
  ~HarvestWindow() override;

  // Shows the window; the seeds box gets the text list's keywords unless a
  // run is going.
  void Open();
  bool Running() const;

  // Asked when the window is closed during a run: true stops the run and
  // closes the window. Tests put an answer here.
  std::function<bool(QWidget* parent)> AskToStop;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void timerEvent(QTimerEvent* event) override;

 private:
  void CreateControls();
  // CreateControls' parts, top to bottom: the settings of a run, the seeds,
  // the buttons, and the latest keywords over the errors.
  QLayout* CreateSettings();
  QLayout* CreateSeeds();
  QLayout* CreateButtons();
  QWidget* CreateResults();
  void ChooseProject();
  void ChooseProxies();
  void StartClick();
  void StopClick();
  void ExportClick();
  void ToListClick();
  // Runs `action`; a failure goes to the main window's error box.
  void Guarded(const std::function<void()>& action);
  void ShowProgress();
  void ShowLatest();
  void RunEnded();
  void UpdateButtons();
  std::string ProjectPath() const;

  FormMain& form_;
  std::unique_ptr<HarvestSession> session_;
  TSaveDialog export_dialog_;
  QBasicTimer poll_;
  int polls_ = 0;

  QLineEdit* project_edit_;
  QPlainTextEdit* seeds_edit_;
  QSpinBox* depth_spin_;
  QSpinBox* pages_spin_;
  QSpinBox* min_count_spin_;
  QSpinBox* workers_spin_;
  QLineEdit* proxies_edit_;
  QSpinBox* pause_spin_;
  QLabel* minus_label_;
  QPushButton* start_butt_;
  QPushButton* stop_butt_;
  QPushButton* export_butt_;
  QPushButton* to_list_butt_;
  QProgressBar* progress_bar_;
  QLabel* progress_text_;
  QTableWidget* latest_table_;
  QListWidget* error_list_;
};

}  // namespace kv::ui
