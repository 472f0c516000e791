// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/program_icon.h"

#include <QImageReader>
#include <QPixmap>

QIcon programIcon()
{
    // Each picture is read as PNG, by name: left to guess the format, Qt's image reader would
    // first load every image-format plugin installed (gif, ico, jpeg, svg, ...) to ask each one.
    QIcon icon;
    for (const char *size : {"16", "32", "48"}) {
        QImageReader reader(QStringLiteral(":/icons/horalux-%1.png").arg(QLatin1String(size)),
                            "png");
        reader.setAutoDetectImageFormat(false);
        icon.addPixmap(QPixmap::fromImage(reader.read()));
    }
    return icon;
}
