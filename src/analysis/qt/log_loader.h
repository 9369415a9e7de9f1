// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QProgressDialog>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "analysis/log_channels.h"
#include "common/status.h"
#include "settings/settings_table.h"

class QTimer;

namespace kestrin {

class LogWindow;

// Reads a log on a thread of its own, so that every window stays responsive
// meanwhile, and shows how far it got with a Cancel button; when the whole
// log is read it opens the log window. Deletes itself once done or cancelled;
// a cancelled log opens no window.
class LogLoader : public QProgressDialog {
    Q_OBJECT

  public:
    // Starts reading the log at `path`. `settings` must outlive the window.
    static LogLoader* start(const std::string& path, const SettingsTable& settings,
                            QWidget* parent);
    ~LogLoader() override;

  signals:
    void opened(LogWindow* window);
    // The file could not be opened or read.
    void failed(const std::string& path, const Status& failure);

  private:
    LogLoader(const std::string& path, const SettingsTable& settings, QWidget* parent);
    void poll();
    void stop();

    std::string path_;
    const SettingsTable& settings_;
    std::uint64_t fileBytes_ = 0;
    QTimer* timer_;
    std::thread worker_;
    std::atomic<bool> cancel_ = false;
    std::atomic<bool> done_ = false;
    std::atomic<std::uint64_t> bytesRead_ = 0;
    // Written by the reading thread before it sets done_.
    std::unique_ptr<LogChannels> channels_;
    Status failure_;
};

}  // namespace kestrin
