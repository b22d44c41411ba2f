#include "device.h"

#include "encoder.h"

namespace loggersim {

namespace {

constexpr char STX = 0x02;

QList<QByteArray> splitFields(const QByteArray &b)
{
    return b.split(STX);
}

QDateTime nowToSecond()
{
    const QDateTime now = QDateTime::currentDateTime();
    return QDateTime(now.date(), QTime(now.time().hour(), now.time().minute(), now.time().second()));
}

int digitOf(char c)
{
    return (c >= '0' && c <= '9') ? c - '0' : 0;
}

} // namespace

Device::Device(const Scenario &scenario, double speed)
    : m_state(scenario), m_factory(scenario), m_speed(speed < 0 ? 0 : speed)
{
    realMs = [] { return QDateTime::currentMSecsSinceEpoch(); };
    m_realBase = realMs();
    m_clockBase = m_state.clock.isValid() ? m_state.clock : nowToSecond();
    m_memory.dayStart = m_state.setup.dayStart;

    for (const MemoryRecord &r : qAsConst(m_state.memoryRecords))
        m_memory.appendRecord(m_state, r);

    if (m_state.generator.enabled) {
        Generator &g = m_state.generator;
        QDateTime start = g.start;
        if (!start.isValid()) {
            start = m_clockBase.addSecs(-qint64(g.days * 86400.0));
            const qint64 step = MemoryGenerator::stepSeconds(g);
            const qint64 secs = start.toSecsSinceEpoch();
            start = QDateTime::fromSecsSinceEpoch(secs - ((secs % step) + step) % step);
        }
        m_generator.configure(m_state);
        m_generator.begin(&m_memory, &m_state, start);
        m_generator.runUntil(&m_memory, &m_state, start.addSecs(qint64(g.days * 86400.0)));
        if (m_generator.next() < m_clockBase)
            m_generator.skipTo(m_clockBase);
    }
}

QDateTime Device::clock() const
{
    const qint64 elapsed = realMs() - m_realBase;
    return m_clockBase.addMSecs(qint64(double(elapsed) * m_speed));
}

void Device::setClock(const QDateTime &t)
{
    m_clockBase = t;
    m_realBase = realMs();
}

void Device::advance()
{
    if (!m_generator.started())
        return;
    const QDateTime now = clock();
    if (m_generator.next().isValid() && m_generator.next().secsTo(now) > 2 * 86400)
        m_generator.skipTo(now);
    m_generator.runUntil(&m_memory, &m_state, now);
}

QByteArray Device::ident() const
{
    return encoder::identification(m_state.serial, m_state.model, m_state.firmware);
}

QList<FileEntry> Device::files() const
{
    return m_state.filesGiven ? m_state.files : m_memory.files();
}

Reply Device::frame(const char *code, const QByteArray &payload, bool corrupt)
{
    Reply r;
    r.code = QByteArray(code, 3);
    r.bytes = encoder::frame(code, ident(), payload, corrupt);
    return r;
}

Reply Device::answer(const QByteArray &word, bool corrupt)
{
    Reply r = frame("CEV", encoder::answerPayload(word), corrupt);
    r.note = word;
    return r;
}

Reply Device::handle(const Request &request, bool corrupt)
{
    advance();
    const QDateTime now = clock();
    switch (request.kind) {
    case Request::Plain:
        if (request.word == "KML")
            return frame("KML", encoder::identityPayload(m_state), corrupt);
        if (request.word == "ANL")
            return frame("ANL", encoder::instantPayload(m_state, now), corrupt);
        if (request.word == "OKU")
            return frame("PAR", encoder::setupPayload(m_state, now), corrupt);
        if (request.word == "RKL")
            return frame("RKL", encoder::channelNamesPayload(m_state), corrupt);
        if (request.word == "KOK")
            return frame("KOK", encoder::calibrationsPayload(m_state), corrupt);
        if (request.word == "DKU")
            return frame("DOS", encoder::fileInfoPayload(files(), m_memory.lastPage(), m_memory.lastBuffer()),
                         corrupt);
        if (request.word == "ALO")
            return frame("ALR", encoder::alarmsPayload(m_state), corrupt);
        return Reply();
    case Request::Factory:
        return answer(factory(request.body, true), corrupt);
    case Request::Checked:
        if (request.word == "AKT") {
            if (!request.crcOk)
                return answer("CRCHata", corrupt);
            return block(request.body, corrupt);
        }
        return upload(request, corrupt);
    case Request::Unknown:
        break;
    }
    return Reply();
}

Reply Device::block(const QByteArray &body, bool corrupt)
{
    bool okPage = false;
    bool okBuffer = false;
    const int page = body.left(8).toInt(&okPage);
    const int buffer = body.mid(8, 4).toInt(&okBuffer);
    Reply r;
    r.code = "VER";
    if (!okPage || !okBuffer)
        return Reply();
    if (m_memory.isEnd(page, buffer)) {
        r.bytes = encoder::blockFrame(ident(), encoder::endPayload(page), corrupt);
        r.note = "BITTI";
        return r;
    }
    r.bytes =
        encoder::blockFrame(ident(), encoder::blockPayload(page, m_memory.block(page, buffer)), corrupt);
    r.dataBlock = true;
    return r;
}

Reply Device::upload(const Request &request, bool corrupt)
{
    if (!request.crcOk)
        return answer("CRCHata", corrupt);
    QByteArray word;
    if (m_state.refusedUploads.contains(QString::fromLatin1(request.word)))
        return answer("SYANLIS", corrupt);
    if (request.word == "PAR")
        word = uploadSetup(request.body);
    else if (request.word == "KNL")
        word = uploadNames(request.body);
    else if (request.word == "KAL")
        word = uploadCalibrations(request.body);
    else if (request.word == "AYU")
        word = uploadAlarms(request.body);
    else if (request.word == "SIF")
        word = uploadPassword(request.body);
    else if (request.word == "SET")
        word = factory(request.body, false);
    else
        return Reply();
    return answer(word, corrupt);
}

QByteArray Device::uploadSetup(const QByteArray &body)
{
    const QByteArray pw = m_state.password.toUtf8();
    if (!body.startsWith(pw) || body.size() <= pw.size() ||
        (body.at(pw.size()) != '0' && body.at(pw.size()) != '1'))
        return "SYANLIS";
    // keep flag, serial STX name STX group STX code STX options STX on/off STX wait STX date(12)+weekday STX
    // exact STX digitC STX
    const QByteArray rest = body.mid(pw.size() + 1);
    int pos = 0;
    QList<QByteArray> f;
    for (int i = 0; i < 7; ++i) {
        const int stx = rest.indexOf(STX, pos);
        if (stx < 0)
            return "CRCHata";
        f << rest.mid(pos, stx - pos);
        pos = stx + 1;
    }
    if (rest.size() < pos + 14 || rest.at(pos + 13) != STX)
        return "CRCHata";
    const QByteArray date = rest.mid(pos, 12);
    pos += 14;
    const QList<QByteArray> tail = splitFields(rest.mid(pos));
    if (tail.size() < 2 || f.at(4).size() < 4)
        return "CRCHata";

    m_state.stationName = QString::fromUtf8(f.at(1));
    m_state.stationGroup = QString::fromUtf8(f.at(2));
    m_state.stationCode = QString::fromUtf8(f.at(3));
    const QByteArray &opts = f.at(4);
    m_state.setup.dayStart = qBound(0, opts.left(2).toInt(), 23);
    m_state.setup.digitA = digitOf(opts.at(2));
    m_state.setup.rs485Output = opts.at(3) != '0';
    m_state.setup.sensorOnOffTime = f.at(5).toInt();
    m_state.setup.sensorWaitTime = f.at(6).toInt();
    m_state.setup.waitForExactHour = !tail.at(0).isEmpty() && tail.at(0).at(0) != '0';
    m_state.setup.digitC = tail.at(1).isEmpty() ? 0 : digitOf(tail.at(1).at(0));
    m_memory.dayStart = m_state.setup.dayStart;

    const QDate d(2000 + date.mid(4, 2).toInt(), date.mid(2, 2).toInt(), date.left(2).toInt());
    const QTime t(date.mid(6, 2).toInt(), date.mid(8, 2).toInt(), date.mid(10, 2).toInt());
    if (d.isValid() && t.isValid())
        setClock(QDateTime(d, t));
    configurationChanged(false);
    return "YUKLENDI";
}

QByteArray Device::uploadNames(const QByteArray &body)
{
    const QByteArray pw = m_state.password.toUtf8();
    const QList<QByteArray> f = splitFields(body);
    if (f.isEmpty() || !f.at(0).startsWith(pw) || f.at(0).size() != pw.size() + 9)
        return "SYANLIS";
    if (f.size() < 20 || f.at(19).size() < 18)
        return "CRCHata";
    const QByteArray states = f.at(0).mid(pw.size());
    for (int i = 0; i < 9; ++i) {
        Slot &s = m_state.slotList[i];
        s.state = states.at(i) == '1' ? 1 : 0;
        s.interval = f.at(1 + i).toInt();
        const QByteArray &name = f.at(10 + i);
        if (!name.isEmpty()) {
            s.code = uchar(name.at(0));
            s.name = QString::fromLatin1(name.mid(1));
        }
        s.minMaxType = f.at(19).at(i) == '0' ? 0 : 1;
        s.recordType = f.at(19).at(9 + i) == '0' ? 0 : 1;
    }
    configurationChanged(true);
    return "YUKLENDI";
}

QByteArray Device::uploadCalibrations(const QByteArray &body)
{
    const QByteArray pw = m_state.password.toUtf8();
    if (!body.startsWith(pw))
        return "SYANLIS";
    const QList<QByteArray> f = splitFields(body.mid(pw.size()));
    if (f.size() < 39 || f.at(34).size() < 5 || f.at(37).size() < 2 || f.at(38).size() < 5)
        return "CRCHata";
    Calibrations &c = m_state.calibrations;
    for (int i = 0; i < 9; ++i)
        c.units[i] = QString::fromUtf8(f.at(i));
    for (int i = 0; i < 5; ++i) {
        c.minVoltages[i] = f.at(9 + i).toDouble();
        c.gains[i] = f.at(14 + i).toDouble();
        c.maxValues[i] = f.at(19 + i).toDouble();
        c.minValues[i] = f.at(24 + i).toDouble();
        c.offsets[i] = f.at(29 + i).toDouble();
        c.multipliers[i] = digitOf(f.at(34).at(i));
        c.measurementTypes[i] = digitOf(f.at(38).at(i));
    }
    c.gains[5] = f.at(35).toDouble();
    c.gains[6] = f.at(36).toDouble();
    c.measurementTypes[5] = digitOf(f.at(37).at(0));
    c.measurementTypes[6] = digitOf(f.at(37).at(1));
    for (int i = 0; i < 9; ++i)
        m_state.slotList[i].unit = c.units.at(i);
    configurationChanged(false);
    return "YUKLENDI";
}

QByteArray Device::uploadAlarms(const QByteArray &body)
{
    // No password in this upload.
    const QList<QByteArray> f = splitFields(body);
    if (f.size() < 17 || f.at(8).size() < 11)
        return "CRCHata";
    Alarms &a = m_state.alarms;
    for (int i = 0; i < 4; ++i) {
        a.maximums[i] = f.at(2 * i).toDouble();
        a.minimums[i] = f.at(2 * i + 1).toDouble();
        a.maximumResets[i] = f.at(9 + 2 * i).toDouble();
        a.minimumResets[i] = f.at(10 + 2 * i).toDouble();
    }
    // "00", then the four per-alarm switches and the first five device flags.
    const QByteArray flags = f.at(8).mid(2);
    for (int i = 0; i < 5; ++i)
        a.flags[i] = flags.at(4 + i) == '0' ? 0 : 1;
    return "YUKLENDI";
}

QByteArray Device::uploadPassword(const QByteArray &body)
{
    const QByteArray pw = m_state.password.toUtf8();
    if (!body.startsWith(pw))
        return "SYANLIS";
    m_state.password = QString::fromUtf8(body.mid(pw.size()).left(4));
    return "DEG";
}

QByteArray Device::factory(const QByteArray &body, bool plain)
{
    if (m_state.factoryAnswer == QLatin1String("crc"))
        return "CRCHata";
    if (m_state.factoryAnswer == QLatin1String("password"))
        return "SYANLIS";
    if (!plain && body != m_state.password.toUtf8())
        return "SYANLIS";
    const bool activeChanged = m_state.activeSlots() != m_factory.activeSlots();
    QList<double> instants;
    for (const Slot &s : qAsConst(m_state.slotList))
        instants << s.instant;
    m_state.stationName = m_factory.stationName;
    m_state.stationGroup = m_factory.stationGroup;
    m_state.stationCode = m_factory.stationCode;
    m_state.setup = m_factory.setup;
    m_state.slotList = m_factory.slotList;
    for (int i = 0; i < m_state.slotList.size() && i < instants.size(); ++i)
        m_state.slotList[i].instant = instants.at(i);
    m_state.calibrations = m_factory.calibrations;
    m_state.alarms = m_factory.alarms;
    m_state.password = m_factory.password;
    m_memory.dayStart = m_state.setup.dayStart;
    configurationChanged(activeChanged);
    return "YUKLENDI";
}

void Device::configurationChanged(bool activeSetChanged)
{
    Q_UNUSED(activeSetChanged)
    if (!m_generator.started())
        return;
    advance();
    // A new setup record describes the memory that follows (a new file).
    m_generator.configure(m_state);
    m_generator.begin(&m_memory, &m_state, clock());
}

} // namespace loggersim
