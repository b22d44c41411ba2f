#include "memory.h"

#include <QtEndian>

#include <cmath>
#include <cstring>

namespace loggersim {

namespace {

char bcd(int v)
{
    v = qBound(0, v, 99);
    return char(((v / 10) << 4) | (v % 10));
}

// Day-end stamp of the AVG and TOT entries, as the host computes it from the
// time of the last maximum.
QDateTime dayEndStamp(const QDateTime &lastMax, int dayStart)
{
    if (!lastMax.isValid())
        return QDateTime();
    if (dayStart == 0)
        return QDateTime(lastMax.date(), QTime(23, 59));
    const QDate date = lastMax.time() >= QTime(dayStart, 0) ? lastMax.date().addDays(1) : lastMax.date();
    return QDateTime(date, QTime(dayStart - 1, 59));
}

quint64 mix(quint64 x)
{
    x += 0x9E3779B97F4A7C15ULL;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
    return x ^ (x >> 31);
}

// Uniform in [0, 1), deterministic in its arguments.
double unit(quint32 seed, int slot, qint64 key, int salt)
{
    const quint64 h =
        mix(mix(mix(quint64(seed) * 1000003ULL + quint64(slot)) ^ quint64(key)) + quint64(salt));
    return double(h >> 11) / double(1ULL << 53);
}

double roundTo(double v, double step)
{
    return std::round(v / step) * step;
}

} // namespace

QByteArray bcdTime(const QDateTime &t)
{
    QByteArray out;
    if (!t.isValid())
        return QByteArray(5, '\0');
    out.append(bcd(t.date().day()));
    out.append(bcd(t.date().month()));
    out.append(bcd(t.date().year() % 100));
    out.append(bcd(t.time().hour()));
    out.append(bcd(t.time().minute()));
    return out;
}

QByteArray floatBytes(float v)
{
    quint32 bits;
    std::memcpy(&bits, &v, sizeof bits);
    QByteArray out(4, '\0');
    qToBigEndian(bits, out.data());
    return out;
}

void groupNumbers(const QString &group, int *region, int *basin, int *number)
{
    QString kept;
    for (const QChar c : group.simplified()) {
        if (c.isDigit() || c == QLatin1Char('-'))
            kept += c;
    }
    const QStringList pieces = kept.split(QLatin1Char('-'));
    int values[3] = {0, 0, 0};
    if (pieces.size() >= 1 && pieces.size() <= 3) {
        const int offset = 3 - pieces.size();
        for (int i = 0; i < pieces.size(); ++i)
            values[offset + i] = pieces.at(i).toInt();
    }
    *region = values[0];
    *basin = values[1];
    *number = values[2];
}

void Memory::appendSetup(const Scenario &s, const QDateTime &setupTime)
{
    const QList<int> active = s.activeSlots();
    m_setups.append(qMakePair(m_bytes.size(), setupTime));
    QByteArray r("\xDD\xDD\xDD", 3);
    int region = 0, basin = 0, number = 0;
    groupNumbers(s.stationGroup, &region, &basin, &number);
    r.append(s.stationName.toUtf8()).append('\x02');
    r.append(QStringLiteral("%1-%2-%3").arg(region).arg(basin).arg(number).toLatin1()).append('\x02');
    r.append(s.stationCode.toUtf8()).append('\x02');
    for (int i = 0; i < 9; ++i)
        r.append(i < s.slotList.size() && s.slotList.at(i).state == 1 ? '1' : '0');
    r.append('\x02');
    for (int slot : active)
        r.append(s.slotList.at(slot).name.toLatin1()).append('\x02');
    for (int slot : active)
        r.append(s.calibrations.units.value(slot, s.slotList.at(slot).unit).toLatin1()).append('\x02');
    for (int slot : active) {
        const int interval = qBound(0, s.slotList.at(slot).interval, 9999);
        r.append(bcd(interval / 100));
        r.append(bcd(interval % 100));
    }
    r.append('\0');
    r.append(bcdTime(setupTime));
    r.append('\0');
    m_bytes.append(r);
}

void Memory::appendTimeStamp(const QDateTime &t)
{
    m_bytes.append("\xFA\xFA\xFA", 3);
    m_bytes.append(bcdTime(t));
    // The host keeps minutes, not seconds.
    m_base = t.isValid() ? QDateTime(t.date(), QTime(t.time().hour(), t.time().minute())) : QDateTime();
}

void Memory::appendMeasurement(int minutes, const QList<float> &values)
{
    QList<int> channels;
    for (int k = 0; k < values.size(); ++k)
        channels << k;
    appendMeasurement(minutes, channels, values);
}

void Memory::appendMeasurement(int minutes, const QList<int> &channels, const QList<float> &values)
{
    minutes = qBound(0, minutes, 0xFFFFFF);
    m_bytes.append(char((minutes >> 16) & 0xFF));
    m_bytes.append(char((minutes >> 8) & 0xFF));
    m_bytes.append(char(minutes & 0xFF));
    const QDateTime time = m_base.isValid() ? m_base.addSecs(qint64(minutes) * 60) : QDateTime();
    for (int i = 0; i < values.size() && i < channels.size(); ++i) {
        const int k = channels.at(i);
        if (k < 0 || k > 8)
            continue;
        m_bytes.append(char(0xA1 + k));
        m_bytes.append(floatBytes(values.at(i)));
        m_truth.append({time, QStringLiteral("INS"), k, values.at(i)});
    }
}

void Memory::appendDaily(const QList<Extreme> &maxima, const QList<Extreme> &minima,
                         const QList<float> &averages, const QList<float> &totals)
{
    m_bytes.append("\xF1\xF1\xF1", 3);
    const int n = maxima.size();
    for (int k = 0; k < n; ++k) {
        m_bytes.append(bcdTime(maxima.at(k).time));
        m_bytes.append(floatBytes(float(maxima.at(k).value)));
        m_truth.append({maxima.at(k).time, QStringLiteral("MAX"), k, float(maxima.at(k).value)});
    }
    for (int k = 0; k < n; ++k) {
        const Extreme e = minima.value(k);
        m_bytes.append(bcdTime(e.time));
        m_bytes.append(floatBytes(float(e.value)));
        m_truth.append({e.time, QStringLiteral("MIN"), k, float(e.value)});
    }
    const QDateTime stamp = n ? dayEndStamp(maxima.last().time, dayStart) : QDateTime();
    for (int k = 0; k < n; ++k) {
        m_bytes.append(floatBytes(averages.value(k)));
        m_truth.append({stamp, QStringLiteral("AVG"), k, averages.value(k)});
    }
    for (int k = 0; k < n; ++k) {
        m_bytes.append(floatBytes(totals.value(k)));
        m_truth.append({stamp, QStringLiteral("TOT"), k, totals.value(k)});
    }
}

void Memory::appendRaw(const QByteArray &bytes)
{
    m_bytes.append(bytes);
}

void Memory::appendRecord(const Scenario &s, const MemoryRecord &r)
{
    switch (r.type) {
    case MemoryRecord::Setup:
        appendSetup(s, r.time);
        break;
    case MemoryRecord::TimeStamp:
        appendTimeStamp(r.time);
        break;
    case MemoryRecord::Measurement: {
        QList<float> values;
        for (double v : r.values)
            values << float(v);
        appendMeasurement(r.minutes, values);
        break;
    }
    case MemoryRecord::Daily: {
        QList<float> averages, totals;
        for (double v : r.averages)
            averages << float(v);
        for (double v : r.totals)
            totals << float(v);
        appendDaily(r.maxima, r.minima, averages, totals);
        break;
    }
    case MemoryRecord::Raw:
        appendRaw(r.raw);
        break;
    }
}

bool Memory::isEnd(int page, int buffer) const
{
    Q_UNUSED(buffer)
    return page > lastPage() || (page == lastPage() && lastBuffer() == 0);
}

QByteArray Memory::block(int page, int buffer) const
{
    if (buffer >= PageSize || buffer < 0 || page < 0)
        return QByteArray();
    const qint64 start = qint64(page) * PageSize + buffer;
    const qint64 end = qint64(page + 1) * PageSize;
    QByteArray out;
    if (start < m_bytes.size())
        out = m_bytes.mid(int(start), int(qMin<qint64>(end, m_bytes.size()) - start));
    out.append(QByteArray(int(end - start) - out.size(), char(0xFF)));
    return out;
}

QList<FileEntry> Memory::files() const
{
    QList<FileEntry> out;
    for (int i = 0; i < m_setups.size(); ++i) {
        const int end = i + 1 < m_setups.size() ? m_setups.at(i + 1).first : m_bytes.size();
        FileEntry f;
        f.date = m_setups.at(i).second;
        f.endPage = end / PageSize;
        f.endBuffer = end % PageSize;
        out << f;
    }
    return out;
}

// ---------------------------------------------------------------------------

void MemoryGenerator::configure(const Scenario &s)
{
    m_config = s.generator;
    m_dayStart = s.setup.dayStart;
    const QList<int> active = s.activeSlots();
    m_waves.clear();
    for (int slot = 0; slot < 9; ++slot) {
        const Slot &c = s.slotList.value(slot);
        const int k = active.indexOf(slot);
        if (k >= 0 && k < m_config.channels.size()) {
            m_waves << m_config.channels.at(k);
            continue;
        }
        Waveform w;
        w.errorRate = 0.003;
        switch (c.code) {
        case 49: // WAL
            w.shape = QStringLiteral("river");
            w.base = c.instant > 0 ? c.instant : 100.0;
            w.amplitude = w.base * 1.5;
            break;
        case 48: // WAF
            w.shape = QStringLiteral("river");
            w.base = c.instant > 0 ? c.instant : 2.0;
            w.amplitude = w.base * 3.0;
            break;
        case 43: // PR
            w.shape = QStringLiteral("rain");
            w.amplitude = 2.0;
            break;
        case 35: // AT
            w.shape = QStringLiteral("temperature");
            w.base = 12.0;
            w.amplitude = 6.0;
            break;
        case 51: // WAT
            w.shape = QStringLiteral("temperature");
            w.base = 10.0;
            w.amplitude = 1.5;
            break;
        case 56: // SV
            w.shape = QStringLiteral("voltage");
            w.base = 12.6;
            break;
        default:
            w.shape = QStringLiteral("sine");
            w.base = c.instant;
            w.amplitude = std::fabs(c.instant) * 0.1 + 1.0;
            w.period = 24.0;
            break;
        }
        m_waves << w;
    }
}

double MemoryGenerator::sample(int slot, const QDateTime &t) const
{
    const Waveform w = m_waves.value(slot);
    const qint64 minute = t.toSecsSinceEpoch() / 60;
    if (w.errorRate > 0 && unit(m_config.seed, slot, minute, 7) < w.errorRate)
        return -9999.0;
    const double hours = m_origin.isValid() ? m_origin.secsTo(t) / 3600.0 : 0.0;
    const double hourOfDay = t.time().hour() + t.time().minute() / 60.0;
    const double noise = unit(m_config.seed, slot, minute, 1) - 0.5;
    constexpr double pi = 3.14159265358979323846;
    if (w.shape == QLatin1String("river")) {
        const double period = qMax(24.0, m_config.days * 24.0);
        const double phase = std::fmod(qMax(0.0, hours), period);
        const double peak = 0.4 * period;
        const double flood =
            phase < peak ? std::exp(-std::pow((peak - phase) / 6.0, 2.0)) : std::exp(-(phase - peak) / 18.0);
        const double daily = 0.01 * w.base * std::sin(2 * pi * hourOfDay / 24.0);
        return roundTo(w.base + w.amplitude * flood + daily + 0.2 * noise, 0.1);
    }
    if (w.shape == QLatin1String("rain")) {
        const qint64 window = minute / 180; // three-hour weather windows
        if (unit(m_config.seed, slot, window, 3) >= 0.2)
            return 0.0;
        const double u = unit(m_config.seed, slot, minute, 4);
        return roundTo(w.amplitude * u * u, 0.2);
    }
    if (w.shape == QLatin1String("temperature"))
        return roundTo(w.base + w.amplitude * std::sin(2 * pi * (hourOfDay - 9.0) / 24.0) + 0.3 * noise,
                       0.01);
    if (w.shape == QLatin1String("voltage"))
        return roundTo(
            w.base - 0.2 + 0.4 * qMax(0.0, std::sin(2 * pi * (hourOfDay - 6.0) / 24.0)) + 0.04 * noise, 0.01);
    if (w.shape == QLatin1String("constant"))
        return w.base;
    if (w.shape == QLatin1String("random"))
        return roundTo(w.base + w.amplitude * 2.0 * noise, 0.01);
    // sine
    const double period = w.period > 0 ? w.period : 24.0;
    return roundTo(w.base + w.amplitude * std::sin(2 * pi * hours / period), 0.01);
}

void MemoryGenerator::begin(Memory *memory, Scenario *s, const QDateTime &start)
{
    if (!m_started) {
        m_started = true;
        m_origin = start;
        m_next = start;
    } else {
        flushDay(memory);
    }
    m_dayStart = s->setup.dayStart;
    memory->dayStart = m_dayStart;
    memory->appendSetup(*s, start);
    m_active = s->activeSlots();
    m_acc.clear();
    m_day = QDate();
    m_needStamp = true;
}

qint64 MemoryGenerator::stepSeconds(const Generator &g)
{
    return g.channelIntervals ? 60 : qint64(qMax(1, g.interval)) * 60;
}

QList<int> MemoryGenerator::dueChannels(const Scenario &s) const
{
    QList<int> due;
    const int minuteOfDay = m_next.time().hour() * 60 + m_next.time().minute();
    for (int k = 0; k < m_active.size(); ++k) {
        if (!m_config.channelIntervals ||
            minuteOfDay % qMax(1, s.slotList.value(m_active.at(k)).interval) == 0)
            due << k;
    }
    return due;
}

void MemoryGenerator::skipTo(const QDateTime &t)
{
    if (!m_next.isValid() || m_next >= t)
        return;
    const qint64 step = stepSeconds(m_config);
    const qint64 gap = m_next.secsTo(t);
    m_next = m_next.addSecs(((gap + step - 1) / step) * step);
    m_needStamp = true;
}

void MemoryGenerator::flushDay(Memory *memory)
{
    if (m_acc.isEmpty())
        return;
    bool any = false;
    for (const Acc &a : qAsConst(m_acc))
        any = any || a.count > 0;
    if (any) {
        QList<Extreme> maxima, minima;
        QList<float> averages, totals;
        for (const Acc &a : qAsConst(m_acc)) {
            if (a.count == 0) {
                Extreme none;
                none.value = -9999.0;
                none.time = m_acc.first().max.time;
                maxima << none;
                minima << none;
                averages << -9999.0f;
                totals << -9999.0f;
                continue;
            }
            maxima << a.max;
            minima << a.min;
            averages << float(a.sum / a.count);
            totals << float(a.sum);
        }
        // The host stamps AVG and TOT from the last maximum's time; keep it valid.
        if (!maxima.last().time.isValid()) {
            for (const Extreme &e : qAsConst(maxima)) {
                if (e.time.isValid())
                    maxima.last().time = e.time;
            }
        }
        memory->appendDaily(maxima, minima, averages, totals);
    }
    m_acc.clear();
}

void MemoryGenerator::runUntil(Memory *memory, Scenario *s, const QDateTime &until)
{
    if (!m_started || !m_next.isValid())
        return;
    const qint64 step = stepSeconds(m_config);
    while (m_next <= until) {
        if (s->activeSlots() != m_active)
            begin(memory, s, m_next);
        const QList<int> due = dueChannels(*s);
        if (due.isEmpty()) {
            // With every slot off, or none due, the device has nothing to record.
            m_next = m_next.addSecs(step);
            continue;
        }
        const QDate day = m_next.addSecs(-3600 * qint64(m_dayStart)).date();
        if (m_day.isValid() && day != m_day) {
            flushDay(memory);
            m_needStamp = true;
        }
        m_day = day;
        qint64 minutes = memory->timeBase().isValid() ? memory->timeBase().secsTo(m_next) / 60 : -1;
        if (m_needStamp || minutes < 0 || minutes > 0xFFFFFF) {
            memory->appendTimeStamp(m_next);
            m_needStamp = false;
            minutes = memory->timeBase().secsTo(m_next) / 60;
        }
        if (m_acc.size() != m_active.size()) {
            m_acc.clear();
            for (int i = 0; i < m_active.size(); ++i)
                m_acc << Acc();
        }
        QList<float> values;
        for (int k : due) {
            const int slot = m_active.at(k);
            const float v = float(sample(slot, m_next));
            values << v;
            if (v <= -9999.0f)
                continue;
            Acc &a = m_acc[k];
            const QDateTime minuteTime(m_next.date(), QTime(m_next.time().hour(), m_next.time().minute()));
            if (a.count == 0 || v > a.max.value)
                a.max = {double(v), minuteTime};
            if (a.count == 0 || v < a.min.value)
                a.min = {double(v), minuteTime};
            a.sum += v;
            ++a.count;
            Slot &c = s->slotList[slot];
            c.instant = v;
            c.maximum = a.max;
            c.minimum = a.min;
        }
        memory->appendMeasurement(int(minutes), due, values);
        m_next = m_next.addSecs(step);
    }
}

} // namespace loggersim
