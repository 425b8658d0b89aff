#include "ui/form_about.h"

#include <QLabel>

#include "ui/qt_text.h"
#include "ui/window_font.h"
#include "base/cp1251.h"

namespace kv::ui {
namespace {

QLabel* NavyLabel(const QString& text, bool bold, const QRect& geometry, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  QFont font = label->font();
  font.setBold(bold);
  label->setFont(font);
  QPalette navy = label->palette();
  navy.setColor(QPalette::WindowText, QColor(0x00, 0x00, 0x80));
  label->setPalette(navy);
  label->setGeometry(geometry);
  label->adjustSize();  // labels fit their caption to the font in use
  return label;
}

}  // namespace

FormAbout::FormAbout(QWidget* parent) : QDialog(parent) {
  setObjectName("FormAbout");
  setWindowTitle(ToQt("О программе"_w1251));
  setFont(WindowFont());
  QPalette face = palette();
  face.setColor(QPalette::Window, face.color(QPalette::Button));
  setPalette(face);
  // Outer size 273 x 146 at 408, 269: the client area inside the frame.
  move(408, 269);
  resize(265, 119);

  Label1 = NavyLabel(ToQt("Kvornis   v.1.0.1R Beta"_w1251), true, QRect(48, 32, 183, 13), this);
  Label1->setObjectName("Label1");
  Label2 = NavyLabel(ToQt("© Команда Kvornis"_w1251), false, QRect(72, 56, 114, 13), this);
  Label2->setObjectName("Label2");
}

void FormAbout::ShowModal() { exec(); }

}  // namespace kv::ui
