#include "mainwindow.h"

#include "uimainwindow.h"

#include <QTimer>

namespace {
constexpr int PollIntervalMs = 100;
}

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
    , ui(new UiMainWindow)
{
    // The widgets exist before the board is opened, and the check boxes get
    // their initial state before their slots are connected, so opening the
    // board is the only board call made while the window is built.
    ui->setupUi(this);
    boardHandle = bctrl_init();

    pollTimer = new QTimer(this);
    pollPhase = 0;
    connect(pollTimer, &QTimer::timeout, this, &MainWindow::timerCallback);
    pollTimer->start(PollIntervalMs);
}

MainWindow::~MainWindow()
{
    // No tick may reach a closed board; the widgets outlive the board.
    pollTimer->stop();
    delete ui;
    bctrl_deinit(boardHandle);
    boardHandle = 0;
}
