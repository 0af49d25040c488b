#include "platform/foundation/Error.h"

#include <cerrno>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "platform/foundation/Exception.h"
#include "platform/foundation/InvalidArgumentException.h"

namespace clipora::platform {
namespace {

TEST(ErrorTest, DescriptionDefaultsToDomainAndCode) {
    Error plain("ExampleErrorDomain", -2);
    EXPECT_EQ(plain.localizedDescription(), "The operation couldn't be completed. (ExampleErrorDomain error -2.)");
    EXPECT_EQ(plain.localizedFailureReason(), std::nullopt);

    Error described = Error::withDescription("D", 7, "Something broke");
    EXPECT_EQ(described.localizedDescription(), "Something broke");
    EXPECT_EQ(described.description(),
              "Error Domain=D Code=7 \"Something broke\" UserInfo={\n"
              "    localizedDescription = \"Something broke\";\n}");

    // A description of the wrong kind is ignored rather than misread.
    Error odd("D", 1, {{std::string(Error::kLocalizedDescriptionKey), Value(5)}});
    EXPECT_EQ(odd.localizedDescription(), "The operation couldn't be completed. (D error 1.)");

    Error reason("D", 1, {{std::string(Error::kLocalizedFailureReasonKey), Value("because")}});
    EXPECT_EQ(reason.localizedFailureReason(), "because");
}

TEST(ErrorTest, IsACopyableValueWithAnUnderlyingError) {
    Error cause = Error::fromErrno(ENOENT, "/nowhere");
    EXPECT_EQ(cause.domain(), Error::kPOSIXErrorDomain);
    EXPECT_EQ(cause.code(), ENOENT);
    EXPECT_EQ(cause.localizedDescription(), "No such file or directory");
    EXPECT_EQ(*cause.userInfo().at(std::string(Error::kFilePathKey)).string(), "/nowhere");

    Error outer = Error("Files", 4).withUnderlyingError(cause);
    ASSERT_NE(outer.underlyingError(), nullptr);
    EXPECT_EQ(*outer.underlyingError(), cause);

    Error copy = outer;
    copy.setUserInfoValue("extra", 1);
    EXPECT_TRUE(outer.userInfo().empty());
    EXPECT_NE(copy, outer);
    EXPECT_EQ(Error(outer), outer);
    EXPECT_NE(outer, Error("Files", 4));
    EXPECT_NE(outer, Error("Files", 4).withUnderlyingError(Error("Other", 1)));

    std::optional<Error> none;
    EXPECT_FALSE(none);
}

TEST(ErrorTest, TransportConstants) {
    Error cancelled(std::string(Error::kURLErrorDomain), Error::kURLErrorCancelled);
    EXPECT_EQ(cancelled.domain(), "NSURLErrorDomain");
    EXPECT_EQ(cancelled.code(), -999);
    EXPECT_TRUE(cancelled.isCancellation());
    EXPECT_FALSE(Error("Other", -999).isCancellation());
    EXPECT_EQ(Error::kWebKitErrorDomain, "WebKitErrorDomain");
    EXPECT_EQ(Error::kWebKitErrorFrameLoadInterrupted, 102);
}

TEST(ErrorTest, InvalidArgumentExceptionCarriesReasonAndUserInfo) {
    try {
        throw InvalidArgumentException("items in fbids must be NSString or NSNumber",
                                       {{"invalid class", Value("Dictionary")}});
    } catch (const Exception& e) {
        EXPECT_EQ(e.name(), Exception::kInvalidArgumentName);
        EXPECT_EQ(e.reason(), "items in fbids must be NSString or NSNumber");
        EXPECT_STREQ(e.what(), "items in fbids must be NSString or NSNumber");
        EXPECT_EQ(e.userInfo().at("invalid class"), Value("Dictionary"));
    }
}

}  // namespace
}  // namespace clipora::platform
