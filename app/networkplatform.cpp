#include "networkplatform.h"

#include <algorithm>

namespace {

// Qt's platforms that serve the window over the network.
bool servesNetwork(const QString &platform)
{
    // "name:option=value,...": Qt matches the name regardless of case.
    const QString name = platform.section(u':', 0, 0).trimmed();
    return name.compare(QLatin1String("vnc"), Qt::CaseInsensitive) == 0
        || name.compare(QLatin1String("webgl"), Qt::CaseInsensitive) == 0;
}

// QT_QPA_PLATFORM may list platforms to try in turn, separated by ';'.
bool anyServesNetwork(const QString &platforms)
{
    const QStringList names = platforms.split(u';');
    return std::any_of(names.cbegin(), names.cend(), servesNetwork);
}

} // namespace

QString networkPlatformAsked(const QStringList &arguments, const QString &platformVariable)
{
    // Qt takes "-platform NAME" and "--platform NAME"; "=NAME" is refused too,
    // being what someone meant.
    for (int i = 1; i < arguments.size(); ++i) {
        QString argument = arguments.at(i);
        if (argument.startsWith(QLatin1String("--")))
            argument.remove(0, 1);
        if (argument == QLatin1String("-platform") && i + 1 < arguments.size()
            && anyServesNetwork(arguments.at(i + 1)))
            return arguments.at(i) + u' ' + arguments.at(i + 1);
        if (argument.startsWith(QLatin1String("-platform="))
            && anyServesNetwork(argument.mid(int(qstrlen("-platform=")))))
            return arguments.at(i);
    }
    if (anyServesNetwork(platformVariable))
        return QLatin1String("QT_QPA_PLATFORM=") + platformVariable;
    return {};
}
