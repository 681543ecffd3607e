// What --history prints, where a careless writer would break the table.
#include "app/history/HistoryExport.hpp"

#include <gtest/gtest.h>

#include <sstream>

namespace ampwell {
namespace {

TEST(HistoryModes, CsvQuotesANameThatHoldsACommaOrAQuote) {
    HistoryRows rows;
    DeviceRow row;
    row.time = platform::dateFromSecondsSince1970(1800000000.25);
    row.device.name = "Anna's \"big\" iPad, 2nd";
    rows.devices.push_back(row);
    std::ostringstream out;
    writeHistory(out, rows, HistoryFormat::csv, row.time, row.time);
    const std::string text = out.str();
    const std::string line = text.substr(text.find('\n') + 1);
    EXPECT_EQ(line.substr(0, line.find(',')), "2027-01-15T08:00:00.250Z");
    EXPECT_NE(line.find(R"(,"Anna's ""big"" iPad, 2nd",)"), std::string::npos) << line;
}

}  // namespace
}  // namespace ampwell
