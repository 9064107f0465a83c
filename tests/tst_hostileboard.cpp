#include "boardscripts.h"
#include "fakeboard.h"
#include "mainwindow.h"
#include "windowtexts.h"

#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <memory>

// Boards that misbehave, with the window's own timer and event loop running:
// the window keeps ticking one call per tick, shows what the board wrote (or
// "0"), and its controls keep working.
namespace {

using namespace BoardScripts;

enum class Board { Silent, Maxima, Slow };

const Cells SilentCells = {
    {"tableWidgetVoltage[0,0]", "0"},
    {"tableWidgetVoltage[1,0]", "0"},
    {"tableWidgetVoltage[2,0]", "0"},
    {"tableWidgetVoltage[3,0]", "0"},
    {"tableWidgetCurrent[0,0]", "0"},
    {"tableWidgetCurrent[1,0]", "0"},
    {"tableWidgetCurrent[2,0]", "0"},
    {"tableWidgetCurrent[3,0]", "0"},
    {"tableWidgetMisc[0,0]", "0"},
    {"tableWidgetMisc[1,0]", "0"},
    {"tableWidgetMisc[2,0]", "0"},
    {"tableWidgetMisc[4,0]", "0"},
};
} // namespace

Q_DECLARE_METATYPE(Board)

class TestHostileBoard : public QObject
{
    Q_OBJECT

private slots:
    void keepsWorking_data();
    void keepsWorking();
};

void TestHostileBoard::keepsWorking_data()
{
    QTest::addColumn<Board>("board");
    QTest::addColumn<quint32>("handle");
    QTest::newRow("writes nothing") << Board::Silent << 0x51u;
    QTest::newRow("every reading at its maximum") << Board::Maxima << 0x52u;
    QTest::newRow("handle 0") << Board::Maxima << 0u;
    QTest::newRow("handle 0xFFFFFFFF") << Board::Silent << 0xffffffffu;
    QTest::newRow("80 ms per call") << Board::Slow << 0x53u;
}

void TestHostileBoard::keepsWorking()
{
    QFETCH(Board, board);
    QFETCH(quint32, handle);
    constexpr int Ticks = 13; // version, a full cycle, the idle tick, two more

    FakeBoard::reset(handle);
    if (board != Board::Silent)
        scriptMaxima();
    if (board == Board::Slow)
        FakeBoard::setLatency(std::chrono::milliseconds(80));

    auto window = std::make_unique<MainWindow>();
    QTimer *timer = window->findChild<QTimer *>(QString(), Qt::FindDirectChildrenOnly);
    QSignalSpy ticks(timer, &QTimer::timeout);
    int callsAtEachTick = 0;
    bool oneCallPerTick = true;
    connect(timer, &QTimer::timeout, this, [&] {
        // Runs after the window's own slot: that tick's calls are in the log.
        const int polled = FakeBoard::calls().size() - 1;
        oneCallPerTick = oneCallPerTick && polled == pollCalls(ticks.size()).size();
        callsAtEachTick = polled;
    });
    window->show();
    QTRY_VERIFY_WITH_TIMEOUT(ticks.size() >= Ticks, 60000);
    timer->stop();
    const int ticked = int(ticks.size());

    QVERIFY(oneCallPerTick);
    QCOMPARE(FakeBoard::trace().mid(1), pollCalls(ticked));
    QCOMPARE(callsAtEachTick, pollCalls(ticked).size());

    const Cells cells = WindowTexts::cells(*window);
    const Cells &expected = board == Board::Silent ? SilentCells : MaximaCells;
    for (auto it = expected.cbegin(); it != expected.cend(); ++it)
        QCOMPARE(cells.value(it.key()), it.value());
    QCOMPARE(WindowTexts::versionLine(*window), board == Board::Silent ? ZeroVersionLine : MaximaVersionLine);

    // The controls still reach the board.
    FakeBoard::clearCalls();
    QTest::mouseClick(window->findChild<QPushButton *>(QStringLiteral("pushButtonGPS")), Qt::LeftButton);
    QTest::mouseClick(window->findChild<QPushButton *>(QStringLiteral("pushButtonPower")), Qt::LeftButton);
    QCOMPARE(FakeBoard::trace(),
        QStringList(
            {"bctrl_enable_pwr_gps(0)", "bctrl_enable_pwr_gps(0)", "bctrl_reset_canbus_powerstate_error()"}));

    window.reset();
    QCOMPARE(FakeBoard::calls().constLast().function, FakeBoard::Function::bctrl_deinit);
}

QTEST_MAIN(TestHostileBoard)
#include "tst_hostileboard.moc"
