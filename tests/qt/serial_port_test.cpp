// The serial port over a real pseudo-terminal. It reads in paced chunks: what
// arrives by single bytes, by lines, after a quiet spell and in bursts larger
// than one chunk must still reach the listener whole, in order, by the chunk.
#include <QtTest>
#include <string>
#include <string_view>

#include "port/qt/qt_serial_port.h"
#include "support/pty_pair.h"

using kestrin::QtSerialPort;
using kestrin::test::PtyPair;

namespace {

struct Recorder : kestrin::SerialListener {
    void onReceive(std::string_view bytes) override {
        received += bytes;
        ++chunks;
    }

    std::string received;
    int chunks = 0;
};

}  // namespace

class SerialPortTest : public QObject {
    Q_OBJECT
  private slots:
    void everyByteArrivesInOrderByTheChunk() {
        PtyPair pty;
        qputenv("KESTRIN_COM1", QByteArray::fromStdString(pty.slavePath()));
        QtSerialPort port;
        Recorder recorder;
        port.setListener(&recorder);
        QVERIFY(port.setCommPort(1).ok());
        QVERIFY(port.open().ok());

        std::string burst;
        while (burst.size() < 3 * QtSerialPort::kBurstBytes) burst += "4000 12 101 35 80\r\n";
        const std::string pieces[] = {"A", " 12-3 B,5\r\n", "X", burst, "\r\n", burst};
        std::string sent;
        for (const std::string& piece : pieces) {
            QVERIFY(pty.write(piece));
            sent += piece;
            QTRY_COMPARE(recorder.received.size(), sent.size());
            // Quiet for longer than the pause: the port goes back to waiting
            // for the next byte, and that byte must still wake it.
            QTest::qWait(2 * kestrin::kRhythmMs);
        }
        QCOMPARE(recorder.received, sent);
        // Handed over by the chunk, not by the byte.
        QVERIFY(recorder.chunks < static_cast<int>(sent.size() / 100));

        port.close();
        QVERIFY(pty.write("late"));
        QTest::qWait(2 * kestrin::kRhythmMs);
        QCOMPARE(recorder.received, sent);  // a closed port hands over nothing
        qunsetenv("KESTRIN_COM1");
    }
};

QTEST_MAIN(SerialPortTest)
#include "serial_port_test.moc"
