#include "fakeboard.h"
#include "formgolden.h"
#include "mainwindow.h"
#include "networkplatform.h"
#include "operatorclick.h"

#include <QApplication>
#include <QMetaMethod>
#include <QPointer>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include <memory>

using FakeBoard::Function;

class TestLifecycle : public QObject
{
    Q_OBJECT

private slots:
    void init() { FakeBoard::reset(); }

    void constructionOpensTheBoardOnly_data();
    void constructionOpensTheBoardOnly();
    void destructionClosesTheBoardLast();
    void pollTimerRunsEvery100ms();
    void slotTable_data();
    void slotTable();
    void metaObjectShape();
    void networkPlatformRefused_data();
    void networkPlatformRefused();
};

void TestLifecycle::constructionOpensTheBoardOnly_data()
{
    QTest::addColumn<quint32>("handle");
    QTest::newRow("ordinary") << 0x1234abcdu;
    QTest::newRow("zero") << 0u;
    QTest::newRow("all bits set") << 0xffffffffu;
}

void TestLifecycle::constructionOpensTheBoardOnly()
{
    QFETCH(quint32, handle);
    FakeBoard::reset(handle);

    // The window is still being built when bctrl_init runs: its widget tree
    // must be complete by then.
    QStringList widgetsAtInit;
    FakeBoard::setHook([&](const FakeBoard::Call &call) {
        if (call.function != Function::bctrl_init)
            return;
        for (const QWidget *widget : QApplication::allWidgets())
            widgetsAtInit.append(widget->objectName());
    });
    {
        MainWindow window;
        FakeBoard::setHook(nullptr);
        QCOMPARE(FakeBoard::trace(), QStringList {QStringLiteral("bctrl_init()")});
        for (const char *name :
            {"tableWidgetVoltage", "tableWidgetMisc", "lcdNumber", "checkBoxGPS_PWR", "statusBar"})
            QVERIFY2(widgetsAtInit.contains(QLatin1String(name)), name);

        for (int tick = 0; tick < 11; ++tick)
            window.timerCallback();

        // And every control, clicked as the operator clicks it.
        window.findChild<QTimer *>(QString(), Qt::FindDirectChildrenOnly)->stop();
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const qsizetype beforeControls = FakeBoard::calls().size();
        for (const char *name : {"pushButtonGPS", "checkBoxGPS_PWR", "pushButtonRadio", "checkBoxRadio_PWR",
                 "pushButtonCUA", "checkBoxCUA", "pushButtonModem", "pushButton", "checkBoxModem",
                 "pushButtonModem", "pushButtonPower"})
            operatorClick(window.findChild<QAbstractButton *>(QLatin1String(name)));
        QCOMPARE(FakeBoard::calls().size() - beforeControls, 15);
    }
    // Whatever bctrl_init returned is what every later call gets: the poll's,
    // the controls' and bctrl_deinit. The one place that says so for all.
    const QList<FakeBoard::Call> &calls = FakeBoard::calls();
    QCOMPARE(calls.constLast().function, Function::bctrl_deinit);
    for (const FakeBoard::Call &call : calls.mid(1))
        QCOMPARE(call.handle, handle);
}

void TestLifecycle::destructionClosesTheBoardLast()
{
    auto window = std::make_unique<MainWindow>();
    QPointer<QTimer> timer = window->findChild<QTimer *>(QString(), Qt::FindDirectChildrenOnly);
    QPointer<QTableWidget> table = window->findChild<QTableWidget *>(QStringLiteral("tableWidgetVoltage"));
    QVERIFY(timer);

    bool timerStoppedAtDeinit = false;
    bool widgetsAliveAtDeinit = false;
    FakeBoard::setHook([&](const FakeBoard::Call &call) {
        if (call.function == Function::bctrl_deinit) {
            timerStoppedAtDeinit = timer && !timer->isActive();
            widgetsAliveAtDeinit = !table.isNull();
        }
    });
    window.reset();
    FakeBoard::setHook(nullptr);

    const QList<FakeBoard::Call> &calls = FakeBoard::calls();
    int deinits = 0;
    for (const FakeBoard::Call &call : calls)
        deinits += call.function == Function::bctrl_deinit;
    QCOMPARE(deinits, 1);
    QCOMPARE(calls.constLast().function, Function::bctrl_deinit);
    QCOMPARE(calls.constLast().handle, FakeBoard::initHandle());
    QVERIFY(timerStoppedAtDeinit);
    QVERIFY(widgetsAliveAtDeinit);
    QVERIFY(timer.isNull());

    // Nothing the event loop still holds may reach the closed board.
    const int before = FakeBoard::calls().size();
    QCoreApplication::processEvents();
    QCOMPARE(FakeBoard::calls().size(), before);
}

void TestLifecycle::pollTimerRunsEvery100ms()
{
    MainWindow window;
    const QList<QTimer *> timers = window.findChildren<QTimer *>(QString(), Qt::FindDirectChildrenOnly);
    QCOMPARE(timers.size(), 1);
    QTimer *timer = timers.first();
    QVERIFY(timer->isActive());
    QCOMPARE(timer->interval(), 100);
    QVERIFY(!timer->isSingleShot());

    QSignalSpy ticks(timer, &QTimer::timeout);
    QVERIFY(ticks.wait(1000));
}

void TestLifecycle::slotTable_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QByteArray>("signature");
    QTest::addColumn<int>("access");
    QTest::addColumn<QByteArray>("parameterName");

    for (int i = 0; i < FormGolden::SlotCount; ++i) {
        const FormGolden::Slot &slot = FormGolden::windowSlots[i];
        QTest::addRow("%d", i) << i << QByteArray(slot.signature)
                               << int(slot.isPublic ? QMetaMethod::Public : QMetaMethod::Private)
                               << QByteArray(slot.parameter);
    }
}

void TestLifecycle::slotTable()
{
    QFETCH(int, index);
    QFETCH(QByteArray, signature);
    QFETCH(int, access);
    QFETCH(QByteArray, parameterName);

    const QMetaObject &meta = MainWindow::staticMetaObject;
    const QMetaMethod method = meta.method(meta.methodOffset() + index);
    QCOMPARE(method.methodSignature(), signature);
    QCOMPARE(int(method.methodType()), int(QMetaMethod::Slot));
    QCOMPARE(int(method.access()), access);
    QCOMPARE(method.returnType(), int(QMetaType::Void));
    const QList<QByteArray> names = method.parameterNames();
    QCOMPARE(names.value(0), parameterName);
}

void TestLifecycle::metaObjectShape()
{
    const QMetaObject &meta = MainWindow::staticMetaObject;
    QCOMPARE(meta.className(), "MainWindow");
    QCOMPARE(meta.superClass(), &QMainWindow::staticMetaObject);
    QCOMPARE(meta.methodCount() - meta.methodOffset(), FormGolden::SlotCount);
    QCOMPARE(meta.propertyCount() - meta.propertyOffset(), 0);
    QCOMPARE(meta.enumeratorCount() - meta.enumeratorOffset(), 0);
    QCOMPARE(meta.classInfoCount() - meta.classInfoOffset(), 0);
    QCOMPARE(meta.constructorCount(), 0);
}

void TestLifecycle::networkPlatformRefused_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("variable");
    QTest::addColumn<QString>("refused");
    const QString program = QStringLiteral("powermonitor");
    const auto args = [&](const char *a, const char *b = nullptr) {
        QStringList list {program, QString::fromLatin1(a)};
        if (b)
            list << QString::fromLatin1(b);
        return list;
    };
    QTest::newRow("none") << QStringList {program} << QString() << QString();
    QTest::newRow("xcb") << QStringList {program} << QStringLiteral("xcb") << QString();
    QTest::newRow("offscreen, argument") << args("-platform", "offscreen") << QString() << QString();
    QTest::newRow("-platform vnc") << args("-platform", "vnc") << QString()
                                   << QStringLiteral("-platform vnc");
    QTest::newRow("--platform with options") << args("--platform", "vnc:size=800x600") << QString()
                                             << QStringLiteral("--platform vnc:size=800x600");
    QTest::newRow("-platform=vnc") << args("-platform=VNC") << QString() << QStringLiteral("-platform=VNC");
    QTest::newRow("variable, upper case")
        << QStringList {program} << QStringLiteral("VNC") << QStringLiteral("QT_QPA_PLATFORM=VNC");
    QTest::newRow("variable, second of a list")
        << QStringList {program} << QStringLiteral("xcb;vnc") << QStringLiteral("QT_QPA_PLATFORM=xcb;vnc");
    QTest::newRow("Qt 5's WebGL") << QStringList {program} << QStringLiteral("webgl:port=8080")
                                  << QStringLiteral("QT_QPA_PLATFORM=webgl:port=8080");
    QTest::newRow("the argument, not the variable, named vnc")
        << args("-platform", "xcb") << QStringLiteral("vnc") << QStringLiteral("QT_QPA_PLATFORM=vnc");
    QTest::newRow("vnc as a file name") << args("vnc") << QString() << QString();
    QTest::newRow("-platform last") << args("-platform") << QString() << QString();
}

void TestLifecycle::networkPlatformRefused()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, variable);
    QTEST(networkPlatformAsked(arguments, variable), "refused");
}

QTEST_MAIN(TestLifecycle)
#include "tst_lifecycle.moc"
