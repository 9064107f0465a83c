#pragma once

// The form as the window's code and its users rely on it, written once: the
// poll writes into existing table items, the controls are wired by object
// name and slot, and the texts land on both.

#include <iterator>

namespace FormGolden {

struct Object
{
    const char *name;
    const char *className;
    const char *parent;
    const char *text; // title, button text or label text; null where none is shown
};

inline constexpr Object objects[] = {
    {"centralWidget", "QWidget", "MainWindow", nullptr},
    {"gridLayout", "QGridLayout", "centralWidget", nullptr},
    {"tableWidgetVoltage", "QTableWidget", "centralWidget", nullptr},
    {"tableWidgetCurrent", "QTableWidget", "centralWidget", nullptr},
    {"groupBox_2", "QGroupBox", "centralWidget", "CUA"},
    {"gridLayout_2", "QGridLayout", "groupBox_2", nullptr},
    {"groupBox_4", "QGroupBox", "groupBox_2", "Pwr state error"},
    {"gridLayout_5", "QGridLayout", "groupBox_4", nullptr},
    {"pushButtonPower", "QPushButton", "groupBox_4", "Reset "},
    {"horizontalLayout_4", "QHBoxLayout", "gridLayout_2", nullptr},
    {"checkBoxCUA", "QCheckBox", "groupBox_2", "CUA 5V"},
    {"pushButtonCUA", "QPushButton", "groupBox_2", "ENABLE"},
    {"groupBox", "QGroupBox", "centralWidget", "Modem"},
    {"gridLayout_3", "QGridLayout", "groupBox", nullptr},
    {"pushButtonModem", "QPushButton", "groupBox", "Reset"},
    {"horizontalLayout", "QHBoxLayout", "gridLayout_3", nullptr},
    {"checkBoxModem", "QCheckBox", "groupBox", "Enabled"},
    {"pushButton", "QPushButton", "groupBox", "ENABLE"},
    {"labelVersionInfo", "QLabel", "centralWidget", "TextLabel"},
    {"lcdNumber", "QLCDNumber", "centralWidget", nullptr},
    {"groupBox_3", "QGroupBox", "centralWidget", "GPS and Radio"},
    {"gridLayout_4", "QGridLayout", "groupBox_3", nullptr},
    {"horizontalLayout_2", "QHBoxLayout", "gridLayout_4", nullptr},
    {"checkBoxRadio_PWR", "QCheckBox", "groupBox_3", "RADIO PWR"},
    {"pushButtonRadio", "QPushButton", "groupBox_3", "ENABLE"},
    {"horizontalLayout_3", "QHBoxLayout", "gridLayout_4", nullptr},
    {"checkBoxGPS_PWR", "QCheckBox", "groupBox_3", "GPS PWR"},
    {"pushButtonGPS", "QPushButton", "groupBox_3", "ENABLE"},
    {"tableWidgetMisc", "QTableWidget", "centralWidget", nullptr},
    {"menuBar", "QMenuBar", "MainWindow", nullptr},
    {"mainToolBar", "QToolBar", "MainWindow", nullptr},
    {"statusBar", "QStatusBar", "MainWindow", nullptr},
};

// MainWindow's own slots, in their order: the form connects the controls'
// signals to them by name.
struct Slot
{
    const char *signature;
    bool isPublic;
    const char *parameter; // the name of its one parameter, or null
};

inline constexpr Slot windowSlots[] = {
    {"timerCallback()", true, nullptr},
    {"on_checkBoxGPS_PWR_toggled(bool)", false, "checked"},
    {"on_pushButtonGPS_clicked()", false, nullptr},
    {"on_checkBoxRadio_PWR_toggled(bool)", false, "checked"},
    {"on_pushButtonRadio_clicked()", false, nullptr},
    {"on_checkBoxCUA_toggled(bool)", false, "checked"},
    {"on_pushButtonCUA_clicked()", false, nullptr},
    {"on_pushButton_clicked()", false, nullptr},
    {"on_pushButtonPower_released()", false, nullptr},
    {"on_checkBoxModem_toggled(bool)", false, "checked"},
    {"on_pushButtonModem_clicked()", false, nullptr},
    {"on_pushButtonPower_clicked()", false, nullptr},
};
inline constexpr int SlotCount = int(std::size(windowSlots));

} // namespace FormGolden
