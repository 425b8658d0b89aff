#pragma once
// The main window FormMain on the screen. It presents the window model of
// TFormMain and runs its handlers for the buttons, the menu items, the
// shortcuts and the grid's double click. Every handler runs to completion:
// the window takes no input and is not repainted meanwhile, except for the
// status bar, which the handler repaints itself.

#include <QMainWindow>
#include <functional>
#include <string>

#include "ui/error_box.h"
#include "ui/main_menu.h"
#include "digging/form_main.h"

class QFrame;
class QLabel;
class QPlainTextEdit;

namespace kv::ui {

class ClientArea;
class FormAbout;
class GridView;
class HarvestWindow;
class KeywordEdit;
class LinkLabel;
class MenuShortcutsFirst;
class SidePanel;
class SpinField;
class StatusLine;
class TextListEdit;
class ToolBar;

// Holds the model for FormMain. Being its first base, it is made before the
// widgets and destroyed after them, so no widget ever sees a dead model.
struct FormMainModelHolder {
  explicit FormMainModelHolder(std::string service_url) : model(nullptr, std::move(service_url)) {}
  TFormMain model;
};

class FormMain : private FormMainModelHolder, public QMainWindow {
 public:
  explicit FormMain(std::string service_url = TFormMain::DefaultServiceUrl());
  ~FormMain() override;

  TFormMain& Model() { return model; }
  // The About window, created after this one.
  void SetAboutWindow(FormAbout* about) { about_ = about; }

  // Runs one command as every button, item and shortcut does: what the user
  // typed goes into the model, the command runs, the controls it changed
  // come back to the screen, and a failure that escaped it is shown in the
  // error box. The program goes on either way.
  void RunCommand(const std::function<void()>& command);

  // Shows the error box; tests put a reader here.
  ErrorBoxShower ShowErrorBox = ShowErrorBoxDialog;

  // ---- Handlers of the window itself ----
  void Exit1Click();
  void About1Click();
  // Opens the harvest window (made on first use).
  void Harvest1Click();
  HarvestWindow* Harvester() const { return harvest_window_; }
  void StaticText1Click();
  void StaticText2Click();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  using Handler = void (TFormMain::*)();

  void CreateControls();
  void SetTabOrder();
  void BindHandlers();
  void Run(Handler handler);

  void PullModel();
  void PushModel();

  // ---- Controls (names as the handlers know them) ----
  ClientArea* client_area_;
  ToolBar* ToolBar1;
  QFrame* Panel2;
  LinkLabel* StaticText1;
  LinkLabel* StaticText2;
  LinkLabel* StaticText3;
  SidePanel* Panel1;
  GridView* StrGrid1;
  TextListEdit* MemoArea;
  QLabel* Label1;
  QPlainTextEdit* Memo1;
  KeywordEdit* EditKw;
  QLabel* Label2;
  SpinField* SpinEdMaxKw;
  QLabel* Label3;
  SpinField* SpinEdKwPM;
  StatusLine* StatusBar1;
  MainMenu MainMenu1;

  MenuShortcutsFirst* shortcuts_first_;
  FormAbout* about_ = nullptr;
  HarvestWindow* harvest_window_ = nullptr;
};

}  // namespace kv::ui
