#pragma once

#include <gtest/gtest.h>

#include <string>

namespace vimora::test {

/// Names each test of a parameterised suite after the `name` of its row, so that a failure
/// reads "Suite/Reading.Test/CrLfLineEnds" rather than ".../3":
/// `INSTANTIATE_TEST_SUITE_P(Csv, Reading, testing::ValuesIn(kRows), vimora::test::RowName());`
struct RowName {
    template <typename Row> std::string operator()(const testing::TestParamInfo<Row>& info) const {
        return std::string(info.param.name);
    }
};

} // namespace vimora::test
