#include "platform/foundation/XMLParser.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/support/Nesting.h"
#include "tests/support/TestHome.h"

namespace clipora::platform {
namespace {

// Writes every event as one line of text.
class Recorder : public XMLParserDelegate {
public:
    std::vector<std::string> events;
    std::vector<Error> errors;
    std::size_t characterBytes = 0;
    // Called at each element start, after recording it.
    std::function<void(XMLParser&, const std::string&)> onStart;

    void parserDidStartElementNamespaceURIQualifiedNameAttributes(XMLParser& parser, const std::string& name,
                                                                  const std::string& namespaceURI,
                                                                  const std::string& qualifiedName,
                                                                  const Attributes& attributes) override {
        std::string line = "start " + name + " {" + namespaceURI + "} " + qualifiedName;
        for (const auto& [key, value] : attributes) line += " " + key + "=" + value;
        events.push_back(line);
        if (onStart) onStart(parser, name);
    }
    void parserDidEndElementNamespaceURIQualifiedName(XMLParser&, const std::string& name,
                                                      const std::string& namespaceURI,
                                                      const std::string& qualifiedName) override {
        events.push_back("end " + name + " {" + namespaceURI + "} " + qualifiedName);
    }
    void parserFoundCharacters(XMLParser&, const std::string& characters) override {
        characterBytes += characters.size();
        if (characters.size() < 200) events.push_back("chars " + characters);
    }
    void parserParseErrorOccurred(XMLParser&, const Error& error) override { errors.push_back(error); }
};

struct Run {
    bool ok;
    std::shared_ptr<Recorder> recorder;
    std::shared_ptr<XMLParser> parser;
};

Run parse(std::string_view document, bool namespaces = false) {
    auto recorder = std::make_shared<Recorder>();
    auto parser = std::make_shared<XMLParser>(document);
    parser->setDelegate(recorder);
    parser->setShouldProcessNamespaces(namespaces);
    const bool ok = parser->parse();
    return {ok, recorder, parser};
}

using Events = std::vector<std::string>;

TEST(XMLParserTest, ReportsElementsAttributesAndCoalescedCharacters) {
    const auto run = parse(
        "<?xml version=\"1.0\"?>\n"
        "<response list=\"true\" b='2'><uid>12</uid><t>a &amp; b&#x21;<![CDATA[<c>]]></t><empty/></response>");
    ASSERT_TRUE(run.ok);
    EXPECT_EQ(run.recorder->events, (Events{
                                        "start response {} response b=2 list=true",
                                        "start uid {} uid",
                                        "chars 12",
                                        "end uid {} uid",
                                        "start t {} t",
                                        "chars a & b!<c>",
                                        "end t {} t",
                                        "start empty {} empty",
                                        "end empty {} empty",
                                        "end response {} response",
                                    }));
    EXPECT_FALSE(run.parser->parserError().has_value());
}

TEST(XMLParserTest, NamespaceProcessingIsOptional) {
    const char* document =
        "<a:feed xmlns:a=\"urn:feed\" xmlns=\"urn:default\" a:k=\"v\" plain=\"p\"><entry>x</entry></a:feed>";
    EXPECT_EQ(parse(document, true).recorder->events, (Events{
                                                          "start feed {urn:feed} a:feed a:k=v plain=p",
                                                          "start entry {urn:default} entry",
                                                          "chars x",
                                                          "end entry {urn:default} entry",
                                                          "end feed {urn:feed} a:feed",
                                                      }));
    EXPECT_EQ(parse(document, false).recorder->events,
              (Events{
                  "start a:feed {} a:feed a:k=v plain=p xmlns=urn:default xmlns:a=urn:feed",
                  "start entry {} entry",
                  "chars x",
                  "end entry {} entry",
                  "end a:feed {} a:feed",
              }));
}

TEST(XMLParserTest, DeclaredEncodingIsReportedAsUTF8) {
    const auto run = parse("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>caf\xe9</a>");
    ASSERT_TRUE(run.ok);
    EXPECT_EQ(run.recorder->events[1], "chars caf\xc3\xa9");
}

TEST(XMLParserTest, ExternalEntitiesAreNeverLoaded) {
    test::TestHome home;
    const auto secret = home / "secret.txt";
    const auto dtd = home / "evil.dtd";
    std::ofstream(secret) << "TOP-SECRET";
    std::ofstream(dtd) << "<!ENTITY leak \"TOP-SECRET\">";
    const std::string secretURL = "file://" + secret.string();
    const std::string dtdURL = "file://" + dtd.string();

    const std::string documents[] = {
        // A general external entity in content.
        "<!DOCTYPE r [<!ENTITY ext SYSTEM \"" + secretURL + "\">]><r>a&ext;b</r>",
        // An external parameter entity that would declare another entity.
        "<!DOCTYPE r [<!ENTITY % p SYSTEM \"" + dtdURL + "\"> %p;]><r>ab</r>",
        // An external DTD subset.
        "<!DOCTYPE r SYSTEM \"" + dtdURL + "\"><r>ab</r>",
        "<!DOCTYPE r PUBLIC \"-//x//y//EN\" \"" + dtdURL + "\"><r>ab</r>",
    };
    for (const auto& document : documents) {
        const auto run = parse(document);
        EXPECT_TRUE(run.ok) << document;
        EXPECT_EQ(run.recorder->events, (Events{"start r {} r", "chars ab", "end r {} r"})) << document;
    }
    // Without the DTD's declaration the entity stays unknown: an error, not a load.
    const auto run = parse("<!DOCTYPE r SYSTEM \"" + dtdURL + "\"><r>&leak;</r>");
    for (const auto& event : run.recorder->events) EXPECT_EQ(event.find("TOP-SECRET"), std::string::npos);
}

TEST(XMLParserTest, InternalEntitiesExpandButAnEntityBombIsStopped) {
    const auto small = parse("<!DOCTYPE r [<!ENTITY who \"world\">]><r>hello &who;</r>");
    ASSERT_TRUE(small.ok);
    EXPECT_EQ(small.recorder->events[1], "chars hello world");

    // Ten levels of ten: 10^9 copies of "lol" if expanded.
    std::string bomb = "<?xml version=\"1.0\"?><!DOCTYPE lolz [<!ENTITY lol \"lol\">";
    bomb += "<!ENTITY lol1 \"&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;\">";
    for (int level = 2; level <= 9; ++level) {
        const std::string previous = "&lol" + std::to_string(level - 1) + ";";
        std::string body;
        for (int i = 0; i < 10; ++i) body += previous;
        bomb += "<!ENTITY lol" + std::to_string(level) + " \"" + body + "\">";
    }
    bomb += "]><lolz>&lol9;</lolz>";

    const auto started = std::chrono::steady_clock::now();
    const auto run = parse(bomb);
    const auto elapsed = std::chrono::steady_clock::now() - started;
    EXPECT_FALSE(run.ok);
    ASSERT_EQ(run.recorder->errors.size(), 1u);
    EXPECT_EQ(run.recorder->errors[0].domain(), XMLParser::kErrorDomain);
    EXPECT_LT(run.recorder->characterBytes, 64u * 1024 * 1024);
    EXPECT_LT(elapsed, std::chrono::seconds(5));
}

TEST(XMLParserTest, MalformedDocumentReportsAnErrorOnce) {
    const std::pair<const char*, int> cases[] = {
        {"<a><b></a>", 1}, {"<a>\n\n<b x=1/></a>", 3}, {"<a>&undefined;</a>", 1}, {"", 1}, {"<a></a><b/>", 1},
    };
    for (const auto& [document, line] : cases) {
        const auto run = parse(document);
        EXPECT_FALSE(run.ok) << document;
        ASSERT_EQ(run.recorder->errors.size(), 1u) << document;
        const Error& error = run.recorder->errors[0];
        EXPECT_EQ(error.domain(), XMLParser::kErrorDomain);
        EXPECT_NE(error.code(), 0);
        EXPECT_EQ(run.parser->parserError(), error);
        const auto reportedLine = error.userInfo().find(XMLParser::kLineNumberKey);
        ASSERT_NE(reportedLine, error.userInfo().end());
        EXPECT_EQ(reportedLine->second.integer(), line) << document;
        EXPECT_NE(error.localizedDescription().find("line"), std::string::npos);
    }
}

TEST(XMLParserTest, NestingPastTheLimitFailsAtTheFirstElementTooDeep) {
    for (const auto& [levels, accepted] : test::depthCases(XMLParser::kMaxElementDepth)) {
        const auto run = parse(test::nested("<a>", "x", "</a>", levels));
        EXPECT_EQ(run.ok, accepted) << levels;
        if (accepted) {
            EXPECT_TRUE(run.recorder->errors.empty()) << levels;
            continue;
        }
        ASSERT_EQ(run.recorder->errors.size(), 1u) << levels;
        EXPECT_EQ(run.recorder->errors[0].code(), XMLParser::kTooDeepErrorCode) << levels;
        EXPECT_EQ(run.parser->parserError(), run.recorder->errors[0]);
        // Nothing past the limit reached the delegate.
        EXPECT_EQ(run.recorder->events.size(), XMLParser::kMaxElementDepth) << levels;
    }
    // Depth counts open elements, not elements: a long flat document is fine.
    EXPECT_TRUE(parse("<r>" + test::nested("<a/>", "", "", 100000) + "</r>").ok);
}

TEST(XMLParserTest, AbortFromACallbackStopsAllFurtherEvents) {
    auto recorder = std::make_shared<Recorder>();
    recorder->onStart = [](XMLParser& parser, const std::string& name) {
        if (name == "stop") parser.abortParsing();
    };
    auto parser = std::make_shared<XMLParser>(std::string_view("<r><a>1</a><stop>2</stop><b/></r> and garbage <"));
    parser->setDelegate(recorder);
    EXPECT_FALSE(parser->parse());
    EXPECT_EQ(recorder->events,
              (Events{"start r {} r", "start a {} a", "chars 1", "end a {} a", "start stop {} stop"}));
    EXPECT_TRUE(recorder->errors.empty());
    ASSERT_TRUE(parser->parserError().has_value());
    EXPECT_EQ(parser->parserError()->code(), XMLParser::kAbortedErrorCode);

    // A new parse starts afresh.
    recorder->onStart = nullptr;
    recorder->events.clear();
    EXPECT_FALSE(parser->parse());  // the trailing garbage
    EXPECT_EQ(recorder->errors.size(), 1u);
    EXPECT_EQ(recorder->events.size(), 10u);
}

TEST(XMLParserTest, ExceptionFromTheDelegateLeavesParseCleanly) {
    auto recorder = std::make_shared<Recorder>();
    recorder->onStart = [](XMLParser&, const std::string& name) {
        if (name == "b") throw std::logic_error("delegate bug");
    };
    XMLParser parser(std::string_view("<r><a/><b/><c/></r>"));
    parser.setDelegate(recorder);
    EXPECT_THROW(parser.parse(), std::logic_error);
    EXPECT_EQ(recorder->events, (Events{"start r {} r", "start a {} a", "end a {} a", "start b {} b"}));
    recorder->onStart = nullptr;
    EXPECT_TRUE(parser.parse());
}

TEST(XMLParserTest, SurvivesItsDelegateGoingAwayOrReleasingIt) {
    // A delegate that drops the only reference to the parser mid-parse.
    auto recorder = std::make_shared<Recorder>();
    auto parser = std::make_shared<XMLParser>(std::string_view("<r><a/><b/></r>"));
    parser->setDelegate(recorder);
    XMLParser* raw = parser.get();
    recorder->onStart = [&parser](XMLParser&, const std::string& name) {
        if (name == "a") parser.reset();
    };
    EXPECT_TRUE(raw->parse());
    EXPECT_EQ(recorder->events.size(), 6u);

    // A delegate that is gone is skipped.
    auto gone = std::make_shared<Recorder>();
    XMLParser alone(std::string_view("<r/>"));
    alone.setDelegate(gone);
    gone.reset();
    EXPECT_TRUE(alone.parse());
}

}  // namespace
}  // namespace clipora::platform
