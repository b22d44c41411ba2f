#include "nexil/excel/xlsdrawing.h"

#include "nexil/excel/biffstream.h"
#include "nexil/excel/workbook.h"

#include <QCryptographicHash>
#include <algorithm>
#include <cmath>

namespace {

// Drawing records of the shapes layer.
enum ArtId : quint16 {
    DggContainer = 0xF000,
    BStoreContainer = 0xF001,
    DgContainer = 0xF002,
    SpgrContainer = 0xF003,
    SpContainer = 0xF004,
    FDGG = 0xF006,
    FBSE = 0xF007,
    FDG = 0xF008,
    FSPGR = 0xF009,
    FSP = 0xF00A,
    FOPT = 0xF00B,
    ClientAnchor = 0xF010,
    ClientData = 0xF011,
    BlipPNG = 0xF01E,
    SplitMenuColors = 0xF11E,
};
const quint16 kContainer = 0x000F;
const int kShapeType = 75; // picture frame
const int kClusterShapes = 1024;
const int kDefaultRowPixels = 17;    // 12.75 points
const int kDefaultColumnPixels = 64; // 8.43 characters

int columnPixelsOf(const Worksheet &s, int col)
{
    const auto it = s.columnWidths().find(col);
    return it == s.columnWidths().end() ? kDefaultColumnPixels : biff::columnPixels(it->second);
}

bool pngSize(const QByteArray &png, int *width, int *height)
{
    if (png.size() < 24)
        return false;
    *width = int(qFromBigEndian<quint32>(png.constData() + 16));
    *height = int(qFromBigEndian<quint32>(png.constData() + 20));
    return *width > 0 && *height > 0;
}

} // namespace

quint32 XlsDrawing::shapeId(int index, int shape) const
{
    return quint32((m_firstCluster[index] + shape / kClusterShapes) * kClusterShapes +
                   shape % kClusterShapes);
}

XlsDrawing::XlsDrawing(const Workbook &book) : m_book(book)
{
    m_drawingOf.fill(0, m_book.sheetCount());
    m_firstCluster.fill(0, m_book.sheetCount());
    m_uses.fill(0, m_book.pictureCount());
    biff::Stream clusterList;
    for (int i = 0; i < m_book.sheetCount(); ++i) {
        const QVector<Worksheet::Picture> &pictures = m_book.sheet(i)->pictures();
        if (pictures.isEmpty())
            continue;
        for (const Worksheet::Picture &p : pictures)
            ++m_uses[p.id];
        m_drawingOf[i] = ++m_drawings;
        m_firstCluster[i] = m_clusterCount + 1;
        // The group shape and the pictures, 1,024 shape ids per cluster.
        const int n = pictures.size() + 1;
        for (int used = n; used > 0; used -= kClusterShapes) {
            clusterList.u32(quint32(m_drawings));
            clusterList.u32(quint32(std::min(used, kClusterShapes)));
            ++m_clusterCount;
        }
        m_shapes += n;
        m_spidMax = shapeId(i, n - 1) + 1;
    }
    m_clusters = clusterList.b;
}

void XlsDrawing::writeGroup(biff::Stream &s) const
{
    if (m_drawings == 0)
        return;

    QVector<QByteArray> blips;
    int bstoreLength = 0;
    for (int k = 0; k < m_book.pictureCount(); ++k) {
        const QByteArray &png = m_book.picture(k);
        const QByteArray uid = QCryptographicHash::hash(png, QCryptographicHash::Md5);
        biff::Stream b;
        b.art(2, 6, FBSE, quint32(36 + 8 + 17 + png.size()));
        b.u8(6); // PNG
        b.u8(6);
        b.b.append(uid);
        b.u16(0x00FF);
        b.u32(quint32(8 + 17 + png.size()));
        b.u32(quint32(m_uses[k]));
        b.u32(0); // the picture follows here, not in a separate stream
        b.u32(0);
        b.art(0, 0x6E0, BlipPNG, quint32(17 + png.size()));
        b.b.append(uid);
        b.u8(0xFF);
        b.b.append(png);
        bstoreLength += b.b.size();
        blips.append(b.b);
    }
    biff::Stream a;
    const int dggLength = 8 + 16 + m_clusters.size() + 8 + bstoreLength + 8 + 18 + 8 + 16;
    a.art(kContainer, 0, DggContainer, quint32(dggLength));
    a.art(0, 0, FDGG, quint32(16 + m_clusters.size()));
    a.u32(m_spidMax);
    a.u32(quint32(m_clusterCount + 1));
    a.u32(quint32(m_shapes));
    a.u32(quint32(m_drawings));
    a.b.append(m_clusters);
    a.art(kContainer, quint16(m_book.pictureCount()), BStoreContainer, quint32(bstoreLength));
    for (const QByteArray &b : blips)
        a.b.append(b);
    // Default shape properties: text fitting, fill and line colours.
    a.art(3, 3, FOPT, 18);
    a.u16(0x00BF);
    a.u32(0x00080008);
    a.u16(0x0181);
    a.u32(0x08000041);
    a.u16(0x01C0);
    a.u32(0x08000040);
    a.art(0, 4, SplitMenuColors, 16);
    for (quint32 c : {0x0800000Du, 0x0800000Cu, 0x08000017u, 0x100000F7u})
        a.u32(c);
    s.record(biff::MSODRAWINGGROUP, a.b);
}
void XlsDrawing::writeSheet(biff::Stream &s, int index) const
{
    const Worksheet &sheet = *m_book.sheet(index);
    const QVector<Worksheet::Picture> &pictures = sheet.pictures();
    if (pictures.isEmpty() || m_drawingOf.value(index) == 0)
        return;
    const int n = pictures.size();
    const quint32 spLength = 16 + 14 + 26 + 8;
    const quint32 spgrLength = 48 + quint32(n) * (8 + spLength);
    for (int i = 0; i < n; ++i) {
        const Worksheet::Picture &p = pictures[i];
        biff::Stream a;
        if (i == 0) {
            // The drawing and its group shape open the first record; their
            // lengths cover every picture's records.
            a.art(kContainer, 0, DgContainer, 16 + 8 + spgrLength);
            a.art(0, quint16(m_drawingOf[index]), FDG, 8);
            a.u32(quint32(n + 1));
            a.u32(shapeId(index, n));
            a.art(kContainer, 0, SpgrContainer, spgrLength);
            a.art(kContainer, 0, SpContainer, 40);
            a.art(1, 0, FSPGR, 16);
            for (int k = 0; k < 4; ++k)
                a.u32(0);
            a.art(2, 0, FSP, 8);
            a.u32(shapeId(index, 0));
            a.u32(0x0005); // group, patriarch
        }
        a.art(kContainer, 0, SpContainer, spLength);
        a.art(2, kShapeType, FSP, 8);
        a.u32(shapeId(index, i + 1));
        a.u32(0x0A00); // has an anchor and a shape type
        a.art(3, 1, FOPT, 6);
        a.u16(0x4104); // the picture: an entry of the store, from 1
        a.u32(quint32(p.id + 1));

        // The anchor: the cell of the top left corner and where the bottom
        // right one falls, in 1/1024 of a column and 1/256 of a row.
        int width = 0, height = 0;
        pngSize(m_book.picture(p.id), &width, &height);
        int x = int(std::lround(width * p.scale)), col = p.col;
        while (col < 255 && columnPixelsOf(sheet, col) <= x) {
            x -= columnPixelsOf(sheet, col);
            ++col;
        }
        const int colPixels = std::max(1, columnPixelsOf(sheet, col));
        const int y = int(std::lround(height * p.scale));
        const int row = std::min(65535, p.row + y / kDefaultRowPixels);
        a.art(0, 0, ClientAnchor, 18);
        a.u16(0);
        a.u16(quint16(p.col));
        a.u16(0);
        a.u16(quint16(p.row));
        a.u16(0);
        a.u16(quint16(col));
        a.u16(quint16(std::min(1023, x * 1024 / colPixels)));
        a.u16(quint16(row));
        a.u16(quint16((y % kDefaultRowPixels) * 256 / kDefaultRowPixels));
        a.art(0, 0, ClientData, 0);
        s.record(biff::MSODRAWING, a.b);

        const int h = s.begin(biff::OBJ);
        s.u16(0x0015); // common data: a picture, its id, locked and printed
        s.u16(0x0012);
        s.u16(8);
        s.u16(quint16(i + 1));
        s.u16(0x6011);
        for (int k = 0; k < 3; ++k)
            s.u32(0);
        s.u16(0x0007); // clipboard format: none of the classic ones
        s.u16(2);
        s.u16(0xFFFF);
        s.u16(0x0008); // picture flags: an automatic picture
        s.u16(2);
        s.u16(0x0001);
        s.u32(0); // end
        s.end(h);
    }
}
