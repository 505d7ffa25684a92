/* trig_tables.h - sine and cosine of the whole degrees 0 to 1079, each rounded
 * to 4 decimal places. Three turns are stored so that an angle index plus a
 * half turn plus a few steps never needs a modulo. Index i is i degrees;
 * callers keep 0 <= i < kTrigTableSize. */
#ifndef KESRA_DRAW_TRIG_TABLES_H
#define KESRA_DRAW_TRIG_TABLES_H

namespace kesra {

constexpr int kTrigTableSize = 1080;

extern const double kSinDegrees[kTrigTableSize];
extern const double kCosDegrees[kTrigTableSize];

/* sin and cos of `degrees` from the tables; 0 <= degrees < kTrigTableSize. */
inline double table_sin(int degrees) { return kSinDegrees[degrees]; }
inline double table_cos(int degrees) { return kCosDegrees[degrees]; }

/* Any whole angle folded into the first turn of the tables (negative too). */
inline int fold_degrees(int degrees) {
    const int r = degrees % 360;
    return r < 0 ? r + 360 : r;
}

}  // namespace kesra

#endif
