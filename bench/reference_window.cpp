// The yardstick for the monitor's running cost: a bare QMainWindow of the same
// size whose only work is a 100 ms timer that sets a label's text.
#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QTimer>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.resize(600, 800);
    auto *label = new QLabel(&window);
    window.setCentralWidget(label);
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, label, [&] { label->setText(QString::number(++ticks)); });
    timer.start(100);
    window.show();
    return QApplication::exec();
}
