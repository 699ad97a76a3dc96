// The yardstick for the start benchmark: a bare Qt window of the main
// window's size, shown and left open until the benchmark ends it.

#include <QApplication>
#include <QWidget>

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    QWidget window;
    window.setFixedSize(852, 525);
    window.show();
    return application.exec();
}
