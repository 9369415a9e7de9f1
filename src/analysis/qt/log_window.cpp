// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/qt/log_window.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <utility>
#include <vector>

#include "analysis/corrections_command.h"
#include "analysis/qt/channel_picker.h"
#include "analysis/qt/correction_cells.h"
#include "analysis/qt/corrections_panel.h"
#include "analysis/qt/log_corrections.h"
#include "analysis/qt/log_plot.h"
#include "common/qt/close_keys.h"
#include "common/qt/latin1.h"
#include "common/qt/open_file_dialog.h"
#include "common/qt/shown_name.h"
#include "log/text_file.h"
#include "settings/settings_format.h"
#include "settings/settings_loader.h"
#include "viewer/qt/zone_grid_view.h"

namespace kestrin {

namespace {

constexpr int kMaximumMinimumLines = 100000;

// Air-fuel ratios at which the shading is palest and deepest.
constexpr double kStoichiometric = 14.7;
constexpr double kFullShade = 3.0;

// White at the stoichiometric ratio, deepening towards blue (rich) or red (lean).
QColor Shade(std::int64_t meanHundredths) {
    return ShadeTowards((static_cast<double>(meanHundredths) / 100 - kStoichiometric) / kFullShade);
}

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
    return showLog(path, std::move(channels), settings);
}

LogWindow* LogWindow::showLog(const std::string& path, std::unique_ptr<LogChannels> channels,
                              const SettingsTable& settings) {
    auto* window = new LogWindow(path, std::move(channels), settings);
    window->show();
    return window;
}

QString LogWindow::displayName(const std::string& path) { return ShownName(FileName(path)); }

LogWindow::LogWindow(const std::string& path, std::unique_ptr<LogChannels> channels,
                     const SettingsTable& settings)
    : QWidget(nullptr), channels_(std::move(channels)), settings_(settings) {
    setObjectName(QStringLiteral("frmLog"));
    setWindowTitle(QStringLiteral("Log - ") + displayName(path));
    setAttribute(Qt::WA_DeleteOnClose);

    picker_ = new ChannelPicker(this);
    picker_->setTitles(channels_->titles());
    plot_ = new LogPlot(this);
    connect(picker_, &ChannelPicker::chosenChanged, this,
            [this] { plot_->setShownColumns(picker_->chosenColumns()); });
    lblNoData_ = new QLabel(QStringLiteral("This log holds no data line."), this);
    lblNoData_->setObjectName(QStringLiteral("lblNoData"));
    lblNoData_->setVisible(channels_->dataLines().empty());

    QFont cellFont = font();
    cellFont.setPointSizeF(7.5);
    grid_ = new ZoneGridView(cellFont, Qt::white, this);
    grid_->setSelectable(true);
    corrections_ = new LogCorrections(path, grid_, plot_, this);
    connect(grid_, &ZoneGridView::cellSelected, this, [this](int p) {
        if (corrections_->active()) return corrections_->selectZone(p);
        plot_->markLines(channels_->linesOfZone(SmallZoneSlot(p)));
    });
    connect(corrections_, &LogCorrections::logsChanged, this, [this, path] {
        setWindowTitle(QStringLiteral("Log - %1 and %2 more")
                           .arg(displayName(path))
                           .arg(corrections_->logs().size() - 1));
    });
    optMeanAfr_ = new QRadioButton(QStringLiteral("&Mean AFR"), this);
    optMeanAfr_->setObjectName(QStringLiteral("optMeanAfr"));
    optMeanAfr_->setChecked(true);
    optFuelChange_ = new QRadioButton(QStringLiteral("Fuel &change"), this);
    optFuelChange_->setObjectName(QStringLiteral("optFuelChange"));
    optCompare_ = new QRadioButton(QStringLiteral("Com&pare"), this);
    optCompare_->setObjectName(QStringLiteral("optCompare"));
    optCompare_->setToolTip(
        QStringLiteral("File, Compare With... chooses the log to compare with"));
    optCompare_->setEnabled(false);
    for (const auto& [button, mode] : {std::pair(optMeanAfr_, GridMode::MeanAfr),
                                       std::pair(optFuelChange_, GridMode::FuelChange),
                                       std::pair(optCompare_, GridMode::Compare)}) {
        connect(button, &QRadioButton::toggled, this, [this, mode = mode](bool checked) {
            if (checked) setGridMode(mode);
        });
    }

    lblOutside_ = new QLabel(this);
    lblOutside_->setObjectName(QStringLiteral("lblOutside"));
    spnMinLines_ = new QSpinBox(this);
    spnMinLines_->setObjectName(QStringLiteral("spnMinLines"));
    spnMinLines_->setRange(1, kMaximumMinimumLines);
    spnMinLines_->setValue(kDefaultMinimumLines);
    connect(spnMinLines_, &QSpinBox::valueChanged, this, &LogWindow::showZones);
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
    auto* mnuCopyCorrections = new QAction(QStringLiteral("Copy Corrections"), this);
    mnuCopyCorrections->setObjectName(QStringLiteral("mnuCopyCorrections"));
    mnuCopyCorrections->setShortcut(Qt::CTRL | Qt::SHIFT | Qt::Key_C);
    connect(mnuCopyCorrections, &QAction::triggered, this, &LogWindow::copyCorrections);
    addAction(mnuCopyCorrections);
    auto* cmdCopyCorrections = new QPushButton(mnuCopyCorrections->text(), this);
    cmdCopyCorrections->setObjectName(QStringLiteral("cmdCopyCorrections"));
    connect(cmdCopyCorrections, &QPushButton::clicked, mnuCopyCorrections, &QAction::trigger);
    auto* mnuFileAddLog = new QAction(QStringLiteral("Add Log..."), this);
    mnuFileAddLog->setObjectName(QStringLiteral("mnuFileAddLog"));
    connect(mnuFileAddLog, &QAction::triggered, this, &LogWindow::chooseLogToAdd);
    auto* mnuFileCompareWith = new QAction(QStringLiteral("Compare With..."), this);
    mnuFileCompareWith->setObjectName(QStringLiteral("mnuFileCompareWith"));
    connect(mnuFileCompareWith, &QAction::triggered, this, &LogWindow::chooseLogToCompare);
    auto* mnuFileSaveCorrectedSettings =
        new QAction(QStringLiteral("Save Corrected Settings..."), this);
    mnuFileSaveCorrectedSettings->setObjectName(QStringLiteral("mnuFileSaveCorrectedSettings"));
    connect(mnuFileSaveCorrectedSettings, &QAction::triggered, this,
            &LogWindow::chooseCorrectedSettingsFile);
    auto* menus = new QMenuBar(this);
    menus->setObjectName(QStringLiteral("mnuLog"));
    QMenu* mnuFile = menus->addMenu(QStringLiteral("&File"));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    mnuFile->addAction(mnuFileAddLog);
    mnuFile->addAction(mnuFileCompareWith);
    mnuFile->addAction(mnuFileSaveCorrectedSettings);
    mnuFile->addSeparator();
    mnuFile->addAction(mnuCopyZoneTable);
    mnuFile->addAction(mnuCopyCorrections);

    // The means' own controls give way to the options in change mode.
    fraMeans_ = new QWidget(this);
    fraMeans_->setObjectName(QStringLiteral("fraMeans"));
    auto* means = new QVBoxLayout(fraMeans_);
    means->setContentsMargins(0, 0, 0, 0);
    means->addWidget(lblOutside_);
    means->addWidget(lblMinLines);
    means->addWidget(spnMinLines_);
    means->addWidget(lblShading);
    means->addWidget(cmdCopyZoneTable);
    corrections_->panel()->setVisible(false);
    auto* modes = new QVBoxLayout;
    modes->addWidget(optMeanAfr_);
    modes->addWidget(optFuelChange_);
    modes->addWidget(optCompare_);
    auto* side = new QVBoxLayout;
    side->addLayout(modes);
    side->addWidget(fraMeans_);
    side->addWidget(corrections_->panel());
    side->addWidget(cmdCopyCorrections);
    side->addStretch(1);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(grid_);
    bottom->addLayout(side, 1);
    auto* top = new QHBoxLayout;
    top->addWidget(picker_);
    auto* plotColumn = new QVBoxLayout;
    plotColumn->addWidget(lblNoData_);
    plotColumn->addWidget(plot_, 1);
    top->addLayout(plotColumn, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setMenuBar(menus);
    layout->addLayout(top, 1);
    layout->addLayout(bottom);

    plot_->setChannels(channels_.get());
    plot_->setShownColumns(picker_->chosenColumns());
    showZones();
    resize(1280, 960);
}

void LogWindow::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    // Settings may have been loaded while another window was in front.
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) showZones();
}

void LogWindow::showZones() {
    if (corrections_->active()) return;
    const int minimum = spnMinLines_->value();
    std::array<ZoneSummary, ZoneView::kSmallZones> inGrid{};
    std::int64_t outsideLines = 0;
    int outsideZones = 0;
    for (const auto& [zone, summary] : channels_->zoneTable().zones()) {
        if (const std::optional<int> p = SmallZoneOfSlot(zone)) {
            inGrid[*p] = summary;
        } else {
            outsideLines += summary.lines;
            ++outsideZones;
        }
    }
    lblOutside_->setText(QStringLiteral("Outside the grid: %1 lines in %2 zones\n%3")
                             .arg(outsideLines)
                             .arg(outsideZones)
                             .arg(Latin1(LeftOutText(channels_->lineCounts()))));
    for (int p = 0; p < ZoneView::kSmallZones; ++p) {
        const ZoneSummary& summary = inGrid[p];
        const std::string& setting = settings_.at(SmallZoneSlot(p));
        const std::string mean =
            summary.lines > 0 ? HundredthsAsText(summary.meanHundredths()) : std::string();
        ZoneCell cell;
        cell.corner = setting;
        if (summary.lines > 0) cell.text = std::to_string(summary.lines);
        if (summary.lines >= minimum) {
            cell.text += "\n" + mean;
            cell.shade = Shade(summary.meanHundredths());
        } else {
            cell.greyed = summary.lines > 0;
        }
        cell.toolTip = "Zone " + std::to_string(SmallZoneSlot(p)) + " (small zone " +
                       std::to_string(p) + ", block " + std::to_string(LargeZoneOf(p)) + ")\n" +
                       std::to_string(summary.lines) + " lines";
        if (summary.lines > 0) cell.toolTip += ", mean AFR " + mean;
        if (!summary.setting.empty()) cell.toolTip += "\nSTNG in the log: " + summary.setting;
        cell.toolTip += setting.empty() ? "\nNo setting loaded" : "\nSetting: " + setting;
        grid_->setCell(p, cell);
    }
}

QString LogWindow::zoneTableText() const { return Latin1(ZoneTableText(channels_->zoneTable())); }

void LogWindow::copyZoneTable() const { QApplication::clipboard()->setText(zoneTableText()); }

void LogWindow::setGridMode(GridMode mode) {
    if (mode == GridMode::Compare && corrections_->afterLog().empty()) mode = GridMode::FuelChange;
    mode_ = mode;
    {
        const QSignalBlocker blockMean(optMeanAfr_), blockChange(optFuelChange_),
            blockCompare(optCompare_);
        (mode == GridMode::MeanAfr      ? optMeanAfr_
         : mode == GridMode::FuelChange ? optFuelChange_
                                        : optCompare_)
            ->setChecked(true);
    }
    const bool means = mode == GridMode::MeanAfr;
    fraMeans_->setVisible(means);
    corrections_->panel()->setVisible(!means);
    corrections_->setView(means                          ? LogCorrections::View::None
                          : mode == GridMode::FuelChange ? LogCorrections::View::Changes
                                                         : LogCorrections::View::Comparison);
    if (means) showZones();
}

void LogWindow::copyCorrections() const {
    QApplication::clipboard()->setText(corrections_->text());
}

void LogWindow::chooseLogToAdd() {
    const std::optional<std::string> path =
        OpenFileDialog::choose(this, QStringLiteral("Add Log"), {QStringLiteral("All files (*)")});
    if (!path) return;
    std::string problem;
    if (!corrections_->addLog(*path, problem)) {
        QMessageBox::warning(this, QStringLiteral("Kestrin"), ShownText(problem));
        return;
    }
    if (mode_ == GridMode::MeanAfr) setChangeMode(true);
}

void LogWindow::chooseLogToCompare() {
    const std::optional<std::string> path =
        OpenFileDialog::choose(this, QStringLiteral("Compare With"),
                               {QStringLiteral("Logs (*.txt)"), QStringLiteral("All files (*)")});
    if (!path) return;
    std::string problem;
    if (!compareWith(*path, problem))
        QMessageBox::warning(this, QStringLiteral("Kestrin"), ShownText(problem));
}

bool LogWindow::compareWith(const std::string& path, std::string& problem) {
    if (!corrections_->compareWith(path, problem)) return false;
    optCompare_->setEnabled(true);
    optCompare_->setToolTip(QStringLiteral("Before: this log; after: ") + displayName(path));
    setGridMode(GridMode::Compare);
    return true;
}

void LogWindow::chooseCorrectedSettingsFile() {
    const QString path = QFileDialog::getSaveFileName(
        this, QStringLiteral("Save Corrected Settings"), QStringLiteral("Corrected.txt"),
        QStringLiteral("Settings files (*.txt);;All files (*)"), nullptr,
        QFileDialog::DontConfirmOverwrite);
    if (path.isEmpty()) return;
    bool saved = false;
    const QString told = saveCorrectedSettings(QFile::encodeName(path).toStdString(), saved);
    if (saved) {
        QMessageBox::information(this, QStringLiteral("Kestrin"), told);
    } else {
        QMessageBox::warning(this, QStringLiteral("Kestrin"), told);
    }
}

QString LogWindow::saveCorrectedSettings(const std::string& path, bool& saved) {
    saved = false;
    // The unit's captured settings are never replaced by a proposal.
    if (FileName(path) == kSettingsFileName)
        return QStringLiteral(
                   "%1 is the name of the settings captured from the unit: save the "
                   "corrected settings under another name.")
            .arg(displayName(path));
    FileEntry entry;
    if (PosixFileSystem().inspect(path, entry).ok() && entry.kind != FileEntry::Kind::Missing)
        return ShownText(NotReplacedText(path));
    const CorrectionsPanel* panel = corrections_->panel();
    if (!panel->problem().isEmpty())
        return QStringLiteral("Nothing saved: the options beside the grid hold a mistake: ") +
               panel->problem();
    if (!panel->options().step)
        return QStringLiteral(
            "Nothing saved: without a step there is no new setting. Type the "
            "step under Fuel change.");
    std::string problem;
    if (!corrections_->workOut(problem))
        return QStringLiteral("Nothing saved: ") + ShownText(problem);
    const std::vector<ZoneCorrection>& zones = corrections_->result().zones;
    if (std::none_of(zones.begin(), zones.end(),
                     [](const ZoneCorrection& zone) { return zone.newSetting.has_value(); }))
        return QStringLiteral("Nothing saved: no zone has a new setting yet.");
    const std::string settingsPath(kSettingsFileName);
    std::string settings;
    PosixFileSystem files;
    if (const std::optional<std::string> refused =
            ReadCompleteSettings(files, settingsPath, settings))
        return QStringLiteral("Nothing saved: ") + ShownText(*refused);
    const SettingsWriteReport report =
        WriteCorrectedSettings(settingsPath, settings, path, corrections_->result());
    saved = report.written;
    std::string told;
    for (const std::string& line : report.lines) told += (told.empty() ? "" : "\n") + line;
    return (saved ? QStringLiteral("Corrected settings saved.\n")
                  : QStringLiteral("Nothing saved: ")) +
           ShownText(told);
}

}  // namespace kestrin
