#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QPointer>
#include <QtTest>
#include <memory>

#include "settings/settings_table.h"
#include "viewer/qt/settings_viewer.h"
#include "viewer/zone_layout.h"

using kestrin::SettingsTable;
using kestrin::SettingsViewer;
using kestrin::ZoneView;

namespace {

// Element `index` of a control array, or nullptr when it is missing or carries another index.
template <typename W = QLabel>
W* Element(QWidget* window, const char* name, int index) {
    auto* widget =
        window->findChild<W*>(QStringLiteral("%1_%2").arg(QLatin1String(name)).arg(index));
    return widget && widget->property("index").toInt() == index ? widget : nullptr;
}

QString Text(QWidget* window, const char* name, int index) {
    QLabel* label = Element(window, name, index);
    return label ? label->text() : QStringLiteral("<missing>");
}

QCheckBox* Box(QWidget* window) { return window->findChild<QCheckBox*>("chkAddZones"); }

// Lets a closed viewer finish deleting itself.
void FlushDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

// A loaded table: small zone p holds p - 50, large zone k holds k (signed), plus some texts that
// are not numbers.
void Fill(SettingsTable& table, int offset) {
    for (int p = 0; p < ZoneView::kSmallZones; ++p) {
        table.slot(kestrin::SmallZoneSlot(p)) = std::to_string(p - 50 + offset);
    }
    for (int k = 0; k < ZoneView::kLargeZones; ++k) {
        table.slot(kestrin::LargeZoneSlot(k)) = kestrin::FormatZoneSum(k);
    }
    table.slot(kestrin::SmallZoneSlot(1)) = "AB";
    table.slot(180) = "999";
}

}  // namespace

class SettingsViewerTest : public QObject {
    Q_OBJECT

  private:
    // What the grid must show for `table` in each view.
    static void expectPlain(QWidget* viewer, const SettingsTable& table) {
        for (int p = 0; p < ZoneView::kSmallZones; ++p) {
            QCOMPARE(Text(viewer, "lblZone", p),
                     QString::fromStdString(table.at(kestrin::SmallZoneSlot(p))));
        }
        for (int k = 0; k < ZoneView::kLargeZones; ++k) {
            QCOMPARE(Text(viewer, "lblLargeZone", k), QString::number(k));
            QCOMPARE(Text(viewer, "lblLargeZoneSetting", k),
                     QString::fromStdString(table.at(kestrin::LargeZoneSlot(k))));
        }
    }
    static void expectAdded(QWidget* viewer, const SettingsTable& table) {
        ZoneView view;
        kestrin::ShowZones(table, view);
        kestrin::AddZones(view);
        for (int p = 0; p < ZoneView::kSmallZones; ++p) {
            QCOMPARE(Text(viewer, "lblZone", p), QString::fromStdString(view.smallZones[p]));
        }
        for (int k = 0; k < ZoneView::kLargeZones; ++k) {
            QCOMPARE(Text(viewer, "lblLargeZone", k), QString::number(k));
        }
    }

  private slots:
    void cleanup() {
        if (SettingsViewer::current()) SettingsViewer::current()->close();
        FlushDeletes();
        QVERIFY(!SettingsViewer::current());
    }

    void firstOpeningShowsThePlainViewWithAClearedBox() {
        SettingsTable table;
        Fill(table, 0);
        SettingsViewer* viewer = SettingsViewer::open(table);
        QVERIFY(viewer);
        QCOMPARE(SettingsViewer::current(), viewer);
        QCOMPARE(viewer->objectName(), QStringLiteral("frmSettings"));
        QCOMPARE(viewer->windowTitle(), QStringLiteral("Current Settings"));
        QVERIFY(viewer->isVisible());
        QVERIFY(viewer->isWindow());
        QVERIFY(!viewer->parentWidget());
        QVERIFY(!viewer->isModal());
        QVERIFY(viewer->testAttribute(Qt::WA_DeleteOnClose));

        QCOMPARE(viewer->findChildren<QLabel*>(QRegularExpression("^lblZone_\\d+$")).size(), 144);
        QCOMPARE(viewer->findChildren<QLabel*>(QRegularExpression("^lblLargeZone_\\d+$")).size(),
                 24);
        QCOMPARE(
            viewer->findChildren<QLabel*>(QRegularExpression("^lblLargeZoneSetting_\\d+$")).size(),
            24);
        QCOMPARE(Text(viewer, "lblZone", 16), QStringLiteral("-34"));  // slot 200, never 180
        QCOMPARE(Text(viewer, "lblZone", 1), QStringLiteral("AB"));
        expectPlain(viewer, table);
        QVERIFY(Box(viewer));
        QVERIFY(!Box(viewer)->isChecked());
        QCOMPARE(Box(viewer)->text(), QStringLiteral("Add Large Zones To Small Zones"));
    }

    void tickingAndClearingAlternatesWithoutAccumulating() {
        SettingsTable table;
        Fill(table, 0);
        SettingsViewer* viewer = SettingsViewer::open(table);
        for (int round = 0; round < 3; ++round) {
            Box(viewer)->click();
            QVERIFY(Box(viewer)->isChecked());
            expectAdded(viewer, table);
            Box(viewer)->click();
            QVERIFY(!Box(viewer)->isChecked());
            expectPlain(viewer, table);
        }
        Box(viewer)->click();
        QCOMPARE(Text(viewer, "lblZone", 0), QStringLiteral("-50"));  // block 0 adds 0
        QCOMPARE(Text(viewer, "lblZone", 1), QStringLiteral("-50"));  // carried over
        QCOMPARE(Text(viewer, "lblZone", 2), QStringLiteral("-44"));  // -48 + block 4
    }

    void secondOpeningOnlyRaisesTheWindow() {
        SettingsTable table;
        Fill(table, 0);
        SettingsViewer* viewer = SettingsViewer::open(table);
        Box(viewer)->click();
        const QString oldSum = Text(viewer, "lblZone", 20);

        SettingsTable before = table;
        Fill(table, 1000);
        QCOMPARE(SettingsViewer::open(table), viewer);
        QVERIFY(Box(viewer)->isChecked());
        QCOMPARE(Text(viewer, "lblZone", 20), oldSum);
        expectAdded(viewer, before);

        Box(viewer)->click();
        expectPlain(viewer, table);
        Box(viewer)->click();
        expectAdded(viewer, table);
    }

    void closingAndReopeningStartsPlainAgain() {
        SettingsTable table;
        Fill(table, 0);
        QPointer<SettingsViewer> first = SettingsViewer::open(table);
        Box(first)->click();
        first->close();
        QVERIFY(!SettingsViewer::current());
        FlushDeletes();
        QVERIFY(first.isNull());

        SettingsViewer* second = SettingsViewer::open(table);
        QVERIFY(!Box(second)->isChecked());
        expectPlain(second, table);
    }

    void failedLoadShowsEmptyCellsAndZeroSums() {
        SettingsTable table;
        SettingsViewer* viewer = SettingsViewer::open(table);
        expectPlain(viewer, table);
        QCOMPARE(Text(viewer, "lblZone", 77), QString());
        Box(viewer)->click();
        for (int p = 0; p < ZoneView::kSmallZones; ++p) {
            QCOMPARE(Text(viewer, "lblZone", p), QStringLiteral("0"));
        }
    }

    void viewerKeepsWorkingWithoutTheMainWindow() {
        SettingsTable table;
        Fill(table, 0);
        auto mainWindow = std::make_unique<QWidget>();
        mainWindow->show();
        SettingsViewer* viewer = SettingsViewer::open(table);
        mainWindow->close();
        mainWindow.reset();
        FlushDeletes();

        QCOMPARE(SettingsViewer::current(), viewer);
        QVERIFY(viewer->isVisible());
        Box(viewer)->click();
        expectAdded(viewer, table);
        Box(viewer)->click();
        expectPlain(viewer, table);
    }

    void tableTextsAreShownAsTheyStand() {
        SettingsTable table;
        table.slot(100) = "<b>1</b>";
        table.slot(105) = "\xE9\x01 ";
        table.slot(1000) = "\xFF";
        SettingsViewer* viewer = SettingsViewer::open(table);
        QLabel* cell = Element(viewer, "lblZone", 0);
        QVERIFY(cell);
        QCOMPARE(cell->textFormat(), Qt::PlainText);
        QCOMPARE(cell->text(), QStringLiteral("<b>1</b>"));
        QCOMPARE(Text(viewer, "lblZone", 1), QString::fromLatin1("\xE9\x01 "));
        Box(viewer)->click();
        // Not numbers: the large-zone value counts as 0 and keeps its text.
        QCOMPARE(Text(viewer, "lblZone", 0), QStringLiteral("0"));
        QCOMPARE(Text(viewer, "lblLargeZoneSetting", 0), QString::fromLatin1("\xFF"));
    }

    void elementsSitWhereTheLayoutPutsThem() {
        SettingsTable table;
        SettingsViewer* viewer = SettingsViewer::open(table);
        QCOMPARE(viewer->size(), QSize(991, 662));
        for (int p = 0; p < ZoneView::kSmallZones; ++p) QVERIFY(Element(viewer, "lblZone", p));
        for (int k = 0; k < ZoneView::kLargeZones; ++k) {
            QVERIFY(Element(viewer, "lblLargeZone", k));
            QVERIFY(Element(viewer, "lblLargeZoneSetting", k));
        }
        for (int i = 0; i < 7; ++i) QVERIFY(Element<QFrame>(viewer, "Line2", i));
        for (int i = 0; i < 5; ++i) QVERIFY(Element<QFrame>(viewer, "Line1", i));

        QCOMPARE(Element(viewer, "lblZone", 0)->geometry(), QRect(48, 8, 57, 57));
        QCOMPARE(Element(viewer, "lblZone", 17)->geometry(), QRect(104, 64, 57, 57));
        QCOMPARE(Element(viewer, "lblZone", 143)->geometry(), QRect(888, 456, 57, 57));
        QCOMPARE(Element(viewer, "lblZone", 0)->frameShape(), QFrame::Box);

        // Block lines run along the cell borders.
        QCOMPARE(Element<QFrame>(viewer, "Line2", 0)->geometry().center().x(), 48);
        QCOMPARE(Element<QFrame>(viewer, "Line2", 5)->geometry().center().x(), 48 + 56 * 12);
        QCOMPARE(Element<QFrame>(viewer, "Line2", 6)->geometry().center().x(), 944);
        QCOMPARE(Element<QFrame>(viewer, "Line1", 4)->geometry().center().y(), 512);
        QVERIFY(!Element<QFrame>(viewer, "Line2", 7));
        QVERIFY(!Element<QFrame>(viewer, "Line1", 5));

        // Block numbers: centred on their block, 8 px down (32 px in the bottom band), greyed.
        QLabel* zero = Element(viewer, "lblLargeZone", 0);
        QCOMPARE(zero->x() + zero->width() / 2, (48 + 160) / 2);
        QCOMPARE(zero->y(), 16);
        QVERIFY(!zero->isEnabled());
        QLabel* last = Element(viewer, "lblLargeZone", 23);
        QCOMPARE(last->x() + last->width() / 2, (720 + 944) / 2);
        QCOMPARE(last->y(), 8 + 56 * 6 + 32);
        QVERIFY(last->width() >= last->sizeHint().width());

        auto* frame = viewer->findChild<QGroupBox*>("Frame1");
        QVERIFY(frame);
        QCOMPARE(frame->geometry(), QRect(8, 520, 977, 89));
        QCOMPARE(frame->title(), QString());
        QLabel* value = Element(viewer, "lblLargeZoneSetting", 23);
        QCOMPARE(value->parentWidget(), frame);
        QCOMPARE(value->geometry(), QRect(928, 48, 41, 25));
        QCOMPARE(value->text(), QString());
        QCOMPARE(frame->findChild<QLabel*>("Label4")->text(),
                 QStringLiteral("Large Zone Settings:"));

        QCheckBox* box = Box(viewer);
        QCOMPARE(box->pos(), QPoint(400, 624));
        QCOMPARE(box->height(), 25);
        QVERIFY(box->width() >= 185);
        QVERIFY(box->width() >= box->sizeHint().width());
    }
};

QTEST_MAIN(SettingsViewerTest)
#include "settings_viewer_test.moc"
