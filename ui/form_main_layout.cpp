// The main window's controls at their designed places: positions are
// client-area pixels, or pixels inside the panel that holds the control.

#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>

#include "ui/aligned_panels.h"
#include "ui/form_main.h"
#include "ui/grid_view.h"
#include "ui/keyword_edit.h"
#include "ui/link_label.h"
#include "ui/qt_text.h"
#include "ui/spin_field.h"
#include "ui/status_line.h"
#include "ui/text_list_edit.h"
#include "ui/tool_bar.h"
#include "base/cp1251.h"

namespace kv::ui {
namespace {

constexpr int kClientWidth = 689;
constexpr int kClientHeightAboveStatus = 415;
constexpr int kStatusHeight = 19;

QLabel* AddLabel(QWidget* parent, const char* name, std::string_view caption, const QRect& geometry) {
  auto* label = new QLabel(ToQt(caption), parent);
  label->setObjectName(name);
  label->setTextFormat(Qt::PlainText);
  label->setGeometry(geometry);
  label->adjustSize();  // labels fit their caption to the font in use
  return label;
}

LinkLabel* AddLink(QWidget* parent, const char* name, std::string_view caption, const QRect& geometry) {
  auto* link = new LinkLabel(ToQt(caption), parent);
  link->setObjectName(name);
  link->setGeometry(geometry);
  return link;
}

template <typename T>
T* Named(T* widget, const char* name, const QRect& geometry) {
  widget->setObjectName(name);
  widget->setGeometry(geometry);
  return widget;
}

}  // namespace

void FormMain::CreateControls() {
  client_area_ = new ClientArea(this);
  setCentralWidget(client_area_);

  ToolBar1 = new ToolBar(client_area_);
  client_area_->AlignTop(ToolBar1, ToolBar::kHeight);

  Panel2 = Named(new QFrame(client_area_), "Panel2", QRect(0, 32, 689, 81));
  Panel2->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  StaticText1 = AddLink(Panel2, "StaticText1",
                        "Новые Эффективные Программы для Вашего Интернет Бизнеса. "
                        "Апгрейды, Обновления, Дополнения."_w1251,
                        QRect(8, 8, 622, 17));
  StaticText2 = AddLink(Panel2, "StaticText2",
                        "Качественные Подсказки о Том, Как Эффективно Продавать Свою "
                        "Обучающую Информацию, Программы,"_w1251,
                        QRect(8, 40, 645, 17));
  StaticText3 = AddLink(Panel2, "StaticText3", "Сервисы и Услуги На Арене Российского Интернета!"_w1251,
                        QRect(8, 56, 325, 17));

  Panel1 = Named(new SidePanel(client_area_), "Panel1", QRect(0, 112, 689, 233));
  Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
  StrGrid1 = new GridView(model.StrGrid1, Panel1);
  StrGrid1->setObjectName("StrGrid1");
  Panel1->AlignLeft(StrGrid1, 345);
  MemoArea = new TextListEdit(model.MemoArea, Panel1);
  MemoArea->setObjectName("MemoArea");
  Panel1->AlignRight(MemoArea, 335);

  Label1 = AddLabel(client_area_, "Label1", "Введите кейворд для поиска в Яндекс Директе: "_w1251,
                    QRect(16, 352, 250, 13));
  // The page text lives in the model alone: the box is never shown, so it
  // is not filled either.
  Memo1 = Named(new QPlainTextEdit(client_area_), "Memo1", QRect(0, 352, 9, 17));
  Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
  Memo1->hide();
  EditKw = Named(new KeywordEdit(model.EditKw, client_area_), "EditKw", QRect(16, 376, 249, 21));
  Label2 = AddLabel(client_area_, "Label2", "Страниц (50 кейвордов на стр.)"_w1251, QRect(280, 376, 158, 13));
  SpinEdMaxKw = Named(new SpinField(model.SpinEdMaxKw, client_area_), "SpinEdMaxKw", QRect(448, 376, 49, 22));
  Label3 = AddLabel(client_area_, "Label3", "Кейвордов за месяц  > "_w1251, QRect(512, 376, 120, 13));
  SpinEdKwPM = Named(new SpinField(model.SpinEdKwPM, client_area_), "SpinEdKwPM", QRect(632, 376, 49, 22));

  StatusBar1 = new StatusLine(model.StatusBar1, this);
  StatusBar1->setObjectName("StatusBar1");
  StatusBar1->setFixedHeight(kStatusHeight);
  setStatusBar(StatusBar1);

  MainMenu1 = BuildMainMenu(menuBar());

  // Outer position as designed (the frame's corner); the size is the client
  // area's, with the menu bar above it.
  move(192, 107);
  resize(kClientWidth, menuBar()->sizeHint().height() + kClientHeightAboveStatus + kStatusHeight);
}

void FormMain::SetTabOrder() {
  // The tool bar's buttons, the keyword box, the number fields, then the
  // grid and the text list; hidden controls are passed over. The links take
  // no focus.
  const QList<QWidget*> order = {ToolBar1->DigButt, ToolBar1->DeepButt,   ToolBar1->ClearButt, ToolBar1->SortButt,
                                 ToolBar1->RemDupButt, ToolBar1->BroadButt, EditKw,              SpinEdMaxKw,
                                 SpinEdKwPM,          StrGrid1,             MemoArea,            Memo1};
  for (qsizetype i = 0; i + 1 < order.size(); ++i) QWidget::setTabOrder(order[i], order[i + 1]);
  // The first control in tab order starts with the focus.
  order.front()->setFocus();
}

}  // namespace kv::ui
