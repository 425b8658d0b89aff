#include "ui/save_dialog.h"

#include <QFile>
#include <QFileDialog>

#include "ui/qt_text.h"

namespace kv::ui {

QStringList QtNameFilters(std::string_view filter) {
  const QStringList parts = ToQt(filter).split(u'|');
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    const QString patterns = QString(parts[i + 1]).replace(u';', u' ').trimmed();
    const QString display = parts[i].trimmed();
    const QString in_parentheses = QStringLiteral("(%1)").arg(patterns);
    filters << (display.endsWith(in_parentheses) ? display : display + u' ' + in_parentheses);
  }
  return filters;
}

namespace {

// "Text (*.txt)" -> "txt"; empty unless the filter holds one "*.EXT".
QString SuffixOfFilter(const QString& filter) {
  const qsizetype open = filter.lastIndexOf(u'(');
  if (open < 0 || !filter.endsWith(u')')) return {};
  const QString patterns = filter.mid(open + 1, filter.size() - open - 2).trimmed();
  if (!patterns.startsWith(QStringLiteral("*.")) || patterns.contains(u' ') || patterns.indexOf(u'*', 2) >= 0) return {};
  return patterns.mid(2);
}

}  // namespace

std::optional<std::string> RunSaveDialog(QWidget* parent, const TSaveDialog& settings) {
  QFileDialog dialog(parent, ToQt(settings.Title));
  dialog.setObjectName("SaveDialog1");
  // Qt's own dialog, whose captions and buttons come from Qt's Russian
  // texts; a desktop's native one would follow the system's locale.
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::DontConfirmOverwrite);
  if (const QStringList filters = QtNameFilters(settings.Filter); !filters.isEmpty()) dialog.setNameFilters(filters);
  dialog.setDefaultSuffix(ToQt(settings.DefaultExt));
  // With several formats to choose from, a name typed without extension
  // gets the chosen one's.
  QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& filter) {
    if (const QString suffix = SuffixOfFilter(filter); !suffix.isEmpty()) dialog.setDefaultSuffix(suffix);
  });
  if (!settings.FileName().empty()) {
    const QString name = QFile::decodeName(QByteArray::fromStdString(settings.FileName()));
    for (const QString& filter : dialog.nameFilters()) {
      if (const QString suffix = SuffixOfFilter(filter); !suffix.isEmpty() && name.endsWith(u'.' + suffix)) {
        dialog.selectNameFilter(filter);
        dialog.setDefaultSuffix(suffix);
      }
    }
    dialog.selectFile(name);
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return QFile::encodeName(dialog.selectedFiles().constFirst()).toStdString();
}

}  // namespace kv::ui
