#pragma once

// Decoding of a downloaded memory image into one DataFile: setup, time-stamp,
// measurement and daily-summary records. Pure: bytes and the device's current
// description in, a DataFile out; never reads past the image.

#include "nexil/nexil_global.h"
#include "nexil/protocol/catalogue.h"
#include "nexil/protocol/records.h"

#include <QByteArray>
#include <QDateTime>

// What the device reported about itself during the download chain.
struct MemoryDevice
{
    SetupParameters setup;
    ChannelNames names;
    ChannelCalibrations calibrations;
    int lastPage = 0;
    int lastBuffer = 0;
};

namespace memory {

// Record markers, three bytes at the start of a record.
constexpr long SetupMarker = 0xDDDDDD;
constexpr long TimeStampMarker = 0xFAFAFA;
constexpr long SummaryMarker = 0xF1F1F1;
constexpr int FirstChannelTag = 0xA1;

// Where an image ends. At the device's write position every record before the
// end is complete, however few entries it holds (a logger whose channels have
// different intervals writes only the channels due). Anywhere else a
// measurement record is only taken when a record of every channel fits.
enum class ImageEnd { Anywhere, WritePosition };

// `base` is the time relative minutes count from until the first time stamp;
// `now` becomes the file's last connection time. Values of records that
// start before `keepFrom` (a byte offset into the image) are read for their
// time stamps only: an image read from the start of memory to find the time
// base of a later position. The file's `timeBase` is the base in force at
// the end of the image.
NEXIL_EXPORT DataFile decode(const QByteArray &image, const MemoryDevice &device, const QDateTime &base,
                             const QDateTime &now, const Catalogue &catalogue,
                             ImageEnd end = ImageEnd::Anywhere, int keepFrom = 0);

// Five BCD bytes: day, month, two-digit year (century 20), hour, minute.
// Invalid when the bytes are missing or do not form a date.
NEXIL_EXPORT QDateTime bcdDateTime(const QByteArray &bytes);

// End of the hydrological day that a summary with its last maximum at `t`
// belongs to, for a day starting at `dayStartHour`.
NEXIL_EXPORT QDateTime dayEndStamp(const QDateTime &t, int dayStartHour);

} // namespace memory
