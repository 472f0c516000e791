// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/program_icon.h"

QIcon programIcon()
{
    QIcon icon;
    for (const char *size : {"16", "32", "48"})
        icon.addFile(QStringLiteral(":/icons/horalux-%1.png").arg(QLatin1String(size)));
    return icon;
}
