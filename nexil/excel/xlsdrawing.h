#pragma once

#include <QByteArray>
#include <QVector>

class Workbook;
namespace biff {
class Stream;
}

// The pictures of a workbook in the .xls drawing layer: the picture store
// (PNG) in the globals and, per sheet, a drawing with one picture shape and
// one OBJ record per picture.
class XlsDrawing
{
public:
    explicit XlsDrawing(const Workbook &book);
    // The drawing group; nothing when the book shows no picture.
    void writeGroup(biff::Stream &s) const;
    // The sheet's drawing records; nothing when it has no picture.
    void writeSheet(biff::Stream &s, int index) const;

private:
    quint32 shapeId(int index, int shape) const;

    const Workbook &m_book;
    QVector<int> m_drawingOf;    // per sheet: drawing id, 0 without pictures
    QVector<int> m_firstCluster; // per sheet: its first shape-id cluster
    QVector<int> m_uses;         // per picture: how many shapes show it
    QByteArray m_clusters;       // drawing id and ids used, per cluster
    int m_drawings = 0, m_clusterCount = 0, m_shapes = 0;
    quint32 m_spidMax = 0;
};
