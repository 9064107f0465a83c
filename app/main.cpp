#include "mainwindow.h"

#include <QApplication>

int main(int argc, char *argv[])
{
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    // Qt 6 scales the whole window by the display's scale factor, fractions
    // included (150 % is 1.5); Qt 5 does so only when asked before the
    // application object exists, else it scales the text alone.
    QApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
#endif
    QApplication app(argc, argv);
    MainWindow window;
    window.show();
    const int result = QApplication::exec();
    return result;
}
