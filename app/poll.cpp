#include "mainwindow.h"

#include "uimainwindow.h"

void MainWindow::timerCallback()
{
}
