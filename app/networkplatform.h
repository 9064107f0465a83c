#pragma once

#include <QString>
#include <QStringList>

// The window switches the board's supplies, so it is never served over the
// network: Qt's VNC platform (and Qt 5's WebGL one) would hand it to anyone
// who connects, without authentication. Returns how such a platform was asked
// for, by the program's arguments or by QT_QPA_PLATFORM (its value as given),
// or an empty string when it was not. Qt reads both before the window exists,
// so this is asked first.
QString networkPlatformAsked(const QStringList &arguments, const QString &platformVariable);
