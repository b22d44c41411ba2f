#pragma once

#include "nexil/excel/datalinereader.h"
#include "nexil/nexil_global.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>

// Follows a station's channels across its data files. A file's lines name a
// channel by its position among the device's active slots, and a change of
// setup shifts those positions; the files do not record the slot itself. A
// channel is therefore known by its code, name and unit: the n-th channel
// with the same three in one file is the n-th with them in every other.
//
// The numbers given out (and taken in selections) are the channels'
// positions in the newest file; a channel the newest file no longer lists
// gets a number after those, the newer files' channels first. With one file,
// or files of one setup, the numbers are the positions.
class NEXIL_EXPORT ChannelMap
{
public:
    struct Identity
    {
        int number = 0;
        QString code, name, unit; // as the newest file listing it has them
        int interval = 0;         // of the newest file listing it
        // Known only from lines naming a position their file does not list.
        bool unlisted = false;
    };

    // Data files ordered by the date in their names (NAME_ddMMyyyy.xml),
    // oldest first; names without such a date come first, as given.
    static QStringList byNameDate(const QStringList &paths);

    // Reads the files' headers, taking them as ordered oldest first. False,
    // with errorText(), when a file cannot be read or its header is not
    // well-formed.
    bool read(const QStringList &paths);
    // The same from headers already read, oldest first.
    void build(const QVector<report::Header> &headers);
    QString errorText() const { return m_error; }
    const QVector<report::Header> &headers() const { return m_headers; }

    // The number of the channel at `position` in file `file`; -1 when that
    // file does not list the position.
    int numberOf(int file, int position) const;
    // As numberOf, but a position the file does not list is given a number
    // of its own (one per position, shared by all files).
    int numberOrUnlisted(int file, int position);
    // The positions of file `file` whose channels have one of `numbers`.
    QVector<int> positionsOf(int file, const QVector<int> &numbers) const;

    // By number.
    QVector<Identity> identities() const;
    const Identity *identity(int number) const;

private:
    QString m_error;
    QVector<report::Header> m_headers;
    QVector<QHash<int, int>> m_numbers; // per file: position → number
    QHash<int, Identity> m_identities;  // number → identity
    QHash<int, int> m_unlisted;         // position → number
    int m_next = 0;
};
