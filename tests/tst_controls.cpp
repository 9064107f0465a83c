#include "fakeboard.h"
#include "mainwindow.h"
#include "operatorclick.h"

#include <QCheckBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <memory>

// The controls driven as an operator drives them: mouse clicks on the real widgets.
class TestControls : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void enableButtonFlipsSupply_data();
    void enableButtonFlipsSupply();
    void checkBoxSwitchesSupplyOnce_data();
    void checkBoxSwitchesSupplyOnce();
    void modemReset_data();
    void modemReset();
    void powerStateErrorResetOnRelease();

private:
    void openWindow(bctrl_handle handle);
    void click(const QString &objectName);

    template<typename T>
    T *widget(const QString &name) const
    {
        T *found = window->findChild<T *>(name);
        if (!found)
            qFatal("no widget named %s", qPrintable(name));
        return found;
    }

    std::unique_ptr<MainWindow> window;
};

void TestControls::openWindow(bctrl_handle handle)
{
    window.reset();
    FakeBoard::reset(handle);
    window = std::make_unique<MainWindow>();
    // Only the operator's actions may reach the board in these tests.
    window->findChild<QTimer *>(QString(), Qt::FindDirectChildrenOnly)->stop();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    FakeBoard::clearCalls();
}

void TestControls::init()
{
    openWindow(0x0badcafeu);
}

void TestControls::cleanup()
{
    window.reset();
}

void TestControls::click(const QString &objectName)
{
    operatorClick(widget<QAbstractButton>(objectName));
}

void TestControls::enableButtonFlipsSupply_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("call");
    QTest::newRow("GPS") << "pushButtonGPS"
                         << "checkBoxGPS_PWR"
                         << "bctrl_enable_pwr_gps";
    QTest::newRow("radio") << "pushButtonRadio"
                           << "checkBoxRadio_PWR"
                           << "bctrl_enable_pwr_radio";
    QTest::newRow("CUA 5 V") << "pushButtonCUA"
                             << "checkBoxCUA"
                             << "bctrl_enable_CUA";
    QTest::newRow("modem") << "pushButton"
                           << "checkBoxModem"
                           << "bctrl_enable_modem";
}

void TestControls::enableButtonFlipsSupply()
{
    QFETCH(QString, button);
    QFETCH(QString, box);
    QFETCH(QString, call);
    auto *checkBox = widget<QCheckBox>(box);
    QSignalSpy toggled(checkBox, &QCheckBox::toggled);
    QVERIFY(checkBox->isChecked());

    // Despite its caption the button flips the supply either way, and the board
    // hears the new state twice: from the check box's slot, then from the button's.
    click(button);
    QVERIFY(!checkBox->isChecked());
    QCOMPARE(FakeBoard::trace(), QStringList({call + "(0)", call + "(0)"}));
    QCOMPARE(toggled.size(), 1);
    QCOMPARE(toggled.at(0).at(0).toBool(), false);

    FakeBoard::clearCalls();
    click(button);
    QVERIFY(checkBox->isChecked());
    QCOMPARE(FakeBoard::trace(), QStringList({call + "(1)", call + "(1)"}));
    QCOMPARE(toggled.size(), 2);
}

void TestControls::checkBoxSwitchesSupplyOnce_data()
{
    enableButtonFlipsSupply_data();
}

void TestControls::checkBoxSwitchesSupplyOnce()
{
    QFETCH(QString, box);
    QFETCH(QString, call);
    auto *checkBox = widget<QCheckBox>(box);

    click(box);
    QVERIFY(!checkBox->isChecked());
    QCOMPARE(FakeBoard::trace(), QStringList {call + "(0)"});

    FakeBoard::clearCalls();
    click(box);
    QVERIFY(checkBox->isChecked());
    QCOMPARE(FakeBoard::trace(), QStringList {call + "(1)"});
}

void TestControls::modemReset_data()
{
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<bool>("resets");
    QTest::newRow("modem on, as at start-up") << QStringList() << true;
    QTest::newRow("modem switched off by its box") << QStringList {"checkBoxModem"} << false;
    QTest::newRow("modem switched off by ENABLE") << QStringList {"pushButton"} << false;
    QTest::newRow("modem off and on again by ENABLE") << QStringList {"pushButton", "pushButton"} << true;
    QTest::newRow("other supplies off, modem on")
        << QStringList {"checkBoxGPS_PWR", "pushButtonRadio", "checkBoxCUA"} << true;
}

void TestControls::modemReset()
{
    QFETCH(QStringList, before);
    QFETCH(bool, resets);
    for (const QString &name : before)
        click(name);
    FakeBoard::clearCalls();

    click(QStringLiteral("pushButtonModem"));
    QCOMPARE(FakeBoard::trace(), resets ? QStringList {"bctrl_reset_modem()"} : QStringList());
}

void TestControls::powerStateErrorResetOnRelease()
{
    auto *button = widget<QPushButton>(QStringLiteral("pushButtonPower"));
    QSignalSpy clicked(button, &QPushButton::clicked);
    QSignalSpy released(button, &QPushButton::released);

    click(QStringLiteral("pushButtonPower"));
    QCOMPARE(clicked.size(), 1);
    QCOMPARE(released.size(), 1);
    QCOMPARE(FakeBoard::trace(), QStringList {"bctrl_reset_canbus_powerstate_error()"});

    // The reset goes out when the button is let go, not when it is pressed.
    FakeBoard::clearCalls();
    QTest::mousePress(button, Qt::LeftButton);
    QVERIFY(FakeBoard::trace().isEmpty());
    QTest::mouseRelease(button, Qt::LeftButton);
    QCOMPARE(FakeBoard::trace(), QStringList {"bctrl_reset_canbus_powerstate_error()"});
}

QTEST_MAIN(TestControls)
#include "tst_controls.moc"
