#include "ui/form_main.h"

#include <QAction>
#include <QLocale>
#include <QPushButton>
#include <QShowEvent>
#include <optional>

#include "app/error_box.h"
#include "ui/browser.h"
#include "ui/form_about.h"
#include "ui/grid_view.h"
#include "ui/harvest_window.h"
#include "ui/keyword_edit.h"
#include "ui/link_label.h"
#include "ui/menu_shortcuts_first.h"
#include "ui/minus_words_dialog.h"
#include "ui/qt_text.h"
#include "ui/save_dialog.h"
#include "ui/spin_field.h"
#include "ui/status_line.h"
#include "ui/text_list_edit.h"
#include "ui/tool_bar.h"
#include "ui/window_font.h"

namespace kv::ui {

FormMain::FormMain(std::string service_url) : FormMainModelHolder(std::move(service_url)) {
  setObjectName("FormMain");
  setWindowTitle("Kvornis");
  setFont(WindowFont());
  QPalette face = palette();
  face.setColor(QPalette::Window, face.color(QPalette::Button));
  setPalette(face);

  // The number fields accept the decimal separator the user's locale writes.
  const QString separator = QLocale().decimalPoint();
  if (separator.size() == 1 && separator.front().unicode() < 0x80) {
    const char ascii = static_cast<char>(separator.front().unicode());
    model.SpinEdMaxKw.SetDecimalSeparator(ascii);
    model.SpinEdKwPM.SetDecimalSeparator(ascii);
  }
  model.SaveDialog1.Runner = [this](const TSaveDialog& dialog) { return RunSaveDialog(this, dialog); };
  model.ExportDialog1.Runner = [this](const TSaveDialog& dialog) { return RunSaveDialog(this, dialog); };
  model.MinusDialog1.Runner = [this](const std::string& words) { return RunMinusWordsDialog(this, words); };

  CreateControls();
  SetTabOrder();
  BindHandlers();
}

FormMain::~FormMain() = default;

void FormMain::BindHandlers() {
  auto bind_button = [this](QPushButton* button, Handler handler) {
    connect(button, &QPushButton::clicked, this, [this, handler] { Run(handler); });
  };
  auto bind_item = [this](QAction* item, Handler handler) {
    connect(item, &QAction::triggered, this, [this, handler] { Run(handler); });
  };
  auto bind_own_item = [this](QAction* item, void (FormMain::*handler)()) {
    connect(item, &QAction::triggered, this, [this, handler] { RunCommand([this, handler] { (this->*handler)(); }); });
  };

  bind_button(ToolBar1->DigButt, &TFormMain::DigButtClick);
  bind_button(ToolBar1->DeepButt, &TFormMain::DeepButtClick);
  bind_button(ToolBar1->BroadButt, &TFormMain::BroadButtClick);
  bind_button(ToolBar1->ClearButt, &TFormMain::ClearButtClick);
  bind_button(ToolBar1->RemDupButt, &TFormMain::RemDupButtClick);
  bind_button(ToolBar1->SortButt, &TFormMain::SortButtClick);
  StrGrid1->OnDblClick = [this] { Run(&TFormMain::DeepButtClick); };

  bind_item(MainMenu1.Save1, &TFormMain::Save1Click);
  bind_item(MainMenu1.Savekwonly1, &TFormMain::Savekwonly1Click);
  bind_item(MainMenu1.Export1, &TFormMain::Export1Click);
  bind_own_item(MainMenu1.Harvest1, &FormMain::Harvest1Click);
  bind_own_item(MainMenu1.Exit1, &FormMain::Exit1Click);
  bind_item(MainMenu1.Clear1, &TFormMain::ClearButtClick);
  bind_item(MainMenu1.RemDup1, &TFormMain::RemDupButtClick);
  bind_item(MainMenu1.Sort1, &TFormMain::SortButtClick);
  bind_item(MainMenu1.Count1, &TFormMain::Count1Click);
  bind_item(MainMenu1.LtoR, &TFormMain::LtoRClick);
  // Undo brings back the lines the minus words removed.
  connect(MainMenu1.MinusWords1, &QAction::triggered, this, [this] {
    MemoArea->KeepNextCommandUndoable();
    Run(&TFormMain::MinusWords1Click);
  });
  bind_own_item(MainMenu1.About1, &FormMain::About1Click);

  StaticText1->OnClick = [this] { RunCommand([this] { StaticText1Click(); }); };
  StaticText2->OnClick = [this] { RunCommand([this] { StaticText2Click(); }); };
  StaticText3->OnClick = [this] { RunCommand([this] { StaticText2Click(); }); };

  shortcuts_first_ = new MenuShortcutsFirst(MainMenu1.WithShortcuts(), this);
  shortcuts_first_->Watch(this);
}

void FormMain::Run(Handler handler) {
  RunCommand([this, handler] { (model.*handler)(); });
}

void FormMain::RunCommand(const std::function<void()>& command) {
  PullModel();
  std::optional<std::string> failure;
  RunHandler(command, [&failure](const std::string& text) { failure = text; });
  // What the command changed shows before the error box does: it stays
  // changed after a failure.
  PushModel();
  if (failure) ShowErrorBox(this, {ErrorBoxTitle(), *failure});
}

void FormMain::PullModel() {
  EditKw->Pull();
  SpinEdMaxKw->Pull();
  SpinEdKwPM->Pull();
  // The text list and the grid's current row reach the model as the user
  // changes them.
}

void FormMain::PushModel() {
  EditKw->Push();
  SpinEdMaxKw->Push();
  SpinEdKwPM->Push();
  MemoArea->Push();
  StrGrid1->Push();
  StatusBar1->Push();
}

void FormMain::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  // Becoming visible, not coming back from the task bar.
  if (!event->spontaneous()) Run(&TFormMain::FormShow);
}

void FormMain::Exit1Click() { close(); }

void FormMain::About1Click() {
  if (about_) about_->ShowModal();
}

void FormMain::Harvest1Click() {
  if (!harvest_window_) harvest_window_ = new HarvestWindow(*this);
  harvest_window_->Open();
}

void FormMain::StaticText1Click() { OpenInBrowser(kProgramsAddress); }

void FormMain::StaticText2Click() { OpenInBrowser(kSellingTipsAddress); }

}  // namespace kv::ui
