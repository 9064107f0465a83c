#include "readingformat.h"

#include <QTest>

// Expected texts are written out by hand, never recomputed with QString::number.
class TestReadingFormat : public QObject
{
    Q_OBJECT

private slots:
    void scaled_data();
    void scaled();
    void count_data();
    void count();
    void versionField_data();
    void versionField();
    void versionLine_data();
    void versionLine();
};

void TestReadingFormat::scaled_data()
{
    QTest::addColumn<quint16>("raw");
    QTest::addColumn<double>("factor");
    QTest::addColumn<QString>("text");

    using namespace ReadingFormat;
    QTest::newRow("Vin 1") << quint16(1) << VinScale << "0.0651367";
    QTest::newRow("Vin 368, a healthy 24 V input") << quint16(368) << VinScale << "23.9703";
    QTest::newRow("Vin 0") << quint16(0) << VinScale << "0";
    QTest::newRow("Vin 16-bit maximum") << quint16(65535) << VinScale << "4268.73";
    QTest::newRow("VCAN 1") << quint16(1) << VcanScale << "0.0370996";
    QTest::newRow("VCAN 620") << quint16(620) << VcanScale << "23.0018";
    QTest::newRow("VCAN 16-bit maximum") << quint16(65535) << VcanScale << "2431.32";
    QTest::newRow("current 1000, trailing zeros dropped") << quint16(1000) << CurrentScale << "18.8";
    QTest::newRow("current 32") << quint16(32) << CurrentScale << "0.6016";
    QTest::newRow("current 0") << quint16(0) << CurrentScale << "0";
    QTest::newRow("current 16-bit maximum") << quint16(65535) << CurrentScale << "1232.06";
}

void TestReadingFormat::scaled()
{
    QFETCH(quint16, raw);
    QFETCH(double, factor);
    QFETCH(QString, text);
    QCOMPARE(ReadingFormat::scaled(raw, factor), text);
}

void TestReadingFormat::count_data()
{
    QTest::addColumn<quint32>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("zero") << 0u << "0";
    QTest::newRow("8-bit maximum") << 255u << "255";
    QTest::newRow("16-bit maximum") << 65535u << "65535";
    QTest::newRow("no digit grouping") << 1234567u << "1234567";
    QTest::newRow("top bit set, never negative") << 0x80000000u << "2147483648";
    QTest::newRow("32-bit maximum") << 0xffffffffu << "4294967295";
}

void TestReadingFormat::count()
{
    QFETCH(quint32, value);
    QFETCH(QString, text);
    QCOMPARE(ReadingFormat::count(value), text);
}

void TestReadingFormat::versionField_data()
{
    QTest::addColumn<quint16>("field");
    QTest::addColumn<QString>("text");
    QTest::newRow("1.05") << quint16(0x0105) << "1.05";
    QTest::newRow("zero") << quint16(0) << "0.00";
    QTest::newRow("10.00") << quint16(0x0a00) << "10.00";
    QTest::newRow("low byte 150 carries") << quint16(0x0196) << "2.50";
    QTest::newRow("all bits set") << quint16(0xffff) << "257.55";
    QTest::newRow("low byte 99") << quint16(0x0263) << "2.99";
    QTest::newRow("low byte 100") << quint16(0x0264) << "3.00";
}

void TestReadingFormat::versionField()
{
    QFETCH(quint16, field);
    QFETCH(QString, text);
    QCOMPARE(ReadingFormat::versionField(field), text);
}

void TestReadingFormat::versionLine_data()
{
    QTest::addColumn<int>("deviceType");
    QTest::addColumn<int>("reserved");
    QTest::addColumn<quint16>("protocol");
    QTest::addColumn<quint16>("firmware");
    QTest::addColumn<quint16>("hardware");
    QTest::addColumn<QString>("line");

    const QString board = QStringLiteral(
        "versioninfo: device_type 9 firmware_version 2.10 hardware_version 1.00 protocol_version 1.05");
    QTest::newRow("board") << 9 << 0 << quint16(0x0105) << quint16(0x020a) << quint16(0x0100) << board;
    QTest::newRow("reserved byte ignored")
        << 9 << 0xff << quint16(0x0105) << quint16(0x020a) << quint16(0x0100) << board;
    QTest::newRow("zeros") << 0 << 0 << quint16(0) << quint16(0) << quint16(0)
                           << "versioninfo: device_type 0 firmware_version 0.00 hardware_version 0.00 "
                              "protocol_version 0.00";
    QTest::newRow("maxima") << 255 << 0xa5 << quint16(0xffff) << quint16(0x0196) << quint16(0x0a00)
                            << "versioninfo: device_type 255 firmware_version 2.50 hardware_version 10.00 "
                               "protocol_version 257.55";
}

void TestReadingFormat::versionLine()
{
    QFETCH(int, deviceType);
    QFETCH(int, reserved);
    QFETCH(quint16, protocol);
    QFETCH(quint16, firmware);
    QFETCH(quint16, hardware);
    QFETCH(QString, line);

    bctrl_version_info info;
    info.device_type = quint8(deviceType);
    info.reserved = quint8(reserved);
    info.protocol_version = protocol;
    info.firmware_version = firmware;
    info.hardware_version = hardware;
    QCOMPARE(ReadingFormat::versionLine(info), line);
}

QTEST_APPLESS_MAIN(TestReadingFormat)
#include "tst_readingformat.moc"
