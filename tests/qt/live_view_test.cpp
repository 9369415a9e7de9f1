#include <qcustomplot.h>
#include <QAction>
#include <QLabel>
#include <QMenuBar>
#include <QtTest>

#include "analysis/qt/live_plot_window.h"
#include "analysis/qt/log_plot.h"
#include "support/main_window_fixture.h"
#include "viewer/qt/settings_viewer.h"
#include "viewer/qt/zone_grid_view.h"

using namespace kestrin;

namespace {

constexpr int kZone215 = 19;  // row 1, column 3

}  // namespace

class LiveViewTest : public QObject {
    Q_OBJECT

  private slots:
    void streamReachesThePlotAndTheGrid() {
        test::MainWindowFixture f;
        const QList<QAction*> menus = f.window->menuBar()->actions();
        QCOMPARE(menus.size(), 2);
        QCOMPARE(menus[1]->text(), QStringLiteral("View"));
        auto* mnuViewLivePlot = f.window->findChild<QAction*>("mnuViewLivePlot");
        QVERIFY(mnuViewLivePlot);
        mnuViewLivePlot->trigger();
        QPointer<LivePlotWindow> live = f.window->livePlot();
        QVERIFY(live && live->isVisible());
        mnuViewLivePlot->trigger();
        QCOMPARE(f.window->livePlot(), live.data());  // one at a time

        f.click("cmdViewSettings");
        SettingsViewer* viewer = f.window->settingsViewer();
        f.click("cmdViewSettings");
        QCOMPARE(f.window->settingsViewer(), viewer);  // one at a time
        auto* cell = viewer->findChild<QLabel*>("lblZone_19");
        const QString cellText = cell->text();

        // Ready, not logging: the plot and the grid take every line all the same.
        f.click("cmdNewRun");
        QVERIFY(f.pty.write(
            "RPM TPS MAP CLT IAT O2 ADV PW ZON\r\n3000 10 201 80 30 130 10 20 35\r\n3"));
        QTRY_COMPARE(live->channels().dataLines().size(), std::size_t{1});
        f.click("cmdSetMarker");
        QVERIFY(f.pty.write("100 10 101 80 30 104 10 20 35\r\n1 2 3\r\nX"));
        QTRY_COMPARE(live->channels().markers().size(), std::size_t{1});

        live->refresh();
        QVERIFY(live->repaintInterval() >= LivePlotWindow::kRepaintMilliseconds &&
                live->repaintInterval() <= LivePlotWindow::kSlowestRepaintMilliseconds);
        const LogChannels& channels = live->channels();
        QCOMPARE(channels.titles()[0], std::string("RPM"));
        QCOMPARE(channels.values(kLogColumns - 1), (std::vector<float>{14.5f, 0}));  // decoded
        QVERIFY(channels.markers()[0] >= channels.dataLines()[1]);
        QCustomPlot* plot = live->plot()->customPlot();
        QCOMPARE(plot->graph(plot->graphCount() - 1)->dataCount(), 2);

        // Looking back stops following; Follow returns to the newest lines.
        QVERIFY(live->following());
        plot->xAxis->setRange(-10, -5);
        QVERIFY(!live->following());
        // Lines beyond the view held are taken without a repaint.
        int replots = 0;
        connect(plot, &QCustomPlot::afterReplot, [&replots] { ++replots; });
        QVERIFY(f.pty.write("\r\n3000 10 201 80 30 130 10 20 35\r\nX"));
        QTRY_COMPARE(live->channels().dataLines().size(), std::size_t{3});
        live->refresh();
        QCOMPARE(replots, 0);
        // So are lines that arrive while the window is minimized, until it is shown again.
        live->cmdFollow_Click();
        QCOMPARE(plot->graph(plot->graphCount() - 1)->dataCount(), 3);
        live->showMinimized();
        replots = 0;
        QVERIFY(f.pty.write("\r\n3000 10 201 80 30 130 10 20 35\r\nX"));
        QTRY_COMPARE(live->channels().dataLines().size(), std::size_t{4});
        live->refresh();
        QCOMPARE(replots, 0);
        live->showNormal();
        QTRY_VERIFY(replots > 0);
        QCOMPARE(plot->graph(plot->graphCount() - 1)->dataCount(), 4);
        plot->xAxis->setRange(-10, -5);
        live->findChild<QPushButton*>("cmdFollow")->click();
        QVERIFY(live->following());
        QCOMPARE(plot->xAxis->range().upper, LivePlotWindow::kShownSeconds);

        ZoneGridView* grid = viewer->grid();
        QTRY_COMPARE(grid->outlinedCell(), std::optional<int>(kZone215));
        QVERIFY(grid->tintAlpha(kZone215) > 0 && grid->tintAlpha(0) == 0);
        QCOMPARE(cell->text(), cellText);

        f.click("cmdEnd");
        QVERIFY(!grid->outlinedCell() && grid->tintAlpha(kZone215) == 0);
        viewer->close();
        live->close();
        QTRY_VERIFY(live.isNull());
    }

    void plotLetsGoOfDroppedLinesAndReadsTheRest() {
        LogChannels channels(ChannelSource::Stream);
        LogPlot plot;
        plot.setChannels(&channels);
        plot.setShownColumns({0});
        const std::vector<std::string> fields{"1", "2", "3",   "4", "5",    "6", "7",
                                              "8", "9", "215", "",  "14.7", "0"};
        const Record line{LineKind::Data, fields, 215, 1470, 0};
        for (int key = 0; key < 10; ++key) channels.AppendRecord(line, key);
        channels.AppendMarker(4.5);
        plot.refreshAppended();
        channels.DropBefore(5);
        for (int key = 10; key < 12; ++key) channels.AppendRecord(line, key);
        plot.refreshAppended();
        // The graph holds what is in view once it is drawn.
        plot.customPlot()->xAxis->setRange(0, 12);
        plot.customPlot()->replot();
        QCPGraph* graph = plot.customPlot()->graph(plot.customPlot()->graphCount() - 1);
        QCOMPARE(graph->dataCount(), 7);
        QCOMPARE(graph->data()->constBegin()->key, 5.0);
        QCOMPARE(plot.customPlot()->graph(0)->dataCount(), 0);  // the marker went with its lines
        plot.moveCursorTo(11);
        QCOMPARE(plot.readout(), QStringLiteral("Line 11   1 1"));
    }
};

QTEST_MAIN(LiveViewTest)
#include "live_view_test.moc"
