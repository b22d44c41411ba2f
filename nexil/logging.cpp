#include "nexil/logging.h"

#include <QStringList>

Q_LOGGING_CATEGORY(lcProtocol, "nexil.protocol", QtInfoMsg)
Q_LOGGING_CATEGORY(lcDownload, "nexil.download", QtInfoMsg)
Q_LOGGING_CATEGORY(lcFiles, "nexil.files", QtInfoMsg)
Q_LOGGING_CATEGORY(lcExcel, "nexil.excel", QtInfoMsg)
Q_LOGGING_CATEGORY(lcConfiguration, "nexil.configuration", QtInfoMsg)

void enableDebugOutput(const QStringList &prefixes)
{
    QStringList rules;
    for (const QString &prefix : prefixes)
        rules << prefix + QStringLiteral(".*.debug=true");
    // Filter rules set here take precedence over the environment's, so the
    // environment's are appended again to keep them in force.
    const QString env = qEnvironmentVariable("QT_LOGGING_RULES");
    if (!env.isEmpty())
        rules << env.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    QLoggingCategory::setFilterRules(rules.join(QLatin1Char('\n')));
}
