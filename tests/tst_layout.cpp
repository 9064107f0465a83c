#include "fakeboard.h"
#include "mainwindow.h"
#include "uimainwindow.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLCDNumber>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTableWidget>
#include <QTest>
#include <QToolBar>

#include <memory>

// The widget tree is a contract: the poll writes into existing table items,
// the controls are wired by object name, and the texts land on both.
class TestLayout : public QObject
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
    void tableShapes_data();
    void tableShapes();
    void checkBoxesStartChecked();
    void windowFrame();
    void windowNameIsKeptWhenSet_data();
    void windowNameIsKeptWhenSet();

private:
    template<typename T = QObject>
    T *named(const char *name) const
    {
        return window->findChild<T *>(QLatin1String(name));
    }

    std::unique_ptr<MainWindow> window;
};

void TestLayout::init()
{
    FakeBoard::reset();
    window = std::make_unique<MainWindow>();
}

void TestLayout::cleanup()
{
    window.reset();
}

void TestLayout::objectTree_data()
{
    QTest::addColumn<QByteArray>("className");
    QTest::addColumn<QString>("parentName");

    const struct
    {
        const char *name;
        const char *className;
        const char *parent;
    } rows[] = {
        {"centralWidget", "QWidget", "MainWindow"},
        {"gridLayout", "QGridLayout", "centralWidget"},
        {"tableWidgetVoltage", "QTableWidget", "centralWidget"},
        {"tableWidgetCurrent", "QTableWidget", "centralWidget"},
        {"groupBox_2", "QGroupBox", "centralWidget"},
        {"gridLayout_2", "QGridLayout", "groupBox_2"},
        {"groupBox_4", "QGroupBox", "groupBox_2"},
        {"gridLayout_5", "QGridLayout", "groupBox_4"},
        {"pushButtonPower", "QPushButton", "groupBox_4"},
        {"horizontalLayout_4", "QHBoxLayout", "gridLayout_2"},
        {"checkBoxCUA", "QCheckBox", "groupBox_2"},
        {"pushButtonCUA", "QPushButton", "groupBox_2"},
        {"groupBox", "QGroupBox", "centralWidget"},
        {"gridLayout_3", "QGridLayout", "groupBox"},
        {"pushButtonModem", "QPushButton", "groupBox"},
        {"horizontalLayout", "QHBoxLayout", "gridLayout_3"},
        {"checkBoxModem", "QCheckBox", "groupBox"},
        {"pushButton", "QPushButton", "groupBox"},
        {"labelVersionInfo", "QLabel", "centralWidget"},
        {"lcdNumber", "QLCDNumber", "centralWidget"},
        {"groupBox_3", "QGroupBox", "centralWidget"},
        {"gridLayout_4", "QGridLayout", "groupBox_3"},
        {"horizontalLayout_2", "QHBoxLayout", "gridLayout_4"},
        {"checkBoxRadio_PWR", "QCheckBox", "groupBox_3"},
        {"pushButtonRadio", "QPushButton", "groupBox_3"},
        {"horizontalLayout_3", "QHBoxLayout", "gridLayout_4"},
        {"checkBoxGPS_PWR", "QCheckBox", "groupBox_3"},
        {"pushButtonGPS", "QPushButton", "groupBox_3"},
        {"tableWidgetMisc", "QTableWidget", "centralWidget"},
        {"menuBar", "QMenuBar", "MainWindow"},
        {"mainToolBar", "QToolBar", "MainWindow"},
        {"statusBar", "QStatusBar", "MainWindow"},
    };
    for (const auto &row : rows)
        QTest::newRow(row.name) << QByteArray(row.className) << QString::fromLatin1(row.parent);
}

void TestLayout::objectTree()
{
    QFETCH(QByteArray, className);
    QFETCH(QString, parentName);
    const QString name = QString::fromLatin1(QTest::currentDataTag());

    const QList<QObject *> found = window->findChildren<QObject *>(name);
    QCOMPARE(found.size(), 1);
    QObject *object = found.first();
    QCOMPARE(QByteArray(object->metaObject()->className()), className);
    QVERIFY(object->parent());
    QCOMPARE(object->parent()->objectName(), parentName);
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

void TestLayout::gridPlacements_data()
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

void TestLayout::gridPlacements()
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

void TestLayout::rowLayouts_data()
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

void TestLayout::rowLayouts()
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

void TestLayout::spacer()
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

void TestLayout::minimumSizes_data()
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

void TestLayout::minimumSizes()
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

void TestLayout::tableShapes_data()
{
    QTest::addColumn<int>("columns");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("columnWidth");
    QTest::newRow("tableWidgetVoltage") << 3 << 5 << 40;
    QTest::newRow("tableWidgetCurrent") << 3 << 5 << 40;
    QTest::newRow("tableWidgetMisc") << 2 << 6 << 50;
}

void TestLayout::tableShapes()
{
    QFETCH(int, columns);
    QFETCH(int, rows);
    QFETCH(int, columnWidth);
    auto *table = window->findChild<QTableWidget *>(QString::fromLatin1(QTest::currentDataTag()));
    QVERIFY(table);
    QCOMPARE(table->columnCount(), columns);
    QCOMPARE(table->rowCount(), rows);
    QCOMPARE(table->horizontalHeader()->defaultSectionSize(), columnWidth);
    QVERIFY(!table->isSortingEnabled());

    for (int column = 0; column < columns; ++column) {
        QVERIFY(table->horizontalHeaderItem(column));
        QCOMPARE(table->horizontalHeaderItem(column)->type(), int(QTableWidgetItem::Type));
    }
    QVERIFY(!table->horizontalHeaderItem(columns));
    for (int row = 0; row < rows; ++row) {
        QVERIFY(table->verticalHeaderItem(row));
        // The last row keeps only its header item; no cell items.
        const bool hasCells = row < rows - 1;
        for (int column = 0; column < columns; ++column) {
            QTableWidgetItem *item = table->item(row, column);
            QCOMPARE(item != nullptr, hasCells);
            if (item)
                QCOMPARE(item->type(), int(QTableWidgetItem::Type));
        }
    }
    QVERIFY(!table->verticalHeaderItem(rows));
}

void TestLayout::checkBoxesStartChecked()
{
    for (const char *name : {"checkBoxCUA", "checkBoxModem", "checkBoxRadio_PWR", "checkBoxGPS_PWR"}) {
        auto *box = named<QCheckBox>(name);
        QVERIFY2(box && box->isChecked(), name);
        QVERIFY(!box->isTristate());
    }
    // Checking them before the slots were connected made no board call.
    QCOMPARE(FakeBoard::trace(), QStringList {QStringLiteral("bctrl_init()")});
}

void TestLayout::windowFrame()
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

void TestLayout::windowNameIsKeptWhenSet_data()
{
    QTest::addColumn<QString>("given");
    QTest::addColumn<QString>("expected");
    QTest::newRow("unnamed") << QString() << QStringLiteral("MainWindow");
    QTest::newRow("named") << QStringLiteral("monitor") << QStringLiteral("monitor");
}

void TestLayout::windowNameIsKeptWhenSet()
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

QTEST_MAIN(TestLayout)
#include "tst_layout.moc"
