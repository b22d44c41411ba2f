#include "nexil/files/channelmap.h"

#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

namespace {

QString keyOf(const report::Channel &c)
{
    // Unit separator: no file text holds it, so the three cannot run together.
    return c.code.trimmed() + QChar(0x1f) + c.name.simplified() + QChar(0x1f) + c.unit.simplified();
}

} // namespace

QStringList ChannelMap::byNameDate(const QStringList &paths)
{
    static const QRegularExpression dated(QStringLiteral("_(\\d\\d)(\\d\\d)(\\d{4})\\.xml$"));
    QVector<QPair<qint64, QString>> keyed;
    for (const QString &path : paths) {
        const QRegularExpressionMatch m = dated.match(QFileInfo(path).fileName());
        const QDate date = m.hasMatch()
                               ? QDate(m.captured(3).toInt(), m.captured(2).toInt(), m.captured(1).toInt())
                               : QDate();
        keyed.append({date.isValid() ? date.toJulianDay() : std::numeric_limits<qint64>::min(), path});
    }
    std::stable_sort(
        keyed.begin(), keyed.end(),
        [](const QPair<qint64, QString> &a, const QPair<qint64, QString> &b) { return a.first < b.first; });
    QStringList out;
    for (const auto &k : qAsConst(keyed))
        out << k.second;
    return out;
}

bool ChannelMap::read(const QStringList &paths)
{
    m_error.clear();
    QVector<report::Header> headers;
    for (const QString &path : paths) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            m_error = QStringLiteral("%1: %2").arg(path, file.errorString());
            return false;
        }
        report::DataLineReader reader(&file);
        report::Header header;
        if (!reader.readHeader(&header)) {
            m_error = QStringLiteral("%1 is not a well-formed data file: %2")
                          .arg(path, reader.errorText().simplified());
            return false;
        }
        headers.append(header);
    }
    build(headers);
    return true;
}

void ChannelMap::build(const QVector<report::Header> &headers)
{
    m_headers = headers;
    m_numbers = QVector<QHash<int, int>>(headers.size());
    m_identities.clear();
    m_unlisted.clear();
    m_next = 0;
    QHash<QString, int> numberOfKey; // key and occurrence → number
    const auto occurrenceKeys = [](const report::Header &h) {
        // In position order, so that repeated channels pair up by their order.
        QVector<report::Channel> channels = h.channels;
        std::stable_sort(channels.begin(), channels.end(),
                         [](const report::Channel &a, const report::Channel &b) { return a.id < b.id; });
        QVector<QPair<QString, report::Channel>> out;
        QHash<QString, int> seen;
        for (const report::Channel &c : qAsConst(channels)) {
            const QString key = keyOf(c);
            out.append({key + QChar(0x1f) + QString::number(seen[key]++), c});
        }
        return out;
    };
    // The newest file first: its positions are the numbers.
    for (int f = headers.size() - 1; f >= 0; --f) {
        const auto channels = occurrenceKeys(headers.at(f));
        const bool newest = f == headers.size() - 1;
        if (newest)
            for (const auto &c : channels)
                m_next = std::max(m_next, c.second.id + 1);
        for (const auto &c : channels) {
            if (m_numbers[f].contains(c.second.id))
                continue; // a position listed twice: the first holds
            int number = numberOfKey.value(c.first, -1);
            if (number < 0) {
                number = newest ? c.second.id : m_next++;
                numberOfKey.insert(c.first, number);
                Identity identity;
                identity.number = number;
                identity.code = c.second.code.trimmed();
                identity.name = c.second.name;
                identity.unit = c.second.unit;
                identity.interval = c.second.interval;
                m_identities.insert(number, identity);
            }
            m_numbers[f].insert(c.second.id, number);
        }
    }
}

int ChannelMap::numberOf(int file, int position) const
{
    return file >= 0 && file < m_numbers.size() ? m_numbers.at(file).value(position, -1) : -1;
}

int ChannelMap::numberOrUnlisted(int file, int position)
{
    const int number = numberOf(file, position);
    if (number >= 0)
        return number;
    auto it = m_unlisted.find(position);
    if (it != m_unlisted.end())
        return *it;
    Identity identity;
    identity.number = m_next++;
    identity.unlisted = true;
    m_identities.insert(identity.number, identity);
    m_unlisted.insert(position, identity.number);
    return identity.number;
}

QVector<int> ChannelMap::positionsOf(int file, const QVector<int> &numbers) const
{
    QVector<int> out;
    if (file < 0 || file >= m_numbers.size())
        return out;
    for (auto it = m_numbers.at(file).cbegin(); it != m_numbers.at(file).cend(); ++it)
        if (numbers.contains(*it))
            out.append(it.key());
    std::sort(out.begin(), out.end());
    return out;
}

QVector<ChannelMap::Identity> ChannelMap::identities() const
{
    QVector<Identity> out;
    for (const Identity &i : m_identities)
        out.append(i);
    std::sort(out.begin(), out.end(),
              [](const Identity &a, const Identity &b) { return a.number < b.number; });
    return out;
}

const ChannelMap::Identity *ChannelMap::identity(int number) const
{
    const auto it = m_identities.constFind(number);
    return it == m_identities.constEnd() ? nullptr : &*it;
}
