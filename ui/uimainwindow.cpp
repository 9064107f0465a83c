#include "uimainwindow.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLCDNumber>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QSpacerItem>
#include <QStatusBar>
#include <QTableWidget>
#include <QToolBar>

#include <initializer_list>

namespace {

constexpr int WindowWidth = 600;
constexpr int WindowHeight = 800;
constexpr int LayoutSpacing = 6;
constexpr int LayoutMargin = 11;
constexpr int MenuBarHeight = 21;
constexpr QSize ResetButtonMinimum(70, 70);
constexpr QSize SwitchMinimum(50, 100);

// Voltage and current tables: Value, min, max; the last row stays empty.
constexpr int ReadingColumns = 3;
constexpr int ReadingRows = 5;
constexpr int ReadingColumnWidth = 40;
// Status table: Value, Accept; the last row stays empty.
constexpr int StatusColumns = 2;
constexpr int StatusRows = 6;
constexpr int StatusColumnWidth = 50;

QGridLayout *newGrid(QWidget *on, const char *name)
{
    auto *grid = new QGridLayout(on);
    grid->setSpacing(LayoutSpacing);
    grid->setContentsMargins(LayoutMargin, LayoutMargin, LayoutMargin, LayoutMargin);
    grid->setObjectName(QString::fromLatin1(name));
    return grid;
}

QHBoxLayout *newRow(const char *name)
{
    auto *row = new QHBoxLayout();
    row->setSpacing(LayoutSpacing);
    row->setObjectName(QString::fromLatin1(name));
    return row;
}

template<typename Widget>
Widget *newWidget(QWidget *parent, const char *name)
{
    auto *widget = new Widget(parent);
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

// A supply's check box, checked (the supplies show as on at start-up), appended to its row.
QCheckBox *newSupplySwitch(QWidget *parent, QHBoxLayout *row, const char *name)
{
    auto *box = newWidget<QCheckBox>(parent, name);
    box->setChecked(true);
    row->addWidget(box);
    return box;
}

// A supply's "ENABLE" button, appended to its row after the check box.
QPushButton *newEnableButton(QWidget *parent, QHBoxLayout *row, const char *name)
{
    auto *button = newWidget<QPushButton>(parent, name);
    button->setMinimumSize(SwitchMinimum);
    row->addWidget(button);
    return button;
}

// Creates header items for every column and row, and cell items for all rows
// but the last, which keeps only its (empty) header item.
QTableWidget *newTable(QWidget *parent, const char *name, int columns, int rows, int columnWidth)
{
    auto *table = new QTableWidget(parent);
    if (table->columnCount() < columns)
        table->setColumnCount(columns);
    for (int column = 0; column < columns; ++column)
        table->setHorizontalHeaderItem(column, new QTableWidgetItem());
    if (table->rowCount() < rows)
        table->setRowCount(rows);
    for (int row = 0; row < rows; ++row)
        table->setVerticalHeaderItem(row, new QTableWidgetItem());
    for (int row = 0; row < rows - 1; ++row) {
        for (int column = 0; column < columns; ++column)
            table->setItem(row, column, new QTableWidgetItem());
    }
    table->setObjectName(QString::fromLatin1(name));
    table->horizontalHeader()->setDefaultSectionSize(columnWidth);
    return table;
}

QString translated(const char *text)
{
    return QCoreApplication::translate("MainWindow", text, nullptr);
}

// Header texts first, then the cell texts row by row. The last row's header
// keeps no text, so it shows neither a label nor Qt's row number.
void setTableTexts(QTableWidget *table, std::initializer_list<const char *> columnHeaders,
    std::initializer_list<const char *> rowHeaders,
    std::initializer_list<std::initializer_list<const char *>> cells)
{
    int column = 0;
    for (const char *text : columnHeaders)
        table->horizontalHeaderItem(column++)->setText(translated(text));
    int row = 0;
    for (const char *text : rowHeaders)
        table->verticalHeaderItem(row++)->setText(translated(text));

    // With sorting on, each write could move its row and the next text would
    // land in the wrong one.
    const bool sorting = table->isSortingEnabled();
    table->setSortingEnabled(false);
    row = 0;
    for (const auto &rowTexts : cells) {
        column = 0;
        for (const char *text : rowTexts)
            table->item(row, column++)->setText(translated(text));
        ++row;
    }
    table->setSortingEnabled(sorting);
}

} // namespace

void UiMainWindow::setupUi(QMainWindow *window)
{
    if (window->objectName().isEmpty())
        window->setObjectName(QStringLiteral("MainWindow"));
    window->resize(WindowWidth, WindowHeight);

    centralWidget = newWidget<QWidget>(window, "centralWidget");
    gridLayout = newGrid(centralWidget, "gridLayout");

    tableWidgetVoltage
        = newTable(centralWidget, "tableWidgetVoltage", ReadingColumns, ReadingRows, ReadingColumnWidth);
    gridLayout->addWidget(tableWidgetVoltage, 0, 0);
    tableWidgetCurrent
        = newTable(centralWidget, "tableWidgetCurrent", ReadingColumns, ReadingRows, ReadingColumnWidth);
    gridLayout->addWidget(tableWidgetCurrent, 0, 1);

    groupBox_2 = newWidget<QGroupBox>(centralWidget, "groupBox_2");
    gridLayout_2 = newGrid(groupBox_2, "gridLayout_2");
    groupBox_4 = newWidget<QGroupBox>(groupBox_2, "groupBox_4");
    gridLayout_5 = newGrid(groupBox_4, "gridLayout_5");
    pushButtonPower = newWidget<QPushButton>(groupBox_4, "pushButtonPower");
    pushButtonPower->setMinimumSize(ResetButtonMinimum);
    gridLayout_5->addWidget(pushButtonPower, 0, 0);
    gridLayout_2->addWidget(groupBox_4, 1, 0);
    horizontalLayout_4 = newRow("horizontalLayout_4");
    checkBoxCUA = newSupplySwitch(groupBox_2, horizontalLayout_4, "checkBoxCUA");
    pushButtonCUA = newEnableButton(groupBox_2, horizontalLayout_4, "pushButtonCUA");
    gridLayout_2->addLayout(horizontalLayout_4, 0, 0);
    gridLayout->addWidget(groupBox_2, 1, 0);

    groupBox = newWidget<QGroupBox>(centralWidget, "groupBox");
    gridLayout_3 = newGrid(groupBox, "gridLayout_3");
    pushButtonModem = newWidget<QPushButton>(groupBox, "pushButtonModem");
    pushButtonModem->setMinimumSize(ResetButtonMinimum);
    gridLayout_3->addWidget(pushButtonModem, 4, 0);
    verticalSpacer = new QSpacerItem(20, 40, QSizePolicy::Minimum, QSizePolicy::Expanding);
    gridLayout_3->addItem(verticalSpacer, 0, 0);
    horizontalLayout = newRow("horizontalLayout");
    checkBoxModem = newSupplySwitch(groupBox, horizontalLayout, "checkBoxModem");
    checkBoxModem->setMinimumSize(SwitchMinimum);
    checkBoxModem->setIconSize(QSize(40, 40));
    pushButton = newEnableButton(groupBox, horizontalLayout, "pushButton");
    gridLayout_3->addLayout(horizontalLayout, 2, 0);
    gridLayout->addWidget(groupBox, 1, 1);

    labelVersionInfo = newWidget<QLabel>(centralWidget, "labelVersionInfo");
    gridLayout->addWidget(labelVersionInfo, 3, 0, 1, 2);
    lcdNumber = newWidget<QLCDNumber>(centralWidget, "lcdNumber");
    gridLayout->addWidget(lcdNumber, 2, 4);

    groupBox_3 = newWidget<QGroupBox>(centralWidget, "groupBox_3");
    gridLayout_4 = newGrid(groupBox_3, "gridLayout_4");
    horizontalLayout_2 = newRow("horizontalLayout_2");
    checkBoxRadio_PWR = newSupplySwitch(groupBox_3, horizontalLayout_2, "checkBoxRadio_PWR");
    pushButtonRadio = newEnableButton(groupBox_3, horizontalLayout_2, "pushButtonRadio");
    gridLayout_4->addLayout(horizontalLayout_2, 0, 0);
    horizontalLayout_3 = newRow("horizontalLayout_3");
    checkBoxGPS_PWR = newSupplySwitch(groupBox_3, horizontalLayout_3, "checkBoxGPS_PWR");
    pushButtonGPS = newEnableButton(groupBox_3, horizontalLayout_3, "pushButtonGPS");
    gridLayout_4->addLayout(horizontalLayout_3, 1, 0);
    gridLayout->addWidget(groupBox_3, 1, 4);

    tableWidgetMisc
        = newTable(centralWidget, "tableWidgetMisc", StatusColumns, StatusRows, StatusColumnWidth);
    gridLayout->addWidget(tableWidgetMisc, 0, 4);

    window->setCentralWidget(centralWidget);
    menuBar = newWidget<QMenuBar>(window, "menuBar");
    menuBar->setGeometry(QRect(0, 0, WindowWidth, MenuBarHeight));
    window->setMenuBar(menuBar);
    mainToolBar = newWidget<QToolBar>(window, "mainToolBar");
    window->addToolBar(Qt::TopToolBarArea, mainToolBar);
    statusBar = newWidget<QStatusBar>(window, "statusBar");
    window->setStatusBar(statusBar);

    retranslateUi(window);

    QMetaObject::connectSlotsByName(window);
}

void UiMainWindow::retranslateUi(QMainWindow *window)
{
    window->setWindowTitle(translated("Ardelin Orvane9 power monitor"));

    // Limit columns are for the operator's eye only: nothing compares readings with them.
    setTableTexts(tableWidgetVoltage, {"Value", "min", "max"}, {"Vin", "VCAN", "Vlcd", "Vpcie"},
        {{"0", "9", "36"}, {"0", "22", "24"}, {"0", "530", "560"}, {"0", "570", "600"}});
    setTableTexts(tableWidgetCurrent, {"Value", "min", "max"}, {"Iin", "ICAN", "Idisplay", "Icpu"},
        {{"0", "undef", "1.2"}, {"0", "undef", "0.2"}, {"0", "undef", "140"}, {"0", "undef", "undef"}});

    groupBox_2->setTitle(translated("CUA"));
    groupBox_4->setTitle(translated("Pwr state error"));
    pushButtonPower->setText(translated("Reset "));
    checkBoxCUA->setText(translated("CUA 5V"));
    pushButtonCUA->setText(translated("ENABLE"));
    groupBox->setTitle(translated("Modem"));
    pushButtonModem->setText(translated("Reset"));
    checkBoxModem->setText(translated("Enabled"));
    pushButton->setText(translated("ENABLE"));
    labelVersionInfo->setText(translated("TextLabel"));
    groupBox_3->setTitle(translated("GPS and Radio"));
    checkBoxRadio_PWR->setText(translated("RADIO PWR"));
    pushButtonRadio->setText(translated("ENABLE"));
    checkBoxGPS_PWR->setText(translated("GPS PWR"));
    pushButtonGPS->setText(translated("ENABLE"));

    setTableTexts(tableWidgetMisc, {"Value", "Accept"}, {"PGOOD", "CPOWERR", "TTRIP", "PORT RD", "GPS FAULT"},
        {{"0", "1"}, {"0", "0"}, {"0", "0"}, {"0", "undef"}, {"0", "0"}});
}
