#pragma once

#include <QMainWindow>
#include <QTimer>
#include <memory>

#include "analysis/visited_zones.h"
#include "app/program.h"
#include "app/run_control.h"
#include "intake/line_tokenizer.h"
#include "intake/qt/qt_serial_port.h"
#include "intake/record_listener.h"
#include "log/log_writer.h"

class QLabel;
class QPushButton;

namespace kestrin {

class ConsoleView;
class RxCircle;
class RxIndicator;

// frmMain: the live console, the run commands and the settings commands.
class MainWindow : public QMainWindow, private SerialListener, private RecordListener {
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
    // Opens a log in a window of its own, or says why it cannot.
    void openLog(const std::string& path);

    const LineTokenizer& tokenizer() const { return tokenizer_; }
    // The zones the engine visited since the run began.
    const VisitedZones& visitedZones() const { return visitedZones_; }

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void onReceive(std::string_view text) override;
    void onDrained() override;
    void onPortLost(const Status& why) override;
    void onLine(LineKind kind, std::span<const std::string> fields) override;
    void onMarker() override;
    void showVisitedZones();

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

    QtSerialPort port_;
    LogWriter log_;
    LineTokenizer tokenizer_;
    RunControl run_;
    QTimer syncTimer_;
    QTimer retryTimer_;
    VisitedZones visitedZones_;
    // Puts the visited zones on the settings viewer a few times a second at most.
    QTimer zoneTimer_;
    std::uint64_t zoneChangesShown_ = 0;
};

}  // namespace kestrin
