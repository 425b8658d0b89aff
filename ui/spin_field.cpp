#include "ui/spin_field.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>

#include "ui/qt_text.h"

namespace kv::ui {

SpinField::SpinField(TSpinEdit& field, QWidget* parent) : QAbstractSpinBox(parent), field_(field) { Push(); }

void SpinField::Pull() {
  std::string typed = FromQt(lineEdit()->text());
  if (typed != field_.Text()) field_.SetText(typed);
  shown_.MarkShown();
}

void SpinField::Push() {
  if (!shown_.Changed()) return;
  lineEdit()->setText(ToQt(field_.Text()));
  shown_.MarkShown();
}

void SpinField::stepBy(int steps) {
  Pull();
  for (; steps > 0; --steps) field_.ArrowUp();
  for (; steps < 0; ++steps) field_.ArrowDown();
  Push();
}

QAbstractSpinBox::StepEnabled SpinField::stepEnabled() const {
  // The arrows always work; the model clamps.
  return StepUpEnabled | StepDownEnabled;
}

QValidator::State SpinField::validate(QString&, int&) const { return QValidator::Acceptable; }

void SpinField::fixup(QString&) const {}

void SpinField::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Up:
      stepBy(1);
      return event->accept();
    case Qt::Key_Down:
      stepBy(-1);
      return event->accept();
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
      return event->accept();  // only the arrows step
    case Qt::Key_Delete:
      return QAbstractSpinBox::keyPressEvent(event);  // an editing key, not a typed character
    default:
      break;
  }
  // Typed characters pass the model's filter one by one; a refused one
  // beeps and never reaches the text.
  for (char key : FromQt(event->text())) {
    if (!field_.AcceptsKey(key)) {
      QApplication::beep();
      return event->accept();
    }
  }
  QAbstractSpinBox::keyPressEvent(event);
}

void SpinField::focusOutEvent(QFocusEvent* event) {
  QAbstractSpinBox::focusOutEvent(event);
  Pull();
  field_.Leave();
  Push();
}

void SpinField::wheelEvent(QWheelEvent* event) {
  // The wheel scrolls whatever lies below; it does not change the number.
  event->ignore();
}

}  // namespace kv::ui
