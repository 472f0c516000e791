// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The system's own command lines for the two fixed actions.
QString shutdownCommand();
QString logoffCommand();
