// The text list as the user edits it: keys and the resulting text and
// caret, pasting with every kind of line end, the copy keys, the mouse,
// editing after a command replaced the text, and the bounds of undo.

#include <QApplication>
#include <QClipboard>
#include <QTest>
#include <vector>

#include "tests/ui/shown_form.h"
#include "tests/ui/ui_test_registry.h"
#include "ui/text_list_undo.h"

namespace kv::ui::test {
namespace {

// One key, or (with `typed`) characters typed one by one.
struct Press {
  QKeyCombination key{};
  const char* typed = nullptr;
};

Press Key(QKeyCombination key) { return {key, nullptr}; }
Press Key(Qt::Key key) { return {QKeyCombination(key), nullptr}; }
Press Type(const char* utf8) { return {{}, utf8}; }
// The first key the platform binds to `key`.
Press Key(QKeySequence::StandardKey key) { return {QKeySequence::keyBindings(key).value(0)[0], nullptr}; }

void Send(QWidget* list, const std::vector<Press>& presses) {
  for (const Press& press : presses) {
    if (press.typed) TypeText(list, QString::fromUtf8(press.typed));
    else QTest::keyClick(list, press.key.key(), press.key.keyboardModifiers());
  }
}

// The model's text with CR LF shown as "\n".
QString ModelText(ShownForm& f) { return ToQt(f.model().MemoArea.Text()).replace("\r\n", "\n"); }

QString Describe(TextPoint point) { return QString("(%1, %2)").arg(point.line).arg(point.column); }

QPoint PointOf(TextListEdit* list, size_t line, const QString& before) {
  const QFontMetrics metrics = list->fontMetrics();
  return {4 + metrics.horizontalAdvance(before), 4 + static_cast<int>(line) * metrics.height() + metrics.height() / 2};
}

}  // namespace

class TextListTest : public QObject {
  Q_OBJECT

 private slots:
  void keysEditTheModel() {
    const QKeyCombination shift_right = Qt::ShiftModifier | Qt::Key_Right;
    const struct {
      const char* name;
      const char* start;
      std::vector<Press> presses;
      const char* text;
      TextPoint caret;
    } cases[] = {
        {"typing Cyrillic", "", {Type("кот")}, "кот", {0, 3}},
        {"a character Windows-1251 lacks", "", {Type("a☃b")}, "a?b", {0, 3}},
        {"Enter splits a line", "ab", {Key(Qt::Key_Right), Key(Qt::Key_Return)}, "a\nb", {1, 0}},
        {"Backspace at a line's start joins", "a\nb", {Key(Qt::Key_Down), Key(Qt::Key_Backspace)}, "ab", {0, 1}},
        {"Delete at a line's end joins", "a\nb", {Key(Qt::Key_End), Key(Qt::Key_Delete)}, "ab", {0, 1}},
        {"Delete at the text's end", "a", {Key(Qt::ControlModifier | Qt::Key_End), Key(Qt::Key_Delete)}, "a", {0, 1}},
        {"Backspace after a final line end", "a\n", {Key(Qt::ControlModifier | Qt::Key_End), Key(Qt::Key_Backspace)},
         "a", {0, 1}},
        {"typing after a final line end", "a\n", {Key(Qt::ControlModifier | Qt::Key_End), Type("b")}, "a\nb", {1, 1}},
        {"Shift+Right selects, typing replaces", "abc",
         {Key(Qt::Key_Right), Key(shift_right), Key(shift_right), Type("X")}, "aX", {0, 2}},
        {"Shift+Down selects across the line end", "ab\ncd\nef",
         {Key(Qt::Key_Right), Key(Qt::ShiftModifier | Qt::Key_Down), Key(Qt::Key_Delete)}, "ad\nef", {0, 1}},
        {"Ctrl+Shift+End selects to the text's end", "ab\ncd",
         {Key(Qt::Key_Right), Key(Qt::ControlModifier | Qt::ShiftModifier | Qt::Key_End), Key(Qt::Key_Backspace)}, "a",
         {0, 1}},
        {"Ctrl+A, Backspace", "a\nb\n", {Key(Qt::ControlModifier | Qt::Key_A), Key(Qt::Key_Backspace)}, "", {0, 0}},
        {"Home and End", "abc", {Key(Qt::Key_End), Type("!"), Key(Qt::Key_Home), Type("<")}, "<abc!", {0, 1}},
        {"Down keeps the column past a short line", "abcd\nx\nabcd",
         {Key(Qt::Key_End), Key(Qt::Key_Down), Key(Qt::Key_Down), Type("!")}, "abcd\nx\nabcd!", {2, 5}},
        {"Left ends a selection at its start", "abc",
         {Key(Qt::Key_End), Key(Qt::ShiftModifier | Qt::Key_Left), Key(Qt::ShiftModifier | Qt::Key_Left),
          Key(Qt::Key_Left), Type("|")},
         "a|bc", {0, 2}},
        {"Ctrl+Right goes to the next word", "one two", {Key(Qt::ControlModifier | Qt::Key_Right), Type("X")},
         "one Xtwo", {0, 5}},
        {"Ctrl+Backspace deletes a word", "one two", {Key(Qt::Key_End), Key(Qt::ControlModifier | Qt::Key_Backspace)},
         "one ", {0, 4}},
        {"undo takes back the typed characters", "abc", {Key(Qt::Key_End), Type("de"), Key(QKeySequence::Undo)}, "abc",
         {0, 3}},
        {"redo puts them back", "abc",
         {Key(Qt::Key_End), Type("de"), Key(QKeySequence::Undo), Key(QKeySequence::Redo)}, "abcde", {0, 5}},
        {"undo of a line break and of a deletion", "ab",
         {Key(Qt::Key_Right), Key(Qt::Key_Return), Key(Qt::Key_Delete), Key(QKeySequence::Undo),
          Key(QKeySequence::Undo)},
         "ab", {0, 1}},
        {"Tab is not typed", "ab", {Key(Qt::Key_Tab)}, "ab", {0, 0}},
    };
    for (const auto& c : cases) {
      ShownForm f;
      TextListEdit* list = f.TextList();
      list->setPlainText(QString::fromUtf8(c.start));
      list->setFocus();
      Send(list, c.presses);
      QVERIFY2(ModelText(f) == QString::fromUtf8(c.text), qPrintable(QString(c.name) + ": " + ModelText(f)));
      QVERIFY2(list->Caret() == c.caret, qPrintable(QString(c.name) + ": caret " + Describe(list->Caret())));
    }
  }

  void pastingMakesEveryKindOfLineBreakALineEnd() {
    const char* const breaks[] = {"\r\n", "\r", "\n"};
    const QKeyCombination pastes[] = {Qt::ControlModifier | Qt::Key_V, Qt::ShiftModifier | Qt::Key_Insert};
    for (const char* line_break : breaks) {
      for (const QKeyCombination paste : pastes) {
        ShownForm f;
        TextListEdit* list = f.TextList();
        list->setPlainText("ab");
        list->setFocus();
        QApplication::clipboard()->setText(QString("x%1кот%1").arg(QString::fromLatin1(line_break)));
        QTest::keyClick(list, Qt::Key_Right);
        QTest::keyClick(list, paste.key(), paste.keyboardModifiers());
        const QByteArray what = QByteArray("break ") + QByteArray(line_break).toHex() + ", " +
                                QKeySequence(paste).toString().toLatin1();
        QVERIFY2(f.model().MemoArea.Text() == "ax\r\n\xEA\xEE\xF2\r\nb", what);
        QVERIFY2(list->Caret() == (TextPoint{2, 0}), what);
        QTest::keyClick(list, Qt::Key_Z, Qt::ControlModifier);
        QVERIFY2(f.model().MemoArea.Text() == "ab", what);
      }
    }
  }

  void copyKeysCopyAndCtrlCCounts() {
    ShownForm f;
    TextListEdit* list = f.TextList();
    list->setPlainText("ab\ncd\n");
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Right);
    QTest::keyClick(list, Qt::Key_Down, Qt::ShiftModifier);  // "b", the line end, "c"
    QApplication::clipboard()->setText("untouched");

    QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(), QString("untouched"));
    QCOMPARE(f.StatusText(), QString("2 кейвордов в списке"));
    QVERIFY(list->HasSelection());

    QTest::keyClick(list, Qt::Key_Insert, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(), QString("b\nc"));
    QCOMPARE(ModelText(f), QString("ab\ncd\n"));

    QApplication::clipboard()->setText("untouched");
    QTest::keyClick(list, Qt::Key_Delete, Qt::ShiftModifier);
    QCOMPARE(QApplication::clipboard()->text(), QString("b\nc"));
    QCOMPARE(ModelText(f), QString("ad\n"));
  }

  void mouseClickDragAndDoubleClickSelect() {
    ShownForm f;
    TextListEdit* list = f.TextList();
    list->setPlainText("one two\nthree");
    QWidget* lines = list->viewport();

    QTest::mousePress(lines, Qt::LeftButton, {}, PointOf(list, 1, "three") + QPoint(20, 0));
    QTest::mouseMove(lines, PointOf(list, 0, "one"));
    QTest::mouseRelease(lines, Qt::LeftButton, {}, PointOf(list, 0, "one"));
    QCOMPARE(list->Anchor(), (TextPoint{1, 5}));
    QCOMPARE(list->Caret(), (TextPoint{0, 3}));
    QVERIFY(list->hasFocus());

    QTest::mouseDClick(lines, Qt::LeftButton, {}, PointOf(list, 0, "one t"));
    QTest::keyClicks(list, "X");
    QCOMPARE(ModelText(f), QString("one X\nthree"));
  }

  void typingGoesOnAfterACommandReplacedTheText() {
    ShownForm f;
    TextListEdit* list = f.TextList();
    list->setPlainText("      1   -   a\n      1   -   a\n      1   -   a\n      2   -   b");
    list->setFocus();
    QTest::keyClick(list, Qt::Key_End, Qt::ControlModifier);
    QTest::keyClicks(list, "x");
    QCOMPARE(list->Caret(), (TextPoint{3, 16}));

    QTest::keyClick(list, Qt::Key_R, Qt::ControlModifier);  // two lines are left
    QCOMPARE(ModelText(f), QString("      1   -   a\n      2   -   bx\n"));
    QCOMPARE(list->Caret(), (TextPoint{2, 0}));
    // The command's change is not undone, nor is the typing before it.
    QTest::keyClick(list, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(ModelText(f), QString("      1   -   a\n      2   -   bx\n"));
    QTest::keyClick(list, Qt::Key_Backspace);
    QTest::keyClicks(list, "y");
    QCOMPARE(ModelText(f), QString("      1   -   a\n      2   -   bxy"));
  }

  void fromQtAgreesWithTheConverter() {
    // Pasting and typing convert Windows-1251's own characters through a
    // table; it must give what the converter gives, byte for byte.
    for (int byte = 0; byte < 0x100; ++byte) {
      const QString c = ToQt(std::string(1, static_cast<char>(byte)));
      QVERIFY2(FromQt(c) == Utf8ToCp1251(c.toStdString()), qPrintable(QString::number(byte, 16)));
    }
    const QString mixed = QString::fromUtf8("кот☃\u034F😀") + QChar(0xD83D) + u'x';
    QCOMPARE(FromQt(mixed), Utf8ToCp1251(mixed.toStdString()));
    QCOMPARE(FromQt(mixed), Utf8ToCp1251("кот??") + "?x");  // the joiner is left out
  }

  void undoKeepsABoundedAmountOfReplacedText() {
    TMemo memo;
    memo.SetText("abcdefghij");
    TextListUndo undo(6);
    auto erase = [&](size_t columns) {
      const TextPoint to{0, columns};
      std::string removed = TextBetween(memo, {}, to);
      undo.Record({}, memo.ReplaceRange({}, to, {}), std::move(removed), false);
    };
    erase(3);  // "abc"
    erase(3);  // "def": 6 bytes kept
    erase(2);  // "gh": the oldest step goes
    QVERIFY(undo.Undo(memo));
    QVERIFY(undo.Undo(memo));
    QCOMPARE(memo.Text(), std::string("defghij"));
    QVERIFY(!undo.Undo(memo));
    QVERIFY(undo.Redo(memo));
    QCOMPARE(memo.Text(), std::string("ghij"));

    // An edit that replaced more than the bound cannot be undone, and the
    // steps before it no longer fit the text.
    memo.SetText("0123456789");
    erase(10);
    QVERIFY(!undo.CanUndo());
    QVERIFY(!undo.CanRedo());

    // Typed characters one after the other are one step.
    TextPoint at{};
    for (const char* typed : {"x", "y", "z"}) {
      const TextPoint after = memo.ReplaceRange(at, at, typed);
      undo.Record(at, after, {}, true);
      at = after;
    }
    QCOMPARE(undo.Undo(memo), std::optional<TextPoint>(TextPoint{}));
    QCOMPARE(memo.Text(), std::string());
  }
};

KV_UI_TEST_CLASS(TextListTest);

}  // namespace kv::ui::test

#include "text_list_test.moc"
