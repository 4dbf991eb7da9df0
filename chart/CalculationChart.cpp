#include "CalculationChart.h"

#include "AdultScale.h"
#include "ChildChart.h"
#include "Wording.h"

namespace vimora::chart {

std::unique_ptr<Chart> chartFor(const Calculation& calculation, Curves curves) {
    const auto text = [](const std::string& value) {
        return QString::fromStdString(value);
    };
    const Patient patient{calculation.measures.age, calculation.index, text(calculation.indexText),
                          text(calculation.band.band)};
    if (isAdult(calculation.measures.age))
        return std::make_unique<AdultScale>(calculation.sex, patient,
                                            normalWeightSentence(text(calculation.heightText),
                                                                 text(calculation.minimumWeightText),
                                                                 text(calculation.maximumWeightText)));
    if (curves == Curves::Who)
        return std::make_unique<WhoChart>(calculation.sex, patient);
    return std::make_unique<ChildChart>(calculation.sex, patient);
}

} // namespace vimora::chart
