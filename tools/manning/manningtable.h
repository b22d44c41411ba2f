#pragma once

#include <QVector>

// One row of a level-versus-discharge table. Everything is single precision,
// as the loggers that consume these tables work in float.
struct ManningRow
{
    float level = 0.0f;     // metres
    float area = 0.0f;      // m2
    float velocity = 0.0f;  // m/s
    float discharge = 0.0f; // m3/s
};

struct ChannelParameters
{
    float baseWidth = 0.0f;   // b, metres
    float sideSlope = 1.0f;   // z, horizontal per vertical
    float roughness = 0.016f; // Manning n
    float slope = 0.0f;       // S, fraction (not percent)
    float limit = 0.0f;       // highest level in centimetres
};

// One row per centimetre from 0 up to the limit, the limit included when it
// falls on a whole centimetre.
QVector<ManningRow> manningTable(const ChannelParameters &p);

// The limit in centimetres for a maximum level in metres, rounded the way
// the table loop compares it.
float levelLimit(double maxLevelMetres);
