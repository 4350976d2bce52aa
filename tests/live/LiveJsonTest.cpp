#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>

#include "live/LiveJson.h"

namespace {

using Status = livejson::PinBody::Status;

struct BodyCase {
    std::string body;
    Status status;
    std::optional<std::string> pin;
};

TEST(LiveJson, ReadsControlBodies) {
    const BodyCase cases[] = {
        {R"({"pin":"123456"})", Status::ok, "123456"},
        {" \r\n\t{ \"pin\" : \"123456\" } \n", Status::ok, "123456"},
        {R"({"other":[1,2,{"a":null}],"pin":"042042","x":-1.5e3})", Status::ok, "042042"},
        {R"({"pin":"\u0031\u00322"})", Status::ok, "122"},
        {R"({})", Status::ok, std::nullopt},
        {R"({"pin":123456})", Status::ok, std::nullopt},
        {R"({"pin":null})", Status::ok, std::nullopt},
        {R"({"nested":{"pin":"123456"}})", Status::ok, std::nullopt},
        {"", Status::badJson, std::nullopt},
        {"pin=123456", Status::badJson, std::nullopt},
        {R"("123456")", Status::badJson, std::nullopt},
        {R"(["123456"])", Status::badJson, std::nullopt},
        {R"({"pin":"123456")", Status::badJson, std::nullopt},
        {R"({"pin":"123456"} x)", Status::badJson, std::nullopt},
        {R"({"pin":"123456",})", Status::badJson, std::nullopt},
        {R"({'pin':'123456'})", Status::badJson, std::nullopt},
        {R"({"pin":"12\x"})", Status::badJson, std::nullopt},
        {"{\"pin\":\"12\n34\"}", Status::badJson, std::nullopt},
        {R"({"pin":"\ud800"})", Status::badJson, std::nullopt},
        {R"({"a":01})", Status::badJson, std::nullopt},
        {R"({"a":1.})", Status::badJson, std::nullopt},
        {R"({"a":tru})", Status::badJson, std::nullopt},
        {std::string("{\"pin\":\"123456\"}\0", 17), Status::badJson, std::nullopt},
        // Nesting deeper than the reader allows is refused, not recursed into.
        {"{\"a\":" + std::string(10000, '[') + std::string(10000, ']') + "}", Status::badJson, std::nullopt},
    };
    for (const BodyCase& c : cases) {
        const livejson::PinBody body = livejson::readPinBody(c.body);
        if (body.status != c.status || body.pin != c.pin) {
            ADD_FAILURE() << "body " << c.body.substr(0, 60) << ": status " << static_cast<int>(body.status)
                          << ", pin " << body.pin.value_or("(none)");
        }
    }
}

TEST(LiveJson, WritesStringsAndNumbers) {
    if (true) {
        EXPECT_EQ(livejson::quote("a\"b\\c\nd\x01"), "\"a\\\"b\\\\c\\nd\\u0001\"");
        EXPECT_EQ(livejson::quote("\xCF\x84 = 4,71 s"), "\"\xCF\x84 = 4,71 s\"");
        EXPECT_EQ(livejson::number(0.1), "0.1");
        EXPECT_EQ(livejson::number(4.71), "4.71");
        EXPECT_EQ(livejson::number(-3.0), "-3");
        EXPECT_EQ(livejson::number(NAN), "null");
        EXPECT_EQ(livejson::number(INFINITY), "null");
    }
}

}  // namespace
