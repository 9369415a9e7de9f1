// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QTimer>
#include <memory>

#include "analysis/qt/live_plot_window.h"
#include "app/program.h"
#include "app/qt/queued_prompt.h"
#include "app/run_control.h"
#include "intake/line_tokenizer.h"
#include "log/log_writer.h"
#include "port/qt/qt_serial_port.h"
#include "viewer/qt/settings_viewer.h"

class QLabel;
class QPushButton;

namespace kestrin {

class ConsoleView;
class SettingsComparison;
class RxCircle;
class RxIndicator;

// frmMain: the live console, the run commands and the settings commands.
class MainWindow : public QMainWindow, private SerialListener {
    Q_OBJECT
  public:
    // Message boxes go to `prompt` when one is given, else to the screen.
    explicit MainWindow(Program& program, MessagePrompt* prompt = nullptr);
    ~MainWindow() override;

    void cmdNewRun_Click();
    void cmdStart_Click();
    void cmdPause_Click();
    void cmdEnd_Click();
    void cmdSetMarker_Click();
    void cmdClearDisplay_Click();
    void cmdCaptureSettings_Click();
    void cmdLoadSettings_Click();
    void cmdViewSettings_Click();
    void mnuFileSaveOptions_Click();
    void mnuFileOpenLog_Click();
    void mnuViewLivePlot_Click();
    void mnuViewCompareSettings_Click();
    // Shows the program's settings beside those of the settings file `path`,
    // or says why that file is refused; gives the new window or nullptr.
    SettingsComparison* compareSettings(const std::string& path);
    // Opens a log in a window of its own, or says why it cannot.
    void openLog(const std::string& path);

    LineTokenizer& tokenizer() { return tokenizer_; }
    SettingsViewer* settingsViewer() const { return viewer_; }
    LivePlotWindow* livePlot() const { return livePlot_; }

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void onReceive(std::string_view bytes) override;
    void onPortLost(const Status& why) override;
    // Tells a failed log once the received bytes have been handled.
    void reportLogFailureLater();
    void clearVisitedZones();

    void buildControls();
    void applyButtons();
    // The window title and the Rx indicator tell whether the run's port is lost.
    void showPortState();
    void retryPort();
    QPushButton* addButton(const char* name, const char* caption, int left, int top, int width,
                           void (MainWindow::*handler)());
    void LoadSettingsFile();

    Program& program_;
    std::unique_ptr<MessagePrompt> ownPrompt_;
    MessagePrompt& prompt_;

    ConsoleView* console_;  // made first: the tokenizer writes to it
    RxCircle* rxCircle_ = nullptr;
    RxIndicator* rx_ = nullptr;
    QLabel* lblDebug_ = nullptr;
    QPushButton* cmdNewRun_ = nullptr;
    QPushButton* cmdEnd_ = nullptr;
    QPushButton* cmdStart_ = nullptr;
    QPushButton* cmdPause_ = nullptr;
    QPushButton* cmdSetMarker_ = nullptr;
    QPushButton* cmdClearDisplay_ = nullptr;
    QPushButton* cmdCaptureSettings_ = nullptr;
    QPushButton* cmdLoadSettings_ = nullptr;
    QPushButton* cmdViewSettings_ = nullptr;
    QPushButton* cmdExit_ = nullptr;

    // The boxes the stream itself raises wait for the event loop, never
    // inside the handling of received bytes.
    QueuedPrompt streamPrompt_;
    QtSerialPort port_;
    LogWriter log_;
    LineTokenizer tokenizer_;
    RunControl run_;
    RecordSubscription visitedSubscription_;
    QTimer syncTimer_;
    QTimer retryTimer_;
    QPointer<SettingsViewer> viewer_;
    QPointer<LivePlotWindow> livePlot_;
};

}  // namespace kestrin
