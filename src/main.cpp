#include <QApplication>
#include <QFont>

#include <string_view>

#include "analysis/corrections_command.h"
#include "analysis/zone_table_command.h"
#include "app/program.h"
#include "app/qt/main_window.h"
#include "port/qt/port_config.h"

// Main: the options start from their start values, the ports named in the
// user's Kestrin.conf are read, the main window opens in the Idle state, and
// the program lives while any of its windows is open.
int main(int argc, char** argv) {
    // The zone table is printed without any window, so before Qt starts.
    if (argc > 1 && std::string_view(argv[1]) == kestrin::kZoneTableOption)
        return kestrin::RunZoneTableCommand(argc, argv);
    if (argc > 1 && std::string_view(argv[1]) == kestrin::kCorrectionsOption)
        return kestrin::RunCorrectionsCommand(argc, argv);
    QApplication app(argc, argv);
    QApplication::setApplicationName("Kestrin");
    // The windows are laid out for an 8-point sans serif (Arial's metrics).
    QApplication::setFont(QFont("Arial", 8));
    kestrin::LoadConfiguredPorts();
    kestrin::Program program;
    auto* window = new kestrin::MainWindow(program);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
    // Every other argument is a log to open beside the main window.
    for (int i = 1; i < argc; ++i) window->openLog(argv[i]);
    return app.exec();
}
