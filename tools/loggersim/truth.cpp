#include "truth.h"

#include <QLocale>

namespace loggersim {

bool TruthWriter::open(const QString &path, QString *error)
{
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
        *error = QStringLiteral("cannot write %1: %2").arg(path, m_file.errorString());
        return false;
    }
    m_file.write("time,type,channel,value\n");
    m_file.flush();
    return true;
}

QByteArray TruthWriter::row(const TruthRow &r)
{
    const QByteArray time = r.time.isValid()
                                ? QLocale::c().toString(r.time, QStringLiteral("yyyy-MM-dd hh:mm")).toLatin1()
                                : QByteArray();
    return time + ',' + r.type.toLatin1() + ',' + QByteArray::number(r.channel) + ',' +
           QByteArray::number(double(r.value), 'g', 9) + '\n';
}

void TruthWriter::update(const Memory &memory)
{
    if (!m_file.isOpen())
        return;
    const QList<TruthRow> &rows = memory.truth();
    if (m_written >= rows.size())
        return;
    for (; m_written < rows.size(); ++m_written)
        m_file.write(row(rows.at(m_written)));
    m_file.flush();
}

} // namespace loggersim
