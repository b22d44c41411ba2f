#pragma once

#include <QByteArray>
#include <QList>

// A modem's parameter answer: "PA" and the pieces separated by 0x02, ended
// by a carriage return.
inline QByteArray parameterAnswer(const QList<QByteArray> &pieces)
{
    QByteArray a("PA");
    for (int i = 0; i < pieces.size(); ++i) {
        if (i)
            a += '\x02';
        a += pieces[i];
    }
    return a + '\r';
}
