#pragma once
// A shown, active main window with its About window, pointed at a service
// address where nothing listens, and an error box that records instead of
// showing. Plus helpers to answer modal windows from inside their loop.

#include <QApplication>
#include <QLabel>
#include <QTest>
#include <QTimer>
#include <functional>
#include <string>
#include <vector>

#include "ui/form_about.h"
#include "ui/form_main.h"
#include "ui/qt_text.h"
#include "ui/text_list_edit.h"
#include "base/cp1251.h"

namespace kv::ui::test {

// Port 1 on the loopback: a connection there is refused at once.
inline constexpr const char* kUnusedServiceUrl = "http://127.0.0.1:1";

struct RecordedBox {
  QString title;
  QString text;
};

class ShownForm {
 public:
  explicit ShownForm(const std::string& service_url = kUnusedServiceUrl) : form(service_url), about(&form) {
    form.SetAboutWindow(&about);
    form.ShowErrorBox = [this](QWidget*, const ErrorBoxContent& box) {
      boxes.push_back({ToQt(box.title), ToQt(box.text)});
    };
    form.show();
    QApplication::setActiveWindow(&form);
    active = QTest::qWaitForWindowActive(&form);
  }

  template <typename W = QWidget>
  W* Find(const char* name) {
    return form.findChild<W*>(name);
  }
  QString StatusText() { return Find<QLabel>("StatusText")->text(); }
  TextListEdit* TextList() { return dynamic_cast<TextListEdit*>(Find("MemoArea")); }
  TFormMain& model() { return form.Model(); }

  FormMain form;
  FormAbout about;
  std::vector<RecordedBox> boxes;
  bool active = false;
};

// Calls `answer` with the next modal window once it is up, from inside its
// own event loop. `answer` must close the window; checks belong after the
// loop has returned.
inline void WhenModalAppears(std::function<void(QWidget*)> answer, int tries_left = 500) {
  QTimer::singleShot(10, [answer = std::move(answer), tries_left]() mutable {
    if (QWidget* modal = QApplication::activeModalWidget()) return answer(modal);
    if (tries_left > 0) WhenModalAppears(std::move(answer), tries_left - 1);
  });
}

// The widget that owns the keyboard focus, seen through the inner editors
// that Qt's compound widgets hand the focus to.
inline QString FocusedControl() {
  QWidget* widget = QApplication::focusWidget();
  while (widget && (widget->objectName().isEmpty() || widget->objectName().startsWith("qt_")))
    widget = widget->parentWidget();
  return widget ? widget->objectName() : QString();
}

inline QString U(std::string_view cp1251) { return ToQt(cp1251); }

// Types text of any script key by key: QTest's own typing takes Latin-1
// only.
inline void TypeText(QWidget* widget, const QString& text) {
  for (const QChar c : text) {
    QTest::sendKeyEvent(QTest::Press, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
    QTest::sendKeyEvent(QTest::Release, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
  }
}

}  // namespace kv::ui::test
