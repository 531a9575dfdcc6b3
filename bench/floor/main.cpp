#include "floor/floorwindow.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    FloorWindow window;
    window.show();
    return QApplication::exec();
}
