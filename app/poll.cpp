#include "mainwindow.h"

#include "readingformat.h"
#include "uimainwindow.h"

#include <QLCDNumber>
#include <QLabel>
#include <QTableWidget>

namespace {

// One tick makes at most one board call. Phase 0 reads the version record once;
// phases 1 to 9 each read one quantity; the tick after phase 9 is idle and the
// cycle restarts at phase 1, so each quantity is refreshed once a second.
constexpr quint32 LastQueryPhase = 9;
constexpr quint32 FirstCyclePhase = 1;

// The board's three-argument queries take 0 as their second argument.
constexpr int32_t DefaultChannel = 0;

constexpr int ValueColumn = 0;
enum VoltageRow { VinRow = 0, VcanRow = 1, VlcdRow = 2, VpcieRow = 3 };
enum CurrentRow { IinRow = 0, IcanRow = 1, IdisplayRow = 2, IcpuRow = 3 };
enum StatusRow { PgoodRow = 0, CpowerrRow = 1, TtripRow = 2, GpsFaultRow = 4 };

void showValue(QTableWidget *table, int row, const QString &text)
{
    table->item(row, ValueColumn)->setData(Qt::DisplayRole, text);
}

} // namespace

void MainWindow::timerCallback()
{
    using namespace ReadingFormat;

    // Zeroed every tick: a query that writes nothing shows 0.
    bctrl_input_voltage input = {};
    quint32 word = 0;
    quint16 value = 0;
    quint8 byte = 0;

    if (pollPhase > LastQueryPhase) {
        pollPhase = FirstCyclePhase;
    } else {
        switch (pollPhase) {
        case 0:
            bctrl_get_version_info(boardHandle, &versionInfo);
            break;
        case 1:
            bctrl_get_input_voltage(boardHandle, DefaultChannel, &input);
            showValue(ui->tableWidgetVoltage, VinRow, scaled(input.vin_raw, VinScale));
            showValue(ui->tableWidgetVoltage, VcanRow, scaled(input.vcan_raw, VcanScale));
            showValue(ui->tableWidgetCurrent, IinRow, scaled(input.iin_raw, CurrentScale));
            showValue(ui->tableWidgetCurrent, IcanRow, scaled(input.ican_raw, CurrentScale));
            break;
        case 2:
            bctrl_get_canbus_powerstate(boardHandle, &word);
            showValue(ui->tableWidgetMisc, CpowerrRow, count(word));
            break;
        case 3:
            bctrl_get_pgood_states(boardHandle, &word);
            showValue(ui->tableWidgetMisc, PgoodRow, count(word));
            break;
        case 4:
            bctrl_get_lcd_voltage(boardHandle, DefaultChannel, &value);
            showValue(ui->tableWidgetVoltage, VlcdRow, count(value));
            break;
        case 5:
            bctrl_get_pcie_voltage(boardHandle, DefaultChannel, &value);
            showValue(ui->tableWidgetVoltage, VpcieRow, count(value));
            break;
        case 6:
            bctrl_get_display_current(boardHandle, DefaultChannel, &value);
            showValue(ui->tableWidgetCurrent, IdisplayRow, count(value));
            break;
        case 7:
            bctrl_get_cpu_current(boardHandle, DefaultChannel, &value);
            showValue(ui->tableWidgetCurrent, IcpuRow, count(value));
            break;
        case 8:
            bctrl_get_gps_fault_state(boardHandle, &byte);
            showValue(ui->tableWidgetMisc, GpsFaultRow, count(byte));
            break;
        case LastQueryPhase:
            bctrl_get_thermal_trip_state(boardHandle, &byte);
            showValue(ui->tableWidgetMisc, TtripRow, count(byte));
            break;
        default:
            break;
        }
        ++pollPhase;
    }

    ui->labelVersionInfo->setText(versionLine(versionInfo));
    ui->lcdNumber->display(int(pollPhase));
}
