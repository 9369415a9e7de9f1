#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QScreen>
#include <QScrollBar>
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

// Field by field, as the receive handling appends lines.
void AppendLines(ConsoleView& view, int count) {
    for (int i = 0; i < count; ++i) {
        view.AppendConsole(std::to_string(i) + "\t");
        view.AppendConsole("98\t");
        view.AppendConsole("14.7\t");
        view.AppendConsole("\r\n");
    }
}

// Applies what is pending and lets the scroll area lay out its bars.
void Settle(ConsoleView& view) {
    view.flushPending();
    QApplication::processEvents();
}

// The viewport as painting has left it on the screen, and as a drawing of
// the whole viewport from scratch gives it: the two must not differ.
bool ScreenMatchesAFullDrawing(ConsoleView& view) {
    Settle(view);
    QWidget* window = view.window();
    const QPoint at = view.viewport()->mapTo(window, QPoint(0, 0));
    const QSize size = view.viewport()->size();
    const QImage screen =
        QGuiApplication::primaryScreen()
            ->grabWindow(window->winId(), at.x(), at.y(), size.width(), size.height())
            .toImage()
            .convertToFormat(QImage::Format_RGB32);
    return screen == view.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

QPoint Inside(QPoint p, const ConsoleView& view) { return p + QPoint(1, view.lineHeight() / 2); }

void ExpectFollowing(const ConsoleView& view) {
    const QScrollBar* bar = view.verticalScrollBar();
    QVERIFY(bar->maximum() > 0);
    QCOMPARE(bar->value(), bar->maximum());
    QVERIFY(view.isAtEnd());
    // The newest text lies inside the viewport.
    const QPoint last = view.pointAt(view.length());
    QVERIFY(last.y() >= 0 && last.y() + view.lineHeight() <= view.viewport()->height());
}

}  // namespace

class ConsoleViewTest : public QObject {
    Q_OBJECT

  private slots:
    void keepsBytesInOrderAndTheTimerShowsThem() {
        auto view = ShownConsole();
        QCOMPARE(view->objectName(), QStringLiteral("txtVornOutput"));
        const std::string pieces[] = {"12\t", "", "\t", "\r\n", "\r\n", "r\xE9v\t"};
        std::string expected;
        for (int round = 0; round < 100; ++round) {
            for (const std::string& p : pieces) {
                view->AppendConsole(p);
                expected += p;
            }
        }
        QVERIFY(view->hasPending());
        QCOMPARE(view->text(), expected);  // text not yet painted is part of the text
        QCOMPARE(view->lineCount(), std::size_t{201});
        QCOMPARE(view->verticalScrollBar()->maximum(), 0);  // one update for all of it
        QTRY_VERIFY_WITH_TIMEOUT(!view->hasPending(), 60000);
        ExpectFollowing(*view);
    }

    void tabsStopEvery720TwipsAndCarriageReturnsAreNeverDrawn() {
        auto view = ShownConsole(), withoutCr = ShownConsole(), empty = ShownConsole();
        const int tab = 720 * view->logicalDpiX() / 1440;
        QCOMPARE(view->tabStopPixels(), tab);
        view->AppendConsole("1\t2\r\n\t\t3\r\r\n");
        withoutCr->AppendConsole("1\t2\n\t\t3\n");
        Settle(*view);
        Settle(*withoutCr);
        const int edge = view->pointAt(0).x();
        QCOMPARE(view->pointAt(2).x() - edge, tab);      // '2'
        QCOMPARE(view->pointAt(7).x() - edge, 2 * tab);  // '3' after two empty fields
        QCOMPARE(view->pointAt(5).y() - view->pointAt(0).y(), view->lineHeight());
        const QImage drawn = view->viewport()->grab().toImage();
        QCOMPARE(drawn, withoutCr->viewport()->grab().toImage());
        QVERIFY(empty->viewport()->grab().toImage() != drawn);  // something was drawn at all
    }

    void drawsOnlyWhatChangedAndTheScreenShowsAllOfIt() {
        auto view = ShownConsole();
        QScrollBar* bar = view->verticalScrollBar();
        // Short text: the last line grows where it stands.
        for (const char* piece : {"12\t", "34\t", "\r\n", "5"}) {
            view->AppendConsole(piece);
            QVERIFY2(ScreenMatchesAFullDrawing(*view), piece);
        }
        // Following: the lines that stay move up, the new ones are drawn below.
        for (int lines : {30, 1, 0, 2}) {
            AppendLines(*view, lines);
            view->AppendConsole("6\t7");
            QVERIFY(ScreenMatchesAFullDrawing(*view));
            ExpectFollowing(*view);
        }
        // Scrolled away by the user, new text does not touch the view.
        bar->triggerAction(QAbstractSlider::SliderSingleStepSub);
        QVERIFY(ScreenMatchesAFullDrawing(*view));
        AppendLines(*view, 3);
        view->AppendConsole("8\t");
        QVERIFY(ScreenMatchesAFullDrawing(*view));
        // Back at the end, and scrolled sideways along a long line.
        view->AppendConsole(std::string(200, '7') + "\r\n");
        bar->setValue(bar->maximum());
        view->horizontalScrollBar()->setValue(30);
        view->AppendConsole("9\t9");
        QVERIFY(ScreenMatchesAFullDrawing(*view));
        AppendLines(*view, 1);
        QVERIFY(ScreenMatchesAFullDrawing(*view));
    }

    void followsWhileAtTheEnd() {
        auto view = ShownConsole();
        AppendLines(*view, 2);
        Settle(*view);
        QCOMPARE(view->verticalScrollBar()->maximum(), 0);  // no scroll range: still following
        QVERIFY(view->isAtEnd());
        AppendLines(*view, 200);
        Settle(*view);
        ExpectFollowing(*view);

        // The horizontal bar appearing takes room from the viewport.
        QVERIFY(!view->horizontalScrollBar()->isVisible());
        const int heightBefore = view->viewport()->height();
        view->AppendConsole(std::string(300, '7') + "\t\r\n");
        AppendLines(*view, 5);
        Settle(*view);
        QVERIFY(view->horizontalScrollBar()->isVisible());
        QVERIFY(view->viewport()->height() < heightBefore);
        ExpectFollowing(*view);

        view->resize(400, 320);
        QApplication::processEvents();
        view->resize(400, 150);
        QApplication::processEvents();
        AppendLines(*view, 3);
        Settle(*view);
        ExpectFollowing(*view);
    }

    void staysWhileScrolledAwayAndFollowsAgainAtTheEnd() {
        auto view = ShownConsole();
        AppendLines(*view, 100);
        Settle(*view);
        QScrollBar* bar = view->verticalScrollBar();
        AppendLines(*view, 10);  // pending, while the view was following
        bar->triggerAction(QAbstractSlider::SliderSingleStepSub);  // the user, one line up
        const int kept = bar->value();
        QCOMPARE(kept, bar->maximum() - 1);
        QVERIFY(!view->isAtEnd());
        for (int batch = 0; batch < 20; ++batch) {
            AppendLines(*view, 250);
            Settle(*view);
        }
        QCOMPARE(view->firstVisibleLine(), kept);
        QCOMPARE(view->lineCount(), std::size_t{110 + 20 * 250 + 1});  // nothing trimmed

        // Clicking into the console and giving it focus do not jump to the caret.
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(30, 30));
        view->setFocus();
        AppendLines(*view, 40);
        Settle(*view);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(40, 50));
        QCOMPARE(bar->value(), kept);

        bar->setValue(bar->maximum());  // back to the last line
        AppendLines(*view, 50);
        Settle(*view);
        ExpectFollowing(*view);
        QCOMPARE(view->firstVisibleLine(), static_cast<int>(view->lineCount()) - bar->pageStep());

        // Paging away by keys stays put; Ctrl+End follows again, even with text pending.
        QTest::keyClick(view.get(), Qt::Key_Home, Qt::ControlModifier);
        QTest::keyClick(view.get(), Qt::Key_PageDown);
        AppendLines(*view, 10);
        Settle(*view);
        QCOMPARE(bar->value(), bar->pageStep());
        AppendLines(*view, 10);
        QTest::keyClick(view.get(), Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(bar->value(), bar->maximum());
        QCOMPARE(static_cast<std::size_t>(bar->value() + bar->pageStep()), view->lineCount());
        AppendLines(*view, 10);
        Settle(*view);
        ExpectFollowing(*view);
    }

    void selectionByMouseAndKeysCopiesTheBytesAsLatin1() {
        auto view = ShownConsole();
        view->AppendConsole("ab\tc\xE9z\r\nxy\t\r\nalpha\tbeta\t\r\n");
        Settle(*view);
        // Drag from the 'b' to just after the 'x' on the next line.
        QWidget* port = view->viewport();
        QTest::mousePress(port, Qt::LeftButton, {}, Inside(view->pointAt(1), *view));
        QTest::mouseMove(port, Inside(view->pointAt(9), *view));
        QTest::mouseRelease(port, Qt::LeftButton, {}, Inside(view->pointAt(9), *view));
        QCOMPARE(view->selectedText(), std::string("b\tc\xE9z\r\nx"));

        QApplication::clipboard()->clear();
        QTest::keyClick(view.get(), Qt::Key_C, Qt::ControlModifier);
        const QString copied = QApplication::clipboard()->text();
        QCOMPARE(copied.at(3).unicode(), char16_t{0xE9});
        QCOMPARE(copied.toLatin1().toStdString(), view->selectedText());

        QTest::mouseClick(port, Qt::LeftButton, Qt::ShiftModifier,
                          Inside(view->pointAt(15), *view));
        QCOMPARE(view->selectedText(), std::string("b\tc\xE9z\r\nxy\t\r\nal"));
        QTest::mouseDClick(port, Qt::LeftButton, {}, Inside(view->pointAt(21), *view));
        QCOMPARE(view->selectedText(), std::string("beta"));
        QTest::keyClick(view.get(), Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(view->selectedText(), view->text());

        // Appends leave the selection alone; clear starts over, pending text included.
        view->setSelection(0, 5);
        AppendLines(*view, 300);
        Settle(*view);
        QCOMPARE(view->selectedText(), std::string("ab\tc\xE9"));
        QVERIFY(view->text().starts_with("ab\tc\xE9z\r\nxy\t\r\nalpha\tbeta\t\r\n0\t98\t"));
        QVERIFY(view->text().ends_with("299\t98\t14.7\t\r\n"));

        AppendLines(*view, 5);
        QVERIFY(view->hasPending());
        view->clear();
        QVERIFY(!view->hasPending());
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

    void hugeLineIsClampedAndPaints() {
        auto view = ShownConsole();
        std::string line(4 << 20, '5');
        for (std::size_t i = 7; i < line.size(); i += 8) line[i] = '\t';
        view->AppendConsole("head\r\n");
        view->AppendConsole(line);
        view->AppendConsole("\r\ntail\r\n");
        Settle(*view);
        QCOMPARE(view->length(), line.size() + 14);
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
    }
};

QTEST_MAIN(ConsoleViewTest)
#include "console_view_test.moc"
