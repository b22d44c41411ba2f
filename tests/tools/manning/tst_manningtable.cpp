#include "manningtable.h"

#include <QtTest>
#include <cmath>

class tst_ManningTable : public QObject
{
    Q_OBJECT

private slots:
    void rowCountFollowsTheMaximum_data();
    void rowCountFollowsTheMaximum();
    void zeroMaximumGivesOneZeroRow_data();
    void zeroMaximumGivesOneZeroRow();
    void zeroSlopeCarriesNothing();
    void rectangleUsesSideSlopeOne();
    void midTableRowMatchesIndependentValues();
    void noBaseWidthStaysFinite();
};

void tst_ManningTable::rowCountFollowsTheMaximum_data()
{
    QTest::addColumn<double>("metres");
    QTest::addColumn<int>("rows");
    QTest::newRow("largest") << 5.0 << 501;
    QTest::newRow("whole centimetre kept") << 0.29 << 30;
    QTest::newRow("one centimetre") << 0.01 << 2;
    QTest::newRow("awkward float") << 1.13 << 114;
}

void tst_ManningTable::rowCountFollowsTheMaximum()
{
    QFETCH(double, metres);
    QFETCH(int, rows);
    ChannelParameters p;
    p.baseWidth = 1.0f;
    p.slope = 0.002f;
    p.limit = levelLimit(metres);
    const QVector<ManningRow> table = manningTable(p);
    QCOMPARE(table.size(), rows);
    QCOMPARE(table.last().level * 100.0f, float(rows - 1));
}

void tst_ManningTable::zeroMaximumGivesOneZeroRow_data()
{
    QTest::addColumn<float>("base");
    QTest::newRow("with base") << 1.5f;
    QTest::newRow("without base") << 0.0f;
}

void tst_ManningTable::zeroMaximumGivesOneZeroRow()
{
    QFETCH(float, base);
    ChannelParameters p;
    p.baseWidth = base;
    p.slope = 0.002f;
    p.limit = levelLimit(0.0);
    const QVector<ManningRow> table = manningTable(p);
    QCOMPARE(table.size(), 1);
    QCOMPARE(table[0].level, 0.0f);
    QCOMPARE(table[0].area, 0.0f);
    QCOMPARE(table[0].velocity, 0.0f);
    QCOMPARE(table[0].discharge, 0.0f);
}

void tst_ManningTable::zeroSlopeCarriesNothing()
{
    ChannelParameters p;
    p.baseWidth = 2.0f;
    p.sideSlope = 1.5f;
    p.slope = 0.0f;
    p.limit = levelLimit(2.0);
    const QVector<ManningRow> table = manningTable(p);
    QCOMPARE(table.size(), 201);
    for (const ManningRow &row : table) {
        QCOMPARE(row.velocity, 0.0f);
        QCOMPARE(row.discharge, 0.0f);
    }
    QVERIFY(table.last().area > 0.0f);
}

void tst_ManningTable::rectangleUsesSideSlopeOne()
{
    ChannelParameters p;
    p.baseWidth = 1.0f;
    p.sideSlope = 1.0f;
    p.slope = 0.002f;
    p.limit = levelLimit(1.0);
    const QVector<ManningRow> table = manningTable(p);
    QCOMPARE(table.size(), 101);
    QCOMPARE(table.last().level, 1.0f);
    QCOMPARE(table.last().area, 2.0f);
}

void tst_ManningTable::midTableRowMatchesIndependentValues()
{
    ChannelParameters p;
    p.baseWidth = 2.0f;
    p.sideSlope = 1.5f;
    p.roughness = 0.013f;
    p.slope = 0.002f;
    p.limit = levelLimit(3.0);
    const QVector<ManningRow> table = manningTable(p);
    QCOMPARE(table.size(), 301);

    // Trapezoid by the textbook: A = (b + z h) h, P = b + 2 h sqrt(1 + z^2).
    const double h = 1.37, b = 2.0, z = 1.5, n = 0.013, s = 0.002;
    const double area = (b + z * h) * h;
    const double perimeter = b + 2.0 * h * std::sqrt(1.0 + z * z);
    const double velocity = std::pow(area / perimeter, 2.0 / 3.0) / n * std::sqrt(s);
    const ManningRow &row = table.at(137);
    QVERIFY(std::abs(row.level - h) < 1e-6);
    QVERIFY2(std::abs(row.area - area) < 1e-4, qPrintable(QString::number(row.area)));
    QVERIFY2(std::abs(row.velocity - velocity) < 1e-4, qPrintable(QString::number(row.velocity)));
    QVERIFY2(std::abs(row.discharge - velocity * area) < 1e-3, qPrintable(QString::number(row.discharge)));
}

void tst_ManningTable::noBaseWidthStaysFinite()
{
    ChannelParameters p;
    p.baseWidth = 0.0f;
    p.sideSlope = 1.5f;
    p.slope = 0.01f;
    p.limit = levelLimit(0.5);
    const QVector<ManningRow> table = manningTable(p);
    for (const ManningRow &row : table) {
        QVERIFY(std::isfinite(row.velocity));
        QVERIFY(std::isfinite(row.discharge));
    }
    QVERIFY(table.last().discharge > 0.0f);
}

QTEST_APPLESS_MAIN(tst_ManningTable)
#include "tst_manningtable.moc"
