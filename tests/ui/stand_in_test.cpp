// The window digging at the real stand-in of the service: typing, pressing
// "Получить", and a double click on a row for Deep.

#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include "base/cp1251.h"
#include "tests/support/stat_sim_fixture.h"
#include "tests/ui/shown_form.h"
#include "tests/ui/ui_test_registry.h"

namespace kv::ui::test {

class StandInTest : public QObject {
  Q_OBJECT

 private slots:
  void pressingGetDigsAndDoubleClickDigsDeeper() {
    kv::test::StatSimProcess sim({"--pages", "3"});
    ShownForm f(sim.BaseUrl());
    QVERIFY(f.active);

    auto* keyword = f.Find<QLineEdit>("EditKw");
    QTest::mouseClick(keyword, Qt::LeftButton);
    TypeText(keyword, QString::fromUtf8("кот"));
    QWidget* pages = f.Find("SpinEdMaxKw");
    QTest::mouseClick(pages, Qt::LeftButton);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_End);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backspace);
    QTest::keyClicks(QApplication::focusWidget(), "2");
    QTest::mouseClick(f.Find<QPushButton>("DigButt"), Qt::LeftButton);

    QCOMPARE(f.StatusText(), QString::fromUtf8("Выполнено - получено 100 кейвордов"));
    auto* grid = f.Find<QTableView>("StrGrid1");
    QCOMPARE(grid->model()->rowCount(), 101);
    QVERIFY(grid->model()->data(grid->model()->index(1, 0)).toString().contains(QString::fromUtf8("кот")));
    QCOMPARE(f.TextList()->blockCount(), size_t{101});  // 100 lines and the empty last one
    QVERIFY(f.boxes.empty());

    const QString row_keyword = grid->model()->data(grid->model()->index(3, 0)).toString();
    const QPoint cell = grid->visualRect(grid->model()->index(3, 1)).center();
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell);
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cell);

    QCOMPARE(keyword->text(), row_keyword);
    QCOMPARE(grid->model()->rowCount(), 201);
    QCOMPARE(f.StatusText(), QString::fromUtf8("Выполнено - получено 200 кейвордов"));
    QVERIFY(f.boxes.empty());
  }
};

KV_UI_TEST_CLASS(StandInTest);

}  // namespace kv::ui::test

#include "stand_in_test.moc"
