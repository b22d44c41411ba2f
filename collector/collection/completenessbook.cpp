#include "completenessbook.h"
#include "owncopy.h"

#include "collectorlogging.h"
#include "stationcompleteness.h"
#include "storethread.h"
#include "store/workfolder.h"

#include "nexil/files/gapfinder.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QMap>
#include <QSet>
#include <QThread>

#include <algorithm>
#include <limits>

namespace {

constexpr qint64 minutesPerDay = 1440;

qint64 minuteOf(const QDateTime &t)
{
    return t.date().toJulianDay() * minutesPerDay + t.time().hour() * 60 + t.time().minute();
}

using Key = QPair<qint64, int>; // Julian day, channel

// Adds n expected slots a, a + step, ... to the days they fall on.
void expect(QMap<Key, StationDayCounts::Count> &out, int channel, qint64 a, qint64 step, qint64 n)
{
    for (qint64 i = 0; i < n;) {
        const qint64 t = a + i * step;
        const qint64 day = t / minutesPerDay;
        // Slots left on this day.
        const qint64 dayEnd = (day + 1) * minutesPerDay;
        const qint64 onDay = qMin(n - i, (dayEnd - 1 - t) / step + 1);
        StationDayCounts::Count &c = out[{day, channel}];
        c.expected += onDay;
        i += onDay;
    }
}

} // namespace

CompletenessBook::CompletenessBook(QObject *parent) : QObject(parent)
{
    qRegisterMetaType<VisitReport>("VisitReport");
    // A year-long file takes about a second: two at most, beside the workers.
    pool.setMaxThreadCount(qBound(1, QThread::idealThreadCount() / 2, 2));
    states = StationDayCounts::loadStates();
}

CompletenessBook::~CompletenessBook()
{
    writePending();
    pool.clear();
    pool.waitForDone();
    // What is still out posts its result to this book.
    if (writer)
        writer->runAndWait([] {});
}

QVector<StationDayCounts::Count> CompletenessBook::countNew(const SavedValues &saved,
                                                            QHash<int, StationDayCounts::Mark> *marks)
{
    // Per channel in time order. Counted as the files would be: the slots
    // between two good values are expected (a sensor error's among them),
    // and every channel is expected up to the last time any value has.
    QHash<int, QVector<SavedValues::Value>> byChannel;
    const bool fresh = marks->isEmpty();
    qint64 first = std::numeric_limits<qint64>::max();
    qint64 end = std::numeric_limits<qint64>::min();
    for (const SavedValues::Value &v : saved.values) {
        if (!saved.steps.contains(v.channel))
            continue;
        const StationDayCounts::Mark mark = marks->value(v.channel, {std::numeric_limits<qint64>::min(), 0});
        // Counted already (a repeat of a saved download).
        if (v.minute <= mark.lastMinute)
            continue;
        byChannel[v.channel].append(v);
        first = qMin(first, v.minute);
        end = qMax(end, v.minute);
    }
    if (byChannel.isEmpty())
        return {};
    QMap<Key, StationDayCounts::Count> out;
    QSet<int> channels;
    for (auto it = saved.steps.constBegin(); it != saved.steps.constEnd(); ++it)
        channels.insert(it.key());
    for (auto it = marks->constBegin(); it != marks->constEnd(); ++it)
        channels.insert(it.key());
    for (const int channel : qAsConst(channels)) {
        QVector<SavedValues::Value> values = byChannel.value(channel);
        std::sort(values.begin(), values.end(), [](const SavedValues::Value &a, const SavedValues::Value &b) {
            return a.minute < b.minute;
        });
        const bool known = marks->contains(channel);
        StationDayCounts::Mark mark = marks->value(channel);
        const int step = saved.steps.value(channel, mark.step);
        if (step <= 0)
            continue;
        // Without a mark the channel starts where the first value of any
        // channel does, on a new station only.
        bool started = known;
        qint64 previous = mark.lastMinute;
        qint64 seen = std::numeric_limits<qint64>::min();
        for (const SavedValues::Value &v : qAsConst(values)) {
            // Each minute once; a good value and an error at one minute: good.
            if (v.minute == seen || v.sensorError)
                continue;
            if (started) {
                const int gapStep = mark.step > 0 ? mark.step : step;
                // Rounded, so a value a little off the grid fills its slot.
                const qint64 missing = (v.minute - previous + gapStep / 2) / gapStep - 1;
                if (missing > 0)
                    expect(out, channel, previous + gapStep, gapStep, missing);
            } else if (fresh) {
                const qint64 before = (v.minute - first) / step;
                if (before > 0)
                    expect(out, channel, v.minute - before * step, step, before);
            }
            StationDayCounts::Count &c = out[{v.minute / minutesPerDay, channel}];
            c.expected += 1;
            c.present += 1;
            previous = v.minute;
            seen = v.minute;
            started = true;
            mark.step = step;
        }
        if (!started) {
            if (!fresh)
                continue;
            // Nothing good at all: every slot from the first time on is missing.
            expect(out, channel, first, step, (end - first) / step + 1);
        } else if (end > previous) {
            expect(out, channel, previous + step, step, (end - previous) / step);
        }
        mark.step = step;
        mark.lastMinute = qMax(previous, end);
        marks->insert(channel, mark);
    }
    QVector<StationDayCounts::Count> counts;
    for (auto it = out.begin(); it != out.end(); ++it) {
        it->day = QDate::fromJulianDay(it.key().first);
        it->channel = it.key().second;
        counts.append(*it);
    }
    return counts;
}

CompletenessBook::Recount CompletenessBook::recountFiles(const QString &folder, const QString &prefix,
                                                         const QDateTime &now, int days)
{
    Recount result;
    const QDateTime since(now.date().addDays(1 - days), QTime(0, 0));
    const QStringList files = StationCompleteness::stationFiles(folder, prefix, since);
    if (files.isEmpty())
        return result;
    // The counts go on in the file written last.
    QFileInfo newest;
    for (const QString &path : files) {
        const QFileInfo info(path);
        if (!newest.exists() || info.lastModified() > newest.lastModified())
            newest = info;
    }
    result.state.file = newest.filePath();
    result.state.size = newest.size();
    result.state.modified = newest.lastModified().toMSecsSinceEpoch();
    GapFinder finder;
    // Values the logger holds but nobody has read yet are not missing, nor
    // are the days before a new station's first value.
    // A device clock ahead of the host's writes values past now: they count.
    finder.setRange(since, QDateTime());
    finder.setEdgesCount(false);
    if (!finder.run(files)) {
        result.error = finder.errorText();
        return result;
    }
    const QVector<GapFinder::ChannelFigures> &channels = finder.channels();
    for (const GapFinder::DayFigures &day : finder.days()) {
        for (int i = 0; i < channels.size(); ++i) {
            const qint64 present = day.present.value(i);
            const qint64 missing = day.missing.value(i);
            if (present + missing > 0)
                result.counts.append({day.date, channels.at(i).channel, present + missing, present});
        }
    }
    // Every channel was counted up to the last value of any (the holes
    // after a channel's own last value included).
    if (finder.to().isValid()) {
        for (const GapFinder::ChannelFigures &c : channels)
            result.state.marks.insert(c.channel, {minuteOf(finder.to()), c.interval});
    }
    return result;
}

void CompletenessBook::onVisitReport(VisitReport report)
{
    const SavedValues &saved = report.saved;
    if (saved.file.isEmpty())
        return;
    if (running.contains(report.id)) {
        // The recount may have read the file before this save: once more.
        if (!again.contains(report.id)) {
            DBStation station;
            station.id = report.id;
            const QFileInfo info(saved.file);
            station.file_path = info.path();
            station.file_name = info.fileName().section(QLatin1Char('_'), 0, -2);
            again.insert(report.id, station);
        }
        return;
    }
    DBStation station;
    station.id = report.id;
    const QFileInfo info(saved.file);
    station.file_path = info.path();
    // The file is PREFIX_ddMMyyyy.xml.
    station.file_name = info.completeBaseName().section(QLatin1Char('_'), 0, -2);
    auto found = states.find(report.id);
    if (found == states.end() && saved.sizeBefore < 0) {
        // A station's first file, and no other in the window: its values
        // are all there is to count.
        const QDateTime since(report.ended.date().addDays(1 - windowDays), QTime(0, 0));
        bool alone = false;
        if (saved.newestOther >= 0) {
            alone = saved.newestOther < since.toMSecsSinceEpoch();
        } else {
            const QStringList files =
                StationCompleteness::stationFiles(station.file_path, station.file_name, since);
            alone = files.size() == 1 && QFileInfo(files.first()) == info;
        }
        if (alone) {
            StationDayCounts::State fresh;
            fresh.file = ownCopy(saved.file);
            found = states.insert(report.id, fresh);
        }
    }
    // Someone else wrote the file, or the values went into another one.
    if (found == states.end() || found->file != saved.file || found->size != saved.sizeBefore ||
        found->modified != saved.modifiedBefore) {
        qCDebug(lcMonitor, "station %d counted again: %s", report.id,
                found == states.end()       ? "no counts yet"
                : found->file != saved.file ? "another file"
                                            : "the file changed");
        recount(station);
        return;
    }
    StationDayCounts::State next = *found;
    const QVector<StationDayCounts::Count> counts = countNew(saved, &next.marks);
    next.size = saved.sizeAfter;
    next.modified = saved.modifiedAfter;
    *found = next;
    // Stored with the others of this pass of the loop, in one transaction.
    StationDayCounts::Addition &a = pending[report.id];
    a.stationId = report.id;
    a.counts += counts;
    a.state = next;
    a.keepFrom = report.ended.isValid() ? report.ended.date().addDays(1 - windowDays) : QDate();
    if (!writeScheduled) {
        writeScheduled = true;
        QMetaObject::invokeMethod(this, &CompletenessBook::writePending, Qt::QueuedConnection);
    }
}

void CompletenessBook::writePending()
{
    writeScheduled = false;
    if (pending.isEmpty())
        return;
    const QList<StationDayCounts::Addition> additions = pending.values();
    pending.clear();
    // The stations whose counts the store did not take: counted from the
    // files once it takes them again.
    const auto store = [additions] {
        QList<int> refused;
        if (StationDayCounts::addAll(additions))
            return refused;
        qCWarning(lcMonitor, "completeness counts of %d stations not stored", int(additions.size()));
        for (const StationDayCounts::Addition &a : additions)
            refused.append(a.stationId);
        return refused;
    };
    if (!writer) {
        forget(store());
        return;
    }
    writer->post([this, store] {
        const QList<int> refused = store();
        if (!refused.isEmpty())
            QMetaObject::invokeMethod(
                this, [this, refused] { forget(refused); }, Qt::QueuedConnection);
    });
}

void CompletenessBook::forget(const QList<int> &ids)
{
    for (const int id : ids)
        states.remove(id);
}

bool CompletenessBook::prepareShare(const DBStation &station)
{
    if (!states.contains(station.id)) {
        qCDebug(lcMonitor, "station %d counted: no counts yet", station.id);
        recount(station);
        return false;
    }
    writePending();
    return true;
}

double CompletenessBook::storedShare(int stationId, const QDateTime &now) const
{
    qint64 expected = 0, present = 0;
    if (!StationDayCounts::window(stationId, now.date().addDays(1 - windowDays), &expected, &present) ||
        expected <= 0)
        return -1;
    return qMin(1.0, double(present) / double(expected));
}

double CompletenessBook::share(const DBStation &station, const QDateTime &now, QString *error)
{
    Q_UNUSED(error)
    if (!states.contains(station.id)) {
        qCDebug(lcMonitor, "station %d counted: no counts yet", station.id);
        recount(station);
        return -1;
    }
    qint64 expected = 0, present = 0;
    const QDate from = now.date().addDays(1 - windowDays);
    if (!StationDayCounts::window(station.id, from, &expected, &present))
        return -1;
    // What is still on its way to the store counts too.
    const auto waiting = pending.constFind(station.id);
    if (waiting != pending.constEnd()) {
        for (const StationDayCounts::Count &c : waiting->counts) {
            if (c.day >= from) {
                expected += c.expected;
                present += c.present;
            }
        }
    }
    if (expected <= 0)
        return -1;
    return qMin(1.0, double(present) / double(expected));
}

void CompletenessBook::recount(const DBStation &station)
{
    if (running.contains(station.id)) {
        again.insert(station.id, station);
        return;
    }
    startRecount(station);
}

void CompletenessBook::startRecount(const DBStation &station)
{
    running.insert(station.id);
    const QString folder = WorkFolder::stationDir(station.file_path);
    const QString prefix = station.file_name;
    const int id = station.id;
    const int days = windowDays;
    pool.start([this, folder, prefix, id, days] {
        const Recount result = recountFiles(folder, prefix, QDateTime::currentDateTime(), days);
        // The book waits for the pool before it goes, so it is still here.
        QMetaObject::invokeMethod(
            this, [this, id, result] { onRecounted(id, result); }, Qt::QueuedConnection);
    });
}

void CompletenessBook::onRecounted(int id, const Recount &result)
{
    running.remove(id);
    // Counted before the recount began: the files it read hold them.
    pending.remove(id);
    bool ok = result.error.isEmpty();
    if (!ok) {
        qCWarning(lcMonitor, "completeness of station %d not counted: %s", id, qUtf8Printable(result.error));
        emit recounted(id, false);
    } else if (writer) {
        // Known from now on: the visits that follow go on from these counts.
        states.insert(id, result.state);
        writer->post([this, id, result] {
            const bool stored = StationDayCounts::replace(id, result.counts, result.state);
            QMetaObject::invokeMethod(
                this,
                [this, id, stored] {
                    if (!stored)
                        forget({id});
                    emit recounted(id, stored);
                },
                Qt::QueuedConnection);
        });
    } else {
        ok = StationDayCounts::replace(id, result.counts, result.state);
        if (ok)
            states.insert(id, result.state);
        emit recounted(id, ok);
    }
    const auto next = again.find(id);
    if (next != again.end()) {
        const DBStation station = *next;
        again.erase(next);
        startRecount(station);
    }
}

bool CompletenessBook::waitForRecounts(int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!running.isEmpty() && !deadline.hasExpired()) {
        pool.waitForDone(10);
        QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    }
    return running.isEmpty();
}
