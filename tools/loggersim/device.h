#pragma once

// The simulated device: configuration (the scenario, changed by uploads),
// memory, clock, and the answer to each request. No networking here.

#include "memory.h"
#include "requestparser.h"
#include "scenario.h"

#include <QByteArray>
#include <QDateTime>
#include <QElapsedTimer>

#include <functional>

namespace loggersim {

struct Reply
{
    QByteArray bytes;       // empty: no answer
    QByteArray code;        // reply code ("KML", "VER", "CEV", ...)
    bool dataBlock = false; // a VER frame carrying memory (not the end marker)
    QByteArray note;        // for the request log ("YUKLENDI", "BITTI", ...)
};

class Device
{
public:
    // speed: simulated seconds per real second (0 freezes the clock).
    explicit Device(const Scenario &scenario, double speed = 1.0);

    // Milliseconds of real time; tests replace it to drive the clock.
    std::function<qint64()> realMs;

    QDateTime clock() const;
    void setClock(const QDateTime &t);
    // Appends the records whose time the simulated clock has passed.
    void advance();

    Reply handle(const Request &request, bool corruptCrc = false);

    const Scenario &state() const { return m_state; }
    Scenario &mutableState() { return m_state; }
    const Memory &memory() const { return m_memory; }
    QList<FileEntry> files() const;
    QByteArray ident() const;

private:
    Reply frame(const char *code, const QByteArray &payload, bool corrupt);
    Reply answer(const QByteArray &word, bool corrupt);
    Reply block(const QByteArray &body, bool corrupt);
    Reply upload(const Request &request, bool corrupt);
    // Each returns the answer word: YUKLENDI, SYANLIS, CRCHata, DEG.
    QByteArray uploadSetup(const QByteArray &body);
    QByteArray uploadNames(const QByteArray &body);
    QByteArray uploadCalibrations(const QByteArray &body);
    QByteArray uploadAlarms(const QByteArray &body);
    QByteArray uploadPassword(const QByteArray &body);
    QByteArray factory(const QByteArray &body, bool plain);
    void configurationChanged(bool activeSetChanged);

    Scenario m_state;
    Scenario m_factory;
    Memory m_memory;
    MemoryGenerator m_generator;
    double m_speed = 1.0;
    QDateTime m_clockBase;
    qint64 m_realBase = 0;
};

} // namespace loggersim
