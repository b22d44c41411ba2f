#pragma once

#include <QByteArray>
#include <QString>

// A compound file (version 3, 512-byte sectors) holding one stream under the
// root storage. The stream is zero-padded to 4096 bytes so that it never
// lands in the mini stream, which then need not be written at all.
class CompoundFile
{
public:
    static QByteArray build(const QString &streamName, QByteArray stream);
};
