#include <QApplication>
#include <QMainWindow>

// Placeholder until the main window lands: a titled empty window, nothing armed.
int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Horalux"));
    window.show();
    return app.exec();
}
