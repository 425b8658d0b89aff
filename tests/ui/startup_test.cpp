// The main window as it comes up: its state, where its controls sit, its
// menu, what follows a resize, the About window and leaving the program.

#include <QAbstractItemModel>
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTableView>
#include <QTest>

#include "tests/ui/shown_form.h"
#include "tests/ui/ui_test_registry.h"

namespace kv::ui::test {

class StartupTest : public QObject {
  Q_OBJECT

 private slots:
  void startsWithHeadersOnlyAndEmptyFields() {
    ShownForm f;
    QVERIFY(f.active);
    QCOMPARE(f.form.windowTitle(), QString("Kvornis"));

    auto* grid = f.Find<QTableView>("StrGrid1");
    QCOMPARE(grid->model()->rowCount(), 1);
    QCOMPARE(grid->model()->data(grid->model()->index(0, 0)).toString(), QString("Кейворд"));
    QCOMPARE(grid->model()->data(grid->model()->index(0, 1)).toString(), QString("Всего запросов"));
    QCOMPARE(grid->columnWidth(0), 192);
    QCOMPARE(grid->columnWidth(1), 130);
    QCOMPARE(grid->rowHeight(0), 16);
    QCOMPARE(grid->currentIndex(), grid->model()->index(0, 1));

    QCOMPARE(f.Find("SpinEdMaxKw")->findChild<QLineEdit*>()->text(), QString("1"));
    QCOMPARE(f.Find("SpinEdKwPM")->findChild<QLineEdit*>()->text(), QString("1"));
    QCOMPARE(f.TextList()->toPlainText(), QString());
    QCOMPARE(f.Find<QLineEdit>("EditKw")->text(), QString());
    QCOMPARE(f.StatusText(), QString());

    QVERIFY(f.Find("DigButt")->isVisible());
    QVERIFY(!f.Find("BroadButt")->isVisible());
    QVERIFY(!f.Find("Memo1")->isVisible());
    QCOMPARE(FocusedControl(), QString("DigButt"));
    QVERIFY(f.boxes.empty());
  }

  // Where the window's own layout places a control (the rest are placed
  // as given): pixels in the client area, the tool bar or the panel.
  void controlSitsWhereDesigned_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("geometry");
    QTest::newRow("tool bar") << "ToolBar1" << QRect(0, 0, 689, 29);
    QTest::newRow("Получить") << "DigButt" << QRect(0, 3, 75, 22);
    QTest::newRow("Вглубь after the hidden Вширь") << "DeepButt" << QRect(75, 3, 75, 22);
    QTest::newRow("Очистить after the gap") << "ClearButt" << QRect(158, 3, 75, 22);
    QTest::newRow("Дубликаты") << "RemDupButt" << QRect(233, 3, 75, 22);
    QTest::newRow("Сортировать") << "SortButt" << QRect(308, 3, 75, 22);
    QTest::newRow("grid") << "StrGrid1" << QRect(1, 1, 345, 231);
    QTest::newRow("text list") << "MemoArea" << QRect(353, 1, 335, 231);
  }
  void controlSitsWhereDesigned() {
    QFETCH(QString, name);
    QFETCH(QRect, geometry);
    ShownForm f;
    QWidget* control = f.Find(name.toLatin1().constData());
    QVERIFY(control);
    QCOMPARE(control->geometry(), geometry);
  }

  void onlyAlignedControlsFollowAResize() {
    ShownForm f;
    const QStringList fixed = {"Panel1", "Panel2", "StrGrid1", "MemoArea", "EditKw", "SpinEdMaxKw", "SpinEdKwPM"};
    QMap<QString, QRect> before;
    for (const QString& name : fixed) before[name] = f.Find(name.toLatin1().constData())->geometry();
    const QRect tool_bar = f.Find("ToolBar1")->geometry();
    const QRect status = f.Find("StatusBar1")->geometry();

    f.form.resize(f.form.width() + 120, f.form.height() + 80);
    QTRY_COMPARE(f.Find("ToolBar1")->width(), tool_bar.width() + 120);

    QCOMPARE(f.Find("ToolBar1")->height(), tool_bar.height());
    QCOMPARE(f.Find("StatusBar1")->width(), status.width() + 120);
    QCOMPARE(f.Find("StatusBar1")->y(), status.y() + 80);
    for (const QString& name : fixed) QCOMPARE(f.Find(name.toLatin1().constData())->geometry(), before[name]);
  }

  void aboutShowsTheSameWindowEachTime() {
    ShownForm f;
    const QString status_before = f.StatusText();
    struct Showing {
      QWidget* window = nullptr;
      QString title, name_line, author_line;
    };
    Showing showings[2];
    for (Showing& showing : showings) {
      WhenModalAppears([&showing](QWidget* modal) {
        showing = {modal, modal->windowTitle(), modal->findChild<QLabel*>("Label1")->text(),
                   modal->findChild<QLabel*>("Label2")->text()};
        modal->close();  // its close box
      });
      f.Find<QMenuBar>("MainMenu1")->findChild<QAction*>("About1")->trigger();
    }
    QCOMPARE(showings[0].window, static_cast<QWidget*>(&f.about));
    QCOMPARE(showings[1].window, showings[0].window);
    for (const Showing& showing : showings) {
      QCOMPARE(showing.title, QString("О программе"));
      QCOMPARE(showing.name_line, QString("Kvornis   v.1.0.1R Beta"));
      QVERIFY(!showing.author_line.isEmpty());
    }
    QVERIFY(!f.about.isVisible());
    QVERIFY(f.form.isVisible());
    QCOMPARE(f.StatusText(), status_before);
    QVERIFY(f.boxes.empty());
  }

  void exitClosesTheMainWindow() {
    ShownForm f;
    f.Find<QMenuBar>("MainMenu1")->findChild<QAction*>("Exit1")->trigger();
    QVERIFY(!f.form.isVisible());
  }
};

KV_UI_TEST_CLASS(StartupTest);

}  // namespace kv::ui::test

#include "startup_test.moc"
