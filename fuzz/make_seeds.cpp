// Writes the seed corpus: one valid reply of every kind the host decodes,
// with checksum repair on, and two downloads as whole conversations.

#include "fuzzframe.h"

#include <QDir>
#include <QFile>

#include <cstdio>

namespace {

bool write(const QString &dir, const QString &name, char mode, const QByteArray &frame)
{
    QFile file(dir + '/' + name);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QByteArray input(1, mode);
    for (int at = 0; at < frame.size(); at += 255) {
        const QByteArray part = frame.mid(at, 255);
        input += char(part.size()) + part;
    }
    return file.write(input) == input.size();
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_seeds DIR\n");
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(dir);
    const QByteArray station = "Kuru Dere\x02"
                               "02-14-003\x02"
                               "D14";
    QList<QByteArray> setup = {"Kuru Dere",
                               "02-14-003",
                               "D14",
                               "05/12/26 14:30:15",
                               "12.6V",
                               "110000000",
                               "Level:",
                               "1.5",
                               "m",
                               "Rain:",
                               "0.2",
                               "mm",
                               "04/12/26 10:15 9",
                               "04/12/26 11:00 1",
                               "04/12/26 10:15 3",
                               "04/12/26 11:00 0",
                               "10700",
                               "30",
                               "5",
                               "1",
                               "7"};
    QList<QByteArray> names = {"Kuru Dere", "02-14-003", "D14", "110000000"};
    for (int i = 0; i < 9; ++i)
        names << "15";
    for (int i = 0; i < 9; ++i)
        names << "Name" + QByteArray::number(i) + char(33 + i);
    names << "100000000010000001";
    QList<QByteArray> calibrations = {"Kuru Dere", "02-14-003", "D14"};
    for (int i = 0; i < 9; ++i)
        calibrations << "m";
    for (int i = 0; i < 25; ++i)
        calibrations << QByteArray::number(i) + ".5";
    calibrations << "12345"
                 << "6.25"
                 << "7.75"
                 << "01"
                 << "10110";
    QList<QByteArray> alarms = {"5.5",
                                "1.5",
                                "6",
                                "2",
                                "0",
                                "-1",
                                "7.25",
                                "3",
                                "01/12/26 08:30 12.75",
                                "00/00/00 00:00",
                                "00/00/00 00:00",
                                "02/12/26 09:00 8",
                                "00/00/00 00:00",
                                "03/12/26 10:00 0.5",
                                "00/00/00 00:00",
                                "00/00/00 00:00",
                                "10101010134"};
    for (int i = 0; i < 8; ++i)
        alarms << "1.0";
    const QByteArray block = QByteArray("\x00\x00\x00", 3) +
                             QByteArray("\xFA\xFA\xFA\x01\x12\x26\x00\x00", 8) +
                             QByteArray("\x00\x00\x0A\xA1\x3F\x80\x00\x00\xA2\x40\x00\x00\x00", 13) +
                             QByteArray(40, '\xFF') + QByteArray(1, '\0');
    // Mode: bit 0 repairs checksums, bits 1-3 choose the request waiting for
    // its reply (0 a download, 1 names, 2 identity, 3 instant values,
    // 4 calibrations, 5 file information, 6 alarms, 7 an upload).
    const QByteArray setupReply = fuzzframe::reply("PAR", setup);
    const QByteArray filesReply =
        fuzzframe::reply("DOS", {"2", "01/11/26 00:00", "3", "100", "00/00/00 00:00", "7", "0", "9", "12"});
    const QByteArray namesReply = fuzzframe::reply("RKL", names);
    const QByteArray calibrationsReply = fuzzframe::reply("KOK", calibrations);
    // A download answers the setup, file, calibration and name requests first.
    const QByteArray chain = setupReply + filesReply + calibrationsReply + namesReply;
    bool ok = write(dir, "identity", 0x05, fuzzframe::reply("KML", {station, "x"})) &&
              write(dir, "instant", 0x07,
                    fuzzframe::reply("ANL", {"Kuru Dere", "1-2-3", "D14", "05/12/26 14:30:15", "12.6V", "101",
                                             "A:", "1", "m", "B:", "2", "C"})) &&
              write(dir, "files", 0x0B, filesReply) && write(dir, "setup", 0x01, setupReply) &&
              write(dir, "names", 0x03, namesReply) && write(dir, "calibrations", 0x09, calibrationsReply) &&
              write(dir, "alarms", 0x0D, fuzzframe::reply("ALR", alarms)) &&
              write(dir, "answer", 0x0F, fuzzframe::reply("CEV", {"YUKLENDI    "})) &&
              write(dir, "block", 0x00, chain + fuzzframe::reply("VER", {block})) &&
              write(dir, "bitti", 0x00, chain + fuzzframe::reply("VER", {QByteArray("\0\0\0BITTI\0", 9)}));
    return ok ? 0 : 1;
}
