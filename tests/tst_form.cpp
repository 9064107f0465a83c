#include "fakeboard.h"
#include "formgolden.h"
#include "mainwindow.h"
#include "uimainwindow.h"
#include "windowtexts.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLCDNumber>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTableWidget>
#include <QTest>
#include <QToolBar>
#include <QTranslator>

#include <memory>

// The form, its widget tree and texts, as the window builds it
// (formgolden.h holds the facts that the code relies on).
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

class TestForm : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void objectTree_data();
    void objectTree();
    void gridPlacements_data();
    void gridPlacements();
    void rowLayouts_data();
    void rowLayouts();
    void spacer();
    void minimumSizes_data();
    void minimumSizes();
    void tables_data();
    void tables();
    void checkBoxesStartChecked();
    void windowFrame();
    void windowNameIsKeptWhenSet_data();
    void windowNameIsKeptWhenSet();
    void windowTitle();
    void untextedWidgets();
    void everyTextIsTranslatedInMainWindowContext();
    void sortingGuard_data();
    void sortingGuard();

private:
    template<typename T = QObject>
    T *named(const char *name) const
    {
        return window->findChild<T *>(QLatin1String(name));
    }

    std::unique_ptr<MainWindow> window;
};

void TestForm::init()
{
    FakeBoard::reset();
    window = std::make_unique<MainWindow>();
}

void TestForm::cleanup()
{
    window.reset();
}

void TestForm::objectTree_data()
{
    QTest::addColumn<QByteArray>("className");
    QTest::addColumn<QString>("parentName");
    QTest::addColumn<QString>("text");
    for (const FormGolden::Object &object : FormGolden::objects) {
        QTest::newRow(object.name) << QByteArray(object.className) << QString::fromLatin1(object.parent)
                                   << QString::fromLatin1(object.text);
    }
}

void TestForm::objectTree()
{
    QFETCH(QByteArray, className);
    QFETCH(QString, parentName);
    QFETCH(QString, text);
    const QString name = QString::fromLatin1(QTest::currentDataTag());

    const QList<QObject *> found = window->findChildren<QObject *>(name);
    QCOMPARE(found.size(), 1);
    QObject *object = found.first();
    QCOMPARE(QByteArray(object->metaObject()->className()), className);
    QVERIFY(object->parent());
    QCOMPARE(object->parent()->objectName(), parentName);

    QString shown;
    if (auto *box = qobject_cast<QGroupBox *>(object))
        shown = box->title();
    else if (auto *button = qobject_cast<QAbstractButton *>(object))
        shown = button->text();
    else if (auto *label = qobject_cast<QLabel *>(object))
        shown = label->text();
    QCOMPARE(shown, text);
}

namespace {

// Index of the grid item that holds the named widget or layout, or -1.
int indexOfNamed(const QLayout *layout, const QString &name)
{
    for (int i = 0; i < layout->count(); ++i) {
        QLayoutItem *item = layout->itemAt(i);
        const QObject *object = item->widget() ? static_cast<QObject *>(item->widget()) : item->layout();
        if (object && object->objectName() == name)
            return i;
    }
    return -1;
}

} // namespace

void TestForm::gridPlacements_data()
{
    QTest::addColumn<QString>("grid");
    QTest::addColumn<QString>("child");
    QTest::addColumn<QRect>("cell"); // x: column, y: row, width: column span, height: row span
    QTest::addColumn<int>("gridItems");

    const struct
    {
        const char *grid;
        const char *child;
        int row, column, rowSpan, columnSpan, items;
    } rows[] = {
        {"gridLayout", "tableWidgetVoltage", 0, 0, 1, 1, 8},
        {"gridLayout", "tableWidgetCurrent", 0, 1, 1, 1, 8},
        {"gridLayout", "tableWidgetMisc", 0, 4, 1, 1, 8},
        {"gridLayout", "groupBox_2", 1, 0, 1, 1, 8},
        {"gridLayout", "groupBox", 1, 1, 1, 1, 8},
        {"gridLayout", "groupBox_3", 1, 4, 1, 1, 8},
        {"gridLayout", "lcdNumber", 2, 4, 1, 1, 8},
        {"gridLayout", "labelVersionInfo", 3, 0, 1, 2, 8},
        {"gridLayout_2", "horizontalLayout_4", 0, 0, 1, 1, 2},
        {"gridLayout_2", "groupBox_4", 1, 0, 1, 1, 2},
        {"gridLayout_5", "pushButtonPower", 0, 0, 1, 1, 1},
        {"gridLayout_3", "horizontalLayout", 2, 0, 1, 1, 3},
        {"gridLayout_3", "pushButtonModem", 4, 0, 1, 1, 3},
        {"gridLayout_4", "horizontalLayout_2", 0, 0, 1, 1, 2},
        {"gridLayout_4", "horizontalLayout_3", 1, 0, 1, 1, 2},
    };
    for (const auto &row : rows) {
        QTest::addRow("%s in %s", row.child, row.grid)
            << QString::fromLatin1(row.grid) << QString::fromLatin1(row.child)
            << QRect(row.column, row.row, row.columnSpan, row.rowSpan) << row.items;
    }
}

void TestForm::gridPlacements()
{
    QFETCH(QString, grid);
    QFETCH(QString, child);
    QFETCH(QRect, cell);
    QFETCH(int, gridItems);

    auto *layout = window->findChild<QGridLayout *>(grid);
    QVERIFY(layout);
    QCOMPARE(layout->count(), gridItems);
    QCOMPARE(layout->spacing(), 6);
    QCOMPARE(layout->contentsMargins(), QMargins(11, 11, 11, 11));

    const int index = indexOfNamed(layout, child);
    QVERIFY2(index >= 0, qPrintable(child));
    int row = -1, column = -1, rowSpan = -1, columnSpan = -1;
    layout->getItemPosition(index, &row, &column, &rowSpan, &columnSpan);
    QCOMPARE(QRect(column, row, columnSpan, rowSpan), cell);
    QCOMPARE(int(layout->itemAt(index)->alignment()), 0);
}

void TestForm::rowLayouts_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::newRow("horizontalLayout_4") << "checkBoxCUA"
                                        << "pushButtonCUA";
    QTest::newRow("horizontalLayout") << "checkBoxModem"
                                      << "pushButton";
    QTest::newRow("horizontalLayout_2") << "checkBoxRadio_PWR"
                                        << "pushButtonRadio";
    QTest::newRow("horizontalLayout_3") << "checkBoxGPS_PWR"
                                        << "pushButtonGPS";
}

void TestForm::rowLayouts()
{
    QFETCH(QString, first);
    QFETCH(QString, second);
    auto *row = window->findChild<QHBoxLayout *>(QString::fromLatin1(QTest::currentDataTag()));
    QVERIFY(row);
    QCOMPARE(row->spacing(), 6);
    QCOMPARE(row->contentsMargins(), QMargins(0, 0, 0, 0));
    QCOMPARE(row->count(), 2);
    QCOMPARE(row->itemAt(0)->widget()->objectName(), first);
    QCOMPARE(row->itemAt(1)->widget()->objectName(), second);
    for (int i = 0; i < 2; ++i) {
        QCOMPARE(row->stretch(i), 0);
        QCOMPARE(int(row->itemAt(i)->alignment()), 0);
    }
}

void TestForm::spacer()
{
    auto *grid = named<QGridLayout>("gridLayout_3");
    QLayoutItem *item = grid->itemAtPosition(0, 0);
    QVERIFY(item);
    QSpacerItem *spacer = item->spacerItem();
    QVERIFY(spacer);
    QCOMPARE(spacer->sizeHint(), QSize(20, 40));
    QCOMPARE(spacer->sizePolicy().horizontalPolicy(), QSizePolicy::Minimum);
    QCOMPARE(spacer->sizePolicy().verticalPolicy(), QSizePolicy::Expanding);
    QVERIFY(!grid->itemAtPosition(1, 0));
    QVERIFY(!grid->itemAtPosition(3, 0));
}

void TestForm::minimumSizes_data()
{
    QTest::addColumn<QSize>("minimum");
    QTest::newRow("pushButtonPower") << QSize(70, 70);
    QTest::newRow("pushButtonModem") << QSize(70, 70);
    QTest::newRow("pushButtonCUA") << QSize(50, 100);
    QTest::newRow("pushButton") << QSize(50, 100);
    QTest::newRow("pushButtonRadio") << QSize(50, 100);
    QTest::newRow("pushButtonGPS") << QSize(50, 100);
    QTest::newRow("checkBoxModem") << QSize(50, 100);
    QTest::newRow("checkBoxCUA") << QSize(0, 0);
    QTest::newRow("checkBoxRadio_PWR") << QSize(0, 0);
    QTest::newRow("checkBoxGPS_PWR") << QSize(0, 0);
}

void TestForm::minimumSizes()
{
    QFETCH(QSize, minimum);
    auto *widget = window->findChild<QWidget *>(QString::fromLatin1(QTest::currentDataTag()));
    QVERIFY(widget);
    QCOMPARE(widget->minimumSize(), minimum);
    if (auto *button = qobject_cast<QAbstractButton *>(widget)) {
        const bool isCheckBox = qobject_cast<QCheckBox *>(widget);
        QCOMPARE(button->isCheckable(), isCheckBox);
    }
}

void TestForm::tables_data()
{
    QTest::addColumn<int>("columnWidth");
    QTest::addColumn<QStringList>("headers");
    QTest::addColumn<Rows>("rows");

    QTest::newRow("tableWidgetVoltage")
        << 40 << QStringList {"Value", "min", "max"}
        << Rows {{"Vin", "0", "9", "36"}, {"VCAN", "0", "22", "24"}, {"Vlcd", "0", "530", "560"},
               {"Vpcie", "0", "570", "600"}, {"", None, None, None}};
    QTest::newRow("tableWidgetCurrent")
        << 40 << QStringList {"Value", "min", "max"}
        << Rows {{"Iin", "0", "undef", "1.2"}, {"ICAN", "0", "undef", "0.2"},
               {"Idisplay", "0", "undef", "140"}, {"Icpu", "0", "undef", "undef"}, {"", None, None, None}};
    QTest::newRow("tableWidgetMisc") << 50 << QStringList {"Value", "Accept"}
                                     << Rows {{"PGOOD", "0", "1"}, {"CPOWERR", "0", "0"}, {"TTRIP", "0", "0"},
                                            {"PORT RD", "0", "undef"}, {"GPS FAULT", "0", "0"},
                                            {"", None, None}};
}

void TestForm::tables()
{
    QFETCH(int, columnWidth);
    QFETCH(QStringList, headers);
    QFETCH(Rows, rows);
    const QTableWidget *table = WindowTexts::table(*window, QString::fromLatin1(QTest::currentDataTag()));
    QVERIFY(table);
    const int columnCount = int(headers.size());
    const int rowCount = int(rows.size());
    QCOMPARE(table->columnCount(), columnCount);
    QCOMPARE(table->rowCount(), rowCount);
    QCOMPARE(table->horizontalHeader()->defaultSectionSize(), columnWidth);
    QVERIFY(!table->isSortingEnabled());

    for (int column = 0; column < columnCount; ++column) {
        QVERIFY(table->horizontalHeaderItem(column));
        QCOMPARE(table->horizontalHeaderItem(column)->type(), int(QTableWidgetItem::Type));
    }
    QVERIFY(!table->horizontalHeaderItem(columnCount));
    for (int row = 0; row < rowCount; ++row) {
        QVERIFY(table->verticalHeaderItem(row));
        // The last row keeps only its header item; no cell items.
        const bool hasCells = row < rowCount - 1;
        for (int column = 0; column < columnCount; ++column) {
            QTableWidgetItem *item = table->item(row, column);
            QCOMPARE(item != nullptr, hasCells);
            if (item)
                QCOMPARE(item->type(), int(QTableWidgetItem::Type));
        }
    }
    QVERIFY(!table->verticalHeaderItem(rowCount));

    QCOMPARE(columnHeaders(table), headers);
    QCOMPARE(rowTexts(table), rows);
    // Without a header item Qt would show the row number (rowCount) here.
    QCOMPARE(table->model()->headerData(rowCount - 1, Qt::Vertical).toString(), QString());
}

void TestForm::checkBoxesStartChecked()
{
    for (const char *name : {"checkBoxCUA", "checkBoxModem", "checkBoxRadio_PWR", "checkBoxGPS_PWR"}) {
        auto *box = named<QCheckBox>(name);
        QVERIFY2(box && box->isChecked(), name);
        QVERIFY(!box->isTristate());
    }
    // Checking them before the slots were connected made no board call.
    QCOMPARE(FakeBoard::trace(), QStringList {QStringLiteral("bctrl_init()")});
}

void TestForm::windowFrame()
{
    QCOMPARE(window->objectName(), QStringLiteral("MainWindow"));
    QCOMPARE(window->size(), QSize(600, 800));
    QCOMPARE(window->minimumSize(), QSize(0, 0));
    QCOMPARE(window->maximumSize(), QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
    QCOMPARE(window->centralWidget(), named<QWidget>("centralWidget"));
    QCOMPARE(window->centralWidget()->layout(), named<QLayout>("gridLayout"));

    QCOMPARE(window->menuBar(), named<QMenuBar>("menuBar"));
    QVERIFY(window->menuBar()->actions().isEmpty());
    auto *toolBar = named<QToolBar>("mainToolBar");
    QCOMPARE(window->toolBarArea(toolBar), Qt::TopToolBarArea);
    QVERIFY(toolBar->actions().isEmpty());
    QCOMPARE(window->statusBar(), named<QStatusBar>("statusBar"));
    QVERIFY(window->statusBar()->currentMessage().isEmpty());

    auto *lcd = named<QLCDNumber>("lcdNumber");
    QCOMPARE(lcd->digitCount(), QLCDNumber().digitCount());
    QCOMPARE(lcd->mode(), QLCDNumber::Dec);
    QCOMPARE(named<QCheckBox>("checkBoxModem")->iconSize(), QSize(40, 40));
}

void TestForm::windowNameIsKeptWhenSet_data()
{
    QTest::addColumn<QString>("given");
    QTest::addColumn<QString>("expected");
    QTest::newRow("unnamed") << QString() << QStringLiteral("MainWindow");
    QTest::newRow("named") << QStringLiteral("monitor") << QStringLiteral("monitor");
}

void TestForm::windowNameIsKeptWhenSet()
{
    QFETCH(QString, given);
    QFETCH(QString, expected);
    QMainWindow host;
    host.setObjectName(given);
    UiMainWindow form;
    form.setupUi(&host);
    QCOMPARE(host.objectName(), expected);
    QCOMPARE(form.tableWidgetMisc->parentWidget(), form.centralWidget);
}

void TestForm::windowTitle()
{
    QCOMPARE(window->windowTitle(), QStringLiteral("Ardelin Orvane9 power monitor"));
}

void TestForm::untextedWidgets()
{
    QCOMPARE(window->findChild<QLCDNumber *>(QStringLiteral("lcdNumber"))->intValue(), 0);
    QVERIFY(window->statusBar()->currentMessage().isEmpty());
    QVERIFY(window->centralWidget()->windowTitle().isEmpty());
}

void TestForm::everyTextIsTranslatedInMainWindowContext()
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

void TestForm::sortingGuard_data()
{
    QTest::addColumn<bool>("sorting");
    QTest::newRow("sorting on") << true;
    QTest::newRow("sorting off") << false;
}

void TestForm::sortingGuard()
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

QTEST_MAIN(TestForm)
#include "tst_form.moc"
