// A run over a real pseudo-terminal survives its device going away and coming
// back under the same name; the port file of the user's configuration is read.
#include <QtTest>
#include <filesystem>

#include "port/qt/port_config.h"
#include "support/main_window_fixture.h"

using namespace kestrin;

class ReconnectTest : public QObject {
    Q_OBJECT
  private slots:
    void runGoesOnIntoTheSameLogAfterTheDeviceReturns();
    void portFileNamesDevicesAndDamageMeansNone();
};

void ReconnectTest::runGoesOnIntoTheSameLogAfterTheDeviceReturns() {
    constexpr int kWaitMs = 15000;  // a loaded machine may be slow to see the hang-up
    test::MainWindowFixture f;
    const std::string link = f.dir.file("by-id-adapter");
    std::filesystem::create_symlink(f.pty.slavePath(), link);
    qputenv("KESTRIN_COM1", QByteArray::fromStdString(link));
    f.startRun();
    QVERIFY(f.pty.write("1 2\n3 4\n5 6"));
    QTRY_COMPARE(f.log(1), std::string("1\t2\t\t\t\t\t\r\n3\t4\t\t\t\t\t\r\n5\t"));
    f.pty.closeMaster();  // pulled out in the middle of a line
    QTRY_VERIFY_WITH_TIMEOUT(f.window->windowTitle().startsWith("Kestrin - Com 1 was lost"),
                             kWaitMs);

    test::PtyPair back;  // back under a new device node
    std::filesystem::remove(link);
    std::filesystem::create_symlink(back.slavePath(), link);
    QTRY_COMPARE_WITH_TIMEOUT(f.window->windowTitle(), QString("Kestrin"), kWaitMs);
    QVERIFY(back.write("7 8\n9\nX"));
    QTRY_COMPARE(f.log(1), std::string("1\t2\t\t\t\t\t\r\n3\t4\t\t\t\t\t\r\n5\t\r\n\r\n"
                                       "7\t8\t\t\t\t\t\r\n9\t\t\t\t\t\r\n"));
    QVERIFY(f.prompt.shown.empty());
}

void ReconnectTest::portFileNamesDevicesAndDamageMeansNone() {
    test::TempDir dir;
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(dir.path()));
    std::filesystem::create_directory(dir.file("Kestrin"));
    const std::string file = dir.file("Kestrin/Kestrin.conf");
    // Good, then damaged: no INI at all, or a broken section after a good entry.
    const struct {
        std::string content;
        const char* com1;
    } cases[] = {{"[ports]\ncom1=/dev/serial/by-id/a\ncom2=\n", "/dev/serial/by-id/a"},
                 {std::string("\xff\xfe\0[po\nrts]\n=com1\n", 17), "/dev/ttyUSB0"},
                 {"[ports]\ncom1=/dev/ttyACM0\n[broken\n", "/dev/ttyUSB0"}};
    for (const auto& c : cases) {
        test::WriteWholeFile(file, c.content);
        LoadConfiguredPorts();
        QCOMPARE(DevicePathForPort(1), std::string(c.com1));
        QCOMPARE(DevicePathForPort(2), std::string("/dev/ttyUSB1"));
    }
    qunsetenv("XDG_CONFIG_HOME");
    SetConfiguredPortDevices({});
}

QTEST_MAIN(ReconnectTest)
#include "reconnect_test.moc"
