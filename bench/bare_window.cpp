// SPDX-License-Identifier: GPL-3.0-or-later
// The yardstick for bench/startup_compare.sh: a bare Qt 6 window of Horalux's size with nothing
// in it. With --tray it stays hidden behind a notification-area icon instead, as Horalux does
// when it starts in the tray.
#include <QApplication>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <QWidget>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Bare window"));
    window.setFixedSize(627, 245);
    QSystemTrayIcon tray;
    if (app.arguments().contains(QStringLiteral("--tray"))) {
        QPixmap pixmap(16, 16);
        pixmap.fill(Qt::darkBlue);
        tray.setIcon(QIcon(pixmap));
        tray.show();
    } else {
        window.show();
    }
    return app.exec();
}
