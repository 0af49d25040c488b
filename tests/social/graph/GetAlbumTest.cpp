#include "social/graph/GetAlbum.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/foundation/Date.h"
#include "social/graph/CreateAlbum.h"
#include "social/sdk/FBRequest.h"
#include "tests/social/graph/PhotoGraphTest.h"

namespace clipora {
namespace {

using platform::Value;

class GetAlbumTest : public test::PhotoGraphTest {
protected:
    std::shared_ptr<GetAlbum> makeGetAlbum() { return GetAlbum::initWithDelegate(session_, photos_); }

    static std::vector<std::string> names(const std::vector<std::shared_ptr<Album>>& albums) {
        std::vector<std::string> out;
        for (const auto& album : albums) out.push_back(album->name().value_or("?"));
        return out;
    }
    // Pumps until every request sent so far is answered.
    bool waitForQueries(std::size_t count) {
        return pumpUntil([&] { return fqlQueries().size() >= count && session_->requests().empty(); }, 10);
    }
};

TEST_F(GetAlbumTest, AlbumsAreJoinedWithTheirCovers) {
    auto op = makeGetAlbum();
    op->execute("me()");
    ASSERT_TRUE(waitForPhotoReports(1));
    const auto& report = photos_->reports[0];
    ASSERT_TRUE(report.success) << report.error->localizedDescription();
    ASSERT_TRUE(report.albums);
    const auto& albums = *report.albums;
    ASSERT_EQ(names(albums), (std::vector<std::string>{"Holidays", "Profile Pictures"}));
    EXPECT_EQ(albums[0]->albumID().value_or(""), "100001_2");
    EXPECT_EQ(albums[0]->graphAlbumID().value_or(""), "500002");
    EXPECT_EQ(albums[0]->descriptionText().value_or("?"), "Sun and sea.");
    EXPECT_EQ(albums[0]->size().value_or(0), 2);
    EXPECT_EQ(albums[0]->link().value_or(""), "https://www.social.test/album.php?aid=100001_2");
    EXPECT_EQ(albums[0]->modifiedDate(), platform::Date::fromTimeIntervalSince1970(1320000000));
    EXPECT_EQ(albums[0]->albumCoverURL().value_or(""), "https://graph.social.test/files/photos/600002_s.png");
    // A null description reads as the empty text.
    EXPECT_EQ(albums[1]->descriptionText().value_or("?"), "");
    EXPECT_EQ(albums[1]->albumCoverURL().value_or(""), "https://graph.social.test/files/photos/600001_s.png");

    auto queries = fqlQueries();
    ASSERT_EQ(queries.size(), 2u);
    std::vector<std::string> texts{queries[0].param("query"), queries[1].param("query")};
    std::sort(texts.begin(), texts.end());
    EXPECT_EQ(texts[0],
              "SELECT object_id, aid, name, description, cover_pid, size, link, modified_major FROM album WHERE owner "
              "== me() ORDER BY modified_major DESC");
    EXPECT_EQ(texts[1],
              "SELECT pid, src_small FROM photo WHERE pid in (SELECT cover_pid FROM album WHERE owner == me())");
    EXPECT_EQ(op->albumCover(), nullptr);
    EXPECT_EQ(op->number(), 0);
}

TEST_F(GetAlbumTest, EachRunReportsOnceEvenAfterAFailedReply) {
    auto op = makeGetAlbum();
    // Both queries fail: one failure report, and the cover's failed reply
    // leaves nothing behind for the next run.
    server_->setKnob("/method/fql.query", statusKnob(500));
    op->execute("me()");
    ASSERT_TRUE(waitForPhotoReports(1));
    ASSERT_TRUE(waitForQueries(2));
    pumpPending();
    ASSERT_EQ(photos_->reports.size(), 1u);
    EXPECT_FALSE(photos_->reports[0].success);
    EXPECT_FALSE(photos_->reports[0].albums);

    // Junk in both replies: one junk-data report.
    server_->setKnob("/method/fql.query", bodyKnob(R"({"rows":[]})"));
    op->execute("me()");
    ASSERT_TRUE(waitForPhotoReports(2));
    ASSERT_TRUE(waitForQueries(4));
    pumpPending();
    ASSERT_EQ(photos_->reports.size(), 2u);
    EXPECT_EQ(photos_->reports[1].error->code(), FBBaseClass::kJunkDataErrorCode);

    // A good run joins both replies: every album has its cover.
    server_->clearKnobs();
    op->execute("me()");
    ASSERT_TRUE(waitForPhotoReports(3));
    ASSERT_TRUE(waitForQueries(6));
    pumpPending();
    ASSERT_EQ(photos_->reports.size(), 3u);
    ASSERT_TRUE(photos_->reports[2].success);
    ASSERT_EQ(photos_->reports[2].albums->size(), 2u);
    for (const auto& album : *photos_->reports[2].albums) EXPECT_TRUE(album->albumCoverURL()) << *album->name();
}

TEST_F(GetAlbumTest, RepliesJoinInEitherOrder) {
    const Value albums = Value::makeArray({
        Value::makeDictionary(
            {{"aid", Value("1_1")}, {"name", Value("First")}, {"cover_pid", Value(11)}, {"modified_major", Value()}}),
        Value::makeDictionary({{"aid", Value("1_2")}, {"name", Value()}, {"cover_pid", Value("12")}}),
        Value::makeDictionary({{"aid", Value("1_3")}, {"name", Value("Third")}, {"cover_pid", Value("99")}}),
    });
    const Value::Array covers{Value::makeDictionary({{"pid", Value("11")}, {"src_small", Value("cover-11")}})};

    server_->setKnob("/method/fql.query", holdKnob());
    for (bool coverFirst : {true, false}) {
        SCOPED_TRACE(coverFirst ? "cover first" : "albums first");
        photos_->reports.clear();
        auto op = makeGetAlbum();
        op->execute("me()");
        ASSERT_TRUE(op->albumCover() && op->fbRequest());
        auto cover = op->albumCover();
        // The held requests themselves are cancelled at the end.
        const std::vector<std::shared_ptr<FBRequest>> held{op->fbRequest(), cover->fbRequest()};
        auto deliverCover = [&] { cover->requestDidLoad(cover->fbRequest(), Value(covers)); };
        auto deliverAlbums = [&] { op->requestDidLoad(op->fbRequest(), albums); };
        if (coverFirst)
            deliverCover();
        else
            deliverAlbums();
        EXPECT_TRUE(photos_->reports.empty());
        EXPECT_EQ(op->number(), 1);
        if (coverFirst)
            deliverAlbums();
        else
            deliverCover();
        ASSERT_EQ(photos_->reports.size(), 1u);
        const auto& joined = *photos_->reports[0].albums;
        // The album without a name is left out; an unmatched cover is none.
        ASSERT_EQ(names(joined), (std::vector<std::string>{"First", "Third"}));
        EXPECT_EQ(joined[0]->albumCoverURL().value_or(""), "cover-11");
        EXPECT_FALSE(joined[1]->albumCoverURL());
        EXPECT_EQ(joined[0]->modifiedDate(), platform::Date::now());
        EXPECT_EQ(op->number(), 0);
        for (const auto& request : held) request->cancel();
    }
}

TEST_F(GetAlbumTest, CreateAlbumSendsItsPrivacyAsAValueObject) {
    Album album;
    album.setName("Trip \"2012\"");
    album.setVisible("friends");
    album.setLocation("Coast");
    auto op = CreateAlbum::initWithDelegate(session_, photos_);
    op->executeInContextUid(album, 1, "me");
    ASSERT_TRUE(waitForPhotoReports(1));
    ASSERT_TRUE(photos_->reports[0].success) << photos_->reports[0].error->localizedDescription();
    ASSERT_TRUE(photos_->reports[0].result && photos_->reports[0].result->find("id"));
    auto made = server_->data().findRow("album", "name", "Trip \"2012\"");
    ASSERT_TRUE(made);
    EXPECT_EQ((*made)["visible"], "FRIENDS");
    EXPECT_EQ((*made)["location"], "Coast");

    // The REST route sends the description; no visibility, no privacy.
    album.setVisible(std::nullopt);
    album.setName("Plain");
    op->executeInContextUid(album, 0, "me");
    ASSERT_TRUE(waitForPhotoReports(2));
    ASSERT_TRUE(photos_->reports[1].success);
    auto sent = server_->requestsTo("/method/photos.createAlbum");
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_TRUE(sent[0].hasParam("description"));
    EXPECT_FALSE(sent[0].hasParam("privacy"));
    EXPECT_EQ(CreateAlbum::privacyValue("self \"x\""), R"({"value":"SELF \"X\""})");
}

}  // namespace
}  // namespace clipora
