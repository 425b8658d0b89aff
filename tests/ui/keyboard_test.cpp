// The keyboard: menu shortcuts before the focused control, the number
// fields' typing, arrows and focus rule, and the tab order.

#include <QClipboard>
#include <QLineEdit>
#include <QTableView>
#include <QTest>

#include "tests/ui/shown_form.h"
#include "tests/ui/ui_test_registry.h"

namespace kv::ui::test {
namespace {

QLineEdit* EditorOf(ShownForm& f, const char* spin_name) { return f.Find(spin_name)->findChild<QLineEdit*>(); }

// Focuses the control and puts `text` in it as the user would: select all,
// erase, type.
void TypeInto(QWidget* control, const QString& text) {
  control->setFocus();
  QWidget* editor = QApplication::focusWidget();
  QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(editor, Qt::Key_Backspace);
  QTest::keyClicks(editor, text);
}

}  // namespace

class KeyboardTest : public QObject {
  Q_OBJECT

 private slots:
  void ctrlCCountsInsteadOfCopying_data() {
    QTest::addColumn<QString>("focused");
    QTest::newRow("text list") << "MemoArea";
    QTest::newRow("keyword box") << "EditKw";
    QTest::newRow("number field") << "SpinEdMaxKw";
    QTest::newRow("grid") << "StrGrid1";
  }
  void ctrlCCountsInsteadOfCopying() {
    QFETCH(QString, focused);
    ShownForm f;
    QVERIFY(f.active);
    // As the user left them: the list edited in its box, a keyword typed.
    f.TextList()->setPlainText("      5   -   a\n      7   -   b\n      9   -   c");
    f.Find<QLineEdit>("EditKw")->setText("keyword");
    QWidget* control = f.Find(focused.toLatin1().constData());
    control->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);  // something to copy
    QApplication::clipboard()->setText("untouched");

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_C, Qt::ControlModifier);

    QCOMPARE(f.StatusText(), QString("3 кейвордов в списке"));
    QCOMPARE(QApplication::clipboard()->text(), QString("untouched"));
    QCOMPARE(FocusedControl(), focused);
  }

  void ctrlRAndCtrlSRunTheirCommandsFromTheTextList() {
    ShownForm f;
    auto* list = f.TextList();
    list->setPlainText("      5   -   b\n    351   -   a\n      5   -   b");
    list->setFocus();

    QTest::keyClick(list, Qt::Key_R, Qt::ControlModifier);
    QCOMPARE(f.StatusText(), QString("Выполнено: удалено 1 дубликатов"));
    QCOMPARE(list->toPlainText(), QString("      5   -   b\n    351   -   a\n"));

    QTest::keyClick(list, Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(list->toPlainText(), QString("    351   -   a\n      5   -   b\n"));
    auto* grid = f.Find<QTableView>("StrGrid1");
    QCOMPARE(grid->model()->rowCount(), 3);
    QCOMPARE(grid->model()->data(grid->model()->index(1, 0)).toString(), QString("a"));
    QCOMPARE(grid->model()->data(grid->model()->index(1, 1)).toString(), QString("    351"));
    QVERIFY(f.boxes.empty());
  }

  void numberFieldKeepsTypedTextUntilTheFocusLeaves_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("while_focused");
    QTest::addColumn<QString>("after_leaving");
    QTest::addColumn<int>("value");
    QTest::newRow("above the pages' range") << "SpinEdMaxKw" << "5000" << "5000" << "999" << 999;
    QTest::newRow("below the minimum's range") << "SpinEdKwPM" << "0" << "0" << "1" << 1;
    QTest::newRow("negative") << "SpinEdMaxKw" << "-7" << "-7" << "1" << 1;
    QTest::newRow("in range") << "SpinEdKwPM" << "99999" << "99999" << "99999" << 99999;
    QTest::newRow("letters are refused") << "SpinEdKwPM" << "1x2y3" << "123" << "123" << 123;
    QTest::newRow("emptied reads as the minimum") << "SpinEdMaxKw" << "" << "" << "" << 1;
  }
  void numberFieldKeepsTypedTextUntilTheFocusLeaves() {
    QFETCH(QString, field);
    QFETCH(QString, typed);
    QFETCH(QString, while_focused);
    QFETCH(QString, after_leaving);
    QFETCH(int, value);
    ShownForm f;
    QVERIFY(f.active);
    const QByteArray name = field.toLatin1();
    TypeInto(f.Find(name.constData()), typed);
    QCOMPARE(EditorOf(f, name.constData())->text(), while_focused);

    // A command run now sees the text as typed, unclamped.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_C, Qt::ControlModifier);
    TSpinEdit& model_field = field == "SpinEdMaxKw" ? f.model().SpinEdMaxKw : f.model().SpinEdKwPM;
    QCOMPARE(ToQt(model_field.Text()), while_focused);

    f.Find("EditKw")->setFocus();
    QCOMPARE(EditorOf(f, name.constData())->text(), after_leaving);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(model_field.Value(), value);
  }

  void enterIsRefusedInANumberField() {
    ShownForm f;
    TypeInto(f.Find("SpinEdMaxKw"), "12");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter, Qt::KeypadModifier);
    QTest::keyClicks(QApplication::focusWidget(), "3");
    QCOMPARE(EditorOf(f, "SpinEdMaxKw")->text(), QString("123"));
  }

  void arrowsStepFromTheValueReadAndClamp_data() {
    QTest::addColumn<QString>("start");
    QTest::addColumn<QList<int>>("keys");
    QTest::addColumn<QString>("shown");
    QTest::newRow("up") << "5" << QList<int>{Qt::Key_Up, Qt::Key_Up} << "7";
    QTest::newRow("down") << "5" << QList<int>{Qt::Key_Down} << "4";
    QTest::newRow("up stops at the maximum") << "998" << QList<int>{Qt::Key_Up, Qt::Key_Up} << "999";
    QTest::newRow("down stops at the minimum") << "1" << QList<int>{Qt::Key_Down} << "1";
    QTest::newRow("out of range is clamped first") << "5000" << QList<int>{Qt::Key_Down} << "999";
    QTest::newRow("empty steps from the minimum") << "" << QList<int>{Qt::Key_Up} << "2";
    QTest::newRow("page keys do not step") << "5" << QList<int>{Qt::Key_PageUp, Qt::Key_PageDown} << "5";
  }
  void arrowsStepFromTheValueReadAndClamp() {
    QFETCH(QString, start);
    QFETCH(QList<int>, keys);
    QFETCH(QString, shown);
    ShownForm f;
    TypeInto(f.Find("SpinEdMaxKw"), start);
    for (int key : keys) QTest::keyClick(QApplication::focusWidget(), static_cast<Qt::Key>(key));
    QCOMPARE(EditorOf(f, "SpinEdMaxKw")->text(), shown);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_C, Qt::ControlModifier);  // a command reads it
    QCOMPARE(ToQt(f.model().SpinEdMaxKw.Text()), shown);
  }

  void tabWalksTheDesignedOrder() {
    ShownForm f;
    QVERIFY(f.active);
    QCOMPARE(FocusedControl(), QString("DigButt"));
    QStringList visited;
    for (int i = 0; i < 10; ++i) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      visited << FocusedControl();
    }
    const QStringList expected = {"DeepButt", "ClearButt",  "SortButt", "RemDupButt", "EditKw",
                                  "SpinEdMaxKw", "SpinEdKwPM", "StrGrid1", "MemoArea",   "DigButt"};
    QCOMPARE(visited, expected);
  }
};

KV_UI_TEST_CLASS(KeyboardTest);

}  // namespace kv::ui::test

#include "keyboard_test.moc"
