#include "mainwindow.h"

#include "uimainwindow.h"

#include <QCheckBox>

namespace {

using SwitchCall = bctrl_result(BCTRL_CALL *)(bctrl_handle, int32_t);

// The supply switches take exactly 1 for on and 0 for off.
int32_t switchState(bool on)
{
    return on ? 1 : 0;
}

// A check box sends its supply's switch call once. An "ENABLE" button flips its
// check box, whose toggled() slot sends the call at once, and then sends the
// same call again itself: the board sees the new state twice.
void flipSupply(QCheckBox *box, bctrl_handle handle, SwitchCall switchSupply)
{
    const bool on = !box->isChecked();
    box->setChecked(on);
    switchSupply(handle, switchState(on));
}

} // namespace

void MainWindow::on_checkBoxGPS_PWR_toggled(bool checked)
{
    bctrl_enable_pwr_gps(boardHandle, switchState(checked));
}

void MainWindow::on_pushButtonGPS_clicked()
{
    flipSupply(ui->checkBoxGPS_PWR, boardHandle, bctrl_enable_pwr_gps);
}

void MainWindow::on_checkBoxRadio_PWR_toggled(bool checked)
{
    bctrl_enable_pwr_radio(boardHandle, switchState(checked));
}

void MainWindow::on_pushButtonRadio_clicked()
{
    flipSupply(ui->checkBoxRadio_PWR, boardHandle, bctrl_enable_pwr_radio);
}

void MainWindow::on_checkBoxCUA_toggled(bool checked)
{
    bctrl_enable_CUA(boardHandle, switchState(checked));
}

void MainWindow::on_pushButtonCUA_clicked()
{
    flipSupply(ui->checkBoxCUA, boardHandle, bctrl_enable_CUA);
}

void MainWindow::on_pushButton_clicked()
{
    flipSupply(ui->checkBoxModem, boardHandle, bctrl_enable_modem);
}

// Clearing the CAN-bus power-state error is bound to released(), not clicked().
void MainWindow::on_pushButtonPower_released()
{
    bctrl_reset_canbus_powerstate_error(boardHandle);
}

void MainWindow::on_checkBoxModem_toggled(bool checked)
{
    bctrl_enable_modem(boardHandle, switchState(checked));
}

// The modem is reset only while its supply is (as far as the window knows) on.
void MainWindow::on_pushButtonModem_clicked()
{
    if (ui->checkBoxModem->isChecked())
        bctrl_reset_modem(boardHandle);
}

void MainWindow::on_pushButtonPower_clicked()
{ }
