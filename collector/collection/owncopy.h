#pragma once

#include <QString>

// A copy of a worker's text made on the thread that keeps it. Kept as it
// came, the text stays in the worker's allocator arena: one short string
// pins a page there, and as the visits go round the pinned pages spread
// and the resident size creeps up.
inline QString ownCopy(const QString &text)
{
    return text.isNull() ? QString() : QString(text.constData(), text.size());
}
