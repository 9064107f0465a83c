#include "fakeboard.h"
#include "mainwindow.h"
#include "uimainwindow.h"
#include "windowtexts.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLCDNumber>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTranslator>

#include <memory>

namespace {

using Rows = QList<QStringList>;

// Answers every lookup with the text in brackets and remembers the contexts asked.
class RecordingTranslator : public QTranslator
{
public:
    QString translate(
        const char *context, const char *sourceText, const char *disambiguation, int n) const override
    {
        Q_UNUSED(disambiguation)
        Q_UNUSED(n)
        contexts.insert(QString::fromUtf8(context));
        return QLatin1Char('[') + QString::fromUtf8(sourceText) + QLatin1Char(']');
    }
    bool isEmpty() const override { return false; }

    mutable QSet<QString> contexts;
};

QStringList columnHeaders(const QTableWidget *table)
{
    QStringList texts;
    for (int column = 0; column < table->columnCount(); ++column)
        texts.append(table->horizontalHeaderItem(column)->text());
    return texts;
}

// Row header then cell texts, one list per row; a missing cell reads "<none>".
Rows rowTexts(const QTableWidget *table)
{
    Rows rows;
    for (int row = 0; row < table->rowCount(); ++row) {
        QStringList texts = {table->verticalHeaderItem(row)->text()};
        for (int column = 0; column < table->columnCount(); ++column) {
            const QTableWidgetItem *item = table->item(row, column);
            texts.append(item ? item->text() : QStringLiteral("<none>"));
        }
        rows.append(texts);
    }
    return rows;
}

const QString None = QStringLiteral("<none>");

} // namespace

class TestTexts : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void windowTitle();
    void tables_data();
    void tables();
    void lastRowShowsNoRowNumber_data();
    void lastRowShowsNoRowNumber();
    void widgetTexts_data();
    void widgetTexts();
    void untextedWidgets();
    void everyTextIsTranslatedInMainWindowContext();
    void sortingGuard_data();
    void sortingGuard();

private:
    std::unique_ptr<MainWindow> window;
};

void TestTexts::init()
{
    FakeBoard::reset();
    window = std::make_unique<MainWindow>();
}

void TestTexts::cleanup()
{
    window.reset();
}

void TestTexts::windowTitle()
{
    QCOMPARE(window->windowTitle(), QStringLiteral("Ardelin Orvane9 power monitor"));
}

void TestTexts::tables_data()
{
    QTest::addColumn<QStringList>("headers");
    QTest::addColumn<Rows>("rows");

    QTest::newRow("tableWidgetVoltage")
        << QStringList {"Value", "min", "max"}
        << Rows {{"Vin", "0", "9", "36"}, {"VCAN", "0", "22", "24"}, {"Vlcd", "0", "530", "560"},
               {"Vpcie", "0", "570", "600"}, {"", None, None, None}};
    QTest::newRow("tableWidgetCurrent")
        << QStringList {"Value", "min", "max"}
        << Rows {{"Iin", "0", "undef", "1.2"}, {"ICAN", "0", "undef", "0.2"},
               {"Idisplay", "0", "undef", "140"}, {"Icpu", "0", "undef", "undef"}, {"", None, None, None}};
    QTest::newRow("tableWidgetMisc") << QStringList {"Value", "Accept"}
                                     << Rows {{"PGOOD", "0", "1"}, {"CPOWERR", "0", "0"}, {"TTRIP", "0", "0"},
                                            {"PORT RD", "0", "undef"}, {"GPS FAULT", "0", "0"},
                                            {"", None, None}};
}

void TestTexts::tables()
{
    QFETCH(QStringList, headers);
    QFETCH(Rows, rows);
    const QTableWidget *table = WindowTexts::table(*window, QString::fromLatin1(QTest::currentDataTag()));
    QCOMPARE(columnHeaders(table), headers);
    QCOMPARE(rowTexts(table), rows);
}

void TestTexts::lastRowShowsNoRowNumber_data()
{
    QTest::addColumn<int>("lastRow");
    QTest::newRow("tableWidgetVoltage") << 4;
    QTest::newRow("tableWidgetCurrent") << 4;
    QTest::newRow("tableWidgetMisc") << 5;
}

void TestTexts::lastRowShowsNoRowNumber()
{
    QFETCH(int, lastRow);
    const QTableWidget *table = WindowTexts::table(*window, QString::fromLatin1(QTest::currentDataTag()));
    // Without a header item Qt would show the row number (lastRow + 1) here.
    QCOMPARE(table->model()->headerData(lastRow, Qt::Vertical).toString(), QString());
}

void TestTexts::widgetTexts_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("groupBox_2") << "CUA";
    QTest::newRow("groupBox_4") << "Pwr state error";
    QTest::newRow("pushButtonPower") << "Reset ";
    QTest::newRow("checkBoxCUA") << "CUA 5V";
    QTest::newRow("pushButtonCUA") << "ENABLE";
    QTest::newRow("groupBox") << "Modem";
    QTest::newRow("pushButtonModem") << "Reset";
    QTest::newRow("checkBoxModem") << "Enabled";
    QTest::newRow("pushButton") << "ENABLE";
    QTest::newRow("labelVersionInfo") << "TextLabel";
    QTest::newRow("groupBox_3") << "GPS and Radio";
    QTest::newRow("checkBoxRadio_PWR") << "RADIO PWR";
    QTest::newRow("pushButtonRadio") << "ENABLE";
    QTest::newRow("checkBoxGPS_PWR") << "GPS PWR";
    QTest::newRow("pushButtonGPS") << "ENABLE";
}

void TestTexts::widgetTexts()
{
    QFETCH(QString, text);
    QObject *object = window->findChild<QObject *>(QString::fromLatin1(QTest::currentDataTag()));
    QVERIFY(object);
    QString shown;
    if (auto *box = qobject_cast<QGroupBox *>(object))
        shown = box->title();
    else if (auto *button = qobject_cast<QAbstractButton *>(object))
        shown = button->text();
    else if (auto *label = qobject_cast<QLabel *>(object))
        shown = label->text();
    QCOMPARE(shown, text);
}

void TestTexts::untextedWidgets()
{
    QCOMPARE(window->findChild<QLCDNumber *>(QStringLiteral("lcdNumber"))->intValue(), 0);
    QVERIFY(window->statusBar()->currentMessage().isEmpty());
    QVERIFY(window->centralWidget()->windowTitle().isEmpty());
}

void TestTexts::everyTextIsTranslatedInMainWindowContext()
{
    RecordingTranslator translator;
    QVERIFY(QCoreApplication::installTranslator(&translator));
    translator.contexts.clear(); // Qt itself asks for the layout direction on install
    QMainWindow host;
    UiMainWindow form;
    form.setupUi(&host);
    QCoreApplication::removeTranslator(&translator);

    QCOMPARE(translator.contexts, QSet<QString> {QStringLiteral("MainWindow")});
    QCOMPARE(host.windowTitle(), QStringLiteral("[Ardelin Orvane9 power monitor]"));
    QCOMPARE(form.pushButtonPower->text(), QStringLiteral("[Reset ]"));
    QCOMPARE(form.tableWidgetMisc->verticalHeaderItem(3)->text(), QStringLiteral("[PORT RD]"));
    QCOMPARE(form.tableWidgetCurrent->item(1, 2)->text(), QStringLiteral("[0.2]"));
    QCOMPARE(form.tableWidgetVoltage->horizontalHeaderItem(0)->text(), QStringLiteral("[Value]"));
}

void TestTexts::sortingGuard_data()
{
    QTest::addColumn<bool>("sorting");
    QTest::newRow("sorting on") << true;
    QTest::newRow("sorting off") << false;
}

void TestTexts::sortingGuard()
{
    QFETCH(bool, sorting);
    QMainWindow host;
    UiMainWindow form;
    form.setupUi(&host);

    QList<QTableWidget *> tables = {form.tableWidgetVoltage, form.tableWidgetCurrent, form.tableWidgetMisc};
    QList<Rows> expected;
    for (QTableWidget *table : tables) {
        expected.append(rowTexts(table));
        // Blank every cell, so that each write during retranslateUi would move its
        // row if sorting were left on.
        for (int row = 0; row < table->rowCount(); ++row) {
            for (int column = 0; column < table->columnCount(); ++column) {
                if (QTableWidgetItem *item = table->item(row, column))
                    item->setText(QString());
            }
        }
        table->sortByColumn(0, Qt::AscendingOrder);
        table->setSortingEnabled(sorting);
    }

    form.retranslateUi(&host);

    for (int i = 0; i < tables.size(); ++i) {
        QCOMPARE(tables.at(i)->isSortingEnabled(), sorting);
        QCOMPARE(rowTexts(tables.at(i)), expected.at(i));
    }
}

QTEST_MAIN(TestTexts)
#include "tst_texts.moc"
