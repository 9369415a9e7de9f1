#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QScrollBar>
#include <QSignalSpy>
#include <QtTest>
#include <memory>
#include <string>

#include "display/qt/console_view.h"

using kestrin::ConsoleView;

namespace {

// A console of fixed size, shown, with its first layout done.
std::unique_ptr<ConsoleView> ShownConsole(int width = 400, int height = 200) {
    auto view = std::make_unique<ConsoleView>();
    view->resize(width, height);
    view->show();
    QApplication::processEvents();
    return view;
}

// Field by field, as the receive handling appends a line.
void AppendLine(ConsoleView& view, int n) {
    view.AppendConsole(std::to_string(n) + "\t");
    view.AppendConsole("98\t");
    view.AppendConsole("14.7\t");
    view.AppendConsole("\r\n");
}

void AppendLines(ConsoleView& view, int count) {
    for (int i = 0; i < count; ++i) AppendLine(view, i);
}

// Applies what is pending and lets the scroll area lay out its bars.
void Settle(ConsoleView& view) {
    view.flushPending();
    QApplication::processEvents();
}

QPoint Inside(QPoint p, const ConsoleView& view) { return p + QPoint(1, view.lineHeight() / 2); }

}  // namespace

class ConsoleViewTest : public QObject {
    Q_OBJECT

  private slots:
    void keepsBytesInOrderIncludingPendingText();
    void carriageReturnsAreNeverDrawn();
    void tabsStopEvery720Twips();
    void followsWhileAtTheEnd();
    void staysWhenScrolledUpOneLine();
    void scrollingAwayWhileTextIsPendingStaysAway();
    void resumesFollowingAtTheEnd();
    void followsWithoutAScrollBar();
    void horizontalBarAppearingKeepsFollowing();
    void clickAndFocusWhileScrolledAwayDoNotJump();
    void pagingKeysScrollAndCtrlEndFollowsAgain();
    void copyGivesTheSelectedBytesAsLatin1();
    void shiftClickDoubleClickAndSelectAll();
    void appendsLeaveTheSelectionAlone();
    void clearEmptiesPendingTextToo();
    void timerAppliesCoalescedText();
    void hugeLineIsClampedAndPaints();
};

void ConsoleViewTest::keepsBytesInOrderIncludingPendingText() {
    auto view = ShownConsole();
    const std::string pieces[] = {"12\t",
                                  "",
                                  "\t",
                                  "\r\n",
                                  "\r\n",
                                  "\xB0"
                                  "C\t"};
    std::string expected;
    for (const std::string& p : pieces) {
        view->AppendConsole(p);
        expected += p;
    }
    QVERIFY(view->hasPending());
    QCOMPARE(view->text(), expected);  // text not yet painted is part of the text
    QCOMPARE(view->length(), expected.size());
    QCOMPARE(view->lineCount(), std::size_t{3});
    Settle(*view);
    QCOMPARE(view->text(), expected);
    QCOMPARE(view->objectName(), QStringLiteral("txtVornOutput"));
}

void ConsoleViewTest::carriageReturnsAreNeverDrawn() {
    auto withCr = ShownConsole();
    auto withoutCr = ShownConsole();
    withCr->AppendConsole("ab\r\ncd\r\r\n");
    withoutCr->AppendConsole("ab\ncd\n");
    Settle(*withCr);
    Settle(*withoutCr);
    const QImage a = withCr->viewport()->grab().toImage();
    const QImage b = withoutCr->viewport()->grab().toImage();
    QCOMPARE(a, b);
    // And something was drawn at all.
    auto empty = ShownConsole();
    QVERIFY(empty->viewport()->grab().toImage() != a);
}

void ConsoleViewTest::tabsStopEvery720Twips() {
    auto view = ShownConsole(600, 200);
    QCOMPARE(view->tabStopPixels(), 720 * view->logicalDpiX() / 1440);
    view->AppendConsole("1\t2\r\n\t\t3\r\n");
    Settle(*view);
    const int tab = view->tabStopPixels();
    const int edge = view->pointAt(0).x();
    QCOMPARE(view->pointAt(2).x() - edge, tab);      // '2'
    QCOMPARE(view->pointAt(7).x() - edge, 2 * tab);  // '3' after two empty fields
    QCOMPARE(view->pointAt(5).y() - view->pointAt(0).y(), view->lineHeight());
}

void ConsoleViewTest::followsWhileAtTheEnd() {
    auto view = ShownConsole();
    QScrollBar* bar = view->verticalScrollBar();
    for (int round = 0; round < 5; ++round) {
        AppendLines(*view, 37);
        Settle(*view);
        QVERIFY(bar->maximum() > 0);
        QCOMPARE(bar->value(), bar->maximum());
        QVERIFY(view->isAtEnd());
    }
    // The newest line sits in the view.
    const QPoint last = view->pointAt(view->length());
    QVERIFY(last.y() >= 0);
    QVERIFY(last.y() + view->lineHeight() <= view->viewport()->height());
}

void ConsoleViewTest::staysWhenScrolledUpOneLine() {
    auto view = ShownConsole();
    AppendLines(*view, 100);
    Settle(*view);
    QScrollBar* bar = view->verticalScrollBar();
    bar->triggerAction(QAbstractSlider::SliderSingleStepSub);  // the user, one line up
    const int kept = bar->value();
    QCOMPARE(kept, bar->maximum() - 1);
    QVERIFY(!view->isAtEnd());

    for (int batch = 0; batch < 20; ++batch) {
        AppendLines(*view, 250);
        Settle(*view);
    }
    QCOMPARE(bar->value(), kept);
    QCOMPARE(view->firstVisibleLine(), kept);
    QVERIFY(!view->isAtEnd());
    QCOMPARE(view->lineCount(), std::size_t{100 + 20 * 250 + 1});
}

void ConsoleViewTest::scrollingAwayWhileTextIsPendingStaysAway() {
    auto view = ShownConsole();
    AppendLines(*view, 100);
    Settle(*view);
    AppendLines(*view, 10);  // pending, while the view was following
    QScrollBar* bar = view->verticalScrollBar();
    bar->triggerAction(QAbstractSlider::SliderPageStepSub);
    const int kept = bar->value();
    AppendLines(*view, 10);
    Settle(*view);
    QCOMPARE(bar->value(), kept);
    QVERIFY(!view->isAtEnd());
}

void ConsoleViewTest::resumesFollowingAtTheEnd() {
    auto view = ShownConsole();
    AppendLines(*view, 100);
    Settle(*view);
    QScrollBar* bar = view->verticalScrollBar();
    bar->setValue(10);
    AppendLines(*view, 50);
    Settle(*view);
    QCOMPARE(bar->value(), 10);

    bar->setValue(bar->maximum());  // back to the last line
    AppendLines(*view, 50);
    Settle(*view);
    QCOMPARE(bar->value(), bar->maximum());
    QCOMPARE(view->firstVisibleLine(), static_cast<int>(view->lineCount()) - bar->pageStep());
}

void ConsoleViewTest::followsWithoutAScrollBar() {
    auto view = ShownConsole();
    QScrollBar* bar = view->verticalScrollBar();
    AppendLines(*view, 2);
    Settle(*view);
    QCOMPARE(bar->maximum(), 0);
    QVERIFY(view->isAtEnd());
    // Enough at once to need the bar: the view still ends up at the newest text.
    AppendLines(*view, 200);
    Settle(*view);
    QVERIFY(bar->maximum() > 0);
    QCOMPARE(bar->value(), bar->maximum());
}

void ConsoleViewTest::horizontalBarAppearingKeepsFollowing() {
    auto view = ShownConsole();
    AppendLines(*view, 60);
    Settle(*view);
    QScrollBar* vbar = view->verticalScrollBar();
    QScrollBar* hbar = view->horizontalScrollBar();
    QVERIFY(!hbar->isVisible());
    const int heightBefore = view->viewport()->height();

    view->AppendConsole(std::string(300, '7') + "\t\r\n");
    Settle(*view);
    QVERIFY(hbar->isVisible());
    QVERIFY(view->viewport()->height() < heightBefore);
    QCOMPARE(vbar->value(), vbar->maximum());

    AppendLines(*view, 5);
    Settle(*view);
    QCOMPARE(vbar->value(), vbar->maximum());
    const QPoint last = view->pointAt(view->length());
    QVERIFY(last.y() + view->lineHeight() <= view->viewport()->height());

    // The viewport growing and shrinking again keeps the view at the end.
    view->resize(400, 320);
    QApplication::processEvents();
    view->resize(400, 150);
    QApplication::processEvents();
    AppendLines(*view, 3);
    Settle(*view);
    QCOMPARE(vbar->value(), vbar->maximum());
}

void ConsoleViewTest::clickAndFocusWhileScrolledAwayDoNotJump() {
    auto view = ShownConsole();
    AppendLines(*view, 200);
    Settle(*view);
    QScrollBar* bar = view->verticalScrollBar();
    bar->setValue(20);

    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(30, 30));
    view->setFocus();
    QApplication::processEvents();
    AppendLines(*view, 40);
    Settle(*view);
    QCOMPARE(bar->value(), 20);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(40, 50));
    QCOMPARE(bar->value(), 20);
}

void ConsoleViewTest::pagingKeysScrollAndCtrlEndFollowsAgain() {
    auto view = ShownConsole();
    AppendLines(*view, 200);
    Settle(*view);
    QScrollBar* bar = view->verticalScrollBar();
    const int end = bar->value();
    QTest::keyClick(view.get(), Qt::Key_PageUp);
    QCOMPARE(bar->value(), end - bar->pageStep());
    QTest::keyClick(view.get(), Qt::Key_Down);
    QCOMPARE(bar->value(), end - bar->pageStep() + 1);
    QTest::keyClick(view.get(), Qt::Key_Home, Qt::ControlModifier);
    QCOMPARE(bar->value(), 0);
    AppendLines(*view, 10);
    Settle(*view);
    QCOMPARE(bar->value(), 0);

    AppendLines(*view, 10);  // still pending when the user asks for the end
    QTest::keyClick(view.get(), Qt::Key_End, Qt::ControlModifier);
    QCOMPARE(bar->value(), bar->maximum());
    QCOMPARE(static_cast<std::size_t>(bar->maximum() + bar->pageStep()), view->lineCount());
    AppendLines(*view, 10);
    Settle(*view);
    QCOMPARE(bar->value(), bar->maximum());
}

void ConsoleViewTest::copyGivesTheSelectedBytesAsLatin1() {
    auto view = ShownConsole();
    const std::string text =
        "ab\tc\xE9"
        "d\r\nxy\t\r\n";
    view->AppendConsole(text);
    Settle(*view);

    // Drag from the 'b' to just after the 'x' on the next line.
    QWidget* port = view->viewport();
    QTest::mousePress(port, Qt::LeftButton, {}, Inside(view->pointAt(1), *view));
    QTest::mouseMove(port, Inside(view->pointAt(9), *view));
    QTest::mouseRelease(port, Qt::LeftButton, {}, Inside(view->pointAt(9), *view));
    QCOMPARE(view->selectionStart(), std::size_t{1});
    QCOMPARE(view->selectionEnd(), std::size_t{9});
    QCOMPARE(view->selectedText(), std::string("b\tc\xE9"
                                               "d\r\nx"));

    QApplication::clipboard()->clear();
    QTest::keyClick(view.get(), Qt::Key_C, Qt::ControlModifier);
    const QString copied = QApplication::clipboard()->text();
    QCOMPARE(copied, QString::fromLatin1("b\tc\xE9"
                                         "d\r\nx"));
    QCOMPARE(copied.at(3).unicode(), char16_t{0xE9});
    QCOMPARE(copied.toLatin1().toStdString(), view->selectedText());
}

void ConsoleViewTest::shiftClickDoubleClickAndSelectAll() {
    auto view = ShownConsole();
    view->AppendConsole("alpha\tbeta\tgamma\t\r\ndelta\t\r\n");
    Settle(*view);
    QWidget* port = view->viewport();
    QTest::mouseClick(port, Qt::LeftButton, {}, Inside(view->pointAt(6), *view));
    QTest::mouseClick(port, Qt::LeftButton, Qt::ShiftModifier, Inside(view->pointAt(21), *view));
    QCOMPARE(view->selectedText(), std::string("beta\tgamma\t\r\nde"));

    QTest::mouseDClick(port, Qt::LeftButton, {}, Inside(view->pointAt(12), *view));
    QCOMPARE(view->selectedText(), std::string("gamma"));

    QTest::keyClick(view.get(), Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(view->selectedText(), view->text());
}

void ConsoleViewTest::appendsLeaveTheSelectionAlone() {
    auto view = ShownConsole();
    view->AppendConsole("first\tline\t\r\n");
    Settle(*view);
    view->setSelection(0, 5);
    AppendLines(*view, 30);
    Settle(*view);
    QCOMPARE(view->selectedText(), std::string("first"));
    QVERIFY(view->text().rfind("first\tline\t\r\n0\t98\t14.7\t\r\n", 0) == 0);
    QCOMPARE(view->text().substr(view->length() - 2), std::string("\r\n"));
}

void ConsoleViewTest::clearEmptiesPendingTextToo() {
    auto view = ShownConsole();
    AppendLines(*view, 300);
    Settle(*view);
    view->setSelection(3, 40);
    AppendLines(*view, 5);
    QVERIFY(view->hasPending());

    view->clear();
    QVERIFY(!view->hasPending());
    QCOMPARE(view->text(), std::string());
    QCOMPARE(view->length(), std::size_t{0});
    QCOMPARE(view->lineCount(), std::size_t{1});
    QCOMPARE(view->selectedText(), std::string());
    QCOMPARE(view->verticalScrollBar()->maximum(), 0);
    Settle(*view);
    QCOMPARE(view->length(), std::size_t{0});

    view->AppendConsole("7\t");
    QCOMPARE(view->text(), std::string("7\t"));
    Settle(*view);
    QVERIFY(view->isAtEnd());
}

void ConsoleViewTest::timerAppliesCoalescedText() {
    auto view = ShownConsole();
    QScrollBar* bar = view->verticalScrollBar();
    AppendLines(*view, 200);
    QVERIFY(view->hasPending());
    QCOMPARE(bar->maximum(), 0);  // nothing applied yet: one update for all of it
    QTRY_VERIFY(!view->hasPending());
    QVERIFY(bar->maximum() > 0);
    QCOMPARE(bar->value(), bar->maximum());
}

void ConsoleViewTest::hugeLineIsClampedAndPaints() {
    auto view = ShownConsole();
    std::string line(4 << 20, '5');
    for (std::size_t i = 7; i < line.size(); i += 8) line[i] = '\t';
    view->AppendConsole("head\r\n");
    view->AppendConsole(line);
    view->AppendConsole("\r\ntail\r\n");
    Settle(*view);
    QScrollBar* hbar = view->horizontalScrollBar();
    QVERIFY(hbar->maximum() > 1000000);
    QVERIFY(hbar->maximum() <= std::numeric_limits<int>::max() / 2);
    hbar->setValue(hbar->maximum());
    QVERIFY(!view->viewport()->grab().toImage().isNull());
    hbar->setValue(hbar->maximum() / 2);
    // A click far along the huge line lands inside it.
    const int row = view->pointAt(6).y() + view->lineHeight() / 2;
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(50, row));
    QVERIFY(view->selectionStart() > 6);
    QVERIFY(view->selectionStart() < 6 + line.size());
    QCOMPARE(view->length(), line.size() + 14);
}

QTEST_MAIN(ConsoleViewTest)
#include "console_view_test.moc"
