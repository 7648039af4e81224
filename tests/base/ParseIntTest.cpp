#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "base/ParseInt.h"

namespace tlc {
namespace {

struct ParseCase {
    std::string text;
    std::int32_t expected;
};

void PrintTo(const ParseCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }

class ParseIntOrDefaultTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseIntOrDefaultTest, GivesValueOrDefault) {
    EXPECT_EQ(ParseIntOrDefault(GetParam().text, -77), GetParam().expected);
}

// -77 marks "not a number" in the table.
INSTANTIATE_TEST_SUITE_P(
    Table, ParseIntOrDefaultTest,
    ::testing::Values(
        // decimal
        ParseCase{"0", 0}, ParseCase{"128", 128}, ParseCase{"007", 7}, ParseCase{"+5", 5},
        ParseCase{"-5", -5}, ParseCase{"   42", 42}, ParseCase{"2147483647", 2147483647},
        ParseCase{"-2147483648", INT32_MIN}, ParseCase{"2147483648", -77},
        ParseCase{"-2147483649", -77}, ParseCase{"99999999999999999999", -77},
        ParseCase{"00000000000000000012", 12},
        // hexadecimal
        ParseCase{"$FF", 255}, ParseCase{"$ff", 255}, ParseCase{"xA", 10}, ParseCase{"X10", 16},
        ParseCase{"0x1f", 31}, ParseCase{"0X1F", 31}, ParseCase{"$FFFFFFFF", -1},
        ParseCase{"$80000000", INT32_MIN}, ParseCase{"$100000000", -77},
        ParseCase{"$000000000FF", 255}, ParseCase{"  $10", 16},
        // not numbers
        ParseCase{"", -77}, ParseCase{"   ", -77}, ParseCase{"+", -77}, ParseCase{"-", -77},
        ParseCase{"$", -77}, ParseCase{"0x", -77}, ParseCase{"x", -77}, ParseCase{"12 ", -77},
        ParseCase{"\t12", -77}, ParseCase{"1a", -77}, ParseCase{"abc", -77},
        ParseCase{"-$FF", -77}, ParseCase{"+0x1", -77}, ParseCase{"$G", -77},
        ParseCase{"1.5", -77}, ParseCase{"- 1", -77}, ParseCase{"0x-1", -77}));

} // namespace
} // namespace tlc
