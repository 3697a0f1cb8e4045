#pragma once

// The zone ground of the console tests and of the main window tests.

#include <string>

namespace consoletest {

// Three circle zones along one meridian, small to large, so their indexes are 0, 1, 2:
// A (500 m) at 55.00, B (700 m) at 55.10, C (900 m) at 55.20, all at 37.00 east.
// Between them lies zone-free ground.
struct Spot {
    double latitude;
    double longitude;
};
inline const Spot kInA{55.0, 37.0};
inline const Spot kInB{55.1, 37.0};
inline const Spot kInC{55.2, 37.0};
inline const Spot kOutside{55.05, 37.0};

inline std::string ZoneFileBytes() {
    return "1\t55.0\t37.0\t0\t A (R500)\r\n"
           "2\t55.1\t37.0\t0\t B (R700)\r\n"
           "3\t55.2\t37.0\t0\t C (R900)\r\n";
}

}  // namespace consoletest
