#pragma once

// User input as a window receives it.

#include <QtTest>

// A double click as the mouse makes it: press, release, double-click event,
// release (QTest::mouseDClick sends the double-click event alone, which item
// views take for a first press).
inline void doubleClick(QWidget *widget, const QPoint &pos)
{
    QTest::mousePress(widget, Qt::LeftButton, Qt::NoModifier, pos);
    QTest::mouseRelease(widget, Qt::LeftButton, Qt::NoModifier, pos);
    QTest::mouseDClick(widget, Qt::LeftButton, Qt::NoModifier, pos);
    QTest::mouseRelease(widget, Qt::LeftButton, Qt::NoModifier, pos);
}

// The child widget called name, which the window under test must have.
template<class T> T *namedChild(QWidget &parent, const char *name)
{
    T *widget = parent.findChild<T *>(QLatin1String(name));
    if (!widget)
        qFatal("no widget %s", name);
    return widget;
}
