#include "platform/base/PropertyJson.hpp"

#include <gtest/gtest.h>

namespace ampwell::platform {
namespace {

using nlohmann::json;

TEST(PropertyJson, AnObjectWithTheDataKeyIsAlwaysDataAndNothingElse) {
    const auto bytes = propertyValueFromJson(json::parse(R"({"$data": "00fF"})"), "$.b");
    ASSERT_TRUE(bytes.ok());
    EXPECT_EQ(*bytes->dataValue(), (PropertyData{0x00, 0xff}));
    EXPECT_EQ(propertyValueToJson(*bytes, "$.b")->dump(), R"({"$data":"00ff"})");

    const auto mixed = propertyValueFromJson(json::parse(R"({"k": [{"$data": "00", "x": 1}]})"), "$");
    ASSERT_FALSE(mixed.ok());
    EXPECT_EQ(mixed.error().path, "$.k[0]");
    EXPECT_EQ(mixed.error().what, "a data value has the one key \"$data\" and nothing else");

    const auto notHex = propertyValueFromJson(json::parse(R"({"$data": 7})"), "$");
    ASSERT_FALSE(notHex.ok());
    EXPECT_EQ(notHex.error().path, "$.$data");

    // Written as it stands, such a dictionary would read back as data; it has no JSON form.
    const auto lookalike = PropertyValue::dictionary({{"$data", PropertyValue::string("00")}});
    const auto written = propertyValueToJson(PropertyValue::array({lookalike}), "$.a");
    ASSERT_FALSE(written.ok());
    EXPECT_EQ(written.error().path, "$.a[0]");
}

}  // namespace
}  // namespace ampwell::platform
