#include "charttooltip.h"

#include <QDateTime>

QString chartToolTip(const QString &objectName, const QPointF &point)
{
    // The title ends at the first hyphen; the unit is what follows the last
    // " - ", so a hyphenated name does not show part of itself as the unit.
    const QString title = objectName.section(QLatin1Char('-'), 0, 0).simplified();
    const int separator = objectName.lastIndexOf(QLatin1String(" - "));
    const QString unit = separator >= 0 ? objectName.mid(separator + 3).simplified()
                                        : objectName.section(QLatin1Char('-'), 1, 1).simplified();
    const QString time =
        QDateTime::fromMSecsSinceEpoch(qRound64(point.x())).toString(QStringLiteral("dd.MM.yyyy hh:mm"));
    const QString value = QString::asprintf("%g", point.y());
    // One arg() call, so a title holding "%2" is not filled in again.
    return QStringLiteral(
               "<html>   <head>   </head>   <body>       <table border='0' "
               "style='width:100%;background-color: "
               "#f1f1c1;'>           <tr>               <td colspan='3' align='left' style='color: "
               "#ffffff;background: #1c6ea4;font-weight: bold;font-size: 15px;'>%1</td>           </tr>      "
               "     "
               "<tr>               <th align='left'>Tarih</th>               <th align='center'>:</th>       "
               "        "
               "<td>%2</td>           </tr>           <tr>               <th align='left'>Değer</th>         "
               "      "
               "<th align='center'>:</th>               <td>%3 %4</td>           </tr>       </table>   "
               "</table></html>")
        .arg(title, time, value, unit);
}
