#pragma once

#include "VisitAge.h"

#include <span>
#include <string>
#include <vector>

// The two warnings read from a patient's visits: an early adiposity rebound (the index rising
// again before 6 years of age, a sign of later obesity) and a change of result band between the
// two latest visits. The records store each patient's alerts and recompute them only when that
// patient changes: a new or changed rule also needs a schema step that recomputes them all
// (records/Schema.cpp), or stored bases keep the old rule's alerts.
namespace vimora {

/// One visit as stored: the age and the index as the window showed them, read back as numbers.
struct TrajectoryPoint {
    Date date;
    double age = 0;
    double index = 0;
    std::string result;       ///< the band text ("Corpulence normale.")
    bool implausible = false; ///< kept by the clinician, but no alert rests on it
};

enum class AlertKind { EarlyAdiposityRebound, ResultChange };

struct TrajectoryAlert {
    AlertKind kind;
    std::string title;  ///< "Rebond d'adiposité précoce", "Changement de classe"
    std::string detail; ///< French sentence with the figures behind the alert
};

inline constexpr const char* kEarlyReboundTitle = "Rebond d'adiposité précoce";
inline constexpr const char* kResultChangeTitle = "Changement de classe";

/// The alerts of one patient, rebound first. The visits may come in any order; visits of one
/// date keep their given order (the later one given is the later visit). Implausible visits are
/// left out, and an alert whose visits would have included one says how many were.
std::vector<TrajectoryAlert> trajectoryAlerts(std::span<const TrajectoryPoint> visits, char decimalSeparator);

} // namespace vimora
