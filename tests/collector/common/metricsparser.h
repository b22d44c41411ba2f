#pragma once

// Reads metrics text with a real parser of the monitoring text format (the
// Python client library's), so that a file the collector writes is checked
// the way a scraper would read it.

#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QStandardPaths>
#include <QString>

struct ParsedMetrics
{
    bool ok = false;
    QString error;
    // "name{label=value,...}" -> value, labels in sorted order.
    QMap<QString, double> samples;
};

inline ParsedMetrics parseMetrics(const QByteArray &text)
{
    static const char *script = R"(
import json, sys
from prometheus_client.parser import text_string_to_metric_families
out = []
for family in text_string_to_metric_families(sys.stdin.read()):
    for s in family.samples:
        labels = ",".join("%s=%s" % (k, v) for k, v in sorted(s.labels.items()))
        out.append([s.name + "{" + labels + "}", s.value])
print(json.dumps(out))
)";
    ParsedMetrics parsed;
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), QString::fromLatin1(script)});
    if (!python.waitForStarted(10000)) {
        parsed.error = QStringLiteral("/usr/bin/python3 did not start");
        return parsed;
    }
    python.write(text);
    python.closeWriteChannel();
    if (!python.waitForFinished(30000) || python.exitCode() != 0) {
        parsed.error = QString::fromUtf8(python.readAllStandardError());
        return parsed;
    }
    const QJsonArray rows = QJsonDocument::fromJson(python.readAllStandardOutput()).array();
    for (const QJsonValue &row : rows)
        parsed.samples.insert(row.toArray().at(0).toString(), row.toArray().at(1).toDouble());
    parsed.ok = true;
    return parsed;
}
