#include "boardscripts.h"
#include "fakeboard.h"
#include "mainwindow.h"
#include "windowtexts.h"

#include <QTest>
#include <QTimer>

#include <memory>

using FakeBoard::Function;

namespace {

using namespace BoardScripts;

const QString BoardVersionLine = QStringLiteral(
    "versioninfo: device_type 9 firmware_version 2.10 hardware_version 1.00 protocol_version 1.05");

// A board whose every reading gives a distinct, non-zero text.
void scriptHealthyBoard()
{
    FakeBoard::Readings &r = FakeBoard::readings();
    r.bctrl_get_version_info = bctrl_version_info {9, 0x5a, 0x0105, 0x020a, 0x0100};
    r.bctrl_get_input_voltage = bctrl_input_voltage {368, 32, 620, 5};
    r.bctrl_get_canbus_powerstate = 7;
    r.bctrl_get_pgood_states = 1;
    r.bctrl_get_lcd_voltage = 545;
    r.bctrl_get_pcie_voltage = 585;
    r.bctrl_get_display_current = 120;
    r.bctrl_get_cpu_current = 900;
    r.bctrl_get_gps_fault_state = 2;
    r.bctrl_get_thermal_trip_state = 3;
}

} // namespace

class TestPoll : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void phaseSequence();
    void cellsWrittenPerPhase_data();
    void cellsWrittenPerPhase();
    void silentQueryShowsZero_data();
    void silentQueryShowsZero();
    void versionRecordKeptWhenNotWritten();
    void fullRangeReachesTheCells();
    void timerDrivesThePoll();

private:
    void tick(int count = 1)
    {
        for (int i = 0; i < count; ++i)
            window->timerCallback();
    }

    std::unique_ptr<MainWindow> window;
};

void TestPoll::init()
{
    FakeBoard::reset(0xc0ffee01u);
    window = std::make_unique<MainWindow>();
    // Ticks are driven by hand; the window's own timer must not add any.
    window->findChild<QTimer *>(QString(), Qt::FindDirectChildrenOnly)->stop();
    FakeBoard::clearCalls();
}

void TestPoll::cleanup()
{
    window.reset();
}

void TestPoll::phaseSequence()
{
    const QList<int> cycleLcd = {2, 3, 4, 5, 6, 7, 8, 9, 10, 1};
    QList<int> expectedLcd = {1};
    for (int round = 0; round < 3; ++round)
        expectedLcd += cycleLcd;

    QList<int> lcd;
    QList<int> callsPerTick;
    for (int i = 0; i < expectedLcd.size(); ++i) {
        const int before = FakeBoard::calls().size();
        tick();
        callsPerTick.append(FakeBoard::calls().size() - before);
        lcd.append(WindowTexts::lcd(*window));
    }
    QCOMPARE(FakeBoard::trace(), pollCalls(expectedLcd.size()));
    QCOMPARE(lcd, expectedLcd);
    // One query a tick, none on the idle tick after phase 9.
    for (int i = 0; i < callsPerTick.size(); ++i)
        QCOMPARE(callsPerTick.at(i), expectedLcd.at(i) == 1 && i > 0 ? 0 : 1);
}

void TestPoll::cellsWrittenPerPhase_data()
{
    QTest::addColumn<int>("ticksBefore");
    QTest::addColumn<Cells>("written");

    QTest::newRow("phase 0: version only") << 0 << Cells {};
    QTest::newRow("phase 1: input voltage")
        << 1
        << Cells {{"tableWidgetVoltage[0,0]", "23.9703"}, {"tableWidgetVoltage[1,0]", "23.0018"},
               {"tableWidgetCurrent[0,0]", "0.6016"}, {"tableWidgetCurrent[1,0]", "0.094"}};
    QTest::newRow("phase 2: CAN power state") << 2 << Cells {{"tableWidgetMisc[1,0]", "7"}};
    QTest::newRow("phase 3: power good") << 3 << Cells {{"tableWidgetMisc[0,0]", "1"}};
    QTest::newRow("phase 4: LCD voltage") << 4 << Cells {{"tableWidgetVoltage[2,0]", "545"}};
    QTest::newRow("phase 5: PCIe voltage") << 5 << Cells {{"tableWidgetVoltage[3,0]", "585"}};
    QTest::newRow("phase 6: display current") << 6 << Cells {{"tableWidgetCurrent[2,0]", "120"}};
    QTest::newRow("phase 7: CPU current") << 7 << Cells {{"tableWidgetCurrent[3,0]", "900"}};
    QTest::newRow("phase 8: GPS fault") << 8 << Cells {{"tableWidgetMisc[4,0]", "2"}};
    QTest::newRow("phase 9: thermal trip") << 9 << Cells {{"tableWidgetMisc[2,0]", "3"}};
    QTest::newRow("idle tick") << 10 << Cells {};
}

void TestPoll::cellsWrittenPerPhase()
{
    QFETCH(int, ticksBefore);
    QFETCH(Cells, written);
    scriptHealthyBoard();

    tick(ticksBefore);
    const Cells before = WindowTexts::cells(*window);
    tick();
    const Cells after = WindowTexts::cells(*window);

    Cells changed;
    for (auto it = after.cbegin(); it != after.cend(); ++it) {
        if (before.value(it.key()) != it.value())
            changed.insert(it.key(), it.value());
    }
    QCOMPARE(changed, written);
    QCOMPARE(WindowTexts::versionLine(*window), BoardVersionLine);
}

void TestPoll::silentQueryShowsZero_data()
{
    QTest::addColumn<QStringList>("cells");
    QTest::newRow("input voltage") << QStringList {"tableWidgetVoltage[0,0]", "tableWidgetVoltage[1,0]",
        "tableWidgetCurrent[0,0]", "tableWidgetCurrent[1,0]"};
    QTest::newRow("status words") << QStringList {"tableWidgetMisc[0,0]", "tableWidgetMisc[1,0]"};
    QTest::newRow("16-bit values") << QStringList {"tableWidgetVoltage[2,0]", "tableWidgetVoltage[3,0]",
        "tableWidgetCurrent[2,0]", "tableWidgetCurrent[3,0]"};
    QTest::newRow("8-bit states") << QStringList {"tableWidgetMisc[2,0]", "tableWidgetMisc[4,0]"};
}

void TestPoll::silentQueryShowsZero()
{
    QFETCH(QStringList, cells);
    scriptHealthyBoard();
    tick(10); // version and one full cycle of non-zero readings
    for (const QString &cell : cells)
        QVERIFY2(WindowTexts::cells(*window).value(cell) != QLatin1String("0"), qPrintable(cell));

    // From now on the board writes nothing: the zeroed tick variables show.
    FakeBoard::readings() = FakeBoard::Readings();
    tick(10);
    for (const QString &cell : cells)
        QCOMPARE(WindowTexts::cells(*window).value(cell), QStringLiteral("0"));
}

void TestPoll::versionRecordKeptWhenNotWritten()
{
    tick();
    QCOMPARE(WindowTexts::versionLine(*window), ZeroVersionLine);

    // Read once per run: a later change of the board's record never shows, yet
    // the line is rebuilt on every tick, the idle one included.
    scriptHealthyBoard();
    for (int i = 0; i < 10; ++i) {
        tick();
        QCOMPARE(WindowTexts::versionLine(*window), ZeroVersionLine);
    }
    QCOMPARE(FakeBoard::trace().count(QStringLiteral("bctrl_get_version_info()")), 1);
}

void TestPoll::fullRangeReachesTheCells()
{
    scriptMaxima();
    const Cells initial = WindowTexts::cells(*window);
    tick(10);

    const Cells cells = WindowTexts::cells(*window);
    for (auto it = MaximaCells.cbegin(); it != MaximaCells.cend(); ++it)
        QCOMPARE(cells.value(it.key()), it.value());
    // PORT RD is never polled.
    QCOMPARE(cells.value("tableWidgetMisc[3,0]"), initial.value("tableWidgetMisc[3,0]"));
    QCOMPARE(WindowTexts::versionLine(*window), MaximaVersionLine);
}

void TestPoll::timerDrivesThePoll()
{
    scriptHealthyBoard();
    QTimer *timer = window->findChild<QTimer *>(QString(), Qt::FindDirectChildrenOnly);
    timer->start();
    QTRY_COMPARE_WITH_TIMEOUT(WindowTexts::versionLine(*window), BoardVersionLine, 2000);
    QTRY_COMPARE_WITH_TIMEOUT(
        WindowTexts::cells(*window).value("tableWidgetVoltage[0,0]"), QStringLiteral("23.9703"), 2000);
}

QTEST_MAIN(TestPoll)
#include "tst_poll.moc"
