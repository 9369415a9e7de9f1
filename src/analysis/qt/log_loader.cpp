// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/qt/log_loader.h"

#include <QFile>
#include <QTimer>
#include <filesystem>

#include "analysis/qt/log_window.h"
#include "common/rhythm.h"

namespace kestrin {

namespace {

constexpr int kSteps = 1000;
// A log read sooner than this shows no progress bar at all.
constexpr int kShowAfterMilliseconds = 300;

}  // namespace

LogLoader* LogLoader::start(const std::string& path, const SettingsTable& settings,
                            QWidget* parent) {
    return new LogLoader(path, settings, parent);
}

LogLoader::LogLoader(const std::string& path, const SettingsTable& settings, QWidget* parent)
    : QProgressDialog(parent), path_(path), settings_(settings), timer_(new QTimer(this)) {
    setObjectName(QStringLiteral("frmLogLoad"));
    setWindowTitle(QStringLiteral("Open Log"));
    setLabelText(QStringLiteral("Reading ") + LogWindow::displayName(path) + QStringLiteral("..."));
    setRange(0, kSteps);
    setAutoClose(false);
    setAutoReset(false);
    setMinimumDuration(kShowAfterMilliseconds);
    setValue(0);
    std::error_code error;
    fileBytes_ = std::filesystem::file_size(path, error);
    if (error) fileBytes_ = 0;

    connect(this, &QProgressDialog::canceled, this, [this] {
        stop();
        deleteLater();
    });
    connect(timer_, &QTimer::timeout, this, &LogLoader::poll);
    timer_->start(kRhythmMs);  // progress on the program's one beat
    worker_ = std::thread([this] {
        auto channels = std::make_unique<LogChannels>();
        Status failure = ReadLogChannels(path_, *channels, [this](std::uint64_t bytes) {
            bytesRead_.store(bytes, std::memory_order_relaxed);
            return !cancel_.load(std::memory_order_relaxed);
        });
        channels_ = std::move(channels);
        failure_ = std::move(failure);
        done_.store(true, std::memory_order_release);
    });
}

LogLoader::~LogLoader() { stop(); }

void LogLoader::stop() {
    timer_->stop();
    cancel_ = true;
    if (worker_.joinable()) worker_.join();
}

void LogLoader::poll() {
    if (!done_.load(std::memory_order_acquire)) {
        if (fileBytes_ > 0) {
            const std::uint64_t read = std::min(bytesRead_.load(), fileBytes_);
            setValue(static_cast<int>(read * kSteps / fileBytes_));
        }
        return;
    }
    stop();
    // reset() also stops the timer that would show the dialog once its time
    // is up, even after hide(), over the failure's message box.
    reset();
    hide();
    if (failure_.ok()) {
        emit opened(LogWindow::showLog(path_, std::move(channels_), settings_));
    } else {
        emit failed(path_, failure_);
    }
    deleteLater();
}

}  // namespace kestrin
