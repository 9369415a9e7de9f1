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

// A loaded table: small zone p holds p - 50 + offset, large zone k holds k (signed), plus a
// small zone that is not a number and a value in a row gap.
SettingsTable Filled(int offset = 0) {
    SettingsTable table;
    for (int p = 0; p < ZoneView::kSmallZones; ++p)
        table.slot(kestrin::SmallZoneSlot(p)) = std::to_string(p - 50 + offset);
    for (int k = 0; k < ZoneView::kLargeZones; ++k)
        table.slot(kestrin::LargeZoneSlot(k)) = kestrin::FormatZoneSum(k);
    table.slot(kestrin::SmallZoneSlot(1)) = "AB";
    table.slot(180) = "999";
    return table;
}

// What the grid must show for `table`, in the plain or the added view. A missing or misnumbered
// element shows as "<missing>".
void ExpectView(QWidget* viewer, const SettingsTable& table, bool added) {
    ZoneView view;
    kestrin::ShowZones(table, view);
    if (added) kestrin::AddZones(view);
    QCOMPARE(Box(viewer)->isChecked(), added);
    for (int p = 0; p < ZoneView::kSmallZones; ++p)
        QCOMPARE(Text(viewer, "lblZone", p), QString::fromStdString(view.smallZones[p]));
    for (int k = 0; k < ZoneView::kLargeZones; ++k) {
        QCOMPARE(Text(viewer, "lblLargeZone", k), QString::number(k));
        QCOMPARE(Text(viewer, "lblLargeZoneSetting", k),
                 QString::fromStdString(table.at(kestrin::LargeZoneSlot(k))));
    }
}

}  // namespace

class SettingsViewerTest : public QObject {
    Q_OBJECT

  private slots:
    void cleanup() {
        if (SettingsViewer::current()) SettingsViewer::current()->close();
        FlushDeletes();
        QVERIFY(!SettingsViewer::current());
    }

    void firstOpeningShowsThePlainViewWithAClearedBox() {
        const SettingsTable table = Filled();
        SettingsViewer* viewer = SettingsViewer::open(table);
        QVERIFY(viewer);
        QCOMPARE(SettingsViewer::current(), viewer);
        QCOMPARE(viewer->objectName(), QStringLiteral("frmSettings"));
        QCOMPARE(viewer->windowTitle(), QStringLiteral("Current Settings"));
        QVERIFY(viewer->isVisible());
        QVERIFY(viewer->isWindow() && !viewer->parentWidget() && !viewer->isModal());
        QVERIFY(viewer->testAttribute(Qt::WA_DeleteOnClose));
        QCOMPARE(Text(viewer, "lblZone", 16), QStringLiteral("-34"));  // slot 200, never 180
        QCOMPARE(Text(viewer, "lblZone", 1), QStringLiteral("AB"));
        ExpectView(viewer, table, false);
        QCOMPARE(Box(viewer)->text(), QStringLiteral("Add Large Zones To Small Zones"));
    }

    void tickingAndClearingAlternatesWithoutAccumulating() {
        const SettingsTable table = Filled();
        SettingsViewer* viewer = SettingsViewer::open(table);
        for (int round = 0; round < 2; ++round) {
            Box(viewer)->click();
            ExpectView(viewer, table, true);
            Box(viewer)->click();
            ExpectView(viewer, table, false);
        }
        Box(viewer)->click();
        QCOMPARE(Text(viewer, "lblZone", 0), QStringLiteral("-50"));  // block 0 adds 0
        QCOMPARE(Text(viewer, "lblZone", 1), QStringLiteral("-50"));  // carried over
        QCOMPARE(Text(viewer, "lblZone", 2), QStringLiteral("-44"));  // -48 + block 4
    }

    void secondOpeningOnlyRaisesTheWindow() {
        SettingsTable table = Filled();
        const SettingsTable before = table;
        SettingsViewer* viewer = SettingsViewer::open(table);
        Box(viewer)->click();

        table = Filled(1000);
        QCOMPARE(SettingsViewer::open(table), viewer);
        ExpectView(viewer, before, true);  // the old sums stay on screen
        Box(viewer)->click();
        ExpectView(viewer, table, false);
        Box(viewer)->click();
        ExpectView(viewer, table, true);
    }

    void failedLoadShowsEmptyCellsAndZeroSums() {
        const SettingsTable table;
        SettingsViewer* viewer = SettingsViewer::open(table);
        ExpectView(viewer, table, false);
        QCOMPARE(Text(viewer, "lblZone", 77), QString());
        Box(viewer)->click();
        for (int p = 0; p < ZoneView::kSmallZones; ++p)
            QCOMPARE(Text(viewer, "lblZone", p), QStringLiteral("0"));
    }

    void outlivesTheMainWindowAndReopensPlain() {
        const SettingsTable table = Filled();
        auto mainWindow = std::make_unique<QWidget>();
        mainWindow->show();
        QPointer<SettingsViewer> first = SettingsViewer::open(table);
        mainWindow->close();
        mainWindow.reset();
        FlushDeletes();
        QCOMPARE(SettingsViewer::current(), first);
        QVERIFY(first->isVisible());
        Box(first)->click();
        ExpectView(first, table, true);
        Box(first)->click();
        ExpectView(first, table, false);

        // Closed while ticked: the next opening is a new window, plain again.
        Box(first)->click();
        first->close();
        QVERIFY(!SettingsViewer::current());
        FlushDeletes();
        QVERIFY(first.isNull());
        ExpectView(SettingsViewer::open(table), table, false);
    }

    void tableTextsAreShownAsTheyStand() {
        SettingsTable table;
        table.slot(100) = "<b>1</b>";
        table.slot(105) = "\xE9\x01 ";
        table.slot(1000) = "\xFF";
        SettingsViewer* viewer = SettingsViewer::open(table);
        QCOMPARE(Element(viewer, "lblZone", 0)->textFormat(), Qt::PlainText);
        QCOMPARE(Text(viewer, "lblZone", 0), QStringLiteral("<b>1</b>"));
        QCOMPARE(Text(viewer, "lblZone", 1), QString::fromLatin1("\xE9\x01 "));
        Box(viewer)->click();
        // Not numbers: the large-zone value counts as 0 and keeps its text.
        QCOMPARE(Text(viewer, "lblZone", 0), QStringLiteral("0"));
        QCOMPARE(Text(viewer, "lblLargeZoneSetting", 0), QString::fromLatin1("\xFF"));
    }

    void elementsSitWhereTheLayoutPutsThem() {
        const SettingsTable table;
        SettingsViewer* viewer = SettingsViewer::open(table);
        QCOMPARE(viewer->size(), QSize(991, 662));
        QCOMPARE(Element(viewer, "lblZone", 143)->geometry(), QRect(888, 456, 57, 57));
        QCOMPARE(Element(viewer, "lblZone", 0)->frameShape(), QFrame::Box);

        // Block lines run along the cell borders.
        QVERIFY(Element<QFrame>(viewer, "Line2", 6) && Element<QFrame>(viewer, "Line1", 4));
        QCOMPARE(Element<QFrame>(viewer, "Line2", 5)->geometry().center().x(), 48 + 56 * 12);
        QCOMPARE(Element<QFrame>(viewer, "Line1", 4)->geometry().center().y(), 512);

        // Block numbers: centred on their block, 8 px down (32 px in the bottom band), greyed.
        QLabel* zero = Element(viewer, "lblLargeZone", 0);
        QCOMPARE(zero->x() + zero->width() / 2, (48 + 160) / 2);
        QCOMPARE(zero->y(), 16);
        QVERIFY(!zero->isEnabled());
        QLabel* last = Element(viewer, "lblLargeZone", 23);
        QCOMPARE(last->x() + last->width() / 2, (720 + 944) / 2);
        QCOMPARE(last->y(), 8 + 56 * 6 + 32);

        auto* frame = viewer->findChild<QGroupBox*>("Frame1");
        QVERIFY(frame);
        QCOMPARE(frame->geometry(), QRect(8, 520, 977, 89));
        QCOMPARE(Element(viewer, "lblLargeZoneSetting", 23)->parentWidget(), frame);
        QCOMPARE(Element(viewer, "lblLargeZoneSetting", 23)->geometry(), QRect(928, 48, 41, 25));
        QCOMPARE(frame->findChild<QLabel*>("Label4")->text(),
                 QStringLiteral("Large Zone Settings:"));

        QCOMPARE(Box(viewer)->geometry().topLeft(), QPoint(400, 624));
        QVERIFY(Box(viewer)->width() >= Box(viewer)->sizeHint().width());
    }
};

QTEST_MAIN(SettingsViewerTest)
#include "settings_viewer_test.moc"
