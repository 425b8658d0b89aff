#include "ui/minus_words_dialog.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "base/cp1251.h"
#include "ui/qt_text.h"

namespace kv::ui {

std::optional<std::string> RunMinusWordsDialog(QWidget* parent, const std::string& words) {
  QDialog dialog(parent);
  dialog.setObjectName("MinusWordsDialog");
  dialog.setWindowTitle(ToQt("Минус-слова"_w1251));
  auto* layout = new QVBoxLayout(&dialog);
  layout->addWidget(new QLabel(
      ToQt("Строки списка, где кейворд содержит одно из этих слов (по одному в строке), будут удалены:"_w1251)));
  auto* box = new QPlainTextEdit(&dialog);
  box->setObjectName("MinusWordsEdit");
  box->setLineWrapMode(QPlainTextEdit::NoWrap);
  // The box keeps line feeds; the model's lines end in CR LF.
  box->setPlainText(ToQt(words).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
  layout->addWidget(box);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  auto* apply = new QPushButton(ToQt("Применить"_w1251), &dialog);
  apply->setObjectName("ApplyButt");
  apply->setDefault(true);
  auto* cancel = new QPushButton(ToQt("Отмена"_w1251), &dialog);
  cancel->setObjectName("CancelButt");
  buttons->addWidget(apply);
  buttons->addWidget(cancel);
  layout->addLayout(buttons);
  QObject::connect(apply, &QPushButton::clicked, &dialog, &QDialog::accept);
  QObject::connect(cancel, &QPushButton::clicked, &dialog, &QDialog::reject);
  dialog.resize(360, 300);
  box->setFocus();

  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return FromQt(box->toPlainText().replace(u'\n', QStringLiteral("\r\n")));
}

}  // namespace kv::ui
