#include "TrajectoryAlerts.h"

#include "Measures.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string>

namespace vimora {

namespace {

// The rebound is looked for in the visits from 1 year to 8 years of age; it is early when the
// lowest index comes before 6 years and a later visit of the range is at least 0,5 above it.
constexpr double kReboundFromAge = 1;
constexpr double kReboundBeforeAge = 8;
constexpr double kEarlyReboundAge = 6;
constexpr long long kReboundRise = 50; // hundredths of an index point
constexpr std::size_t kReboundMinimumVisits = 3;

// Indexes are shown with two decimals at most: compared in hundredths, 0,5 above is exact.
long long hundredths(double index) {
    return std::llround(index * 100);
}

std::string frenchDate(Date date) {
    std::array<char, 16> text{};
    std::snprintf(text.data(), text.size(), "%02u/%02u/%04d", unsigned(date.day()), unsigned(date.month()),
                  int(date.year()));
    return text.data();
}

// Said after an alert's figures when implausible visits would have counted in them.
std::string leftOut(std::size_t count) {
    if (count == 0)
        return {};
    return count == 1 ? " (1 consultation invraisemblable écartée)"
                      : " (" + std::to_string(count) + " consultations invraisemblables écartées)";
}

std::optional<TrajectoryAlert> earlyRebound(const std::vector<const TrajectoryPoint*>& chronological,
                                            char decimalSeparator) {
    std::vector<const TrajectoryPoint*> range;
    std::size_t implausible = 0;
    for (const TrajectoryPoint* visit : chronological) {
        if (visit->age < kReboundFromAge || visit->age >= kReboundBeforeAge)
            continue;
        if (visit->implausible)
            ++implausible;
        else
            range.push_back(visit);
    }
    if (range.size() < kReboundMinimumVisits)
        return std::nullopt;

    // The earliest of equal lowest indexes: min_element keeps the first.
    const auto lowest = std::min_element(range.begin(), range.end(), [](const auto* a, const auto* b) {
        return hundredths(a->index) < hundredths(b->index);
    });
    if ((*lowest)->age >= kEarlyReboundAge)
        return std::nullopt;
    const bool risesAgain = std::any_of(lowest + 1, range.end(), [&](const auto* later) {
        return hundredths(later->index) >= hundredths((*lowest)->index) + kReboundRise;
    });
    if (!risesAgain)
        return std::nullopt;
    return TrajectoryAlert{AlertKind::EarlyAdiposityRebound, kEarlyReboundTitle,
                           "IMC le plus bas à " + displayNumber((*lowest)->age, decimalSeparator) + " ans (" +
                               displayNumber((*lowest)->index, decimalSeparator) +
                               "), puis remontée d'au moins 0" + decimalSeparator + "5 avant 8 ans" +
                               leftOut(implausible)};
}

// The two latest plausible visits; the implausible ones after the older of them are those left
// out.
std::optional<TrajectoryAlert> resultChange(const std::vector<const TrajectoryPoint*>& chronological) {
    const TrajectoryPoint* latest = nullptr;
    const TrajectoryPoint* older = nullptr;
    std::size_t implausible = 0;
    for (auto visit = chronological.rbegin(); visit != chronological.rend() && older == nullptr; ++visit) {
        if ((*visit)->implausible)
            ++implausible;
        else if (latest == nullptr)
            latest = *visit;
        else
            older = *visit;
    }
    if (older == nullptr || older->result == latest->result)
        return std::nullopt;
    return TrajectoryAlert{AlertKind::ResultChange, kResultChangeTitle,
                           "« " + older->result + " » le " + frenchDate(older->date) + ", puis « " +
                               latest->result + " »" + leftOut(implausible)};
}

} // namespace

std::vector<TrajectoryAlert> trajectoryAlerts(std::span<const TrajectoryPoint> visits,
                                              char decimalSeparator) {
    std::vector<const TrajectoryPoint*> chronological;
    chronological.reserve(visits.size());
    for (const TrajectoryPoint& visit : visits)
        chronological.push_back(&visit);
    std::stable_sort(chronological.begin(), chronological.end(),
                     [](const auto* a, const auto* b) { return a->date < b->date; });

    std::vector<TrajectoryAlert> alerts;
    if (auto alert = earlyRebound(chronological, decimalSeparator))
        alerts.push_back(std::move(*alert));
    if (auto alert = resultChange(chronological))
        alerts.push_back(std::move(*alert));
    return alerts;
}

} // namespace vimora
