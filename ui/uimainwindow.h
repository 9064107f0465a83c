#pragma once

class QCheckBox;
class QGridLayout;
class QGroupBox;
class QHBoxLayout;
class QLabel;
class QLCDNumber;
class QMainWindow;
class QMenuBar;
class QPushButton;
class QSpacerItem;
class QStatusBar;
class QTableWidget;
class QToolBar;
class QWidget;

// The monitor's form, written by hand in the shape of a uic-generated form.
// The pointers own nothing: every object belongs to the window's parent tree.
struct UiMainWindow
{
    QWidget *centralWidget = nullptr;
    QGridLayout *gridLayout = nullptr;
    QTableWidget *tableWidgetVoltage = nullptr;
    QTableWidget *tableWidgetCurrent = nullptr;
    QGroupBox *groupBox_2 = nullptr;
    QGridLayout *gridLayout_2 = nullptr;
    QGroupBox *groupBox_4 = nullptr;
    QGridLayout *gridLayout_5 = nullptr;
    QPushButton *pushButtonPower = nullptr;
    QHBoxLayout *horizontalLayout_4 = nullptr;
    QCheckBox *checkBoxCUA = nullptr;
    QPushButton *pushButtonCUA = nullptr;
    QGroupBox *groupBox = nullptr;
    QGridLayout *gridLayout_3 = nullptr;
    QPushButton *pushButtonModem = nullptr;
    QSpacerItem *verticalSpacer = nullptr;
    QHBoxLayout *horizontalLayout = nullptr;
    QCheckBox *checkBoxModem = nullptr;
    QPushButton *pushButton = nullptr;
    QLabel *labelVersionInfo = nullptr;
    QLCDNumber *lcdNumber = nullptr;
    QGroupBox *groupBox_3 = nullptr;
    QGridLayout *gridLayout_4 = nullptr;
    QHBoxLayout *horizontalLayout_2 = nullptr;
    QCheckBox *checkBoxRadio_PWR = nullptr;
    QPushButton *pushButtonRadio = nullptr;
    QHBoxLayout *horizontalLayout_3 = nullptr;
    QCheckBox *checkBoxGPS_PWR = nullptr;
    QPushButton *pushButtonGPS = nullptr;
    QTableWidget *tableWidgetMisc = nullptr;
    QMenuBar *menuBar = nullptr;
    QToolBar *mainToolBar = nullptr;
    QStatusBar *statusBar = nullptr;

    // Builds the whole widget tree on window, sets its texts and, last,
    // connects the window's on_<objectName>_<signal> slots by name.
    void setupUi(QMainWindow *window);
    void retranslateUi(QMainWindow *window);
};
