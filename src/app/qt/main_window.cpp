// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/qt/main_window.h"
#include "common/qt/latin1.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>

#include "analysis/qt/live_plot_window.h"
#include "analysis/qt/log_loader.h"
#include "analysis/qt/log_window.h"
#include "app/qt/qt_message_prompt.h"
#include "common/printable_name.h"
#include "common/qt/open_file_dialog.h"
#include "common/qt/twips.h"
#include "display/qt/console_view.h"
#include "display/qt/rx_indicator.h"
#include "log/qt/save_options_dialog.h"
#include "settings/qt/capture_dialog.h"
#include "settings/settings_loader.h"
#include "viewer/qt/settings_comparison.h"
#include "viewer/qt/settings_viewer.h"

namespace kestrin {

namespace {

MessagePrompt& ChoosePrompt(MessagePrompt* given, std::unique_ptr<MessagePrompt>& own,
                            QWidget* window) {
    if (given) return *given;
    own = std::make_unique<QtMessagePrompt>(window);
    return *own;
}

}  // namespace

MainWindow::MainWindow(Program& program, MessagePrompt* prompt)
    : program_(program),
      prompt_(ChoosePrompt(prompt, ownPrompt_, this)),
      console_(new ConsoleView),
      streamPrompt_(prompt_),
      log_(program.options),
      tokenizer_(*console_, log_, program.settings, streamPrompt_),
      run_(program.options, program.fileSystem, port_, log_, tokenizer_, prompt_),
      visitedSubscription_(tokenizer_, program.visitedZones) {
    setObjectName("frmMain");
    setWindowTitle("Kestrin");
    port_.setObjectName("MSComm1");
    port_.setListener(this);
    buildControls();
    applyButtons();

    // Lines already reach the operating system as they end; this puts them
    // on the disk at least once a second while a run is open.
    syncTimer_.setInterval(1000);
    connect(&syncTimer_, &QTimer::timeout, this, [this] {
        run_.syncLog();
        reportLogFailureLater();
    });
    // A lost port is tried again once a second until it is back or the run ends.
    retryTimer_.setInterval(1000);
    connect(&retryTimer_, &QTimer::timeout, this, &MainWindow::retryPort);
}

MainWindow::~MainWindow() { port_.setListener(nullptr); }

QPushButton* MainWindow::addButton(const char* name, const char* caption, int left, int top,
                                   int width, void (MainWindow::*handler)()) {
    auto* button = new QPushButton(caption, centralWidget());
    button->setObjectName(name);
    button->setAutoDefault(true);
    PlaceTwips(button, left, top, width, 375);
    connect(button, &QPushButton::clicked, this, handler);
    return button;
}

void MainWindow::buildControls() {
    auto* client = new QWidget(this);
    client->setFixedSize(Px(14775), Px(7950));
    setCentralWidget(client);

    QMenu* mnuFile = menuBar()->addMenu("File");
    mnuFile->setObjectName("mnuFile");
    QAction* mnuFileSaveOptions = mnuFile->addAction("Save Options");
    mnuFileSaveOptions->setObjectName("mnuFileSaveOptions");
    connect(mnuFileSaveOptions, &QAction::triggered, this, &MainWindow::mnuFileSaveOptions_Click);
    QAction* mnuFileOpenLog = mnuFile->addAction("Open Log...");
    mnuFileOpenLog->setObjectName("mnuFileOpenLog");
    connect(mnuFileOpenLog, &QAction::triggered, this, &MainWindow::mnuFileOpenLog_Click);
    QAction* mnuFileExit = mnuFile->addAction("Exit");
    mnuFileExit->setObjectName("mnuFileExit");
    connect(mnuFileExit, &QAction::triggered, this, &MainWindow::close);
    QMenu* mnuView = menuBar()->addMenu("View");
    mnuView->setObjectName("mnuView");
    QAction* mnuViewLivePlot = mnuView->addAction("Live Plot");
    mnuViewLivePlot->setObjectName("mnuViewLivePlot");
    connect(mnuViewLivePlot, &QAction::triggered, this, &MainWindow::mnuViewLivePlot_Click);
    QAction* mnuViewCompareSettings = mnuView->addAction("Compare Settings...");
    mnuViewCompareSettings->setObjectName("mnuViewCompareSettings");
    connect(mnuViewCompareSettings, &QAction::triggered, this,
            &MainWindow::mnuViewCompareSettings_Click);

    rxCircle_ = new RxCircle(client);
    rxCircle_->setObjectName("shaRxCircle");
    PlaceTwips(rxCircle_, 480, 240, 255, 165);
    rx_ = new RxIndicator(rxCircle_, this);
    auto* lblRx = new QLabel("Rx", client);
    lblRx->setObjectName("lblRx");
    PlaceTwips(lblRx, 720, 240, 375, 255);

    console_->setParent(client);
    console_->setObjectName("txtVornOutput");
    PlaceTwips(console_, 240, 720, 12375, 6375);
    // While characters arrive the console catches up on the flash tick, so
    // the circle and the new text are drawn and sent to the screen together.
    connect(rx_->tmrRxDelay(), &QTimer::timeout, console_, &ConsoleView::flushPending);

    cmdNewRun_ = addButton("cmdNewRun", "New Run", 12840, 720, 1695, &MainWindow::cmdNewRun_Click);
    cmdNewRun_->setDefault(true);
    cmdEnd_ = addButton("cmdEnd", "End Run", 12840, 1200, 1695, &MainWindow::cmdEnd_Click);
    cmdStart_ =
        addButton("cmdStart", "Begin Logging", 12840, 1920, 1695, &MainWindow::cmdStart_Click);
    cmdPause_ =
        addButton("cmdPause", "Pause Logging", 12840, 2400, 1695, &MainWindow::cmdPause_Click);
    cmdSetMarker_ =
        addButton("cmdSetMarker", "Set Marker", 12840, 3120, 1695, &MainWindow::cmdSetMarker_Click);
    cmdClearDisplay_ = addButton("cmdClearDisplay", "Clear Display", 12840, 3600, 1695,
                                 &MainWindow::cmdClearDisplay_Click);
    cmdCaptureSettings_ = addButton("cmdCaptureSettings", "Capture Settings", 12840, 4320, 1695,
                                    &MainWindow::cmdCaptureSettings_Click);
    cmdLoadSettings_ = addButton("cmdLoadSettings", "Load Settings", 12840, 4800, 1695,
                                 &MainWindow::cmdLoadSettings_Click);
    cmdViewSettings_ = addButton("cmdViewSettings", "View Current Settings", 12840, 5280, 1695,
                                 &MainWindow::cmdViewSettings_Click);
    cmdExit_ = new QPushButton("E&xit", client);
    cmdExit_->setObjectName("cmdExit");
    cmdExit_->setAutoDefault(true);
    PlaceTwips(cmdExit_, 12960, 6720, 1575, 375);
    connect(cmdExit_, &QPushButton::clicked, this, &MainWindow::close);

    lblDebug_ = new QLabel(client);
    lblDebug_->setObjectName("lblDebug");
    PlaceTwips(lblDebug_, 240, 7200, 2655, 615);

    QWidget* order[] = {cmdExit_,   cmdStart_,           cmdPause_,        cmdEnd_,
                        cmdNewRun_, cmdCaptureSettings_, cmdLoadSettings_, cmdViewSettings_,
                        console_,   cmdSetMarker_,       cmdClearDisplay_};
    for (std::size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);
    cmdExit_->setFocus();
}

void MainWindow::applyButtons() {
    const RunButtons& b = run_.buttons();
    cmdNewRun_->setEnabled(b.cmdNewRun);
    cmdEnd_->setEnabled(b.cmdEnd);
    cmdStart_->setEnabled(b.cmdStart);
    cmdStart_->setText(Latin1(b.startCaption));
    cmdPause_->setEnabled(b.cmdPause);
    cmdSetMarker_->setEnabled(b.cmdSetMarker);
    cmdCaptureSettings_->setEnabled(b.cmdCaptureSettings);
    cmdLoadSettings_->setEnabled(b.cmdLoadSettings);
    cmdViewSettings_->setEnabled(b.cmdViewSettings);
}

void MainWindow::showPortState() {
    const std::string& notice = run_.portNotice();
    setWindowTitle(notice.empty() ? QString("Kestrin") : "Kestrin - " + Latin1(notice));
    rx_->setWaiting(run_.waitingForPort());
}

void MainWindow::retryPort() {
    if (!run_.retryPort()) return;
    retryTimer_.stop();
    showPortState();
}

void MainWindow::clearVisitedZones() {
    program_.visitedZones.Clear();
    if (viewer_) viewer_->showVisitedZones();
}

void MainWindow::cmdNewRun_Click() {
    clearVisitedZones();
    run_.cmdNewRun_Click();
    applyButtons();
    if (run_.runOpen()) syncTimer_.start();
}

void MainWindow::cmdStart_Click() {
    run_.cmdStart_Click();
    applyButtons();
}

void MainWindow::cmdPause_Click() {
    run_.cmdPause_Click();
    applyButtons();
}

void MainWindow::cmdEnd_Click() {
    syncTimer_.stop();
    retryTimer_.stop();
    run_.cmdEnd_Click();
    applyButtons();
    showPortState();
    clearVisitedZones();
}

void MainWindow::cmdSetMarker_Click() { run_.cmdSetMarker_Click(); }

void MainWindow::cmdClearDisplay_Click() {
    console_->clear();
    tokenizer_.ResetFields();
}

void MainWindow::cmdCaptureSettings_Click() {
    CaptureDialog dialog(program_.options, program_.fileSystem, prompt_, this);
    dialog.exec();
}

void MainWindow::LoadSettingsFile() {
    SettingsLoaderHooks hooks;
    hooks.showCommaCount = [this](std::string_view count) { lblDebug_->setText(Latin1(count)); };
    hooks.openCaptureDialog = [this] { cmdCaptureSettings_Click(); };
    kestrin::LoadSettingsFile(program_.settings, program_.fileSystem, prompt_, hooks);
}

void MainWindow::cmdLoadSettings_Click() { LoadSettingsFile(); }

void MainWindow::cmdViewSettings_Click() {
    LoadSettingsFile();
    // One viewer at a time: an open one is brought to the front, its texts left as they are.
    if (viewer_) {
        if (viewer_->isMinimized()) viewer_->showNormal();
        viewer_->raise();
        viewer_->activateWindow();
        return;
    }
    viewer_ = new SettingsViewer(program_.settings, tokenizer_, program_.visitedZones);
}

void MainWindow::mnuFileSaveOptions_Click() {
    SaveOptionsDialog dialog(program_.options, prompt_, this);
    dialog.exec();
}

void MainWindow::mnuFileOpenLog_Click() {
    const std::optional<std::string> path = OpenFileDialog::choose(
        this, "Open Log", {QStringLiteral("Logs (*.txt)"), QStringLiteral("All files (*)")});
    if (path) openLog(*path);
}

void MainWindow::openLog(const std::string& path) {
    // Read on a thread of its own: this window and the open ones go on meanwhile.
    LogLoader* loader = LogLoader::start(path, program_.settings, this);
    connect(loader, &LogLoader::failed, this,
            [this](const std::string& name, const Status& failure) {
                prompt_.showAboutFile("Cannot open the log %1: " + failure.reason, name, "Kestrin",
                                      PromptButtons::Ok);
            });
}

void MainWindow::mnuViewLivePlot_Click() {
    // One live plot at a time: an open one is brought to the front.
    if (livePlot_) {
        if (livePlot_->isMinimized()) livePlot_->showNormal();
        livePlot_->raise();
        livePlot_->activateWindow();
        return;
    }
    livePlot_ = new LivePlotWindow(tokenizer_);
    livePlot_->show();
}

void MainWindow::mnuViewCompareSettings_Click() {
    const std::optional<std::string> path = OpenFileDialog::choose(
        this, "Compare Settings",
        {QStringLiteral("Settings files (*.txt)"), QStringLiteral("All files (*)")});
    if (path) compareSettings(*path);
}

SettingsComparison* MainWindow::compareSettings(const std::string& path) {
    std::string line;
    if (const std::optional<std::string> refused =
            ReadCompleteSettings(program_.fileSystem, path, line)) {
        // The name as the box shows names: decoded as the file system encodes them.
        std::string text = *refused;
        const std::string escaped = PrintableName(path);
        if (const std::size_t at = text.find(escaped); at != std::string::npos)
            text.replace(at, escaped.size(), "%1");
        prompt_.showAboutFile(text, path, "Kestrin", PromptButtons::Ok);
        return nullptr;
    }
    auto* window = new SettingsComparison(program_.settings, path, line);
    window->show();
    return window;
}

void MainWindow::onReceive(std::string_view bytes) {
    tokenizer_.receive(bytes);
    rx_->received();
    run_.flushLog();
    reportLogFailureLater();
}

void MainWindow::reportLogFailureLater() {
    if (run_.logFailureToReport()) QTimer::singleShot(0, this, [this] { run_.reportLogFailure(); });
}

void MainWindow::onPortLost(const Status& why) {
    run_.portLost(why);
    reportLogFailureLater();
    if (!run_.waitingForPort()) return;
    showPortState();
    retryTimer_.start();
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
    // New Run is the window's default command: Enter runs it unless a focused
    // button has taken the key already.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        cmdNewRun_->isEnabled()) {
        cmdNewRun_->click();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // Closing does not end the run: the port closes with the window, the log
    // keeps everything written so far. The live plot shows this window's
    // stream, so it closes too; log windows and the settings viewer stay.
    if (livePlot_) livePlot_->close();
    syncTimer_.stop();
    retryTimer_.stop();
    port_.close();
    run_.syncLog();
    event->accept();
}

}  // namespace kestrin
