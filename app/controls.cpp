#include "mainwindow.h"

#include "uimainwindow.h"

void MainWindow::on_checkBoxGPS_PWR_toggled(bool checked)
{
    Q_UNUSED(checked)
}

void MainWindow::on_pushButtonGPS_clicked()
{
}

void MainWindow::on_checkBoxRadio_PWR_toggled(bool checked)
{
    Q_UNUSED(checked)
}

void MainWindow::on_pushButtonRadio_clicked()
{
}

void MainWindow::on_checkBoxCUA_toggled(bool checked)
{
    Q_UNUSED(checked)
}

void MainWindow::on_pushButtonCUA_clicked()
{
}

void MainWindow::on_pushButton_clicked()
{
}

void MainWindow::on_pushButtonPower_released()
{
}

void MainWindow::on_checkBoxModem_toggled(bool checked)
{
    Q_UNUSED(checked)
}

void MainWindow::on_pushButtonModem_clicked()
{
}

void MainWindow::on_pushButtonPower_clicked()
{
}
