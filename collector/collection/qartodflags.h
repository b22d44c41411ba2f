#pragma once

#include <QDateTime>
#include <QString>
#include <QVector>

// Quality flags of a channel's values by the QARTOD real-time tests: gross
// range, spike, rate of change and flat line, on the QARTOD scale (1 pass,
// 2 not evaluated, 3 suspect, 4 fail, 9 missing). Pure: the caller hands in
// the values, with those before a visit as history, and stores the flags.
//
// The rules, for the value x(n) at time t(n) among the series in time order
// (x(n-1) and x(n+1) are its neighbours in the series, however far apart in
// time: a hole in the records is not a missing value):
// - gross range: outside the sensor limits 4, else outside the operator
//   limits 3, else 1 (limits themselves pass);
// - spike: |x(n) - (x(n-1) + x(n+1)) / 2| above the fail threshold 4, above
//   the suspect threshold 3, else 1; 2 while x(n+1) has not arrived or a
//   neighbour is missing, so the newest value is re-flagged by its successor;
// - rate of change: |x(n) - x(n-1)| above N sample standard deviations of
//   the values in [t(n) - window, t(n)) is 3, else 1; 2 when x(n-1) is
//   missing or the window holds fewer than two values;
// - flat line: the run of values before x(n) within the tolerance of x(n),
//   unbroken by a missing value, reaching back the fail time 4, the suspect
//   time 3, else 1.
// A missing value (sensor error, not a number) is 9 in every test. The
// aggregate is the worst result: 9 before 4 before 3 before 1; 2 only when
// no test ran.
class QartodFlags
{
public:
    enum Flag : quint8 { Pass = 1, NotEvaluated = 2, Suspect = 3, Fail = 4, Missing = 9 };

    // Each test is on when its flag is set. Times in minutes.
    struct Settings
    {
        bool gross = false;
        double sensorMin = 0, sensorMax = 0;
        bool user = false;
        double userMin = 0, userMax = 0;
        bool spike = false;
        double spikeSuspect = 0, spikeFail = 0;
        bool roc = false;
        double rocDeviations = 0;
        qint64 rocWindow = 0;
        bool flat = false;
        double flatTolerance = 0;
        qint64 flatSuspect = 0, flatFail = 0;

        bool isEmpty() const { return !gross && !user && !spike && !roc && !flat; }
        bool operator==(const Settings &o) const;
        bool operator!=(const Settings &o) const { return !(*this == o); }

        // "gross=MIN,MAX;user=MIN,MAX;spike=SUSPECT,FAIL;roc=N,WINDOW;
        //  flat=TOLERANCE,SUSPECT_TIME,FAIL_TIME", items in any order, each
        // optional; times as "30m", "2h" or "1d". An empty text turns every
        // test off. False with *error (English, naming the bad item) for
        // anything else; *settings is then unchanged.
        static bool parse(const QString &text, Settings *settings, QString *error);
        // The same form, items in the order above; parse() reads it back equal.
        QString toText() const;
    };

    struct Point
    {
        qint64 minute = 0; // minutes since 1970-01-01 00:00 of the device's clock
        double value = 0;
        bool missing = false; // the device's sensor error
        quint8 flag = 0;      // the stored aggregate flag, 0 when unknown (update() only)
    };
    // A value as the device gave it; sensor error codes, non-numbers and an
    // invalid time are missing, as is any value the caller knows to be an error.
    static Point point(const QDateTime &at, double value, bool sensorError = false);
    // A value as the store keeps it: a text that is no number is missing too.
    static Point point(qint64 minute, const QString &value);
    // The device's wall clock as minutes since 1970 (its zone ignored).
    static qint64 minuteOf(const QDateTime &at);
    // The store's "yyyy-MM-dd hh:mm" as minutes since 1970; false for any other text.
    static bool parseMinute(const QString &at, qint64 *minute);
    // A minute back as a date and time (UTC, the device's wall clock).
    static QDateTime dateTimeOf(qint64 minute);
    // "pass", "not evaluated", "suspect", "fail", "missing"; empty for other numbers.
    static QString flagName(quint8 flag);

    struct Result
    {
        quint8 gross = NotEvaluated;
        quint8 spike = NotEvaluated;
        quint8 roc = NotEvaluated;
        quint8 flat = NotEvaluated;
        quint8 flag = NotEvaluated; // the aggregate
        // The spike test waits for the next value: the flag may still get
        // worse, so alarms had better wait too (see Update::settled).
        bool waits = false;
        bool operator==(const Result &o) const
        {
            return gross == o.gross && spike == o.spike && roc == o.roc && flat == o.flat && flag == o.flag &&
                   waits == o.waits;
        }
    };
    // The worst of a value's test results by the rule above.
    static quint8 aggregate(const Result &result);

    QartodFlags() = default;
    explicit QartodFlags(const Settings &settings) : m_settings(settings) {}
    const Settings &settings() const { return m_settings; }

    // How far back a value's flags look (the longer of the rate-of-change
    // window and the flat line's fail time); 0 when only the previous
    // value matters.
    qint64 historyMinutes() const;

    // Flags every point of a series that is the channel's whole record over
    // its span; one result per point, in the order given. Points in time
    // order are expected; others are sorted first.
    QVector<Result> evaluate(const QVector<Point> &series) const;

    struct Changed
    {
        int index = 0; // into the stored points given
        Result result;
    };
    struct Update
    {
        QVector<Result> added;    // one per added point, in the order given
        QVector<Changed> changed; // stored points whose flag is now other than theirs
        // The newest stored point when it waited for its successor and has
        // one now: its final result, changed or not. Value alarms are best
        // checked on these, then on the added points that do not wait, in
        // time order, so that a spike is flagged before it could raise one.
        QVector<Changed> settled;
    };
    // Flags new (or late) values among the stored ones and re-flags the
    // stored values they are neighbours or history of. `stored` must hold
    // (in any order) every stored point from historyMinutes() before the
    // stored point preceding the first added one up to historyMinutes()
    // after the stored point following the last added one, and one more
    // point on either side; more never hurts. An added point at a time
    // already stored is not taken: its result is that of the stored one.
    Update update(const QVector<Point> &stored, const QVector<Point> &added) const;

private:
    // The results of s[i], s in time order.
    Result evaluateAt(const QVector<Point> &s, int i) const;

    Settings m_settings;
};
