#pragma once
// A number field with up/down arrows on the screen (SpinEdMaxKw,
// SpinEdKwPM). The rules are TSpinEdit's: this widget hands it the typed
// keys, the arrows and the loss of focus, and shows its text.

#include <QAbstractSpinBox>

#include "app/controls.h"
#include "ui/revision_sync.h"

namespace kv::ui {

class SpinField : public QAbstractSpinBox {
 public:
  SpinField(TSpinEdit& field, QWidget* parent);

  // What the user typed goes into the model.
  void Pull();
  // The model's text comes to the screen when it changed.
  void Push();

  void stepBy(int steps) override;

 protected:
  StepEnabled stepEnabled() const override;
  // Any text may stand in the field: the model reads it, and the focus
  // rule corrects it. Qt must neither refuse nor repair it.
  QValidator::State validate(QString& input, int& pos) const override;
  void fixup(QString& input) const override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

 private:
  TSpinEdit& field_;
  RevisionSync<TSpinEdit> shown_{field_};
};

}  // namespace kv::ui
