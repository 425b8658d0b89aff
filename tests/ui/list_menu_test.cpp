// The list items beyond saving: "Экспорт..." read back by independent
// readers of XLSX and CSV, and "Минус-слова..." with its dialog and undo.

#include <QDir>
#include <QFileDialog>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "tests/support/run_process.h"
#include "tests/ui/shown_form.h"
#include "tests/ui/ui_test_registry.h"

namespace kv::ui::test {
namespace {

QAction* MenuItem(ShownForm& f, const char* name) { return f.Find<QMenuBar>("MainMenu1")->findChild<QAction*>(name); }

// Debian's interpreter, which has openpyxl; another one on PATH may not.
QString ReadWithPython(const char* script, const QString& path) {
  const auto result = kv::test::RunProgram("/usr/bin/python3", {"-c", script, QFile::encodeName(path).toStdString()});
  return result.exit_code == 0 ? QString::fromStdString(result.out).trimmed()
                               : "python failed: " + QString::fromStdString(result.err);
}

// (No raw strings in this file: moc does not read past them.)
constexpr const char* kReadXlsx =
    "import json, sys, openpyxl\n"
    "sheet = openpyxl.load_workbook(sys.argv[1]).worksheets[0]\n"
    "print(json.dumps([[cell.value for cell in row] for row in sheet.iter_rows()], ensure_ascii=False))\n";

constexpr const char* kReadCsv =
    "import csv, json, sys\n"
    "with open(sys.argv[1], encoding='utf-8-sig', newline='') as f:\n"
    "    print(json.dumps(list(csv.reader(f, delimiter=';')), ensure_ascii=False))\n";

// Answers the next file dialog with `name`, noting the filters it offered.
void AnswerFileDialog(const QString& name, QStringList* filters = nullptr) {
  WhenModalAppears([name, filters](QWidget* modal) {
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    if (!dialog) return modal->close(), void();
    if (filters) *filters = dialog->nameFilters();
    dialog->selectFile(name);
    static_cast<QDialog*>(dialog)->accept();
  });
}

// Answers the minus-words dialog: notes the words it offers, then types
// `words` in their place and presses `button`.
void AnswerMinusDialog(const QString& words, const char* button, QString* offered) {
  WhenModalAppears([=](QWidget* modal) {
    auto* box = modal->findChild<QPlainTextEdit*>("MinusWordsEdit");
    auto* press = modal->findChild<QPushButton*>(button);
    if (!box || !press) return modal->close(), void();
    *offered = box->toPlainText();
    box->setPlainText(words);
    press->click();
  });
}

}  // namespace

class ListMenuTest : public QObject {
  Q_OBJECT

 private slots:
  void exportWritesOneRowALineForSpreadsheets() {
    ShownForm f;
    QTemporaryDir dir;
    // A line the user typed has neither field, yet keeps its row.
    f.TextList()->setPlainText("    351   -   кот\nзаметка\n     42   -   корм; \"сухой\"\n");

    QStringList filters;
    AnswerFileDialog(dir.filePath("book"), &filters);  // typed without an extension
    MenuItem(f, "Export1")->trigger();
    QCOMPARE(filters, (QStringList{"Книга Excel (*.xlsx)", "Текст CSV (*.csv)"}));
    QCOMPARE(f.StatusText(), "Экспортировано в: " + dir.filePath("book.xlsx"));
    QCOMPARE(ReadWithPython(kReadXlsx, dir.filePath("book.xlsx")),
             QString("[[\"Кейворд\", \"Всего запросов\"], [\"кот\", 351], [null, null], [\"корм; \\\"сухой\\\"\", 42]]"));

    AnswerFileDialog(dir.filePath("list.csv"));
    MenuItem(f, "Export1")->trigger();
    QCOMPARE(ReadWithPython(kReadCsv, dir.filePath("list.csv")),
             QString("[[\"Кейворд\", \"Всего запросов\"], [\"кот\", \"351\"], [\"\", \"\"], [\"корм; \\\"сухой\\\"\", \"42\"]]"));
    QCOMPARE(f.StatusText(), "Экспортировано в: " + dir.filePath("list.csv"));

    // A failure names the file and the reason; the status keeps the last export.
    AnswerFileDialog(dir.filePath("missing/list.csv"));
    MenuItem(f, "Export1")->trigger();
    QCOMPARE(f.boxes.size(), size_t{1});
    QCOMPARE(f.boxes[0].text,
             "Cannot create file \"" + dir.filePath("missing/list.csv") + "\". No such file or directory.");
    QCOMPARE(f.StatusText(), "Экспортировано в: " + dir.filePath("list.csv"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), (QStringList{"book.xlsx", "list.csv"}));
  }

  void minusWordsRemoveLinesUntilUndone() {
    ShownForm f;
    const QString list = "    351   -   кот\n     42   -   Ёжик в тумане\n     40   -   корм купить\n";
    f.TextList()->setPlainText(list);
    TextListEdit* edit = f.TextList();
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_End, Qt::ControlModifier);
    TypeText(edit, "x");  // an edit before the command stays undoable

    QString offered;
    AnswerMinusDialog("ежик\nКУПИТЬ\n", "ApplyButt", &offered);
    MenuItem(f, "MinusWords1")->trigger();
    QCOMPARE(offered, QString());
    QCOMPARE(edit->toPlainText(), QString("    351   -   кот\nx\n"));
    QCOMPARE(f.StatusText(), QString("Удалено строк: 2"));

    // Offered again; cancelling changes nothing.
    AnswerMinusDialog("кот", "CancelButt", &offered);
    MenuItem(f, "MinusWords1")->trigger();
    QCOMPARE(offered, QString("ежик\nКУПИТЬ\n"));
    QCOMPARE(edit->toPlainText(), QString("    351   -   кот\nx\n"));

    QTest::keyClick(edit, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(edit->toPlainText(), list + "x");
    QTest::keyClick(edit, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(edit->toPlainText(), list);
    QCOMPARE(f.model().MemoArea.LineCount(), size_t{3});
  }
};

KV_UI_TEST_CLASS(ListMenuTest);

}  // namespace kv::ui::test

#include "list_menu_test.moc"
