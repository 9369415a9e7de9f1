#include "analysis/qt/log_window.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>

#include "analysis/qt/log_plot.h"
#include "analysis/qt/zone_grid.h"
#include "common/qt/close_keys.h"
#include "common/qt/latin1.h"

namespace kestrin {

namespace {

constexpr int kMaximumMinimumLines = 100000;

std::string FileName(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

LogWindow* LogWindow::open(const std::string& path, const SettingsTable& settings,
                           Status& failure) {
    auto channels = std::make_unique<LogChannels>();
    failure = ReadLogChannels(path, *channels);
    if (!failure.ok()) return nullptr;
    auto* window = new LogWindow(path, std::move(channels), settings);
    window->show();
    return window;
}

LogWindow::LogWindow(const std::string& path, std::unique_ptr<LogChannels> channels,
                     const SettingsTable& settings)
    : QWidget(nullptr), channels_(std::move(channels)) {
    setObjectName(QStringLiteral("frmLog"));
    setWindowTitle(QStringLiteral("Log - ") + Latin1(FileName(path)));
    setAttribute(Qt::WA_DeleteOnClose);

    auto* channelBox = new QGroupBox(QStringLiteral("Channels"), this);
    channelBox->setObjectName(QStringLiteral("fraChannels"));
    auto* channelList = new QVBoxLayout(channelBox);
    const std::vector<std::string>& titles = channels_->titles();
    const std::vector<std::size_t> initial = InitialColumns(titles);
    for (std::size_t i = 0; i < titles.size(); ++i) {
        auto* box = new QCheckBox(Latin1(titles[i]), channelBox);
        box->setObjectName(QStringLiteral("chkChannel_%1").arg(i));
        box->setChecked(std::find(initial.begin(), initial.end(), i) != initial.end());
        connect(box, &QCheckBox::toggled, this, [this] { showChosenChannels(); });
        channelList->addWidget(box);
        chkChannel_.push_back(box);
    }
    channelList->addStretch(1);

    plot_ = new LogPlot(this);
    lblNoData_ = new QLabel(QStringLiteral("This log holds no data line."), this);
    lblNoData_->setObjectName(QStringLiteral("lblNoData"));
    lblNoData_->setVisible(channels_->dataLines().empty());

    grid_ = new ZoneGrid(settings, this);
    grid_->setZoneTable(channels_->zoneTable());
    grid_->setFixedSize(grid_->sizeHint());
    connect(grid_, &ZoneGrid::zoneSelected, this, &LogWindow::markZone);

    lblOutside_ = new QLabel(this);
    lblOutside_->setObjectName(QStringLiteral("lblOutside"));
    lblOutside_->setText(QStringLiteral("Outside the grid: %1 lines in %2 zones")
                             .arg(grid_->outsideLines())
                             .arg(grid_->outsideZones()));
    spnMinLines_ = new QSpinBox(this);
    spnMinLines_->setObjectName(QStringLiteral("spnMinLines"));
    spnMinLines_->setRange(1, kMaximumMinimumLines);
    spnMinLines_->setValue(grid_->minimumLines());
    connect(spnMinLines_, &QSpinBox::valueChanged, grid_, &ZoneGrid::setMinimumLines);
    auto* lblMinLines = new QLabel(QStringLiteral("Fewest lines for a mean:"), this);
    lblMinLines->setObjectName(QStringLiteral("lblMinLines"));
    auto* lblShading = new QLabel(QStringLiteral("Blue: rich, red: lean, white: 14.7"), this);
    lblShading->setObjectName(QStringLiteral("lblShading"));

    auto* mnuCopyZoneTable = new QAction(QStringLiteral("Copy Zone Table"), this);
    mnuCopyZoneTable->setObjectName(QStringLiteral("mnuCopyZoneTable"));
    mnuCopyZoneTable->setShortcut(QKeySequence::Copy);
    connect(mnuCopyZoneTable, &QAction::triggered, this, &LogWindow::copyZoneTable);
    addAction(mnuCopyZoneTable);
    CloseWithEscapeOrCtrlW(this);
    auto* cmdCopyZoneTable = new QPushButton(mnuCopyZoneTable->text(), this);
    cmdCopyZoneTable->setObjectName(QStringLiteral("cmdCopyZoneTable"));
    connect(cmdCopyZoneTable, &QPushButton::clicked, mnuCopyZoneTable, &QAction::trigger);

    auto* side = new QVBoxLayout;
    side->addWidget(lblOutside_);
    side->addWidget(lblMinLines);
    side->addWidget(spnMinLines_);
    side->addWidget(lblShading);
    side->addWidget(cmdCopyZoneTable);
    side->addStretch(1);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(grid_);
    bottom->addLayout(side, 1);
    auto* top = new QHBoxLayout;
    top->addWidget(channelBox);
    auto* plotColumn = new QVBoxLayout;
    plotColumn->addWidget(lblNoData_);
    plotColumn->addWidget(plot_, 1);
    top->addLayout(plotColumn, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addLayout(bottom);

    plot_->setChannels(channels_.get());
    showChosenChannels();
    resize(1200, 960);
}

void LogWindow::showChosenChannels() {
    std::vector<std::size_t> columns;
    for (std::size_t i = 0; i < chkChannel_.size(); ++i) {
        if (chkChannel_[i]->isChecked()) columns.push_back(i);
    }
    plot_->setShownColumns(columns);
}

void LogWindow::markZone(std::int64_t zone) { plot_->markLines(channels_->linesOfZone(zone)); }

QString LogWindow::zoneTableText() const { return Latin1(ZoneTableText(channels_->zoneTable())); }

void LogWindow::copyZoneTable() const { QApplication::clipboard()->setText(zoneTableText()); }

}  // namespace kestrin
