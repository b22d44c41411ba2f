#include "stationrules.h"

#include "pathpart.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QRegularExpression>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("StationRules", text);
}

} // namespace

namespace StationRules {

QString codeProblem(const QString &code)
{
    if (code.isEmpty())
        return tr("The station code is empty.");
    if (code.size() > MaxCodeLength)
        return tr("The station code is longer than %1 characters.").arg(MaxCodeLength);
    // Lists of codes are comma-separated; blanks inside the code are
    // simplified wherever it is typed.
    if (!PathPart::isSafe(code) || code.contains(QLatin1Char(',')) || code.simplified() != code)
        return tr("The station code \"%1\" cannot name a folder or a file: it may not hold / \\ : * ? \" < "
                  "> | , or control characters, nor start or end with a dot or a blank.")
            .arg(code);
    return QString();
}

QString codeTakenProblem(const QString &code, int ownId, const QList<DBStation> &stations)
{
    for (const DBStation &s : stations) {
        if (s.id != ownId && s.code == code)
            return tr("The station code %1 is already used by station %2 (%3).")
                .arg(code)
                .arg(s.id)
                .arg(s.title);
    }
    return QString();
}

QString hostProblem(const QString &host)
{
    if (host.isEmpty() || host == QLatin1String("0.0.0.0"))
        return tr("Please type a correct IP/Host address!");
    // All digits and dots: an IPv4 address, each part 0-255.
    static const QRegularExpression numeric(QStringLiteral("^[0-9.]+$"));
    if (numeric.match(host).hasMatch()) {
        const QStringList parts = host.split(QLatin1Char('.'));
        bool fine = parts.size() == 4;
        for (const QString &part : parts) {
            bool ok = false;
            const int n = part.toInt(&ok);
            fine = fine && ok && part.size() <= 3 && n >= 0 && n <= 255;
        }
        return fine ? QString() : tr("%1 is not an IPv4 address (four numbers from 0 to 255).").arg(host);
    }
    // An IPv6 address ("::1", "fe80::1").
    if (host.contains(QLatin1Char(':'))) {
        const QHostAddress address(host);
        return address.protocol() == QAbstractSocket::IPv6Protocol
                   ? QString()
                   : tr("%1 is not an IPv6 address.").arg(host);
    }
    static const QRegularExpression name(
        QStringLiteral("^[A-Za-z0-9]([A-Za-z0-9-]{0,61}[A-Za-z0-9])?(\\.[A-Za-z0-9]([A-Za-z0-9-]{0,61}"
                       "[A-Za-z0-9])?)*\\.?$"));
    if (host.size() > 253 || !name.match(host).hasMatch())
        return tr("%1 is not a host name (letters, digits, '-' and '.').").arg(host);
    return QString();
}

QString portProblem(int port)
{
    if (port < 1 || port > 65535)
        return tr("Please type a correct port number!");
    return QString();
}

} // namespace StationRules
