#pragma once

#include <QPair>
#include <QString>
#include <QVector>

// A channel's value alarms: a high and a low limit, each cleared only past
// its own clearing limit so a value hovering at the limit raises one alarm,
// and a rise limit (the value more than AMOUNT above the lowest value of
// the last PERIOD). Values are checked one by one in time order; a value
// flagged fail (4) or missing (9) is passed over, so a spike raises
// nothing. The state is plain data the store keeps between visits, so the
// next visit (by this or another collector) goes on from it.
class ValueAlarms
{
public:
    enum class Kind { High, Low, Rise };
    // "high", "low", "rise"
    static QString kindName(Kind kind);

    // Raised when the value is beyond the limit (above for high and rise,
    // below for low), cleared when it is beyond the clearing limit on the
    // other side. Times in minutes.
    struct Settings
    {
        bool high = false;
        double highLimit = 0, highClear = 0;
        bool low = false;
        double lowLimit = 0, lowClear = 0;
        bool rise = false;
        double riseLimit = 0, riseClear = 0;
        qint64 risePeriod = 0;

        bool isEmpty() const { return !high && !low && !rise; }
        bool operator==(const Settings &o) const;
        bool operator!=(const Settings &o) const { return !(*this == o); }

        // "high=LIMIT[,CLEAR];low=LIMIT[,CLEAR];rise=AMOUNT,PERIOD[,CLEAR]",
        // items in any order, each optional. A missing clearing limit is the
        // limit itself (high, low) or half the amount (rise); the period as
        // "30m", "1h" or "1d". False with *error (English, naming the bad
        // item) for anything else; *settings is then unchanged.
        static bool parse(const QString &text, Settings *settings, QString *error);
        QString toText() const;
    };

    struct Event
    {
        Kind kind = Kind::High;
        bool raised = true; // false: cleared
        qint64 minute = 0;  // the value's time, minutes since 1970 on the device's clock
        double value = 0;
        // The limit passed: the alarm limit when raised, the clearing limit
        // when cleared; not a number when the alarm's setting was removed.
        double limit = 0;
    };

    struct State
    {
        struct Alarm
        {
            bool active = false;
            qint64 since = 0; // the time of the value that raised it
            double value = 0; // ... and that value
        };
        Alarm high, low, rise;
        bool checked = false; // a value was checked; lastMinute is its time
        qint64 lastMinute = 0;
        // The values of the last rise period, oldest first.
        QVector<QPair<qint64, double>> recent;

        const Alarm &alarm(Kind kind) const;
        Alarm &alarm(Kind kind);
        bool anyActive() const { return high.active || low.active || rise.active; }
        bool operator==(const State &o) const;

        // Compact JSON; fromJson() reads it back equal.
        QString toJson() const;
        // False with *error for a text that is not such a state; *state
        // is then unchanged. An empty text is the state of no value checked.
        static bool fromJson(const QString &text, State *state, QString *error);
    };

    ValueAlarms() = default;
    explicit ValueAlarms(const Settings &settings) : m_settings(settings) {}
    ValueAlarms(const Settings &settings, const State &state) : m_settings(settings), m_state(state) {}
    const Settings &settings() const { return m_settings; }
    const State &state() const { return m_state; }

    // Checks the next value. A value not newer than the last one checked
    // (a late one) is passed over, as are values flagged 4 or 9 and values
    // that are no number: no event, no change of state.
    QVector<Event> check(qint64 minute, double value, quint8 flag);

private:
    void checkLimit(Kind kind, bool on, bool beyond, bool back, double limit, double clear, qint64 minute,
                    double value, QVector<Event> *events);

    Settings m_settings;
    State m_state;
};
