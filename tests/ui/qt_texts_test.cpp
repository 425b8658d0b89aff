// The texts that Qt itself draws in the window are Russian: the save
// dialog's captions and buttons and the text boxes' context menus read as
// Qt's catalogue of Russian texts gives them, whatever the locale.

#include <QAction>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QTranslator>
#include <memory>

#include "ui/qt_translation.h"
#include "tests/ui/shown_form.h"
#include "tests/ui/ui_test_registry.h"

namespace kv::ui::test {

class QtTextsTest : public QObject {
  Q_OBJECT

  // The catalogue read straight from its file, apart from the one the
  // application uses: what Qt's texts must read.
  QTranslator catalogue_;

  // Qt's Russian for one of its English texts; empty when the catalogue
  // has none or keeps the English, where a comparison could not fail.
  QString Russian(const QString& context, const QString& english) {
    const QString russian = catalogue_.translate(context.toLatin1().constData(), english.toLatin1().constData());
    return russian == english ? QString() : russian;
  }

 private slots:
  void initTestCase() {
    const QString folder = QtTranslationsFolder();
    QVERIFY2(catalogue_.load(QString::fromLatin1(kQtTranslation), folder),
             qPrintable(QStringLiteral("%1.qm is not in %2; scripts/install-deps installs it (qt6-translations-l10n)")
                            .arg(QString::fromLatin1(kQtTranslation), folder)));
  }

  void saveDialogCaptionsAndButtonsAreRussian() {
    ShownForm f;
    QMap<QString, QString> shown;
    bool qts_own_dialog = false;
    WhenModalAppears([&](QWidget* modal) {
      auto* dialog = qobject_cast<QFileDialog*>(modal);
      if (!dialog) return modal->close(), void();
      qts_own_dialog = dialog->testOption(QFileDialog::DontUseNativeDialog);
      for (const char* label : {"lookInLabel", "fileNameLabel", "fileTypeLabel"})
        if (auto* widget = dialog->findChild<QLabel*>(label)) shown[label] = widget->text();
      if (auto* buttons = dialog->findChild<QDialogButtonBox*>()) {
        if (QPushButton* accept = buttons->button(QDialogButtonBox::Save)) shown["accept"] = accept->text();
        if (QPushButton* cancel = buttons->button(QDialogButtonBox::Cancel)) shown["cancel"] = cancel->text();
      }
      dialog->reject();
    });
    f.Find<QMenuBar>("MainMenu1")->findChild<QAction*>("Save1")->trigger();
    QVERIFY(qts_own_dialog);  // a native dialog would speak the system's locale

    const struct {
      const char* shown;
      const char* context;
      const char* english;
    } texts[] = {
        {"accept", "QFileDialog", "&Save"},
        {"cancel", "QPlatformTheme", "Cancel"},
        {"lookInLabel", "QFileDialog", "Look in:"},
        {"fileNameLabel", "QFileDialog", "File &name:"},
        {"fileTypeLabel", "QFileDialog", "Files of type:"},
    };
    for (const auto& text : texts) {
      const QString russian = Russian(text.context, text.english);
      QVERIFY2(!russian.isEmpty(), text.english);
      QVERIFY2(shown.contains(text.shown), text.shown);
      QCOMPARE(shown[text.shown], russian);
    }
  }

  void contextMenusAreRussian_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("context");
    QTest::addColumn<QString>("english");
    QTest::newRow("text list: Undo") << "MemoArea" << "QWidgetTextControl" << "&Undo";
    QTest::newRow("text list: Cut") << "MemoArea" << "QWidgetTextControl" << "Cu&t";
    QTest::newRow("text list: Copy") << "MemoArea" << "QWidgetTextControl" << "&Copy";
    QTest::newRow("text list: Paste") << "MemoArea" << "QWidgetTextControl" << "&Paste";
    QTest::newRow("text list: Select All") << "MemoArea" << "QWidgetTextControl" << "Select All";
    QTest::newRow("keyword box: Paste") << "EditKw" << "QLineEdit" << "&Paste";
    QTest::newRow("keyword box: Select All") << "EditKw" << "QLineEdit" << "Select All";
  }
  void contextMenusAreRussian() {
    QFETCH(QString, control);
    QFETCH(QString, context);
    QFETCH(QString, english);
    const QString russian = Russian(context, english);
    QVERIFY2(!russian.isEmpty(), qPrintable(english));

    ShownForm f;
    std::unique_ptr<QMenu> menu;
    if (control == "MemoArea")
      menu.reset(f.TextList()->createStandardContextMenu());
    else if (auto* line = f.Find<QLineEdit>(control.toLatin1().constData()))
      menu.reset(line->createStandardContextMenu());
    QVERIFY(menu);
    QStringList items;
    for (const QAction* item : menu->actions())
      if (!item->isSeparator()) items << item->text().section(u'\t', 0, 0);  // a shortcut follows a tab
    QVERIFY2(items.contains(russian), qPrintable(items.join(" | ")));
  }
};

KV_UI_TEST_CLASS(QtTextsTest);

}  // namespace kv::ui::test

#include "qt_texts_test.moc"
