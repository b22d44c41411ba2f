#pragma once

// The QARTOD tests written out again from their definitions, and a river
// series with known events, to check the product's flags against.

#include "collection/qartodflags.h"

#include <QDateTime>
#include <QRandomGenerator>
#include <QVector>

#include <algorithm>
#include <cmath>
#include <vector>

namespace qartodref {

using Point = QartodFlags::Point;
using Result = QartodFlags::Result;

inline const QString allTests =
    QStringLiteral("gross=-1,10;user=0,8;spike=0.3,0.6;roc=3,1h;flat=0.001,2h,6h");

// The tests written out again from their definitions, one value at a time
// over the whole series, to check the product's flags against.
struct Reference
{
    QartodFlags::Settings c;
    QVector<Point> s;

    bool missing(int i) const { return s[i].missing || !std::isfinite(s[i].value); }

    quint8 flat(int i, qint64 period) const
    {
        // Flat for the period: the latest value at least the period old and
        // every value after it lie within the tolerance, none missing.
        int j = -1;
        for (int k = 0; k < i; ++k)
            if (s[k].minute <= s[i].minute - period)
                j = k;
        if (j < 0)
            return false;
        for (int k = j; k < i; ++k)
            if (missing(k) || std::fabs(s[k].value - s[i].value) > c.flatTolerance)
                return false;
        return true;
    }

    Result at(int i) const
    {
        Result r;
        if (missing(i)) {
            r.gross = r.spike = r.roc = r.flat = r.flag = 9;
            return r;
        }
        const double x = s[i].value;
        if (c.gross || c.user) {
            r.gross = 1;
            if (c.user && (x < c.userMin || x > c.userMax))
                r.gross = 3;
            if (c.gross && (x < c.sensorMin || x > c.sensorMax))
                r.gross = 4;
        }
        r.waits = c.spike && i > 0 && !missing(i - 1) && i + 1 == s.size();
        if (c.spike && i > 0 && i + 1 < s.size() && !missing(i - 1) && !missing(i + 1)) {
            const double d = std::fabs(x - 0.5 * (s[i - 1].value + s[i + 1].value));
            r.spike = d > c.spikeFail ? 4 : (d > c.spikeSuspect ? 3 : 1);
        }
        if (c.roc && i > 0 && !missing(i - 1)) {
            std::vector<double> w;
            for (int k = 0; k < s.size(); ++k)
                if (!missing(k) && s[k].minute >= s[i].minute - c.rocWindow && s[k].minute < s[i].minute)
                    w.push_back(s[k].value);
            if (w.size() >= 2) {
                double mean = 0, var = 0;
                for (double v : w)
                    mean += v / w.size();
                for (double v : w)
                    var += (v - mean) * (v - mean) / (w.size() - 1);
                r.roc = std::fabs(x - s[i - 1].value) > c.rocDeviations * std::sqrt(var) ? 3 : 1;
            }
        }
        if (c.flat)
            r.flat = flat(i, c.flatFail) ? 4 : (flat(i, c.flatSuspect) ? 3 : 1);
        QVector<quint8> ran;
        for (quint8 t : {r.gross, r.spike, r.roc, r.flat})
            if (t != 2)
                ran << t;
        r.flag = ran.contains(9) ? 9 : (ran.isEmpty() ? 2 : *std::max_element(ran.begin(), ran.end()));
        return r;
    }
};

// A river level every 10 minutes with noise, and marked events.
inline QVector<Point> riverSeries()
{
    QRandomGenerator rng(43);
    QVector<Point> s;
    qint64 t = 29000000; // some minute in 2025
    for (int i = 0; i < 700; ++i, t += 10) {
        if (i == 300)
            t += 120; // records lost: a two-hour hole
        double v = 2.0 + 0.5 * std::sin(i / 40.0) + (rng.bounded(1000) - 500) / 20000.0;
        if (i >= 400)
            v += 0.5; // a step the rate of change catches
        if (i >= 500 && i < 550)
            v = 2.345; // stuck sensor: suspect after 2 h, fail after 6 h
        if (i == 100)
            v += 1.0; // spike: fail
        if (i == 150)
            v += 0.45; // spike: suspect
        if (i == 200)
            v = 9.0; // outside the operator limits
        if (i == 250)
            v = -5.0; // outside the sensor limits
        if (i >= 299 && i <= 330)
            v = 2.222; // stuck again, across the hole
        if (i == 350 || i == 351 || i == 545 || i == 600)
            v = -9999.0; // sensor errors; the one at 545 ends a flat line
        s.append(QartodFlags::point(QDateTime::fromSecsSinceEpoch(t * 60, Qt::UTC), v));
    }
    return s;
}

} // namespace qartodref
