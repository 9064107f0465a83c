#include "boardcontrol_api.h"
#include "boardcontrol_functions.h"
#include "readingformat.h"
#include "standin_results.h"

#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>
// The POSIX descriptor calls, which the Windows C runtime spells with an underscore.
#ifdef _WIN32
#  include <io.h>
#  define POSIX_IO(name) _##name
#else
#  include <unistd.h>
#  define POSIX_IO(name) name
#endif

// The stand-in board library through its C interface, as the monitor and any
// other caller see it.

namespace {

using ReadingFormat::CurrentScale;
using ReadingFormat::VcanScale;
using ReadingFormat::VinScale;

// Every call but bctrl_init, callable with any handle, output pointer and argument.
struct Entry
{
    const char *name;
    size_t outputSize; // 0: the call writes nothing
    bool takesArgument;
    bctrl_result (*call)(bctrl_handle, void *, int32_t);
};

// NOLINTBEGIN(bugprone-macro-parentheses): output is a type.
#define STANDIN_ENTRY_INIT(name, shape, output)
#define STANDIN_ENTRY_ANY(name, shape, output)                                                               \
  {#name, BCTRL_SHAPE_OUTPUT_SIZE_##shape(output), BCTRL_SHAPE_HAS_ARGUMENT_##shape != 0,                    \
      [](bctrl_handle handle, void *raw, [[maybe_unused]] int32_t argument) -> bctrl_result {                \
      [[maybe_unused]] auto *out = static_cast<output *>(raw);                                               \
      return name BCTRL_SHAPE_ARGUMENTS_##shape;                                                             \
      }},
#define STANDIN_ENTRY_HANDLE STANDIN_ENTRY_ANY
#define STANDIN_ENTRY_OUTPUT STANDIN_ENTRY_ANY
#define STANDIN_ENTRY_CHANNEL STANDIN_ENTRY_ANY
#define STANDIN_ENTRY_SWITCH STANDIN_ENTRY_ANY
#define STANDIN_ENTRY(name, shape, output) STANDIN_ENTRY_##shape(name, shape, output)
// NOLINTEND(bugprone-macro-parentheses)

const Entry entries[] = {BCTRL_FOR_EACH_FUNCTION(STANDIN_ENTRY)};

int indexOf(const char *name)
{
    for (int i = 0; i < int(std::size(entries)); ++i) {
        if (std::strcmp(entries[i].name, name) == 0)
            return i;
    }
    qFatal("no entry %s", name);
}

bctrl_input_voltage input(bctrl_handle handle)
{
    bctrl_input_voltage v = {};
    bctrl_get_input_voltage(handle, 0, &v);
    return v;
}

// One poll cycle's worth of readings, and whether every call of it succeeded.
struct Readings
{
    bctrl_version_info version {};
    bctrl_input_voltage input {};
    uint32_t canbus = 0, pgood = 0;
    uint16_t lcd = 0, pcie = 0, display = 0, cpu = 0;
    uint8_t gps = 0, ttrip = 0;
    bool allOk = false;

    bool operator==(const Readings &o) const
    {
        return std::memcmp(&version, &o.version, sizeof version) == 0
            && std::memcmp(&input, &o.input, sizeof input) == 0 && canbus == o.canbus && pgood == o.pgood
            && lcd == o.lcd && pcie == o.pcie && display == o.display && cpu == o.cpu && gps == o.gps
            && ttrip == o.ttrip && allOk == o.allOk;
    }
};

Readings readAll(bctrl_handle handle)
{
    Readings r;
    const bctrl_result results[]
        = {bctrl_get_version_info(handle, &r.version), bctrl_get_input_voltage(handle, 0, &r.input),
            bctrl_get_canbus_powerstate(handle, &r.canbus), bctrl_get_pgood_states(handle, &r.pgood),
            bctrl_get_lcd_voltage(handle, 0, &r.lcd), bctrl_get_pcie_voltage(handle, 0, &r.pcie),
            bctrl_get_display_current(handle, 0, &r.display), bctrl_get_cpu_current(handle, 0, &r.cpu),
            bctrl_get_gps_fault_state(handle, &r.gps), bctrl_get_thermal_trip_state(handle, &r.ttrip)};
    r.allOk
        = std::all_of(std::begin(results), std::end(results), [](bctrl_result e) { return e == STANDIN_OK; });
    return r;
}

// What the library writes to standard error (file descriptor 2) while `run` runs.
template<typename Function>
QByteArray standardError(const QString &path, Function run)
{
    std::FILE *capture = std::fopen(QFile::encodeName(path).constData(), "w+b");
    if (!capture)
        return {};
    std::fflush(stderr);
    const int saved = POSIX_IO(dup)(2);
    POSIX_IO(dup2)(POSIX_IO(fileno)(capture), 2);
    run();
    std::fflush(stderr);
    POSIX_IO(dup2)(saved, 2);
    POSIX_IO(close)(saved);
    std::fclose(capture);
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestStandin : public QObject
{
    Q_OBJECT

private slots:
    // The first bctrl_init of the process says that the board is simulated, and
    // which file was loaded; no later one does. So this comes before init().
    void initTestCase();

    void init() { handle = bctrl_init(); }
    void cleanup() { bctrl_deinit(handle); }

    void versionRecord();
    void readingsStayInsideTheirLimits();
    void supplyDrawsInputCurrent_data();
    void supplyDrawsInputCurrent();
    void modemResetDropsItsDrawForAMoment_data();
    void modemResetDropsItsDrawForAMoment();
    void powerStateErrorLatchedUntilCleared();
    void sameCallsGiveSameReadings();
    void openCloseRepeats();
    void badCallsWriteNothing_data();
    void badCallsWriteNothing();

private:
    bctrl_handle handle = 0;
};

void TestStandin::versionRecord()
{
    bctrl_version_info version;
    std::memset(&version, 0xa5, sizeof version);
    QCOMPARE(bctrl_get_version_info(handle, &version), STANDIN_OK);
    QCOMPARE(version.device_type, 9);
    QCOMPARE(version.protocol_version, 0x0105);
    QCOMPARE(version.firmware_version, 0x020a);
    QCOMPARE(version.hardware_version, 0x0100);
}

void TestStandin::readingsStayInsideTheirLimits()
{
    // The limit columns the monitor shows next to each reading.
    QSet<quint16> vinSeen;
    for (int cycle = 0; cycle < 3600; ++cycle) { // an hour of polling
        const Readings r = readAll(handle);
        QVERIFY(r.allOk);
        const double vin = r.input.vin_raw * VinScale, iin = r.input.iin_raw * CurrentScale;
        const double vcan = r.input.vcan_raw * VcanScale, ican = r.input.ican_raw * CurrentScale;
        QVERIFY2(vin >= 9 && vin <= 36, qPrintable(QString::number(vin)));
        QVERIFY2(vcan >= 22 && vcan <= 24, qPrintable(QString::number(vcan)));
        QVERIFY2(iin > 0.4 && iin <= 1.2, qPrintable(QString::number(iin)));
        QVERIFY2(ican > 0 && ican <= 0.2, qPrintable(QString::number(ican)));
        QVERIFY(r.lcd >= 530 && r.lcd <= 560);
        QVERIFY(r.pcie >= 570 && r.pcie <= 600);
        QVERIFY(r.display > 0 && r.display <= 140);
        QVERIFY(r.cpu > 0);
        QCOMPARE(r.pgood, 1u); // power good
        QCOMPARE(r.gps, 0u);   // no GPS fault
        QCOMPARE(r.ttrip, 0u); // no thermal trip
        vinSeen.insert(r.input.vin_raw);
    }
    // It lives, but does not flicker wildly: within a few counts of 24 V.
    QVERIFY(vinSeen.size() > 1);
    for (quint16 vin : vinSeen)
        QVERIFY(qAbs(int(vin) - 368) <= 2);
}

void TestStandin::supplyDrawsInputCurrent_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("draw"); // raw counts of 0.0188 A
    QTest::newRow("GPS") << indexOf("bctrl_enable_pwr_gps") << 2;
    QTest::newRow("radio") << indexOf("bctrl_enable_pwr_radio") << 4;
    QTest::newRow("CUA 5 V") << indexOf("bctrl_enable_CUA") << 3;
    QTest::newRow("modem") << indexOf("bctrl_enable_modem") << 3;
}

void TestStandin::supplyDrawsInputCurrent()
{
    QFETCH(int, index);
    QFETCH(int, draw);
    const Entry &enable = entries[index];
    constexpr int AllOn = 32; // about 0.6 A

    // The walk stays within one count of the board's draw.
    for (int i = 0; i < 20; ++i)
        QVERIFY(qAbs(input(handle).iin_raw - AllOn) <= 1);
    QCOMPARE(enable.call(handle, nullptr, 0), STANDIN_OK);
    for (int i = 0; i < 20; ++i)
        QVERIFY(qAbs(input(handle).iin_raw - (AllOn - draw)) <= 1);
    QCOMPARE(enable.call(handle, nullptr, 1), STANDIN_OK);
    for (int i = 0; i < 20; ++i)
        QVERIFY(qAbs(input(handle).iin_raw - AllOn) <= 1);
}

void TestStandin::modemResetDropsItsDrawForAMoment_data()
{
    QTest::addColumn<bool>("modemOn");
    QTest::newRow("modem on") << true;
    QTest::newRow("modem off: nothing to reset") << false;
}

void TestStandin::modemResetDropsItsDrawForAMoment()
{
    QFETCH(bool, modemOn);
    bctrl_enable_modem(handle, modemOn ? 1 : 0);

    QCOMPARE(bctrl_reset_modem(handle), STANDIN_OK);
    // Switched on after a reset that found it off, the modem draws at once.
    bctrl_enable_modem(handle, 1);
    // While the modem restarts it draws nothing, for three readings.
    const int restarting = modemOn ? 29 : 32;
    for (int i = 0; i < 3; ++i)
        QVERIFY(qAbs(input(handle).iin_raw - restarting) <= 1);
    for (int i = 0; i < 10; ++i)
        QVERIFY(qAbs(input(handle).iin_raw - 32) <= 1);
}

void TestStandin::powerStateErrorLatchedUntilCleared()
{
    uint32_t state = 0;
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(bctrl_get_canbus_powerstate(handle, &state), STANDIN_OK);
        QVERIFY(state != 0);
    }
    QCOMPARE(bctrl_reset_canbus_powerstate_error(handle), STANDIN_OK);
    QCOMPARE(bctrl_get_canbus_powerstate(handle, &state), STANDIN_OK);
    QCOMPARE(state, 0u);
    // Clearing the error switches nothing: every supply still draws.
    for (int i = 0; i < 5; ++i)
        QVERIFY(qAbs(input(handle).iin_raw - 32) <= 1);

    // Opening the board again is a cold start: the error is latched again.
    bctrl_deinit(handle);
    handle = bctrl_init();
    QCOMPARE(bctrl_get_canbus_powerstate(handle, &state), STANDIN_OK);
    QVERIFY(state != 0);
}

void TestStandin::sameCallsGiveSameReadings()
{
    auto session = [this] {
        QList<Readings> readings;
        for (int cycle = 0; cycle < 100; ++cycle) {
            if (cycle == 30)
                bctrl_enable_pwr_radio(handle, 0);
            if (cycle == 60)
                bctrl_reset_modem(handle);
            readings.append(readAll(handle));
        }
        return readings;
    };
    const QList<Readings> first = session();
    bctrl_deinit(handle);
    handle = bctrl_init();
    QCOMPARE(session(), first);
}

void TestStandin::openCloseRepeats()
{
    // init on an open board hands out the same handle.
    QCOMPARE(bctrl_init(), handle);

    QList<bctrl_handle> handles = {handle};
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(bctrl_deinit(handle), STANDIN_OK);
        QCOMPARE(bctrl_deinit(handle), STANDIN_ERROR_HANDLE); // already closed
        handle = bctrl_init();
        QVERIFY(handle != 0);
        QVERIFY(!handles.contains(handle));
        handles.append(handle);
        QVERIFY(readAll(handle).allOk);
    }
    // A handle of an earlier session is refused.
    uint32_t word = 0xdeadbeef;
    QCOMPARE(bctrl_get_pgood_states(handles.first(), &word), STANDIN_ERROR_HANDLE);
    QCOMPARE(word, 0xdeadbeefu);
}

void TestStandin::badCallsWriteNothing_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("result");
    for (int i = 0; i < int(std::size(entries)); ++i) {
        const Entry &e = entries[i];
        QTest::addRow("%s, foreign handle", e.name) << i << "foreign handle" << int(STANDIN_ERROR_HANDLE);
        QTest::addRow("%s, handle 0", e.name) << i << "handle 0" << int(STANDIN_ERROR_HANDLE);
        QTest::addRow("%s, closed board", e.name) << i << "closed board" << int(STANDIN_ERROR_HANDLE);
        if (e.outputSize)
            QTest::addRow("%s, null pointer", e.name) << i << "null pointer" << int(STANDIN_ERROR_ARGUMENT);
        if (e.takesArgument) {
            QTest::addRow("%s, argument 2", e.name) << i << "argument 2" << int(STANDIN_ERROR_ARGUMENT);
            QTest::addRow("%s, argument -1", e.name) << i << "argument -1" << int(STANDIN_ERROR_ARGUMENT);
        }
    }
}

void TestStandin::badCallsWriteNothing()
{
    QFETCH(int, index);
    QFETCH(QString, fault);
    QFETCH(int, result);
    const Entry &entry = entries[index];

    bctrl_handle target = handle;
    int32_t argument = 0;
    bool nullOutput = false;
    if (fault == QLatin1String("foreign handle"))
        target = handle ^ 0x00ff0000u;
    else if (fault == QLatin1String("handle 0"))
        target = 0;
    else if (fault == QLatin1String("closed board"))
        bctrl_deinit(handle);
    else if (fault == QLatin1String("null pointer"))
        nullOutput = true;
    else
        argument = fault.section(QLatin1Char(' '), 1).toInt();

    unsigned char output[8];
    std::memset(output, 0xa5, sizeof output);
    QCOMPARE(entry.call(target, nullOutput ? nullptr : output, argument), bctrl_result(result));
    for (unsigned char byte : output)
        QCOMPARE(byte, static_cast<unsigned char>(0xa5));

    if (fault != QLatin1String("closed board")) {
        // A refused command changed nothing: the latched error is still there and
        // every supply still draws.
        uint32_t state = 0;
        QCOMPARE(bctrl_get_canbus_powerstate(handle, &state), STANDIN_OK);
        QVERIFY(state != 0);
        QVERIFY(qAbs(input(handle).iin_raw - 32) <= 1);
    }
}

void TestStandin::initTestCase()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QByteArray said = standardError(dir.filePath(QStringLiteral("stderr")), [] {
        bctrl_deinit(bctrl_init());
        bctrl_deinit(bctrl_init());
    });
    QCOMPARE(said.count("SIMULATED BOARD"), 1);
    QCOMPARE(said.count('\n'), 1);
    QVERIFY2(said.contains("Orvane_boardcontrol_api."), said.constData()); // the file it was loaded from
}

QTEST_APPLESS_MAIN(TestStandin)
#include "tst_standin.moc"
