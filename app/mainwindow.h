#pragma once

#include "boardcontrol_api.h"

#include <QMainWindow>

class QTimer;
struct UiMainWindow;

// The monitor's one window. Its constructor opens the board and starts the
// poll; its destructor stops the poll and closes the board.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // The slot order below is the window's slot table: keep it.
public slots:
    void timerCallback();

private slots:
    void on_checkBoxGPS_PWR_toggled(bool checked);
    void on_pushButtonGPS_clicked();
    void on_checkBoxRadio_PWR_toggled(bool checked);
    void on_pushButtonRadio_clicked();
    void on_checkBoxCUA_toggled(bool checked);
    void on_pushButtonCUA_clicked();
    void on_pushButton_clicked();
    void on_pushButtonPower_released();
    void on_checkBoxModem_toggled(bool checked);
    void on_pushButtonModem_clicked();
    void on_pushButtonPower_clicked();

private:
    QTimer *pollTimer = nullptr;
    quint32 pollPhase = 0;
    bctrl_handle boardHandle = 0;
    bctrl_version_info versionInfo = {};
    UiMainWindow *ui = nullptr;
};
