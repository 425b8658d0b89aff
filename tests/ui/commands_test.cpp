// Commands as the window runs them: model and widgets in step, the status
// bar repainted during a command, the error box, the save dialog, the grid
// and its double click, and the promotional links.

#include <QAbstractButton>
#include <QDesktopServices>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include "base/exception.h"
#include "tests/ui/shown_form.h"
#include "tests/ui/ui_test_registry.h"

namespace kv::ui::test {
namespace {

QAction* MenuItem(ShownForm& f, const char* name) { return f.Find<QMenuBar>("MainMenu1")->findChild<QAction*>(name); }

QByteArray FileBytes(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<cannot read>");
}

QPoint CellCenter(QTableView* grid, int row, int column) {
  return grid->visualRect(grid->model()->index(row, column)).center();
}

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
 public:
  explicit PaintCounter(QWidget* widget) : QObject(widget) { widget->installEventFilter(this); }
  int count = 0;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++count;
    return false;
  }
};

}  // namespace

// Receives the addresses the links open, in place of the desktop's browser.
class BrowserStandIn : public QObject {
  Q_OBJECT

 public:
  QList<QUrl> opened;

 public slots:
  void open(const QUrl& url) { opened << url; }
};

class CommandsTest : public QObject {
  Q_OBJECT

 private slots:
  void typedTextReachesTheCommandAndResultsComeBack() {
    ShownForm f;
    f.Find<QLineEdit>("EditKw")->setText("кот");
    f.TextList()->setPlainText("     42   -   собака\n    351   -   кот");
    MenuItem(f, "LtoR")->trigger();
    QCOMPARE(f.model().EditKw.Text(), Utf8ToCp1251("кот"));
    QCOMPARE(f.model().MemoArea.LineCount(), size_t{2});
    auto* grid = f.Find<QTableView>("StrGrid1");
    QCOMPARE(grid->model()->rowCount(), 3);
    QCOMPARE(grid->model()->data(grid->model()->index(2, 0)).toString(), QString("кот"));
    QCOMPARE(grid->model()->data(grid->model()->index(1, 1)).toString(), QString("     42"));

    f.Find<QPushButton>("ClearButt")->click();
    QCOMPARE(f.TextList()->toPlainText(), QString());
    QCOMPARE(grid->model()->rowCount(), 1);
    QCOMPARE(f.Find<QLineEdit>("EditKw")->text(), QString("кот"));  // not the list tools' business
  }

  void statusBarIsRepaintedWhileACommandRuns() {
    ShownForm f;
    auto* status = f.Find<QLabel>("StatusText");
    auto* list = f.TextList();
    auto* paints = new PaintCounter(status);
    auto* list_paints = new PaintCounter(list->viewport());
    QString status_during;
    int paints_during = 0;
    int list_paints_during = 0;
    f.form.RunCommand([&] {
      const int list_paints_before = list_paints->count;
      f.model().MemoArea.Append(Utf8ToCp1251("      1   -   слон"));
      f.model().StatusBar1.SetSimpleText(Utf8ToCp1251("Страница 1"));
      const int paints_before = paints->count;
      f.model().StatusBar1.Repaint();
      paints_during = paints->count - paints_before;
      status_during = status->text();
      list_paints_during = list_paints->count - list_paints_before;
    });
    QCOMPARE(status_during, QString("Страница 1"));
    QVERIFY(paints_during > 0);
    QCOMPARE(list_paints_during, 0);  // the rest waits until the command ends
    QTRY_VERIFY(list_paints->count > 0);
    QCOMPARE(list->toPlainText(), QString("      1   -   слон\n"));
  }

  void uncaughtFailureIsShownAndTheProgramGoesOn_data() {
    QTest::addColumn<int>("failure");
    QTest::addColumn<QString>("text");
    QTest::newRow("saving to a full device") << 0 << "Stream write error.";
    QTest::newRow("message ending in !") << 1 << "Проверьте связь!";
  }
  void uncaughtFailureIsShownAndTheProgramGoesOn() {
    QFETCH(int, failure);
    QFETCH(QString, text);
    ShownForm f;
    f.TextList()->setPlainText("      1   -   a");
    QTemporaryDir dir;
    const QString full_device = dir.filePath("full.txt");
    switch (failure) {
      case 0:
        QVERIFY(QFile::link("/dev/full", full_device));
        f.model().SaveDialog1.Runner = [&](const TSaveDialog&) { return std::optional(full_device.toStdString()); };
        MenuItem(f, "Save1")->trigger();
        break;
      default:
        f.form.RunCommand([] { throw Exception(Utf8ToCp1251("Проверьте связь!")); });
    }
    QCOMPARE(f.boxes.size(), size_t{1});
    QCOMPARE(f.boxes[0].text, text);
    QCOMPARE(f.boxes[0].title, QString("kv_ui_tests"));  // the executable's name

    MenuItem(f, "Count1")->trigger();
    QCOMPARE(f.StatusText(), QString("1 кейвордов в списке"));
    QCOMPARE(f.boxes.size(), size_t{1});
  }

  void errorBoxHasTheErrorIconAndOneOkButton() {
    ShownForm f;
    f.form.ShowErrorBox = ShowErrorBoxDialog;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString title, text;
    QList<QAbstractButton*> buttons;
    QMessageBox::StandardButton ok = QMessageBox::NoButton;
    WhenModalAppears([&](QWidget* modal) {
      auto* box = qobject_cast<QMessageBox*>(modal);
      if (!box) return modal->close(), void();
      icon = box->icon();
      title = box->windowTitle();
      text = box->text();
      buttons = box->buttons();
      ok = box->standardButton(buttons.value(0));
      if (QAbstractButton* button = box->button(QMessageBox::Ok)) button->click();
      else box->close();
    });
    f.form.RunCommand([] { throw Exception("<b>not markup</b> here"); });
    QCOMPARE(icon, QMessageBox::Critical);
    QCOMPARE(buttons.size(), 1);
    QCOMPARE(ok, QMessageBox::Ok);
    QCOMPARE(title, QString("kv_ui_tests"));
    QCOMPARE(text, QString("<b>not markup</b> here."));
  }

  void saveDialogIsAnsweredAndOffersTheLastNameAgain() {
    ShownForm f;
    QTemporaryDir dir;
    f.TextList()->setPlainText("    351   -   кот\n     42   -   собака");
    QString title, suffix, offered;
    QStringList filters;
    bool asks_before_replacing = true;
    WhenModalAppears([&](QWidget* modal) {
      auto* dialog = qobject_cast<QFileDialog*>(modal);
      if (!dialog) return modal->close(), void();
      title = dialog->windowTitle();
      filters = dialog->nameFilters();
      suffix = dialog->defaultSuffix();
      asks_before_replacing = !dialog->testOption(QFileDialog::DontConfirmOverwrite);
      dialog->selectFile(dir.filePath("list"));  // typed without an extension
      static_cast<QDialog*>(dialog)->accept();
    });
    MenuItem(f, "Save1")->trigger();
    const QString saved = dir.filePath("list.txt");
    QCOMPARE(title, QString("Сохранить в файл"));
    QCOMPARE(filters, QStringList{"Текстовый файл (*.txt)"});
    QCOMPARE(suffix, QString("txt"));
    QVERIFY(!asks_before_replacing);
    QCOMPARE(FileBytes(saved), QByteArray("    351   -   \xEA\xEE\xF2\r\n     42   -   \xF1\xEE\xE1\xE0\xEA\xE0"));
    QCOMPARE(f.StatusText(), "Сохранить в: " + saved);

    // Keywords only, into the same file: offered again, replaced unasked.
    QWidget* second_modal = nullptr;
    WhenModalAppears([&](QWidget* modal) {
      auto* dialog = qobject_cast<QFileDialog*>(modal);
      offered = dialog ? dialog->selectedFiles().value(0) : QString();
      if (dialog) static_cast<QDialog*>(dialog)->accept();
      else modal->close();
      second_modal = QApplication::activeModalWidget();
      if (second_modal) second_modal->close();
    });
    MenuItem(f, "Savekwonly1")->trigger();
    QCOMPARE(offered, saved);
    QCOMPARE(second_modal, nullptr);
    QCOMPARE(FileBytes(saved), QByteArray("\xEA\xEE\xF2\r\n\xF1\xEE\xE1\xE0\xEA\xE0\r\n"));

    // Cancelled: nothing written, the last name still reported.
    WhenModalAppears([](QWidget* modal) { modal->close(); });
    f.Find<QPushButton>("ClearButt")->click();
    MenuItem(f, "Save1")->trigger();
    QCOMPARE(FileBytes(saved), QByteArray("\xEA\xEE\xF2\r\n\xF1\xEE\xE1\xE0\xEA\xE0\r\n"));
    QCOMPARE(f.StatusText(), "Сохранить в: " + saved);
    QVERIFY(f.boxes.empty());
  }

  void gridCurrentCellStaysInTheSecondColumn() {
    ShownForm f;
    f.TextList()->setPlainText("      1   -   a\n      2   -   b\n      3   -   c");
    MenuItem(f, "LtoR")->trigger();
    auto* grid = f.Find<QTableView>("StrGrid1");
    QWidget* cells = grid->viewport();

    QTest::mouseClick(cells, Qt::LeftButton, {}, CellCenter(grid, 2, 1));
    QCOMPARE(grid->currentIndex(), grid->model()->index(2, 1));
    QCOMPARE(f.model().StrGrid1.Row(), 2);

    QTest::mouseClick(cells, Qt::LeftButton, {}, CellCenter(grid, 1, 0));  // the heading column
    QCOMPARE(grid->currentIndex(), grid->model()->index(2, 1));

    for (Qt::Key key : {Qt::Key_Left, Qt::Key_Home}) {
      QTest::keyClick(grid, key);
      QCOMPARE(grid->currentIndex().column(), 1);
    }
    QTest::keyClick(grid, Qt::Key_Up);
    QCOMPARE(f.model().StrGrid1.Row(), 1);

    // Not editable, by keys or by a double click.
    QTest::keyClick(grid, Qt::Key_F2);
    QTest::keyClicks(grid, "x");
    QVERIFY(!grid->findChild<QLineEdit*>());
    QCOMPARE(grid->model()->data(grid->currentIndex()).toString(), QString("      1"));

    // A range is marked with the mouse, in the second column only.
    QTest::mouseClick(cells, Qt::LeftButton, {}, CellCenter(grid, 1, 1));
    QTest::mouseClick(cells, Qt::LeftButton, Qt::ShiftModifier, CellCenter(grid, 3, 1));
    const QModelIndexList marked = grid->selectionModel()->selectedIndexes();
    QCOMPARE(marked.size(), 3);
    for (const QModelIndex& cell : marked) QCOMPARE(cell.column(), 1);
  }

  void gridShowsStoredCellsWhenItsRowsGrow() {
    ShownForm f;
    auto* grid = f.Find<QTableView>("StrGrid1");
    f.form.RunCommand([&] {
      f.model().StrGrid1.SetCell(0, 5, "stored");
      f.model().StrGrid1.SetRowCount(6);
      f.model().StrGrid1.SetRow(5);
    });
    QCOMPARE(grid->model()->rowCount(), 6);
    QCOMPARE(grid->model()->data(grid->model()->index(5, 0)).toString(), QString("stored"));
    QCOMPARE(grid->currentIndex(), grid->model()->index(5, 1));

    f.form.RunCommand([&] { f.model().StrGrid1.SetRowCount(2); });
    QCOMPARE(grid->model()->rowCount(), 2);
    QCOMPARE(grid->currentIndex(), grid->model()->index(1, 1));
    f.form.RunCommand([&] { f.model().StrGrid1.SetRowCount(6); });
    QCOMPARE(grid->model()->data(grid->model()->index(5, 0)).toString(), QString("stored"));
  }

  void gridChangeNotYetShownSurvivesTheUserMovingTheRow() {
    // The user's row move is already on the screen; a change of the model
    // made before it still is not, and shows with the next command.
    ShownForm f;
    f.TextList()->setPlainText("      1   -   a\n      2   -   b");
    MenuItem(f, "LtoR")->trigger();
    auto* grid = f.Find<QTableView>("StrGrid1");
    const int width = grid->columnWidth(0) + 40;
    f.model().StrGrid1.SetColWidth(0, width);

    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, CellCenter(grid, 2, 1));
    QCOMPARE(f.model().StrGrid1.Row(), 2);
    f.form.RunCommand([] {});
    QCOMPARE(grid->columnWidth(0), width);
    QCOMPARE(grid->currentIndex(), grid->model()->index(2, 1));
  }

  void doubleClickOnAGridRowDigsDeeperFromThatRow() {
    ShownForm f;
    f.TextList()->setPlainText("      1   -   a\n      2   -   b\n      3   -   c");
    MenuItem(f, "LtoR")->trigger();
    auto* grid = f.Find<QTableView>("StrGrid1");

    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, CellCenter(grid, 2, 1));
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, CellCenter(grid, 2, 1));

    // Deep took row 2's keyword; nothing listens at the service address, so
    // both fetches fail on the socket and the empty page has no table.
    QCOMPARE(f.Find<QLineEdit>("EditKw")->text(), QString("b"));
    QCOMPARE(f.StatusText(), QString::fromUtf8("Не найдено кейвордов"));
    QCOMPARE(f.model().StrGrid1.Row(), 2);
    QVERIFY(f.boxes.empty());
    QVERIFY(!grid->findChild<QLineEdit*>());
  }

  void linksOpenTheirAddresses() {
    ShownForm f;
    BrowserStandIn browser;
    QDesktopServices::setUrlHandler("https", &browser, "open");
    for (const char* link : {"StaticText1", "StaticText2", "StaticText3"})
      QTest::mouseClick(f.Find(link), Qt::LeftButton);
    QDesktopServices::unsetUrlHandler("https");

    QCOMPARE(browser.opened.size(), 3);
    QCOMPARE(browser.opened[1], browser.opened[2]);
    QVERIFY(browser.opened[0] != browser.opened[1]);
    for (const QUrl& url : browser.opened) QCOMPARE(url.host(), QString("example.com"));
    QVERIFY(f.boxes.empty());
  }

  void linkWithoutABrowserShowsTheErrorBox() {
    ShownForm f;
    // The offscreen platform has no browser to open.
    QTest::mouseClick(f.Find("StaticText1"), Qt::LeftButton);
    QCOMPARE(f.boxes.size(), size_t{1});
    QVERIFY(f.boxes[0].text.contains("https://example.com/"));
    MenuItem(f, "Count1")->trigger();
    QCOMPARE(f.StatusText(), QString("0 кейвордов в списке"));
  }
};

KV_UI_TEST_CLASS(CommandsTest);

}  // namespace kv::ui::test

#include "commands_test.moc"
