#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle("Corvanta");
    window.resize(1440, 900);
    window.show();
    return app.exec();
}
