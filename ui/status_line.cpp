#include "ui/status_line.h"

#include <QLabel>

#include "ui/qt_text.h"

namespace kv::ui {

StatusLine::StatusLine(TStatusBar& status, QWidget* parent)
    : QStatusBar(parent), status_(status), label_(new QLabel(this)) {
  label_->setObjectName("StatusText");
  addWidget(label_, 1);
  status_.OnRepaint = [this](const std::string& text) { ShowNow(text); };
  Push();
}

StatusLine::~StatusLine() { status_.OnRepaint = nullptr; }

void StatusLine::Push() {
  if (!shown_.Changed()) return;
  label_->setText(ToQt(status_.SimpleText()));
  shown_.MarkShown();
}

QString StatusLine::Text() const { return label_->text(); }

void StatusLine::ShowNow(const std::string& text) {
  label_->setText(ToQt(text));
  shown_.MarkShown();
  // Painted now, not when the event loop next runs: the command holds it.
  label_->repaint();
}

}  // namespace kv::ui
