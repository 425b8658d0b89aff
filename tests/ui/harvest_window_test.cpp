// The harvest window against the stand-in: seeds from the text list, a run
// started, stopped at once and resumed, its export the same as
// kvornis-harvest's, its results appended to the text list, and closing
// the window during a run.

#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <chrono>

#include "harvest/sqlite_store.h"
#include "tests/support/run_process.h"
#include "tests/support/stat_sim_fixture.h"
#include "tests/ui/shown_form.h"
#include "tests/ui/ui_test_registry.h"
#include "ui/harvest_window.h"

namespace kv::ui::test {
namespace {

harvest::SeedCounts CountsOf(const QString& project) {
  return harvest::OpenSqliteProject(QFile::encodeName(project).toStdString(), harvest::ProjectOpening::kExisting)
      ->Counts();
}

QByteArray FileBytes(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<cannot read>");
}

}  // namespace

class HarvestWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void harvestStopsAtOnceResumesAndExports() {
    kv::test::StatSimProcess sim({"--pages", "1", "--latency", "50"});
    ShownForm f(sim.BaseUrl());
    QTemporaryDir dir;
    const QString project = dir.filePath("crawl.kvh");
    f.TextList()->setPlainText("    351   -   кот\n     42   -   слон\n");
    f.model().MinusDialog1.Runner = [](const std::string&) { return std::optional<std::string>("зоомагазин"_w1251); };
    f.form.RunCommand([&] { f.model().MinusWords1Click(); });

    f.Find<QMenuBar>("MainMenu1")->findChild<QAction*>("Harvest1")->trigger();
    HarvestWindow* w = f.form.Harvester();
    QVERIFY(w && w->isVisible());
    auto find = [w](const char* name) { return w->findChild<QWidget*>(name); };
    QCOMPARE(static_cast<QPlainTextEdit*>(find("SeedsEdit"))->toPlainText(), QString("кот\nслон\n"));
    static_cast<QLineEdit*>(find("ProjectEdit"))->setText(project);
    static_cast<QSpinBox*>(find("DepthSpin"))->setValue(1);
    static_cast<QSpinBox*>(find("PagesSpin"))->setValue(1);
    static_cast<QSpinBox*>(find("WorkersSpin"))->setValue(3);
    auto* start = static_cast<QPushButton*>(find("StartButt"));
    auto* stop = static_cast<QPushButton*>(find("StopButt"));
    auto* progress = static_cast<QLabel*>(find("ProgressText"));

    start->click();
    QVERIFY2(w->Running(), qPrintable(f.boxes.empty() ? QString() : f.boxes[0].text));
    QTRY_VERIFY_WITH_TIMEOUT(static_cast<QProgressBar*>(find("ProgressBar"))->value() >= 1, 30000);
    // The main window answers meanwhile.
    f.Find<QMenuBar>("MainMenu1")->findChild<QAction*>("Count1")->trigger();
    QCOMPARE(f.StatusText(), QString("2 кейвордов в списке"));

    stop->click();
    QTRY_VERIFY_WITH_TIMEOUT(start->isEnabled(), 3000);
    QVERIFY2(progress->text().startsWith("Сбор остановлен."), qPrintable(progress->text()));
    const harvest::SeedCounts stopped = CountsOf(project);
    QVERIFY(stopped.done >= 1);
    QVERIFY(stopped.queued >= 1);
    QCOMPARE(stopped.failed, 0);

    start->click();
    QTRY_VERIFY_WITH_TIMEOUT(start->isEnabled(), 120000);
    QVERIFY2(progress->text().startsWith("Сбор окончен."), qPrintable(progress->text()));
    const harvest::SeedCounts finished = CountsOf(project);
    QCOMPARE(finished.queued, 0);
    QCOMPARE(finished.failed, 0);
    QVERIFY(finished.done > stopped.done);
    QVERIFY(static_cast<QTableWidget*>(find("LatestTable"))->rowCount() > 0);
    QVERIFY(f.boxes.empty());

    // The export is kvornis-harvest's, byte for byte.
    WhenModalAppears([&](QWidget* modal) {
      auto* dialog = qobject_cast<QFileDialog*>(modal);
      if (!dialog) return modal->close(), void();
      dialog->selectFile(dir.filePath("window.csv"));
      static_cast<QDialog*>(dialog)->accept();
    });
    static_cast<QPushButton*>(find("ExportButt"))->click();
    const auto tool = kv::test::RunBuildProgram(
        "tools/kvornis-harvest",
        {project.toStdString(), "export", dir.filePath("tool.csv").toStdString()});
    QCOMPARE(tool.exit_code, 0);
    QCOMPARE(FileBytes(dir.filePath("window.csv")), FileBytes(dir.filePath("tool.csv")));
    QVERIFY(FileBytes(dir.filePath("tool.csv")).startsWith("\xEF\xBB\xBFКейворд;Всего запросов;Сид;Глубина\r\n"));

    static_cast<QPushButton*>(find("ToListButt"))->click();
    QCOMPARE(f.model().MemoArea.LineCount(), size_t(2 + finished.results));
    QCOMPARE(f.StatusText(), QString("Добавлено строк: %1").arg(finished.results));

    const auto store = harvest::OpenSqliteProject(project.toStdString(), harvest::ProjectOpening::kExisting);
    QCOMPARE(store->MinusWordList(), std::vector<std::string>{std::string("зоомагазин"_w1251)});
  }

  void closingDuringARunAsksToStopIt() {
    kv::test::StatSimProcess sim({"--pages", "1", "--latency", "5000"});
    ShownForm f(sim.BaseUrl());
    QTemporaryDir dir;
    f.TextList()->setPlainText("    351   -   кот\n");
    f.form.Harvest1Click();
    HarvestWindow* w = f.form.Harvester();
    w->findChild<QLineEdit*>("ProjectEdit")->setText(dir.filePath("p.kvh"));
    w->findChild<QPushButton*>("StartButt")->click();
    QVERIFY(w->Running());

    int asked = 0;
    w->AskToStop = [&](QWidget*) { return ++asked == 2; };
    w->close();
    QCOMPARE(asked, 1);
    QVERIFY(w->isVisible() && w->Running());
    const auto before = std::chrono::steady_clock::now();
    w->close();
    QCOMPARE(asked, 2);
    QVERIFY(!w->isVisible() && !w->Running());
    // The page under way was cut off, not waited for.
    QVERIFY(std::chrono::steady_clock::now() - before < std::chrono::seconds(4));
    QCOMPARE(CountsOf(dir.filePath("p.kvh")).queued, 1);
  }
};

KV_UI_TEST_CLASS(HarvestWindowTest);

}  // namespace kv::ui::test

#include "harvest_window_test.moc"
